#include "support/AudioFixtures.h"

#include <cmath>

#include "audio/Mp3Frame.h"
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
    Mp3Info info;
    size_t pos = 0;
    Mp3FrameHeader header;
    while (pos + 4 <= mp3.size()) {
        if (!ParseMp3FrameHeader(mp3.data() + pos, mp3.size() - pos, header)) {
            ++pos;
            continue;
        }
        ++info.frames;
        info.sampleRate = header.sampleRate;
        info.channels = header.channels;
        pos += header.frameBytes;
    }
    return info;
}

std::vector<Bytes> Mp3FramesOf(const Bytes& mp3) {
    std::vector<Bytes> frames;
    Mp3FrameHeader header;
    for (size_t pos = 0; pos + 4 <= mp3.size();) {
        if (!ParseMp3FrameHeader(mp3.data() + pos, mp3.size() - pos, header) ||
            pos + header.frameBytes > mp3.size()) {
            ++pos;
            continue;
        }
        frames.emplace_back(mp3.begin() + static_cast<std::ptrdiff_t>(pos),
                            mp3.begin() + static_cast<std::ptrdiff_t>(pos + header.frameBytes));
        pos += header.frameBytes;
    }
    return frames;
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
