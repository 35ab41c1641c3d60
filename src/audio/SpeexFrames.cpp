#include "audio/SpeexFrames.h"

#include <speex/speex.h>
#include <speex/speex_bits.h>

#include <climits>
#include <memory>

#include "audio/QuietStderr.h"

namespace kelvora {

namespace {

struct DecoderDeleter {
    void operator()(void* state) const { speex_decoder_destroy(state); }
};

// The 5 bits of a frame that start with a narrowband layer whose mode is 15: a terminator.
constexpr uint32_t kTerminator = 0xF;

}  // namespace

std::vector<std::pair<size_t, size_t>> SpeexFrameRanges(const uint8_t* data, size_t size) {
    std::vector<std::pair<size_t, size_t>> ranges;
    if (size == 0 || size > INT_MAX / 8) {
        return ranges;
    }
    std::unique_ptr<void, DecoderDeleter> state(
        speex_decoder_init(speex_lib_get_mode(SPEEX_MODEID_WB)));
    if (!state) {
        ranges.emplace_back(0, size);
        return ranges;
    }
    int frameSize = 0;
    speex_decoder_ctl(state.get(), SPEEX_GET_FRAME_SIZE, &frameSize);
    std::vector<spx_int16_t> scratch(static_cast<size_t>(frameSize > 0 ? frameSize : 640));
    // The library reads the bytes where they lie and never writes them.
    SpeexBits bits;
    speex_bits_set_bit_buffer(&bits, const_cast<uint8_t*>(data), static_cast<int>(size));
    CQuietStderr quiet;
    size_t start = 0;
    while (start < size) {
        if (speex_bits_remaining(&bits) < 5 || speex_bits_peek_unsigned(&bits, 5) == kTerminator) {
            break;  // what is left is padding
        }
        if (speex_decode_int(state.get(), &bits, scratch.data()) != 0 ||
            speex_bits_remaining(&bits) < 0) {
            ranges.emplace_back(start, size);  // the decoder judges the rest
            break;
        }
        const size_t used =
            static_cast<size_t>(bits.charPtr) * 8 + static_cast<size_t>(bits.bitPtr);
        const size_t end = (used + 7) / 8;
        const int pad = static_cast<int>(end * 8 - used);
        if (pad > 0) {
            // A terminator pads to the byte: a 0 bit, then 1 bits.
            const uint32_t terminator = (1u << (pad - 1)) - 1;
            if (speex_bits_peek_unsigned(&bits, pad) != terminator) {
                ranges.emplace_back(start, size);
                break;
            }
            speex_bits_advance(&bits, pad);
        }
        ranges.emplace_back(start, end);
        start = end;
    }
    return ranges;
}

}  // namespace kelvora
