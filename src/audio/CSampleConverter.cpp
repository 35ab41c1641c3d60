#include "audio/CSampleConverter.h"

namespace kelvora {

bool CSampleConverter::Configure(const SampleFormat& input, const SampleFormat& output) {
    m_input = input;
    m_output = output;
    m_configured = input.bitsPerSample == 8 && output.bitsPerSample == 16 &&
                   input.channels == output.channels && input.sampleRate == output.sampleRate;
    return m_configured;
}

void CSampleConverter::Convert(const uint8_t* input, int16_t* output, uint32_t count) const {
    if (!m_configured) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        output[i] = static_cast<int16_t>((int{input[i]} - 128) * 256);
    }
}

}  // namespace kelvora
