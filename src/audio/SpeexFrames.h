#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kelvora {

// Where the frames of a movie's Speex sound lie: Flash writes wideband frames one after another,
// each padded to a whole byte with a terminator (a 0 bit, then 1 bits), and a decoder handed
// them as one packet stops at the first padding. Returns [start, end) byte ranges, one a frame;
// from a frame whose padding is no terminator on, the rest is one range, for the decoder to take
// as frames that run on without padding. libspeex finds where each frame ends.
std::vector<std::pair<size_t, size_t>> SpeexFrameRanges(const uint8_t* data, size_t size);

}  // namespace kelvora
