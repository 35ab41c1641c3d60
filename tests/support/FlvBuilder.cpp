#include "support/FlvBuilder.h"

#include "engine/SoundFormat.h"

namespace kelvora::test {

uint8_t FlvAudioFlags(unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo) {
    return static_cast<uint8_t>(((format & 0xF) << 4) | ((rateIndex & 3) << 2) | (is16Bit ? 2 : 0) |
                                (isStereo ? 1 : 0));
}

FlvBuilder::FlvBuilder(uint32_t dataOffset, uint8_t version) {
    ByteWriter w;
    w.Append(std::string("FLV")).U8(version).U8(0x05).U32BE(dataOffset);
    // A longer header is padded to its data offset.
    for (uint32_t i = 9; i < dataOffset; ++i) {
        w.U8(0);
    }
    w.U32BE(0);  // the first previous-tag-size field
    m_bytes = w.take();
}

FlvBuilder& FlvBuilder::Tag(uint8_t type, const Bytes& body, uint32_t timestamp) {
    ByteWriter w;
    w.U8(type)
        .U24BE(static_cast<uint32_t>(body.size()))
        .U24BE(timestamp)
        .U8(timestamp >> 24)
        .U24BE(0);
    w.Append(body).U32BE(static_cast<uint32_t>(11 + body.size()));
    const Bytes& b = w.bytes();
    m_bytes.insert(m_bytes.end(), b.begin(), b.end());
    return *this;
}

FlvBuilder& FlvBuilder::Audio(uint8_t flags, const Bytes& data) {
    Bytes body{flags};
    body.insert(body.end(), data.begin(), data.end());
    return Tag(8, body);
}

FlvBuilder& FlvBuilder::Video(size_t bodySize) {
    return Tag(9, Bytes(bodySize, 0x12));
}

FlvBuilder& FlvBuilder::Script(size_t bodySize) {
    return Tag(18, Bytes(bodySize, 0x02));
}

FlvAudio ReadFlvAudio(const Bytes& flv) {
    FlvAudio audio;
    size_t pos = flv.size() < 9 ? flv.size() : ((flv[6] << 16) | (flv[7] << 8) | flv[8]) + 4;
    while (pos + 11 <= flv.size()) {
        const size_t size = (flv[pos + 1] << 16) | (flv[pos + 2] << 8) | flv[pos + 3];
        const size_t body = pos + 11, end = body + size;
        const bool audioTag = (flv[pos] & 0x1F) == 8 && size >= 2 && end <= flv.size();
        pos = end + 4;
        if (!audioTag) {
            continue;
        }
        const uint8_t flags = flv[body];
        if (audio.packets.empty() && audio.config.empty()) {
            audio.flags = flags;
        }
        audio.format = flags >> 4;
        const uint32_t rates[16] = {0, 0, 0, 0, 16000, 8000, 0, 8000, 8000, 0, 0, 16000};
        const bool fixed = rates[audio.format] != 0;
        audio.sampleRate = fixed ? rates[audio.format] : SoundRate((flags >> 2) & 3);
        audio.channels = fixed || (flags & 1) == 0 ? 1 : 2;
        if (audio.format == 10 && flv[body + 1] == 0) {
            audio.config.assign(flv.begin() + body + 2, flv.begin() + end);
        } else {
            audio.packets.emplace_back(flv.begin() + body + (audio.format == 10 ? 2 : 1),
                                       flv.begin() + end);
        }
    }
    return audio;
}

}  // namespace kelvora::test
