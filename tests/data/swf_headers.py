#!/usr/bin/env python3
"""Writes swf_headers.tsv: the header of every SWF movie of the shared corpus, read by this
script on its own (Python's zlib and bit arithmetic), as an independent reference for the
reader's header parse. Usage: swf_headers.py CORPUS_DIR > swf_headers.tsv"""
import os
import struct
import sys
import zlib


def header(path):
    data = open(path, "rb").read()
    if len(data) < 8 or data[1:3] != b"WS" or data[0:1] not in (b"F", b"C"):
        return None
    length = struct.unpack("<I", data[4:8])[0]
    if length < 21:
        return None
    if data[0:1] == b"C":
        # Only the first bytes of the body are needed for the header.
        body = zlib.decompressobj().decompress(data[8:], 64)
    else:
        body = data[8:]
    bits = "".join(f"{b:08b}" for b in body[:32])
    n = int(bits[0:5], 2)

    def signed(s):
        v = int(s, 2) if s else 0
        return v - (1 << len(s)) if s and s[0] == "1" else v

    vals = [signed(bits[5 + i * n:5 + (i + 1) * n]) for i in range(4)]
    off = (5 + 4 * n + 7) // 8
    rate = body[off + 1]
    frames = body[off + 2] | (body[off + 3] << 8)
    width = int((vals[1] - vals[0]) / 20)
    height = int((vals[3] - vals[2]) / 20)
    return width, height, rate, frames, data[3]


def main():
    corpus = sys.argv[1]
    print("file\twidth\theight\tframe_rate\tframe_count\tversion")
    for name in sorted(os.listdir(corpus)):
        if not name.endswith(".swf"):
            continue
        h = header(os.path.join(corpus, name))
        if h is None:
            print(f"{name}\t-\t-\t-\t-\t-")
        else:
            print(name + "\t" + "\t".join(str(v) for v in h))


main()
