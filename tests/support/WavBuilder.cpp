#include "support/WavBuilder.h"

#include <algorithm>

namespace kelvora::test {

Bytes RiffChunk(const char id[4], const Bytes& body) {
    ByteWriter w;
    w.Append(std::string(id, 4)).U32(static_cast<uint32_t>(body.size())).Append(body);
    return w.take();
}

Bytes BuildWav(const WavSpec& s) {
    ByteWriter fmt;
    const uint16_t align = static_cast<uint16_t>(s.channels * s.bitsPerSample / 8);
    fmt.U16(s.formatTag)
        .U16(s.channels)
        .U32(s.sampleRate)
        .U32(s.sampleRate * align)
        .U16(align)
        .U16(s.bitsPerSample);
    Bytes fmtBody = fmt.take();
    fmtBody.resize(s.fmtSize < 16 ? s.fmtSize : s.fmtSize, 0);
    ByteWriter body;
    body.Append(std::string("WAVE")).Append(RiffChunk("fmt ", fmtBody)).Append(s.extraChunks);
    body.Append(std::string("data"))
        .U32(s.dataSizeOverride >= 0 ? static_cast<uint32_t>(s.dataSizeOverride)
                                     : static_cast<uint32_t>(s.data.size()))
        .Append(s.data);
    ByteWriter file;
    file.Append(std::string("RIFF"))
        .U32(static_cast<uint32_t>(body.bytes().size()))
        .Append(body.bytes());
    return file.take();
}

Bytes Pcm16(const std::vector<int16_t>& samples) {
    ByteWriter w;
    for (int16_t v : samples) {
        w.U16(static_cast<uint16_t>(v));
    }
    return w.take();
}

std::vector<int16_t> Samples16(const Bytes& wav) {
    // The samples start after the "data" chunk's header, wherever other chunks put it.
    size_t start = wav.size();
    for (size_t pos = 12; pos + 8 <= wav.size();) {
        const uint32_t size = wav[pos + 4] | (wav[pos + 5] << 8) | (wav[pos + 6] << 16) |
                              (uint32_t{wav[pos + 7]} << 24);
        if (std::equal(wav.begin() + pos, wav.begin() + pos + 4, "data")) {
            start = pos + 8;
            break;
        }
        pos += 8 + size + (size & 1);
    }
    std::vector<int16_t> out;
    for (size_t i = start; i + 1 < wav.size(); i += 2) {
        out.push_back(static_cast<int16_t>(wav[i] | (wav[i + 1] << 8)));
    }
    return out;
}

}  // namespace kelvora::test
