#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kelvora {

inline constexpr uint8_t kFlvTagAudio = 8;
inline constexpr uint32_t kFlvHeaderSize = 9;
inline constexpr uint32_t kFlvTagHeaderSize = 11;

// What an FLV header says: its version and where its first tag begins.
struct FlvHeader {
    uint8_t version = 0;
    size_t firstTagOffset = 0;
};
// False when the bytes do not begin with an FLV header.
bool ParseFlvHeader(const uint8_t* data, size_t size, FlvHeader& header);

// One audio tag with a body: its flags byte and the sound data after it.
struct FlvAudioTag {
    uint8_t flags = 0;
    size_t dataStart = 0;  // in the file
    size_t dataSize = 0;

    uint32_t Format() const { return flags >> 4; }
};

// Calls `tag` for every audio tag with a body, in file order, until it returns false. A last tag
// cut short is left out whole; empty audio tags are stepped over. Reads only `data`, writes
// nothing.
void WalkFlvAudio(const uint8_t* data, size_t size, const FlvHeader& header,
                  const std::function<bool(const FlvAudioTag&)>& tag);

}  // namespace kelvora
