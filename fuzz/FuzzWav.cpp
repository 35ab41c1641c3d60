// The WAV reader over a file holding the input: the header parse, then chunks to the end in the
// file's own sample size (and once in the other, which must give nothing).
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "audio/WavFile.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFolder& scratch = fuzz::ScratchFolder::Get();
    const std::string path = scratch.Write("in.wav", data, size);
    KELVORA_FUZZ_CHECK(!path.empty());
    {
        CWavReader reader;
        if (reader.Open(path)) {
            const uint32_t frameBytes = reader.Channels() * (reader.BitsPerSample() / 8u);
            KELVORA_FUZZ_CHECK(frameBytes > 0);
            KELVORA_FUZZ_CHECK(uint64_t{reader.FrameCount()} * frameBytes <= size);
            const bool wide = reader.BitsPerSample() == 16;
            int16_t left[kChunkFrames];
            int16_t right[kChunkFrames];
            uint8_t left8[kChunkFrames];
            uint8_t right8[kChunkFrames];
            uint32_t count = 0;
            bool endOfFile = false;
            // The other sample size reads nothing and ends the stream at once.
            if (wide) {
                KELVORA_FUZZ_CHECK(reader.ReadChunk(left8, right8, count, endOfFile));
            } else {
                KELVORA_FUZZ_CHECK(reader.ReadChunk(left, right, count, endOfFile));
            }
            KELVORA_FUZZ_CHECK(count == 0 && endOfFile);
            uint64_t frames = 0;
            endOfFile = false;
            while (!endOfFile) {
                const bool ok = wide ? reader.ReadChunk(left, right, count, endOfFile)
                                     : reader.ReadChunk(left8, right8, count, endOfFile);
                KELVORA_FUZZ_CHECK(ok && count <= kChunkFrames);
                frames += count;
                KELVORA_FUZZ_CHECK(frames * frameBytes <= size);  // never more than the file
            }
            // Past the end it stays at the end.
            KELVORA_FUZZ_CHECK(reader.ReadChunk(left, right, count, endOfFile) && count == 0);
        }
    }
    scratch.Clear();
    return 0;
}
