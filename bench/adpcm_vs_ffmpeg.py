#!/usr/bin/env python3
"""Times ffmpeg's adpcm_swf decoder on the packets that bench/AdpcmBench.cpp decodes: the audio
tags of a test vector repeated until the file holds about 50 million samples, decoded with
`ffmpeg -benchmark -i FILE -f null -`. Prints samples per second from the real and the CPU time of
the whole run (start-up included), best of five runs. Usage: adpcm_vs_ffmpeg.py [VECTOR_NAME ...]"""
import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
VECTORS = os.path.join(HERE, "..", "tests", "data", "adpcm")
TARGET_SAMPLES = 50_000_000


def audio_tags(flv):
    pos = struct.unpack(">I", flv[5:9])[0] + 4
    bodies = []
    while pos + 11 <= len(flv):
        size = int.from_bytes(flv[pos + 1:pos + 4], "big")
        if flv[pos] == 8:
            bodies.append(flv[pos + 11:pos + 11 + size])
        pos += 11 + size + 4
    return bodies


def write_flv(path, bodies):
    with open(path, "wb") as out:
        out.write(b"FLV\x01\x04" + struct.pack(">I", 9) + struct.pack(">I", 0))
        for i, body in enumerate(bodies):
            ts = (i * 10) & 0xFFFFFFFF
            out.write(bytes([8]) + len(body).to_bytes(3, "big") + (ts & 0xFFFFFF).to_bytes(3, "big")
                      + bytes([ts >> 24]) + b"\x00\x00\x00" + body + struct.pack(">I", 11 + len(body)))


def main():
    names = sys.argv[1:] or ["mono22k", "stereo44k"]
    with tempfile.TemporaryDirectory() as tmp:
        for name in names:
            bodies = audio_tags(open(os.path.join(VECTORS, name + ".flv"), "rb").read())
            channels = 2 if bodies[0][0] & 1 else 1
            per_copy = len(bodies) * 4096 * channels
            copies = max(1, TARGET_SAMPLES // per_copy)
            path = os.path.join(tmp, name + ".flv")
            write_flv(path, bodies * copies)
            samples = per_copy * copies
            best = None
            for _ in range(5):
                run = subprocess.run(["ffmpeg", "-hide_banner", "-nostats", "-benchmark", "-i", path,
                                      "-f", "null", "-"], capture_output=True, text=True, check=True)
                times = re.search(r"utime=([0-9.]+)s stime=([0-9.]+)s rtime=([0-9.]+)s", run.stderr)
                cpu = float(times.group(1)) + float(times.group(2))
                real = float(times.group(3))
                best = (cpu, real) if best is None else (min(best[0], cpu), min(best[1], real))
            print(f"ffmpeg adpcm_swf {name}: {samples} samples; real time {best[1]:.3f} s: "
                  f"{samples / best[1] / 1e6:.1f} M samples/s; CPU time {best[0]:.3f} s: "
                  f"{samples / best[0] / 1e6:.1f} M samples/s")

if __name__ == "__main__":
    main()
