#include "audio/SpeexFrames.h"

#include <speex/speex.h>
#include <speex/speex_bits.h>

#include <climits>
#include <memory>

#include "audio/QuietStderr.h"

namespace kelvora {

namespace {

// The 5 bits of a frame that start with a narrowband layer whose mode is 15: a terminator.
constexpr uint32_t kTerminator = 0xF;

// A wideband decoder walking the frames of some data where they lie (the library reads the
// bytes and never writes them).
class SpeexWalk {
  public:
    SpeexWalk(const uint8_t* data, size_t size)
        : m_state(speex_decoder_init(speex_lib_get_mode(SPEEX_MODEID_WB))) {
        int frameSize = 0;
        if (m_state) {
            speex_decoder_ctl(m_state.get(), SPEEX_GET_FRAME_SIZE, &frameSize);
        }
        m_scratch.resize(static_cast<size_t>(frameSize > 0 ? frameSize : 640));
        speex_bits_set_bit_buffer(&m_bits, const_cast<uint8_t*>(data), static_cast<int>(size));
    }
    // Another frame begins here: not the end of the bits, nor a terminator.
    bool FrameAhead() {
        return m_state && speex_bits_remaining(&m_bits) >= 5 &&
               speex_bits_peek_unsigned(&m_bits, 5) != kTerminator;
    }
    // Decodes the next frame: 0 when it decoded whole, -1 at the end of the stream, -2 when it
    // is broken; a frame that ran past the data counts as broken.
    int Next() {
        const int result = speex_decode_int(m_state.get(), &m_bits, m_scratch.data());
        return result == 0 && speex_bits_remaining(&m_bits) < 0 ? -2 : result;
    }
    size_t BitsUsed() const {
        return static_cast<size_t>(m_bits.charPtr) * 8 + static_cast<size_t>(m_bits.bitPtr);
    }
    // Steps over padding to the next byte when it is a terminator's (a 0 bit, then 1 bits).
    bool SkipTerminatorPadding(int pad) {
        if (pad > 0) {
            if (speex_bits_peek_unsigned(&m_bits, pad) != (1u << (pad - 1)) - 1) {
                return false;
            }
            speex_bits_advance(&m_bits, pad);
        }
        return true;
    }

  private:
    struct DecoderDeleter {
        void operator()(void* state) const { speex_decoder_destroy(state); }
    };
    std::unique_ptr<void, DecoderDeleter> m_state;
    std::vector<spx_int16_t> m_scratch;
    SpeexBits m_bits{};
    const CQuietStderr m_quiet;  // the library tells of broken frames on stderr
};

bool Fits(size_t size) {
    return size > 0 && size <= INT_MAX / 8;
}

}  // namespace

std::vector<SpeexPacket> SpeexMoviePackets(const uint8_t* data, size_t size) {
    std::vector<SpeexPacket> packets;
    if (!Fits(size)) {
        return packets;
    }
    SpeexWalk walk(data, size);
    size_t start = 0;
    while (start < size && walk.FrameAhead()) {
        if (walk.Next() != 0) {
            packets.push_back({start, size, SpeexPacketFrames(data + start, size - start)});
            break;
        }
        const size_t used = walk.BitsUsed();
        const size_t end = (used + 7) / 8;
        if (!walk.SkipTerminatorPadding(static_cast<int>(end * 8 - used))) {
            packets.push_back({start, size, SpeexPacketFrames(data + start, size - start)});
            break;
        }
        packets.push_back({start, end, 1});
        start = end;
    }
    return packets;
}

uint32_t SpeexPacketFrames(const uint8_t* data, size_t size) {
    if (!Fits(size)) {
        return 0;
    }
    SpeexWalk walk(data, size);
    uint32_t frames = 0;
    // As libavcodec takes a packet: a frame that ends the stream still gives its samples, a
    // broken one gives none and ends the packet.
    while (walk.FrameAhead()) {
        const int result = walk.Next();
        if (result <= -2) {
            break;
        }
        ++frames;
        if (result < 0) {
            break;
        }
    }
    return frames;
}

}  // namespace kelvora
