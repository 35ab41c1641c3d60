#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# their own build folder and runs each one for SECONDS from its seeds and regression inputs, as
# many at once as there are processors. Fails when any target finds a fault; the input that found it is kept in
# the build folder's findings/ (put it into fuzz/regressions/TARGET/ once it is fixed).
#
#   fuzz/run_fuzzers.sh SECONDS [TARGET...]
#       targets: swf flv adpcm wav mp3 sampleconverter zws codecs wrappers
#
# CI runs it with 15 seconds a target. KELVORA_FUZZ_BUILD names another build folder; one that is
# configured already (CI's sanitized test build, say) is used as it is.
set -euo pipefail

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [TARGET...]" >&2
    exit 2
fi
seconds="$1"
shift
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KELVORA_FUZZ_BUILD:-$root/build-fuzz}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(swf flv adpcm wav mp3 sampleconverter zws codecs wrappers)
fi

# Per target: the dictionary and the longest input worth trying (movies and videos are walked
# whole; a decoder's state repeats long before that).
declare -A dict=([swf]=swf.dict [flv]=flv.dict [wav]=audio.dict [mp3]=audio.dict
                 [zws]=swf.dict [codecs]=codecs.dict [wrappers]=swf.dict)
declare -A maxlen=([swf]=65536 [flv]=65536 [adpcm]=4096 [wav]=16384 [mp3]=16384
                   [sampleconverter]=4096 [zws]=65536 [codecs]=16384
                 [wrappers]=65536)

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKELVORA_FUZZ=ON \
        -DKELVORA_BUILD_TESTS=OFF -DKELVORA_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --parallel 2 --target "${targets[@]/#/fuzz_}"

work="$(mktemp -d "${TMPDIR:-/tmp}/kelvora-fuzz-run-XXXXXX")"
trap 'rm -rf "$work"' EXIT
findings="$build/findings"
for t in "${targets[@]}"; do
    if [ -z "${maxlen[$t]:-}" ]; then
        echo "unknown target: $t" >&2
        exit 2
    fi
done

# Runs one target; its verdict is the file $work/T/status.
fuzz_one() {
    local t="$1"
    # New inputs go to a folder of this run; the committed seeds are only read.
    mkdir -p "$work/$t/corpus" "$work/$t/artifacts"
    local inputs=("$work/$t/corpus" "$root/fuzz/corpus/$t")
    if [ -d "$root/fuzz/regressions/$t" ]; then
        inputs+=("$root/fuzz/regressions/$t")
    fi
    local args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len="${maxlen[$t]}"
                -artifact_prefix="$work/$t/artifacts/" -print_final_stats=1)
    if [ -n "${dict[$t]:-}" ]; then
        args+=(-dict="$root/fuzz/${dict[$t]}")
    fi
    if "$build/fuzz/fuzz_$t" "${args[@]}" "${inputs[@]}" >"$work/$t/log" 2>&1; then
        echo ok >"$work/$t/status"
    else
        echo fault >"$work/$t/status"
    fi
}

# As many targets at once as there are processors (KELVORA_FUZZ_JOBS sets another number).
jobs="${KELVORA_FUZZ_JOBS:-$(nproc)}"
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    fuzz_one "$t" &
done
wait

status=0
for t in "${targets[@]}"; do
    log="$work/$t/log"
    if [ "$(cat "$work/$t/status" 2>/dev/null)" = ok ]; then
        summary="$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true)"
        echo "fuzz_$t: ok ${summary#*DONE}"
    else
        status=1
        echo "fuzz_$t: FAULT FOUND" >&2
        tail -n 60 "$log" >&2
        mkdir -p "$findings/$t"
        cp "$work/$t/artifacts/"* "$findings/$t/" 2>/dev/null || true
        cp "$log" "$findings/$t/log"
        echo "inputs kept in $findings/$t" >&2
    fi
done
exit "$status"
