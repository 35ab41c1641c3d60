#!/usr/bin/env bash
# Times each job done by Kelvora side by side with the tool a user would pick instead, and
# prints each pair's ratio (Kelvora / the peer; below 1 is faster). Whole-process timings,
# the median of several runs each (hyperfine).
#
#   bench/compare.sh            full run: 3 minutes of sound, a 1 GB FLV
#   bench/compare.sh --quick    1 minute of sound, a 200 MB FLV, fewer runs
#   KELVORA_COMPARE_ONLY=REGEX  only the rows whose job matches (grep -E), e.g. 'Nellymoser|AAC'
#
# Inputs are generated with ffmpeg into $KELVORA_COMPARE_DIR (default /tmp/kelvora-compare),
# the SWF ones by the test support code (kelvora_make_swf). Installs ffmpeg, lame and hyperfine
# with apt-get when they are missing.
set -euo pipefail

source "$(dirname "$0")/../scripts/setup.sh"
ensure_packages "${kelvora_build_packages[@]}" ffmpeg lame hyperfine
build="$kelvora_root/build"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

minutes=3
big_mb=1024
runs=5
if [ "${1:-}" = "--quick" ]; then
    minutes=1
    big_mb=200
    runs=3
fi
cli="$build/src/kelvora-cli"
wav2mp3="$build/bench/kelvora_wav2mp3"
work="${KELVORA_COMPARE_DIR:-/tmp/kelvora-compare}"
mkdir -p "$work/in" "$work/peer" "$work/mixed"
cd "$work"
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

seconds=$((minutes * 60))
if [ ! -s "in/src-$minutes.wav" ]; then
    echo "Generating $minutes minutes of stereo 44.1 kHz sound..." >&2
    ff -f lavfi -i "sine=frequency=440:duration=$seconds:sample_rate=44100" \
       -f lavfi -i "anoisesrc=color=pink:amplitude=0.1:duration=$seconds:sample_rate=44100" \
       -filter_complex "[0][1]amix=inputs=2,aformat=channel_layouts=stereo,volume=0.8" \
       -map_metadata -1 -fflags +bitexact -flags:a +bitexact -c:a pcm_s16le "in/src-$minutes.wav"
    ff -i "in/src-$minutes.wav" -c:a libmp3lame -b:a 128k -f flv "in/mp3-$minutes.flv"
    ff -i "in/src-$minutes.wav" -c:a adpcm_swf -f flv "in/adpcm-$minutes.flv"
    ff -i "in/src-$minutes.wav" -c:a pcm_u8 -f flv "in/pcm8-$minutes.flv"
    ff -i "in/src-$minutes.wav" -c:a libmp3lame -b:a 128k -f mp3 "in/src-$minutes.mp3"
fi
# The formats the every-format option converts: Nellymoser, AAC and Speex tracks of the same sound.
if [ ! -s "in/speex-$minutes.flv" ]; then
    ff -i "in/src-$minutes.wav" -ac 1 -ar 22050 -c:a nellymoser -f flv "in/nelly-$minutes.flv"
    ff -i "in/src-$minutes.wav" -c:a aac -b:a 128k -f flv "in/aac-$minutes.flv"
    ff -i "in/src-$minutes.wav" -ac 1 -ar 16000 -c:a libspeex -f flv "in/speex-$minutes.flv"
fi
for kind in mp3 adpcm pcm8 nelly aac speex; do
    cp -f "in/$kind-$minutes.flv" "in/$kind.flv"
done
cp -f "in/src-$minutes.wav" in/src.wav
if [ ! -s "in/big-$big_mb.flv" ]; then
    echo "Making a $big_mb MB FLV with MP3 audio..." >&2
    size=$(stat -c %s in/mp3.flv)
    loops=$(( (big_mb * 1024 * 1024) / size ))
    ff -stream_loop "$loops" -i in/mp3.flv -c copy -f flv "in/big-$big_mb.flv"
fi
rm -f in/big.flv
ln -s "big-$big_mb.flv" in/big.flv
# 40 mixed files: short FLVs of each audio kind.
if [ ! -s mixed/f40.flv ]; then
    for i in $(seq 1 40); do
        kinds=(mp3 adpcm pcm8)
        kind=${kinds[$((i % 3))]}
        codec=$([ "$kind" = mp3 ] && echo "libmp3lame -b:a 128k" || ([ "$kind" = adpcm ] && echo adpcm_swf || echo pcm_u8))
        # shellcheck disable=SC2086
        ff -ss $((i % 30)) -t 15 -i in/src.wav -c:a $codec -f flv "mixed/f$(printf %02d "$i").flv"
    done
fi
"$build/bench/kelvora_make_swf" in/src.wav "in/src-$minutes.mp3" in

