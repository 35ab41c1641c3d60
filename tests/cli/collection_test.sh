#!/usr/bin/env bash
# Whole collections with --log: runs killed at several moments and started again end with the
# files of one uninterrupted run (names and bytes), the log names every source once with the
# SHA-256 of every output, and without --log the files are the same; then the README's GNU
# parallel recipe on one machine with two job slots gives one run's files and names every
# source once in the joined logs.
# Usage: collection_test.sh KELVORA_CLI SOURCE_DIR CORPUS_DIR
set -u
export LC_ALL=C
cli=$(realpath "$1")
src=$(realpath "$2")
corpus=${3:-}
for tool in jq parallel sha256sum; do
    if ! command -v $tool >/dev/null; then
        echo "$tool is not installed"
        exit 77
    fi
done
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# flv_pcm FILE SECONDS: a video of 16-bit stereo 44.1 kHz PCM noise, a tag a second, long
# enough that encoding it to MP3 takes a while.
flv_pcm() {
    local body=176401 i
    {
        printf 'FLV\001\004\000\000\000\011\000\000\000\000'
        for ((i = 0; i < $2; i++)); do
            printf "\\010\\$(printf %03o $((body >> 16)))\\$(printf %03o $((body >> 8 & 255)))"
            printf "\\$(printf %03o $((body & 255)))\\000\\000\\000\\000\\000\\000\\000\\077"
            head -c 176400 /dev/urandom
            printf '\000\002\261\034'  # the size of the tag before: 11 + body
        done
    } >"$1"
}

# The tree every run converts: movies from the corpus, the test videos, a movie and a video whose
# outputs take the same names, in folders and a subfolder.
tree=$tmp/tree
mkdir -p "$tree/movies" "$tree/videos/long"
for name in gnash_car_smash gnash_sound1 gnash_elvis jpexs_test_sounds shumway_race \
    ruffle_avm1_sound; do
    cp "$corpus/$name.swf" "$tree/movies/" 2>/dev/null
done
cp "$corpus/gnash_car_smash.swf" "$tree/videos/pair.swf"
find "$src/tests/data" -name '*.flv' -exec cp {} "$tree/videos/" \;
cp "$tree/videos/mono22k.flv" "$tree/videos/pair.flv" 2>/dev/null || fail "no test video"
for n in 1 2 3 4 5 6; do
    flv_pcm "$tree/videos/long/noise$n.flv" 12
done
sources=$(find "$tree" -type f | wc -l)

# Every file below a folder but the sources, as "md5  ./path".
digests() {
    (cd "$1" && find . -type f ! -iname '*.swf' ! -iname '*.flv' -exec md5sum {} + | sort -k2)
}
# Every source a log names, relative to `root`, once per line.
logged() {
    jq -r '.path' "$2" | sed "s|^$1/||" | sort
}

cp -r "$tree" "$tmp/one"
"$cli" -j 2 --all-formats --log "$tmp/one.log" "$tmp/one" >/dev/null 2>&1
digests "$tmp/one" >"$tmp/one.md5"
[ "$(wc -l <"$tmp/one.md5")" -gt 15 ] || fail "one run wrote only $(wc -l <"$tmp/one.md5") files"
[ ! -e "$tmp/one.log.claims" ] || fail "the journal stays after a whole run"

cp -r "$tree" "$tmp/plain"
"$cli" -j 2 --all-formats "$tmp/plain" >/dev/null 2>&1
digests "$tmp/plain" | cmp -s - "$tmp/one.md5" || fail "a run without --log writes other files"

cp -r "$tree" "$tmp/killed"
for delay in 0.05 0.2 0.4 0.7 1.0; do
    "$cli" -j 2 --all-formats --log "$tmp/killed.log" "$tmp/killed" >/dev/null 2>&1 &
    pid=$!
    sleep $delay
    kill -9 $pid 2>/dev/null
    wait $pid 2>/dev/null
done
"$cli" -j 2 --all-formats --log "$tmp/killed.log" "$tmp/killed" >/dev/null 2>"$tmp/last.err"
digests "$tmp/killed" | cmp -s - "$tmp/one.md5" ||
    fail "killed and resumed, the files differ from one run's: $(digests "$tmp/killed" |
        diff - "$tmp/one.md5" | head -5)"
[ ! -e "$tmp/killed.log.claims" ] || fail "the journal stays after the last run"
[ "$(logged "$tmp/killed" "$tmp/killed.log" | uniq | wc -l)" -eq "$sources" ] &&
    [ -z "$(logged "$tmp/killed" "$tmp/killed.log" | uniq -d)" ] ||
    fail "the log does not name each of the $sources sources once"
bad=0
while read -r sum path; do
    [ "$(sha256sum "$path" | cut -c1-64)" = "$sum" ] || bad=$((bad + 1))
done < <(jq -r '.outputs[] | "\(.sha256) \(.path)"' "$tmp/killed.log")
[ $bad -eq 0 ] || fail "$bad outputs differ from their logged sha256"

# The recipe for many machines, on this one with two job slots.
cp -r "$tree" "$tmp/shared"
mkdir "$tmp/logs"
(
    cd "$tmp/shared" &&
        find . -type d | LC_ALL=C sort >"$tmp/folders.txt" &&
        PATH="$(dirname "$cli"):$PATH" parallel --will-cite -S 2/: --workdir . \
            --joblog "$tmp/jobs.txt" --resume \
            "$src/examples/convert-folder.sh" {} "$tmp/logs/{#}.log" --all-formats \
            :::: "$tmp/folders.txt" >/dev/null 2>&1
)
cat "$tmp"/logs/*.log >"$tmp/joined.log"
digests "$tmp/shared" | cmp -s - "$tmp/one.md5" ||
    fail "the parallel recipe writes other files than one run: $(digests "$tmp/shared" |
        diff - "$tmp/one.md5" | head -5)"
logged "$tmp/shared" "$tmp/joined.log" | sed 's|^\./||' | cmp -s - <(logged "$tmp/one" "$tmp/one.log") ||
    fail "the joined logs do not name every source once"

[ "$failures" -eq 0 ]
