// kelvora_wav2mp3 IN.wav OUT.mp3: the program's own WAV-to-MP3 transcoding as a process of its
// own, so that bench/compare.sh can time it side by side with the lame program.
#include <cstdio>

#include "audio/TranscodeWavToMp3.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kelvora_wav2mp3 IN.wav OUT.mp3\n");
        return 2;
    }
    uint32_t frames = 0;
    uint32_t rate = 0;
    if (!kelvora::TranscodeWavToMp3(argv[1], argv[2], &frames, &rate)) {
        std::fprintf(stderr, "kelvora_wav2mp3: %s: cannot transcode\n", argv[1]);
        return 1;
    }
    return 0;
}
