#include "audio/CAdpcmDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <limits>

namespace kelvora {

namespace {

// The IMA ADPCM step sizes.
constexpr int32_t kStepTable[] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int32_t kMaxStepIndex = 88;
static_assert(std::size(kStepTable) == kMaxStepIndex + 1);

// Step index changes per code width (2..5 bits), indexed by the code without its sign bit.
constexpr int8_t kAdjust2[] = {-1, 2};
constexpr int8_t kAdjust3[] = {-1, -1, 2, 4};
constexpr int8_t kAdjust4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int8_t kAdjust5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int8_t* kAdjustTables[] = {kAdjust2, kAdjust3, kAdjust4, kAdjust5};

// Every 4096th sample (or frame) of a packet starts a block with an initial sample per channel.
constexpr uint64_t kBlockFrames = 4096;

// What a code does, per code width, step index and code without its sign bit: the difference
// (the step's share for every magnitude bit set, plus the last halving) in the low 16 bits, the
// next step index above them. One lookup per code instead of a loop over its bits.
constexpr uint32_t kMagnitudes = 16;  // of the widest code
using CodeTable = std::array<uint32_t, (kMaxStepIndex + 1) * kMagnitudes>;

constexpr CodeTable MakeCodeTable(unsigned width) {
    CodeTable table{};
    const uint32_t topBit = 1u << (width - 2);
    for (int32_t index = 0; index <= kMaxStepIndex; ++index) {
        for (uint32_t magnitude = 0; magnitude < 2 * topBit; ++magnitude) {
            int32_t step = kStepTable[index];
            int32_t difference = 0;
            for (uint32_t bit = topBit; bit != 0; bit >>= 1) {
                if (magnitude & bit) {
                    difference += step;
                }
                step >>= 1;
            }
            difference += step;
            const int32_t next =
                std::clamp(index + kAdjustTables[width - 2][magnitude], 0, kMaxStepIndex);
            table[index * kMagnitudes + magnitude] =
                static_cast<uint32_t>(difference) | (static_cast<uint32_t>(next) << 16);
        }
    }
    return table;
}

constexpr CodeTable kCodeTables[] = {MakeCodeTable(2), MakeCodeTable(3), MakeCodeTable(4),
                                     MakeCodeTable(5)};

// Fields taken straight from the reader's bytes at a bit offset, as ReadBits would take them:
// one unaligned load per field instead of a loop per byte. Bytes past the view read as zero.
class ViewBits {
  public:
    ViewBits(const uint8_t* data, size_t size, uint64_t offset)
        : m_data(data), m_size(size), m_fastEnd(size >= 8 ? size - 7 : 0), m_offset(offset) {}

    // The next n bits (1..25).
    uint32_t Read(unsigned n) {
        const uint64_t byte = m_offset >> 3;
        uint64_t window = 0;
        if (byte < m_fastEnd) {
            std::memcpy(&window, m_data + byte, 8);
            if constexpr (std::endian::native == std::endian::little) {
                window = __builtin_bswap64(window);
            }
        } else {
            for (uint64_t i = byte; i < byte + 8; ++i) {
                window = (window << 8) | (i < m_size ? m_data[i] : 0u);
            }
        }
        const uint32_t value = static_cast<uint32_t>((window << (m_offset & 7)) >> (64 - n));
        m_offset += n;
        return value;
    }
    // Where a bit reader would stand: just after the last byte fetched, with its unread bits.
    size_t Position() const { return static_cast<size_t>((m_offset + 7) >> 3); }
    unsigned UnreadBitCount() const { return static_cast<unsigned>(-m_offset & 7); }
    uint64_t Offset() const { return m_offset; }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_fastEnd;  // loads of 8 bytes are within the view below this byte
    uint64_t m_offset;
};

// The bit reader itself, for a position past the view (where the offset arithmetic of ViewBits
// would not hold): every field then reads as zero anyway.
class ReaderBits {
  public:
    explicit ReaderBits(BitReader& bits) : m_bits(bits) {}
    uint32_t Read(unsigned n) { return m_bits.ReadBits(n); }
    size_t Position() const { return m_bits.Position(); }
    unsigned UnreadBitCount() const { return m_bits.UnreadBitCount(); }

