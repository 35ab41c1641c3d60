#!/bin/sh
# Remakes the FLV test vectors of the libavcodec formats and refs.tsv, ffmpeg's 16-bit decode
# of each (rate, channels, sample frames and the MD5 of the s16le bytes).
# Speex is decoded by libspeex (which decodes every frame of a packet), the others by ffmpeg's
# own decoders. Needs ffmpeg (with libspeex) and ffprobe. Run from anywhere: ./make_vectors.sh
set -eu
cd "$(dirname "$0")"

# Two tones and a little noise, the same on every run (random() is seeded).
tone='0.35*sin(2*PI*440*t)+0.15*sin(2*PI*1250*t)+0.05*(2*random(0)-1)'
tone2='0.3*sin(2*PI*660*t)+0.15*sin(2*PI*2100*t)+0.05*(2*random(1)-1)'

# make NAME RATE CHANNELS DURATION ENCODER [ENCODER OPTIONS...]
make() {
    name=$1 rate=$2 channels=$3 duration=$4
    shift 4
    if [ "$channels" = 2 ]; then expr="$tone|$tone2"; else expr="$tone"; fi
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
        -i "aevalsrc=exprs=$expr:sample_rate=$rate:duration=$duration" \
        -c:a "$@" -flvflags no_metadata -fflags +bitexact "$name.flv"
}

make nelly8k 8000 1 1 nellymoser
make nelly16k 16000 1 1 nellymoser
make nelly22k 22050 1 1 nellymoser
make speex16k 16000 1 1 libspeex
make speex16k_3fpp 16000 1 1 libspeex -frames_per_packet 3
make aac22k_mono 22050 1 1 aac -b:a 24k
make aac44k_stereo 44100 2 0.5 aac -b:a 64k
make alaw8k 8000 1 0.5 pcm_alaw
make mulaw8k 8000 1 0.5 pcm_mulaw

printf 'file\trate\tchannels\tframes\tmd5\n' > refs.tsv
for f in *.flv; do
    set -- $(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels \
        -of default=noprint_wrappers=1:nokey=1 "$f")
    rate=$1 channels=$2
    case $f in speex*) decoder='-c:a libspeex' ;; *) decoder= ;; esac
    bytes=$(ffmpeg -nostdin -v error $decoder -i "$f" -vn -c:a pcm_s16le -f s16le - | wc -c)
    md5=$(ffmpeg -nostdin -v error $decoder -i "$f" -vn -c:a pcm_s16le -f s16le - |
        md5sum | cut -d' ' -f1)
    printf '%s\t%s\t%s\t%s\t%s\n' "$f" "$rate" "$channels" $((bytes / 2 / channels)) "$md5" >> refs.tsv
done
