#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvora {

// What the four header bytes of an MPEG audio Layer III frame say.
struct Mp3FrameHeader {
    uint32_t sampleRate = 0;
    uint32_t samplesPerFrame = 0;  // 1152 for MPEG-1, 576 for MPEG-2 and 2.5
    size_t frameBytes = 0;         // the whole frame, header and padding included
    uint16_t channels = 0;
};

// Parses a Layer III frame header; false for anything else, and for free-format frames, whose
// length the header does not give.
bool ParseMp3FrameHeader(const uint8_t* bytes, size_t size, Mp3FrameHeader& header);

// A frame of silence shaped like the frame at `bytes`: the same MPEG version, rate, bitrate and
// channel mode, no padding, no CRC, and side information that codes no sound. Empty when the
// bytes do not start with a frame header ParseMp3FrameHeader takes.
std::vector<uint8_t> SilentMp3Frame(const uint8_t* bytes, size_t size);

}  // namespace kelvora
