// The sample converter: formats from the input's first bytes, the rest as samples.
//
// Input: input format and output format, 8 bytes each (channels: 2 bytes, sample rate: 4 bytes,
// bits per sample: 2 bytes, little-endian), then unsigned 8-bit samples.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "audio/CSampleConverter.h"

using namespace kelvora;

namespace {

SampleFormat FormatAt(const uint8_t* p) {
    SampleFormat f;
    f.channels = static_cast<uint16_t>(p[0] | (p[1] << 8));
    f.sampleRate = p[2] | (uint32_t{p[3]} << 8) | (uint32_t{p[4]} << 16) | (uint32_t{p[5]} << 24);
    f.bitsPerSample = static_cast<uint16_t>(p[6] | (p[7] << 8));
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16) {
        return 0;
    }
    const SampleFormat input = FormatAt(data);
    const SampleFormat output = FormatAt(data + 8);
    const uint8_t* samples = data + 16;
    const uint32_t count = static_cast<uint32_t>(size - 16);
    CSampleConverter converter;
    const bool configured = converter.Configure(input, output);
    KELVORA_FUZZ_CHECK(configured == (input.bitsPerSample == 8 && output.bitsPerSample == 16 &&
                                      input.channels == output.channels &&
                                      input.sampleRate == output.sampleRate));
    std::vector<int16_t> out(count, 0x5A5A);
    converter.Convert(samples, out.data(), count);
    for (uint32_t i = 0; i < count; ++i) {
        // Widened around 128, or untouched when the formats are not the one pair it knows.
        KELVORA_FUZZ_CHECK(out[i] == (configured ? (samples[i] - 128) * 256 : 0x5A5A));
    }
    return 0;
}
