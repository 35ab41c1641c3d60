#include "audio/Mp3Frame.h"

#include <algorithm>

namespace kelvora {

namespace {

// Layer III bitrates in kbit/s by index, for MPEG-1 and for MPEG-2 and 2.5.
constexpr uint32_t kBitratesV1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                      112, 128, 160, 192, 224, 256, 320, 0};
constexpr uint32_t kBitratesV2[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                      64, 80, 96, 112, 128, 144, 160, 0};
constexpr uint32_t kRatesV1[3] = {44100, 48000, 32000};

}  // namespace

bool ParseMp3FrameHeader(const uint8_t* bytes, size_t size, Mp3FrameHeader& header) {
    if (size < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) {
        return false;
    }
    const uint32_t version = (bytes[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    const uint32_t layer = (bytes[1] >> 1) & 3;    // 1: Layer III
    const uint32_t bitrateIndex = bytes[2] >> 4;
    const uint32_t rateIndex = (bytes[2] >> 2) & 3;
    const uint32_t padding = (bytes[2] >> 1) & 1;
    const uint32_t mode = bytes[3] >> 6;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return false;
    }
    const bool mpeg1 = version == 3;
    const uint32_t divisor = version == 3 ? 1 : version == 2 ? 2 : 4;
    header.sampleRate = kRatesV1[rateIndex] / divisor;
    header.samplesPerFrame = mpeg1 ? 1152 : 576;
    const uint32_t bitrate = (mpeg1 ? kBitratesV1 : kBitratesV2)[bitrateIndex] * 1000;
    header.frameBytes = (mpeg1 ? 144 : 72) * bitrate / header.sampleRate + padding;
    header.channels = mode == 3 ? 1 : 2;
    return true;
}

std::vector<uint8_t> SilentMp3Frame(const uint8_t* bytes, size_t size) {
    Mp3FrameHeader header;
    if (!ParseMp3FrameHeader(bytes, size, header)) {
        return {};
    }
    std::vector<uint8_t> frame(header.frameBytes - ((bytes[2] >> 1) & 1), 0);
    frame[0] = bytes[0];
    frame[1] = static_cast<uint8_t>(bytes[1] | 0x01);   // no CRC follows
    frame[2] = static_cast<uint8_t>(bytes[2] & ~0x02);  // no padding
    frame[3] = bytes[3];
    // Zero side information: no main data, no spectral values, so the frame decodes to silence.
    return frame;
}

void CMp3FrameCounter::Add(const uint8_t* data, size_t size) {
    size_t at = static_cast<size_t>(std::min<uint64_t>(m_skip, size));
    m_skip -= at;
    Mp3FrameHeader header;
    while (at + 4 <= size) {
        if (!ParseMp3FrameHeader(data + at, size - at, header)) {
            ++at;
            continue;
        }
        if (m_frames == 0) {
            m_first = header;
        }
        ++m_frames;
        m_samples += header.samplesPerFrame;
        if (at + header.frameBytes > size) {
            m_skip = at + header.frameBytes - size;
            return;
        }
        at += header.frameBytes;
    }
}

}  // namespace kelvora
