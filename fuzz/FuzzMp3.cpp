// The MP3 decode source over a file holding the input: the header scan of Open, then frame after
// frame to the end of the stream or the first decoding error.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "audio/CMp3Decoder.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFolder& scratch = fuzz::ScratchFolder::Get();
    const std::string path = scratch.Write("in.mp3", data, size);
    KELVORA_FUZZ_CHECK(!path.empty());
    {
        CMp3Decoder decoder;
        if (decoder.Open(path)) {
            KELVORA_FUZZ_CHECK(decoder.Channels() == 1 || decoder.Channels() == 2);
            int16_t left[kChunkFrames];
            int16_t right[kChunkFrames];
            // Every frame takes bytes of the file: more frames than bytes is a decoder that
            // never ends.
            uint64_t frames = 0;
            bool endOfFile = false;
            uint32_t count = 0;
            while (!endOfFile && decoder.ReadChunk(left, right, count, endOfFile)) {
                KELVORA_FUZZ_CHECK(count <= kChunkFrames);
                KELVORA_FUZZ_CHECK(++frames <= size);
            }
        }
    }
    scratch.Clear();
    return 0;
}
