#!/usr/bin/env bash
# Times the desktop program's own window converting a batch, under an X server (Xvfb and a
# window manager), beside kelvora-cli on the same files: 24 ADPCM videos of 60 seconds to MP3,
# with one and with two files at once. Prints each time and its ratio to `kelvora-cli -j 1`.
#
#   bench/window_batch_xvfb.sh [RUNS]     RUNS of each (default 3); the median is printed
#
# The window is the real `kelvora` program with its settings in a home folder of its own
# (Jobs, ShowOutputs off, FirstRun done); the batch starts with a click on "Convert to MP3" and
# ends when every MP3 file is whole (no WAV element is left and the progress window is gone).
# Installs Xvfb, openbox, xdotool and ffmpeg with apt-get when they are missing.
set -euo pipefail

source "$(dirname "$0")/../scripts/setup.sh"
ensure_packages "${kelvora_build_packages[@]}" "${kelvora_run_packages[@]}" xvfb openbox \
    xdotool ffmpeg
build="$kelvora_root/build"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
runs="${1:-3}"
work="${KELVORA_WINDOW_BENCH_DIR:-/tmp/kelvora-window-bench}"
mkdir -p "$work/videos" "$work/home"
cd "$work"
shopt -s nullglob
rm -f wait.fifo
mkfifo wait.fifo
exec 9<>wait.fifo

if [ ! -s videos/track_24.flv ]; then
    echo "Generating 24 ADPCM videos of 60 seconds..." >&2
    for n in $(seq 1 24); do
        ffmpeg -hide_banner -loglevel error -y \
            -f lavfi -i "anoisesrc=color=pink:amplitude=0.3:duration=60:sample_rate=22050:seed=$n" \
            -c:a adpcm_swf -ar 22050 "videos/track_$n.flv"
    done
fi
clean() { rm -f videos/*.mp3 videos/*.wav; }
now() { echo "$EPOCHREALTIME"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

cli_time() {  # JOBS
    clean
    local start end
    start=$(now)
    "$build/src/kelvora-cli" -j "$1" --to mp3 videos >/dev/null
    end=$(now)
    echo "$end - $start" | bc
}

# The X server, its window manager, and the program's settings.
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY="$display" openbox >/dev/null 2>&1 &
wm=$!
sleep 1

window_time() {  # JOBS
    clean
    mkdir -p home/.config/Dastrel
    printf '[Options]\nFirstRun=0\nJobs=%s\nShowOutputs=false\n' "$1" \
        >home/.config/Dastrel/Kelvora.conf
    HOME="$work/home" DISPLAY="$display" XDG_RUNTIME_DIR= "$build/src/app/kelvora" \
        videos/track_*.flv >/dev/null 2>&1 &
    local program=$!
    local id
    id=$(DISPLAY="$display" xdotool search --sync --onlyvisible --pid "$program" --name '^Kelvora$' |
         head -1)
    sleep 2  # the files are added, the window is idle
    local start end
    start=$(now)
    DISPLAY="$display" xdotool mousemove --window "$id" 70 208 click 1 mousemove 0 0
    # Done when every output is whole: 24 MP3 files and no WAV element left. Watched with the
    # shell's own globbing and a wait on a pipe nobody writes: starting programs every few
    # milliseconds would take the processors the batch is measured on.
    local mp3 wav
    while :; do
        mp3=(videos/*.mp3)
        wav=(videos/*.wav)
        [ ${#mp3[@]} = 24 ] && [ ${#wav[@]} = 0 ] && break
        read -r -t 0.02 -u 9 || true
    done
    end=$(now)
    kill "$program"
    wait "$program" 2>/dev/null || true
    echo "$end - $start" | bc
}

declare -A times
for what in "cli 1" "cli 2" "window 1" "window 2"; do
    set -- $what
    for _ in $(seq 1 "$runs"); do
        "${1}_time" "$2"
    done | median >"median"
    times["$what"]=$(cat median)
done
base=${times["cli 1"]}
for what in "cli 1" "cli 2" "window 1" "window 2"; do
    printf '%-10s %7.2f s  %.2f of kelvora-cli -j 1\n' "$what" "${times[$what]}" \
        "$(echo "${times[$what]} / $base" | bc -l)"
done
clean
