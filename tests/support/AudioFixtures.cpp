#include "support/AudioFixtures.h"

#include <cmath>

#include "audio/TranscodeWavToMp3.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"

namespace kelvora::test {

std::vector<int16_t> Tone(uint32_t frames, uint16_t channels, uint32_t rate, double hz) {
    std::vector<int16_t> out;
    out.reserve(size_t{frames} * channels);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (uint16_t c = 0; c < channels; ++c) {
            out.push_back(static_cast<int16_t>(12000.0 * std::sin(2 * M_PI * hz * (c + 1) * t)));
        }
    }
    return out;
}

Bytes Mp3Of(uint32_t frames, uint16_t channels, uint32_t rate) {
    TempDir dir;
    WavSpec spec;
    spec.channels = channels;
    spec.sampleRate = rate;
    spec.data = Pcm16(Tone(frames, channels, rate));
    WriteFileBytes(dir.File("in.wav"), BuildWav(spec));
    if (!TranscodeWavToMp3(dir.File("in.wav"), dir.File("out.mp3"), nullptr, nullptr)) {
        return {};
    }
    return ReadFileBytes(dir.File("out.mp3"));
}

Mp3Info ScanMp3Frames(const Bytes& mp3) {
    // MPEG-1/2/2.5 Layer III: enough of the header to step from frame to frame.
    static const int kBitrates[2][16] = {
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // MPEG-2/2.5
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}};  // MPEG-1
    static const int kRates[3] = {44100, 48000, 32000};
    Mp3Info info;
    size_t pos = 0;
    while (pos + 4 <= mp3.size()) {
        if (mp3[pos] != 0xFF || (mp3[pos + 1] & 0xE0) != 0xE0) {
            ++pos;
            continue;
        }
        const int version = (mp3[pos + 1] >> 3) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
        const int bitrateIndex = mp3[pos + 2] >> 4;
        const int rateIndex = (mp3[pos + 2] >> 2) & 3;
        const int padding = (mp3[pos + 2] >> 1) & 1;
        if (version == 1 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15) {
            ++pos;
            continue;
        }
        const bool mpeg1 = version == 3;
        const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
        const int bitrate = kBitrates[mpeg1 ? 1 : 0][bitrateIndex] * 1000;
        const size_t length = static_cast<size_t>((mpeg1 ? 144 : 72) * bitrate / rate + padding);
        ++info.frames;
        info.sampleRate = static_cast<uint32_t>(rate);
        info.channels = ((mp3[pos + 3] >> 6) == 3) ? 1 : 2;
        pos += length;
    }
    return info;
}

bool WriteSwfWithSounds(const std::string& path, int sounds) {
    Bytes tags;
    for (int i = 0; i < sounds; ++i) {
        tags = Concat({tags, DefineSound(static_cast<uint16_t>(i + 1), 3, 2, true, false, 2000,
                                         Pcm16(Tone(2000, 1, 22050)))});
    }
    SwfMovie movie;
    movie.tags = Concat({tags, SwfEndTag()});
    return WriteFileBytes(path, BuildSwf(movie));
}

}  // namespace kelvora::test
