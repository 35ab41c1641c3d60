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
    header.bitRate = bitrate;
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

namespace {

// The bytes of a frame's start that tell what the decoder does with it: header, CRC, side
// information, and the four bytes of an Info/Xing tag after it.
constexpr size_t kFrameLook = 4 + 2 + 32 + 4;

// Side information bytes after the header (and CRC): MPEG-1 17 mono, 32 stereo; MPEG-2 and 2.5
// 9 mono, 17 stereo.
size_t SideInfoBytes(const uint8_t* header) {
    const bool mpeg1 = ((header[1] >> 3) & 3) == 3;
    const bool mono = (header[3] >> 6) == 3;
    return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

}  // namespace

void CMp3FrameCounter::Scan(const uint8_t* data, size_t size, uint64_t offset, State& c,
                            std::vector<uint8_t>* carry) {
    size_t at = static_cast<size_t>(std::min<uint64_t>(c.skip, size));
    c.skip -= at;
    Mp3FrameHeader header;
    while (at < size) {
        if (carry && size - at < kFrameLook) {
            // A frame may begin here whose start runs on into the next piece.
            carry->assign(data + at, data + size);
            return;
        }
        if (!ParseMp3FrameHeader(data + at, size - at, header)) {
            ++at;
            continue;
        }
        const uint8_t* frame = data + at;
        const size_t crc = (frame[1] & 1) == 0 ? 2 : 0;
        const size_t side = SideInfoBytes(frame);
        const size_t held = std::min(header.frameBytes, size - at);
        // main_data_begin: 9 bits (MPEG-1) or 8 bits after the header and CRC.
        uint32_t mainDataBegin = 0;
        if (held >= 4 + crc + 2) {
            const uint8_t* bits = frame + 4 + crc;
            mainDataBegin = header.samplesPerFrame == 1152
                                ? (uint32_t{bits[0]} << 1) | (bits[1] >> 7)
                                : bits[0];
        }
        const uint8_t* tag = frame + 4 + crc + side;
        const bool header0 = c.frames == 0 && held >= 4 + crc + side + 4 &&
                             (std::equal(tag, tag + 4, "Xing") || std::equal(tag, tag + 4, "Info"));
        if (c.frames == 0) {
            c.first = header;
            c.firstOffset = offset + at;
        }
        ++c.frames;
        c.samples += header.samplesPerFrame;
        if (!header0) {
            if (mainDataBegin <= c.reservoir) {
                c.decoded += header.samplesPerFrame;
            }
            c.reservoir += header.frameBytes - std::min(header.frameBytes, 4 + crc + side);
        }
        if (at + header.frameBytes > size) {
            c.skip = at + header.frameBytes - size;
            return;
        }
        at += header.frameBytes;
    }
}

void CMp3FrameCounter::Add(const uint8_t* data, size_t size) {
    while (size > 0) {
        if (m_carry.empty()) {
            Scan(data, size, m_offset, m_state, &m_carry);
            m_offset += size;
            return;
        }
        // The start of a frame that ran past the last piece, judged with this one's first bytes
        // (which, should it still wait, it now holds).
        const size_t take = std::min(size, kFrameLook);
        std::vector<uint8_t> joined;
        joined.swap(m_carry);
        const uint64_t joinedOffset = m_offset - joined.size();
        joined.insert(joined.end(), data, data + take);
        Scan(joined.data(), joined.size(), joinedOffset, m_state, &m_carry);
        data += take;
        size -= take;
        m_offset += take;
    }
}

void CMp3FrameSplitter::Add(const uint8_t* data, size_t size, const FrameSink& frame) {
    m_pending.insert(m_pending.end(), data, data + size);
    size_t at = 0;
    Mp3FrameHeader header;
    while (m_pending.size() - at >= 4) {
        if (!ParseMp3FrameHeader(m_pending.data() + at, m_pending.size() - at, header)) {
            ++at;
            continue;
        }
        if (m_pending.size() - at < header.frameBytes) {
            break;  // the rest of it comes with the next piece
        }
        frame(m_pending.data() + at, header);
        at += header.frameBytes;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(at));
}

size_t CMp3FrameCounter::BytesToBoundary(size_t limit) const {
    if (!m_carry.empty()) {
        return std::min(limit, kFrameLook);
    }
    return static_cast<size_t>(std::min<uint64_t>(m_state.skip, limit));
}

CMp3FrameCounter::State CMp3FrameCounter::Final() const {
    State state = m_state;
    if (!m_carry.empty()) {
        Scan(m_carry.data(), m_carry.size(), m_offset - m_carry.size(), state, nullptr);
    }
    return state;
}

}  // namespace kelvora
