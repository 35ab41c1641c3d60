#include "flv/FlvWalk.h"

namespace kelvora {

namespace {

uint32_t LoadBe24(const uint8_t* p) {
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

}  // namespace

bool ParseFlvHeader(const uint8_t* data, size_t size, FlvHeader& header) {
    if (!data || size < kFlvHeaderSize || data[0] != 'F' || data[1] != 'L' || data[2] != 'V') {
        return false;
    }
    header.version = data[3];
    header.firstTagOffset = ((size_t{data[5]} << 24) | LoadBe24(data + 6)) + 4;
    return true;
}

void WalkFlvAudio(const uint8_t* data, size_t size, const FlvHeader& header,
                  const std::function<bool(const FlvAudioTag&)>& tag) {
    size_t pos = header.firstTagOffset;
    while (data && pos < size && size - pos >= kFlvTagHeaderSize) {
        const uint8_t type = data[pos];
        const size_t bodyStart = pos + kFlvTagHeaderSize;
        const size_t bodyEnd = bodyStart + LoadBe24(data + pos + 1);
        if (bodyEnd > size) {
            break;  // a truncated last tag is dropped whole
        }
        if (type == kFlvTagAudio && bodyEnd > bodyStart &&
            !tag({data[bodyStart], bodyStart + 1, bodyEnd - bodyStart - 1})) {
            break;
        }
        pos = bodyEnd + 4;  // the previous-tag-size field
    }
}

}  // namespace kelvora
