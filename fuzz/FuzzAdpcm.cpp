// The ADPCM decoder, both entry forms, every flag.
//
// Input: a 4-byte control block, then the packet bytes the decoder reads.
//   byte 0: bit 0 stereo, bit 1 16-bit output, bits 2..4 the bit of the first byte the packet
//           starts at, bits 5..7 a piece size selector for decoding by count in pieces
//   bytes 1..2: the count for DecodeByCount (little-endian, samples or frames; the low 14 bits:
//           four blocks and a little, enough to cross every kind of block boundary)
//   byte 3: where the range of DecodeByRange ends, relative to the packet's end (-128..127
//           bytes: short of it or past it), and how much output room it gets
// Both forms run on every input. Decoding by count is done at once and again in pieces, which
// must give the same samples and leave the reader at the same place.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "audio/CAdpcmDecoder.h"
#include "engine/BitReader.h"

using namespace kelvora;

namespace {

constexpr size_t kControlBytes = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kControlBytes) {
        return 0;
    }
    const bool stereo = data[0] & 1;
    const bool is16Bit = (data[0] & 2) != 0;
    const unsigned startBit = (data[0] >> 2) & 7;
    const uint32_t pieceSelector = data[0] >> 5;
    const uint32_t count = (data[1] | (uint32_t{data[2]} << 8)) & 0x3FFF;
    const int rangeDelta = static_cast<int8_t>(data[3]);
    const uint8_t* packet = data + kControlBytes;
    const size_t packetSize = size - kControlBytes;

    // By count, at once.
    BitReader once(packet, packetSize);
    once.ReadBits(startBit);
    std::vector<uint8_t> whole(CAdpcmDecoder::OutputBytes(count, stereo, is16Bit));
    CAdpcmDecoder(once).DecodeByCount(count, stereo, is16Bit, whole.data());

    // By count, in pieces of 1, 2, 3, 7, 100, 4095, 4096 or 4097 samples or frames.
    static constexpr uint32_t kPieces[8] = {1, 2, 3, 7, 100, 4095, 4096, 4097};
    const uint32_t piece = kPieces[pieceSelector];
    BitReader pieces(packet, packetSize);
    pieces.ReadBits(startBit);
    CAdpcmDecoder decoder(pieces);
    std::vector<uint8_t> joined(whole.size());
    size_t at = 0;
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(piece, count - done);
        if (done == 0) {
            decoder.DecodeByCount(n, stereo, is16Bit, joined.data());
        } else {
            decoder.ContinueByCount(n, joined.data() + at);
        }
        at += CAdpcmDecoder::OutputBytes(n, stereo, is16Bit);
        done += n;
    }
    KELVORA_FUZZ_CHECK(joined == whole);
    KELVORA_FUZZ_CHECK(pieces.Position() == once.Position());
    KELVORA_FUZZ_CHECK(pieces.UnreadBitCount() == once.UnreadBitCount());

    // By range, with the room the FLV reader gives it, or less.
    BitReader ranged(packet, packetSize);
    ranged.ReadBits(startBit);
    const int64_t end = static_cast<int64_t>(packetSize) + rangeDelta;
    const size_t rangeEnd = end < 0 ? 0 : static_cast<size_t>(end);
    const size_t body = rangeEnd > ranged.Position() ? rangeEnd - ranged.Position() : 0;
    const size_t bound = CAdpcmDecoder::RangeOutputBound(body, is16Bit);
    const size_t room = (data[3] & 1) ? bound : bound / 3;
    std::vector<uint8_t> out(room);
    const size_t written =
        CAdpcmDecoder(ranged).DecodeByRange(rangeEnd, stereo, is16Bit, out.data(), out.size());
    KELVORA_FUZZ_CHECK(written <= room);
    KELVORA_FUZZ_CHECK(written % CAdpcmDecoder::OutputBytes(1, stereo, is16Bit) == 0);
    return 0;
}
