#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/BitReader.h"

namespace kelvora {

// Decodes Flash ADPCM packets (an FLV audio tag body, or the data of a SWF sound) into PCM:
// signed 16-bit little-endian samples, or unsigned 8-bit samples centred on 128; stereo is
// interleaved left, right. Reads through the container reader's bit reader from wherever the
// caller left it and leaves it after the last byte fetched. Keeps no state between packets: every
// DecodeByRange or DecodeByCount call reads a new code size and begins with a block header.
// A packet decoded by count can be taken in pieces (ContinueByCount), so that a long sound needs
// no buffer for all of its samples at once.
class CAdpcmDecoder {
  public:
    explicit CAdpcmDecoder(BitReader& bits) : m_bits(bits) {}

    // Decodes while the reader's position is before `rangeEnd` (tested before each sample, or
    // each frame in stereo) and while the next sample or frame fits in `outCapacity` bytes.
    // Returns the bytes written. No buffer or no room for one sample: nothing is read.
    size_t DecodeByRange(size_t rangeEnd, bool stereo, bool is16Bit, uint8_t* out,
                         size_t outCapacity);

    // Decodes exactly `count` samples (mono) or frames (stereo) into `out`, which holds
    // OutputBytes(count, ...) bytes. A count of 0 or no buffer: nothing is read or written.
    void DecodeByCount(uint32_t count, bool stereo, bool is16Bit, uint8_t* out);

    // Decodes the next `count` samples or frames of the packet that the last DecodeByCount or
    // ContinueByCount call of this decoder left, with that packet's flags: the pieces together
    // are what one DecodeByCount of their total count gives. The reader must still stand where
    // the last call left it. Without such a packet (none begun, or a DecodeByRange since),
    // nothing is read or written.
    void ContinueByCount(uint32_t count, uint8_t* out);

    // The bytes that `count` samples or frames take in the output buffer.
    static size_t OutputBytes(uint32_t count, bool stereo, bool is16Bit);

    // The most bytes a DecodeByRange call can write when the range holds `bodyBytes` bytes from
    // the reader's position: every sample takes at least two bits, and the unread bits of the
    // current byte never make up for the code size field and the block header.
    static size_t RangeOutputBound(size_t bodyBytes, bool is16Bit);

    // `count` limited to the samples (mono) or frames (stereo) that `dataBytes` bytes can hold,
    // so that a claimed count cannot make a caller allocate more than the data could fill.
    static uint32_t BoundSampleCount(uint32_t count, size_t dataBytes, bool stereo);

    // The samples (mono) or frames (stereo) DecodeByRange gives for a whole packet of `size`
    // bytes, counted from its code size and block layout without decoding it.
    static uint64_t RangeFrameCount(const uint8_t* data, size_t size, bool stereo, bool is16Bit);

    // Where a packet decoded in pieces stands between calls.
    struct PacketState {
        bool active = false;  // a packet by count is under way
        bool stereo = false;
        bool is16Bit = false;
        uint8_t width = 0;        // code width in bits
        uint32_t blockFrame = 0;  // frames of the current block decoded; 0: a header is due
        int32_t predictor[2] = {};
        int32_t stepIndex[2] = {};
    };

  private:
    BitReader& m_bits;
    PacketState m_packet;
};

}  // namespace kelvora