# Kelvora writes next to its inputs: they sit in k/, which is emptied of outputs before each run.
mkdir -p k
for f in mp3.flv adpcm.flv pcm8.flv nelly.flv aac.flv speex.flv big.flv events.swf stream.swf; do
    ln -f "$(readlink -f "in/$f")" "k/$f"
done
ln -f in/src.wav k/src.wav
clean="find $work/k $work/mixed $work/peer -type f ! -name '*.flv' ! -name '*.swf' ! -name src.wav -delete; rm -f $work/peer/big-copy.flv"

results=()
# row NAME TARGET KELVORA_CMD PEER_CMD
row() {
    local name="$1" target="$2" kcmd="$3" pcmd="$4"
    if [ -n "${KELVORA_COMPARE_ONLY:-}" ] && ! grep -qE "$KELVORA_COMPARE_ONLY" <<<"$name"; then
        return
    fi
    hyperfine --style none --runs "$runs" --warmup 1 --prepare "$clean" \
        --export-json "$work/timing.json" "$kcmd" "$pcmd" >/dev/null
    local line
    line=$(python3 - "$work/timing.json" "$name" "$target" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
k, p = r[0]["median"], r[1]["median"]
print(f"| {sys.argv[2]} | {k:.3f} s | {p:.3f} s | {k / p:.2f} | {sys.argv[3]} |")
PY
)
    results+=("$line")
    echo "$line" >&2
}

peer="ffmpeg -hide_banner -loglevel error -y"
row "FLV with MP3 audio to MP3" "≤ 0.5" \
    "$cli --to mp3 $work/k/mp3.flv" "$peer -i $work/k/mp3.flv -vn -c:a copy $work/peer/mp3.mp3"
row "FLV with ADPCM audio to WAV" "≤ 0.5" \
    "$cli --to wav $work/k/adpcm.flv" \
    "$peer -i $work/k/adpcm.flv -vn -c:a pcm_s16le $work/peer/adpcm.wav"
row "FLV with ADPCM audio to MP3" "≤ 1.0" \
    "$cli --to mp3 $work/k/adpcm.flv" \
    "$peer -i $work/k/adpcm.flv -vn -c:a libmp3lame $work/peer/adpcm.mp3"
# The every-format option's decoders, each against ffmpeg's own decode of the track (for Speex
# ffmpeg picks its built-in decoder, where the program uses libspeex).
row "FLV with Nellymoser audio to WAV (--all-formats)" "≤ 0.5" \
    "$cli --all-formats --to wav $work/k/nelly.flv" \
    "$peer -i $work/k/nelly.flv -vn -c:a pcm_s16le $work/peer/nelly.wav"
row "FLV with AAC audio to WAV (--all-formats)" "≤ 0.5" \
    "$cli --all-formats --to wav $work/k/aac.flv" \
    "$peer -i $work/k/aac.flv -vn -c:a pcm_s16le $work/peer/aac.wav"
row "FLV with Speex audio to WAV (--all-formats)" "≤ 0.5" \
    "$cli --all-formats --to wav $work/k/speex.flv" \
    "$peer -i $work/k/speex.flv -vn -c:a pcm_s16le $work/peer/speex.wav"
row "WAV to MP3 inside the program" "≤ 1.03" \
    "$wav2mp3 $work/k/src.wav $work/k/out.mp3" "lame -t --quiet $work/k/src.wav $work/peer/lame.mp3"
row "(the same; lame without ReplayGain)" "-" \
    "$wav2mp3 $work/k/src.wav $work/k/out.mp3" \
    "lame -t --quiet --noreplaygain $work/k/src.wav $work/peer/lame.mp3"
row "40 mixed files to MP3" "≤ 0.55" \
    "$cli -j 2 --to mp3 $work/mixed" \
    "bash -c 'for f in $work/mixed/*.flv; do $peer -i \$f -vn -c:a libmp3lame $work/peer/\$(basename \$f .flv).mp3; done'"
row "MP3 passthrough of a $big_mb MB FLV" "≤ 1.5" \
    "$cli --to mp3 $work/k/big.flv" "cat $work/k/big.flv"
# What writing the same amount costs: the passthrough writes nearly the whole file again.
row "(the same; copying the file once: cp)" "-" \
    "$cli --to mp3 $work/k/big.flv" "cp $work/k/big.flv $work/peer/big-copy.flv"
# Kelvora alone on the SWF inputs: no peer reads SWF event sounds.
if [ -z "${KELVORA_COMPARE_ONLY:-}" ]; then
echo "SWF inputs (200 event sounds; a long PCM stream and an MP3 stream in a sprite):" >&2
hyperfine --style basic --runs "$runs" --warmup 1 --prepare "$clean" \
    "$cli --to wav $work/k/events.swf $work/k/stream.swf" \
    "$cli --to mp3 $work/k/events.swf $work/k/stream.swf" >&2
fi

echo
echo "| job | Kelvora | the peer | ratio | target |"
echo "|---|---|---|---|---|"
printf '%s\n' "${results[@]}"
