#pragma once

#include <cstdint>

namespace kelvora {

// What a sample stream is made of.
struct SampleFormat {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
};

// Brings samples of one format to another. The program only widens unsigned 8-bit samples to
// signed 16-bit ones at the same channels and rate, so that is the one conversion it knows.
class CSampleConverter {
  public:
    // False (and Convert does nothing) for any other pair of formats.
    bool Configure(const SampleFormat& input, const SampleFormat& output);

    // Widens `count` samples of one channel: x becomes (x - 128) * 256.
    void Convert(const uint8_t* input, int16_t* output, uint32_t count) const;

  private:
    SampleFormat m_input;
    SampleFormat m_output;
    bool m_configured = false;
};

}  // namespace kelvora
