#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/Bytes.h"

namespace kelvora::test {

// A WAV file image; `extraChunks` go between "fmt " and "data" (for the reader's refusals).
struct WavSpec {
    uint16_t formatTag = 1;
    uint16_t channels = 2;
    uint32_t sampleRate = 44100;
    uint16_t bitsPerSample = 16;
    uint32_t fmtSize = 16;  // more than 16 adds zero bytes to the chunk
    Bytes extraChunks;
    Bytes data;
    int64_t dataSizeOverride = -1;
};
Bytes BuildWav(const WavSpec& spec);

// A RIFF chunk: identifier, 32-bit size, body.
Bytes RiffChunk(const char id[4], const Bytes& body);

// 16-bit samples as little-endian bytes (interleaved as given).
Bytes Pcm16(const std::vector<int16_t>& samples);

// The 16-bit samples of a WAV file image's data chunk (to the end of the file).
std::vector<int16_t> Samples16(const Bytes& wav);

}  // namespace kelvora::test
