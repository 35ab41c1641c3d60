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

// Counts the Layer III frames of an MP3 stream handed on in pieces (a movie's stream blocks, a
// video's audio tags), where a frame may run on into the next piece: the frames as their headers
// give them, bytes between frames stepped over as a decoder steps over them.
class CMp3FrameCounter {
  public:
    void Add(const uint8_t* data, size_t size);
    uint64_t Frames() const { return m_frames; }
    // The sample frames the frames decode to.
    uint64_t Samples() const { return m_samples; }
    bool Found() const { return m_frames > 0; }
    // The first frame's header: the stream's rate and channels.
    const Mp3FrameHeader& First() const { return m_first; }

  private:
    uint64_t m_skip = 0;  // bytes of the last frame still to come
    uint64_t m_frames = 0;
    uint64_t m_samples = 0;
    Mp3FrameHeader m_first;
};

}  // namespace kelvora
