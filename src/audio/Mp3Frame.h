#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kelvora {

// What the four header bytes of an MPEG audio Layer III frame say.
struct Mp3FrameHeader {
    uint32_t sampleRate = 0;
    uint32_t samplesPerFrame = 0;  // 1152 for MPEG-1, 576 for MPEG-2 and 2.5
    size_t frameBytes = 0;         // the whole frame, header and padding included
    uint16_t channels = 0;
    uint32_t bitRate = 0;  // bit/s
};

// Parses a Layer III frame header; false for anything else, and for free-format frames, whose
// length the header does not give.
bool ParseMp3FrameHeader(const uint8_t* bytes, size_t size, Mp3FrameHeader& header);

// A frame of silence shaped like the frame at `bytes`: the same MPEG version, rate, bitrate and
// channel mode, no padding, no CRC, and side information that codes no sound. Empty when the
// bytes do not start with a frame header ParseMp3FrameHeader takes.
std::vector<uint8_t> SilentMp3Frame(const uint8_t* bytes, size_t size);

// Cuts an MP3 stream handed on in pieces into its whole frames, found as CMp3FrameCounter finds
// them (bytes between frames are no frame and are left out, as is a last frame the stream cuts
// short): what a container that takes a frame a packet is given.
class CMp3FrameSplitter {
  public:
    using FrameSink = std::function<void(const uint8_t* frame, const Mp3FrameHeader& header)>;
    void Add(const uint8_t* data, size_t size, const FrameSink& frame);

  private:
    std::vector<uint8_t> m_pending;  // a frame not yet whole, and what may begin one
};

// Counts the Layer III frames of an MP3 stream handed on in pieces (a movie's stream blocks, a
// video's audio tags), as if the pieces were one stream: a frame, even its header, may run on
// into the next piece, and bytes between frames are stepped over as a decoder steps over them.
// It also tells what LAME's decoder gives for them: nothing for a first frame that is an
// Info/Xing header (what an encoder puts in front of an MP3 file, embedded with the sound by
// the authoring tool), nor for a frame whose main data would begin before the stream does (the
// first frames of a sound cut out of a longer MP3).
class CMp3FrameCounter {
  public:
    void Add(const uint8_t* data, size_t size);
    uint64_t Frames() const { return Final().frames; }
    // The sample frames the frames hold.
    uint64_t Samples() const { return Final().samples; }
    // The sample frames LAME's decoder gives for them.
    uint64_t DecodedSamples() const { return Final().decoded; }
    bool Found() const { return Frames() > 0; }
    // The first frame's header: the stream's rate and channels.
    Mp3FrameHeader First() const { return Final().first; }
    // Where the first frame begins, counted in bytes from the start of the first piece.
    uint64_t FirstOffset() const { return Final().firstOffset; }
    // Between frames: no frame, nor the start of one, is waiting for more bytes.
    bool AtFrameBoundary() const { return m_state.skip == 0 && m_carry.empty(); }
    // The bytes to add next to reach the end of the frame in hand (or to tell whether the bytes
    // waiting begin one): at most `limit`.
    size_t BytesToBoundary(size_t limit) const;

  private:
    struct State {
        uint64_t frames = 0;
        uint64_t samples = 0;
        uint64_t decoded = 0;
        uint64_t reservoir = 0;  // main data bytes so far, which later frames may begin in
        uint64_t skip = 0;       // bytes of the last frame still to come
        Mp3FrameHeader first;
        uint64_t firstOffset = 0;
    };
    // Scans `size` bytes that begin `offset` bytes into the stream; without `carry` no piece
    // follows, else the bytes that may begin a frame whose start is not whole go there to wait
    // for the next piece.
    static void Scan(const uint8_t* data, size_t size, uint64_t offset, State& state,
                     std::vector<uint8_t>* carry);
    // The state with what waits for a next piece judged as the stream's end.
    State Final() const;

    State m_state;
    uint64_t m_offset = 0;         // of the next piece in the stream
    std::vector<uint8_t> m_carry;  // the start of a frame that ran past the last piece
};

}  // namespace kelvora