  private:
    BitReader& m_bits;
};

// How many of the next fields of `fieldBits` bits each are read when the position is tested
// against `rangeEnd` before each one. The last of them may end beyond the range.
template <class Bits>
uint64_t FieldsBefore(const Bits& bits, size_t rangeEnd, unsigned fieldBits) {
    const size_t position = bits.Position();
    if (position >= rangeEnd) {
        return 0;
    }
    const uint64_t bytesAfter = std::min<uint64_t>(rangeEnd - position - 1, UINT64_MAX >> 4);
    return (8 * bytesAfter + bits.UnreadBitCount()) / fieldBits + 1;
}

using PacketState = CAdpcmDecoder::PacketState;

// Decodes `maxFrames` samples or frames of a packet into `out`, and when `byRange`, only while
// the position is before `rangeEnd`. A packet not yet under way begins with its code size field;
// one under way goes on where `state` stands. Returns the bytes written.
template <bool k16Bit, unsigned kChannels, class Bits>
size_t DecodePacket(Bits& bits, PacketState& state, uint64_t maxFrames, bool byRange,
                    size_t rangeEnd, uint8_t* out) {
    if (!state.active) {
        state.active = true;
        state.width = static_cast<uint8_t>(bits.Read(2) + 2);
        state.blockFrame = 0;
    }
    const unsigned width = state.width;
    const uint32_t* const table = kCodeTables[width - 2].data();
    const uint32_t signBit = 1u << (width - 1);
    constexpr int32_t kLow = k16Bit ? -32768 : 0;
    constexpr int32_t kHigh = k16Bit ? 32767 : 255;

    auto put = [&out](int32_t sample) {
        *out++ = static_cast<uint8_t>(sample);
        if constexpr (k16Bit) {
            *out++ = static_cast<uint8_t>(sample >> 8);
        }
    };

    uint8_t* const start = out;
    // The channel state in locals for the loop, back into `state` at the end.
    int32_t predictor[kChannels];
    int32_t stepIndex[kChannels];
    for (unsigned c = 0; c < kChannels; ++c) {
        predictor[c] = state.predictor[c];
        stepIndex[c] = state.stepIndex[c];
    }
    uint64_t blockFrame = state.blockFrame;
    uint64_t left = maxFrames;
    while (left > 0) {
        if (blockFrame == 0) {
            if (byRange && bits.Position() >= rangeEnd) {
                break;
            }
            // Block header: the initial sample, written as read, and the step index.
            for (unsigned c = 0; c < kChannels; ++c) {
                predictor[c] = k16Bit ? static_cast<int16_t>(bits.Read(16))
                                      : static_cast<int32_t>(bits.Read(8));
                stepIndex[c] = static_cast<int32_t>(bits.Read(6));
                put(predictor[c]);
            }
            --left;
            blockFrame = 1;
        }

        uint64_t frames = std::min(left, kBlockFrames - blockFrame);
        if (byRange) {
            frames = std::min(frames, FieldsBefore(bits, rangeEnd, width * kChannels));
            if (frames == 0 && left > 0) {
                break;  // the range ended inside the block
            }
        }
        left -= frames;
        blockFrame += frames;
        if (blockFrame == kBlockFrames) {
            blockFrame = 0;
        }
        for (; frames > 0; --frames) {
            for (unsigned c = 0; c < kChannels; ++c) {
                const uint32_t code = bits.Read(width);
                const uint32_t effect = table[stepIndex[c] * kMagnitudes + (code & (signBit - 1))];
                const int32_t difference = static_cast<int32_t>(effect & 0xFFFF);
                stepIndex[c] = static_cast<int32_t>(effect >> 16);
                predictor[c] += (code & signBit) ? -difference : difference;
                predictor[c] = std::clamp(predictor[c], kLow, kHigh);
                put(predictor[c]);
            }
        }
    }
    for (unsigned c = 0; c < kChannels; ++c) {
        state.predictor[c] = predictor[c];
        state.stepIndex[c] = stepIndex[c];
    }
    state.blockFrame = static_cast<uint32_t>(blockFrame);
    return static_cast<size_t>(out - start);
}

template <class Bits>
size_t Decode(Bits& bits, PacketState& state, uint64_t maxFrames, bool byRange, size_t rangeEnd,
              uint8_t* out) {
    if (state.stereo) {
        return state.is16Bit
                   ? DecodePacket<true, 2>(bits, state, maxFrames, byRange, rangeEnd, out)
                   : DecodePacket<false, 2>(bits, state, maxFrames, byRange, rangeEnd, out);
    }
    return state.is16Bit ? DecodePacket<true, 1>(bits, state, maxFrames, byRange, rangeEnd, out)
                         : DecodePacket<false, 1>(bits, state, maxFrames, byRange, rangeEnd, out);
}

size_t Decode(BitReader& reader, PacketState& state, uint64_t maxFrames, bool byRange,
              size_t rangeEnd, uint8_t* out) {
    if (reader.Position() > reader.Size()) {
        ReaderBits bits(reader);
        return Decode(bits, state, maxFrames, byRange, rangeEnd, out);
    }
    ViewBits bits(reader.Data(), reader.Size(), reader.BitOffset());
    const size_t written = Decode(bits, state, maxFrames, byRange, rangeEnd, out);
    reader.SetBitOffset(bits.Offset());
    return written;
}

}  // namespace

size_t CAdpcmDecoder::DecodeByRange(size_t rangeEnd, bool stereo, bool is16Bit, uint8_t* out,
                                    size_t outCapacity) {
    m_packet = PacketState{};  // a range is never continued
    const size_t frameBytes = OutputBytes(1, stereo, is16Bit);
    const uint64_t maxFrames = out ? outCapacity / frameBytes : 0;
    if (maxFrames == 0) {
        return 0;
    }
    PacketState state;
    state.stereo = stereo;
    state.is16Bit = is16Bit;
    return Decode(m_bits, state, maxFrames, true, rangeEnd, out);
}

void CAdpcmDecoder::DecodeByCount(uint32_t count, bool stereo, bool is16Bit, uint8_t* out) {
    m_packet = PacketState{};
    if (count == 0 || !out) {
        return;
    }
    m_packet.stereo = stereo;
    m_packet.is16Bit = is16Bit;
    Decode(m_bits, m_packet, count, false, 0, out);
}

void CAdpcmDecoder::ContinueByCount(uint32_t count, uint8_t* out) {
    if (!m_packet.active || count == 0 || !out) {
        return;
    }
    Decode(m_bits, m_packet, count, false, 0, out);
}

size_t CAdpcmDecoder::OutputBytes(uint32_t count, bool stereo, bool is16Bit) {
    return static_cast<size_t>(count) * (stereo ? 2 : 1) * (is16Bit ? 2 : 1);
}

size_t CAdpcmDecoder::RangeOutputBound(size_t bodyBytes, bool is16Bit) {
    const size_t bytesPerSample = is16Bit ? 2 : 1;
    const size_t limit = std::numeric_limits<size_t>::max() / (4 * bytesPerSample);
    return std::min(bodyBytes, limit) * 4 * bytesPerSample;
}

uint32_t CAdpcmDecoder::BoundSampleCount(uint32_t count, size_t dataBytes, bool stereo) {
    const size_t perByte = stereo ? 2 : 4;  // 8 bits, two per sample, one or two samples a frame
    const size_t held = dataBytes > SIZE_MAX / perByte ? SIZE_MAX : dataBytes * perByte;
    return held < count ? static_cast<uint32_t>(held) : count;
}

uint64_t CAdpcmDecoder::RangeFrameCount(const uint8_t* data, size_t size, bool stereo,
                                        bool is16Bit) {
    if (data == nullptr || size == 0) {
        return 0;
    }
    const uint64_t channels = stereo ? 2 : 1;
    const uint64_t headerBits = channels * ((is16Bit ? 16 : 8) + 6);
    const uint64_t fieldBits = channels * ((data[0] >> 6) + 2);
    // The decoder reads a block header or a frame of codes while the byte after the last one it
    // fetched is inside the packet: while the field starts at or before the last byte's first bit.
    const uint64_t lastStart = (uint64_t{size} - 1) * 8;
    uint64_t position = 2;  // after the code size field
    uint64_t frames = 0;
    while (position <= lastStart) {
        position += headerBits;
        ++frames;
        if (position > lastStart) {
            break;
        }
        const uint64_t codes = std::min((lastStart - position) / fieldBits + 1, kBlockFrames - 1);
        frames += codes;
        position += codes * fieldBits;
        if (codes < kBlockFrames - 1) {
            break;
        }
    }
    return frames;
}

}  // namespace kelvora
