#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvora {

// A packet for the Speex decoder: [start, end) bytes of the data and the frames it decodes to.
struct SpeexPacket {
    size_t start = 0;
    size_t end = 0;
    uint32_t frames = 0;
};

// The packets of a movie's Speex sound. Flash writes wideband frames one after another, each
// padded to a whole byte with a terminator (a 0 bit, then 1 bits), and a decoder handed them as
// one packet stops at the first padding: each frame is a packet of its own. From a frame whose
// padding is no terminator on, the rest is one packet of frames that run on without padding.
// libspeex finds where each frame ends.
std::vector<SpeexPacket> SpeexMoviePackets(const uint8_t* data, size_t size);

// The wideband frames a decoder takes from one packet: one after another until a terminator or
// the end of its bits (a video's audio tag may hold several).
uint32_t SpeexPacketFrames(const uint8_t* data, size_t size);

}  // namespace kelvora
