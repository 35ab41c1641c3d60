#include "support/FlvBuilder.h"

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

}  // namespace kelvora::test
