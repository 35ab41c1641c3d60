#!/usr/bin/env python3
"""Remakes the WAV -> MP3 reference pairs of this folder: small WAV files written by this script
and their MP3 encodings by the lame program (3.100) with the VBR/Info frame turned off and
everything else at its defaults, which are the library's. Writes vectors.tsv (file names, the
sample frames written, the sample rate in the MP3's first frame header).
Usage: make_vectors.py [LAME]   (run in this folder)"""
import math
import random
import struct
import subprocess
import sys

LAME = sys.argv[1] if len(sys.argv) > 1 else "lame"
MPEG1_RATES = [44100, 48000, 32000]


def write_wav(path, channels, rate, bits, frames, seed):
    rng = random.Random(seed)
    data = bytearray()
    for i in range(frames):
        for c in range(channels):
            # A different tone per channel, some noise, and a square burst that reaches both
            # ends of the range.
            v = 0.5 * math.sin(2 * math.pi * (330 + 220 * c) * i / rate)
            v += 0.1 * (rng.random() - 0.5)
            if (i // 64) % 8 == 3:
                v = 1.0 if (i // 8) % 2 else -1.0
            if bits == 16:
                data += struct.pack("<h", max(-32768, min(32767, round(v * 32767))))
            else:
                data.append(max(0, min(255, round(128 + v * 128))))
    align = channels * bits // 8
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt "
    header += struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * align, align, bits)
    header += b"data" + struct.pack("<I", len(data))
    with open(path, "wb") as f:
        f.write(header + data)


def first_frame_rate(path):
    b = open(path, "rb").read()
    assert b[0] == 0xFF and (b[1] & 0xE0) == 0xE0, "no frame header at the start"
    version = (b[1] >> 3) & 3  # 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    rate = MPEG1_RATES[(b[2] >> 2) & 3]
    return rate if version == 3 else rate // 2 if version == 2 else rate // 4


CASES = [
    # name, channels, rate, bits, frames
    ("stereo44k16_1153", 2, 44100, 16, 1153),
    ("stereo44k16_empty", 2, 44100, 16, 0),
    ("mono22k16", 1, 22050, 16, 5000),
    ("stereo11k8", 2, 11025, 8, 2800),
    ("mono5k8", 1, 5512, 8, 3000),
]

rows = ["wav\tmp3\tframes\tmp3_rate"]
for seed, (name, channels, rate, bits, frames) in enumerate(CASES):
    wav, mp3 = name + ".wav", name + ".mp3"
    write_wav(wav, channels, rate, bits, frames, seed)
    subprocess.run([LAME, "-t", "--nohist", "--quiet", wav, mp3], check=True)
    rows.append(f"{wav}\t{mp3}\t{frames}\t{first_frame_rate(mp3)}")
with open("vectors.tsv", "w") as f:
    f.write("\n".join(rows) + "\n")
