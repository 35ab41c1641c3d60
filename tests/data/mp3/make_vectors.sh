#!/bin/sh
# Remakes the MP3 test vectors and the lame program's decodes of them.
# Needs python3, lame and ffmpeg. Run from anywhere: ./make_vectors.sh
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Deterministic input: two tones and a little pseudo-random noise per channel.
pcm() {  # name channels rate frames
    python3 - "$tmp/$1.wav" "$2" "$3" "$4" <<'PY'
import math, struct, sys, wave
path, ch, rate, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
seed = 12345
out = bytearray()
for i in range(n):
    for c in range(ch):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = (seed >> 16) % 2001 - 1000
        f1, f2 = (440.0, 1250.0) if c == 0 else (660.0, 2100.0)
        v = 9000 * math.sin(2 * math.pi * f1 * i / rate) + 4000 * math.sin(2 * math.pi * f2 * i / rate) + noise
        out += struct.pack('<h', max(-32768, min(32767, int(v))))
w = wave.open(path, 'wb')
w.setnchannels(ch); w.setsampwidth(2); w.setframerate(rate); w.writeframes(bytes(out)); w.close()
PY
}

pcm s44 2 44100 6000
pcm m44 1 44100 6000
pcm m22 1 22050 5000
pcm m11 1 11025 3000

lame --quiet -b 128 "$tmp/s44.wav" s44_128_info.mp3
lame --quiet -t -b 128 "$tmp/s44.wav" s44_128_notag.mp3
lame --quiet -t -b 64 "$tmp/m44.wav" m44_64_notag.mp3
lame --quiet -b 32 "$tmp/m22.wav" m22_32.mp3
lame --quiet -t -b 16 "$tmp/m11.wav" m11_16_notag.mp3
lame --quiet -t --freeformat -b 200 "$tmp/s44.wav" s44_free_notag.mp3
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
    -i "sine=frequency=500:sample_rate=48000:duration=0.25" -ac 2 -c:a libmp3lame -q:a 6 \
    s48_vbr_ffmpeg.mp3

# The lame program's decode of each, and the samples it says it skipped at either end.
printf 'file\tskip_start\tskip_end\n' > lame_decode.tsv
for f in *.mp3; do
    base=${f%.mp3}
    log=$(lame --decode "$f" "$base.lame.wav" 2>&1 | tr '\r' '\n')
    start=$(printf '%s\n' "$log" | sed -n 's/^skipping initial \([0-9]*\) samples.*/\1/p')
    end=$(printf '%s\n' "$log" | sed -n 's/^skipping final \([0-9]*\) samples.*/\1/p')
    printf '%s\t%s\t%s\n' "$f" "${start:-0}" "${end:-0}" >> lame_decode.tsv
done
