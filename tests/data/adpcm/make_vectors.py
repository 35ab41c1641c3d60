#!/usr/bin/env python3
"""Remakes the ADPCM test vectors of this folder with ffmpeg (its adpcm_swf encoder and
decoder). Usage: make_vectors.py [OUTPUT_DIR]   (default: the folder of this script)

For every vector NAME it writes NAME.flv (the packets, as FLV audio tags) and NAME.s16le
(ffmpeg's adpcm_swf decode of that file: signed 16-bit little-endian, interleaved).

ffmpeg's encoder writes packets of one block (4096 samples or frames, the last one padded).
stereo11k_long.flv holds a single packet longer than one block, made here by joining the
blocks of two encoded packets bit for bit and cutting the result after 5596 frames."""
import os
import struct
import subprocess
import sys
import tempfile

# name, sample rate, channels, duration in seconds, aevalsrc expressions per channel
SIGNALS = [
    ("mono22k", 22050, 1, 0.25, ["0.6*sin(2*PI*440*t)+0.3*sin(2*PI*1250*t)*exp(-3*t)"]),
    ("stereo44k", 44100, 2, 0.1,
     ["0.9*sin(2*PI*220*t)+0.1*sin(2*PI*7000*t)",
      "0.5*sin(2*PI*660*t)*cos(2*PI*5*t)+0.4*sin(2*PI*3100*t)"]),
]
LONG_FRAMES = 4096 + 1500


def run(*args):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", *args], check=True)


def encode(path, rate, channels, duration, exprs):
    source = f"aevalsrc={'|'.join(exprs)}:s={rate}:d={duration}"
    run("-f", "lavfi", "-i", source, "-ac", str(channels), "-c:a", "adpcm_swf", path)


def decode(flv_path, out_path):
    run("-i", flv_path, "-f", "s16le", "-c:a", "pcm_s16le", out_path)


def audio_tags(flv):
    """The bodies of the audio tags of an FLV file image."""
    pos = struct.unpack(">I", flv[5:9])[0] + 4
    bodies = []
    while pos + 11 <= len(flv):
        kind = flv[pos]
        size = int.from_bytes(flv[pos + 1:pos + 4], "big")
        body = flv[pos + 11:pos + 11 + size]
        if kind == 8:
            bodies.append(body)
        pos += 11 + size + 4
    return bodies


def write_flv(path, bodies):
    out = bytearray(b"FLV\x01\x04" + struct.pack(">I", 9) + struct.pack(">I", 0))
    for i, body in enumerate(bodies):
        out += bytes([8]) + len(body).to_bytes(3, "big") + (i * 100).to_bytes(3, "big")
        out += b"\x00" * 4 + body + struct.pack(">I", 11 + len(body))
    open(path, "wb").write(out)


def bits_of(data):
    return "".join(f"{b:08b}" for b in data)


def join_blocks(packets, channels, frames):
    """One packet holding the blocks of `packets` (each one block of 4-bit codes) in order,
    cut after `frames` frames and padded to a whole byte with zeros."""
    block_bits = channels * 22 + 4095 * channels * 4
    bits = bits_of(packets[0][:1])[:2]  # the code size field
    for p in packets:
        bits += bits_of(p)[2:2 + block_bits]
    blocks, rest = divmod(frames, 4096)
    keep = 2 + blocks * block_bits + (channels * 22 + (rest - 1) * channels * 4 if rest else 0)
    bits = bits[:keep]
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as tmp:
        for name, rate, channels, duration, exprs in SIGNALS:
            flv = os.path.join(out_dir, name + ".flv")
            encode(flv, rate, channels, duration, exprs)
            decode(flv, os.path.join(out_dir, name + ".s16le"))

        # Two blocks of stereo at 11025 Hz joined into one packet.
        source = os.path.join(tmp, "stereo11k.flv")
        encode(source, 11025, 2, 0.5, SIGNALS[1][4])
        bodies = audio_tags(open(source, "rb").read())
        joined = join_blocks([b[1:] for b in bodies[:2]], 2, LONG_FRAMES)
        flv = os.path.join(out_dir, "stereo11k_long.flv")
        write_flv(flv, [bodies[0][:1] + joined])
        decode(flv, os.path.join(out_dir, "stereo11k_long.s16le"))

        # The joined packet decodes as the two packets it came from, cut at the same frame.
        decode(source, os.path.join(tmp, "stereo11k.s16le"))
        whole = open(os.path.join(tmp, "stereo11k.s16le"), "rb").read()
        long_ref = open(os.path.join(out_dir, "stereo11k_long.s16le"), "rb").read()
        assert long_ref == whole[:LONG_FRAMES * 4], "joined packet does not decode as its parts"


if __name__ == "__main__":
    main()
