// A packet decoded by count in pieces gives what one call gives.
#include <gtest/gtest.h>

#include "audio/CAdpcmDecoder.h"
#include "support/Bytes.h"

namespace kelvora {
namespace {

using namespace test;

TEST(AdpcmPieces, PiecesAcrossBlockHeadersGiveTheWholeDecode) {
    // Codes of every width, pieces that end on, before and after the block restart at 4096.
    Bytes data(9000);
    uint32_t x = 7;
    for (uint8_t& b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    constexpr uint32_t kCount = 9000;
    for (uint8_t width = 0; width < 4; ++width) {
        data[0] = static_cast<uint8_t>((data[0] & 0x3F) | (width << 6));
        for (int mode = 0; mode < 4; ++mode) {
            const bool stereo = mode & 1;
            const bool is16Bit = mode & 2;
            for (uint32_t piece : {1u, 4095u, 4096u, 4097u, 5000u}) {
                SCOPED_TRACE(testing::Message() << int{width} << " " << mode << " " << piece);
                BitReader once(data.data(), data.size());
                Bytes whole(CAdpcmDecoder::OutputBytes(kCount, stereo, is16Bit));
                CAdpcmDecoder(once).DecodeByCount(kCount, stereo, is16Bit, whole.data());

                BitReader bits(data.data(), data.size());
                CAdpcmDecoder decoder(bits);
                Bytes joined(whole.size(), 0xEE);
                size_t at = 0;
                for (uint32_t done = 0; done < kCount; done += piece) {
                    const uint32_t n = std::min(piece, kCount - done);
                    if (done == 0) {
                        decoder.DecodeByCount(n, stereo, is16Bit, joined.data());
                    } else {
                        decoder.ContinueByCount(n, joined.data() + at);
                    }
                    at += CAdpcmDecoder::OutputBytes(n, stereo, is16Bit);
                }
                EXPECT_TRUE(joined == whole);
                EXPECT_EQ(bits.Position(), once.Position());
                EXPECT_EQ(bits.UnreadBitCount(), once.UnreadBitCount());
            }
        }
    }
}

TEST(AdpcmPieces, OnlyAPacketByCountCanBeContinued) {
    const Bytes data(64, 0x5A);
    BitReader bits(data.data(), data.size());
    CAdpcmDecoder decoder(bits);
    Bytes out(64, 0xEE);
    decoder.ContinueByCount(4, out.data());  // nothing begun
    decoder.DecodeByCount(0, false, true, out.data());
    decoder.ContinueByCount(4, out.data());  // a count of 0 begins nothing
    EXPECT_EQ(bits.Position(), 0u);
    ASSERT_GT(decoder.DecodeByRange(8, false, true, out.data(), out.size()), 0u);
    const size_t after = bits.Position();
    decoder.ContinueByCount(4, out.data());  // a range is never continued
    EXPECT_EQ(bits.Position(), after);
    EXPECT_EQ(out.back(), 0xEE);
}

}  // namespace
}  // namespace kelvora
