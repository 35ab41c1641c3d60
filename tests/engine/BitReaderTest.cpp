#include "engine/BitReader.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(BitReader, FieldsRunMostSignificantBitFirstAcrossBytes) {
    const uint8_t data[] = {0b10110011, 0b01011100, 0xFF, 0x00};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.ReadBits(3), 0b101u);
    EXPECT_EQ(r.Position(), 1u);  // a byte is fetched when its first bit is needed
    EXPECT_EQ(r.ReadBits(7), 0b1001101u);
    EXPECT_EQ(r.Position(), 2u);
    EXPECT_EQ(r.UnreadBitCount(), 6u);
    EXPECT_EQ(r.ReadSignedBits(6), 28);  // 0b011100: top bit clear
}

TEST(BitReader, SignedFieldsExtendFromTheirTopBit) {
    const uint8_t data[] = {0b11100000, 0b01100000};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.ReadSignedBits(3), -1);
    r.Align();
    EXPECT_EQ(r.ReadSignedBits(3), 3);
    r.SetPosition(0);
    EXPECT_EQ(r.ReadSignedBits(16), static_cast<int32_t>(0xFFFFE060));
    r.SetPosition(0);
    EXPECT_EQ(r.ReadBits(0), 0u);
    EXPECT_EQ(r.ReadSignedBits(0), 0);
}

TEST(BitReader, WholeBytesAreLittleEndianAndDropUnreadBits) {
    const uint8_t data[] = {0xF0, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x99};
    BitReader r(data, sizeof data);
    r.ReadBits(4);
    EXPECT_EQ(r.ReadU16(), 0x1234u);  // the rest of 0xF0 is discarded first
    EXPECT_EQ(r.ReadU32(), 0x12345678u);
    r.SetPosition(0);
    r.ReadBits(1);
    r.Skip(5);
    EXPECT_EQ(r.ReadU8(), 0x12u);
    EXPECT_EQ(r.ReadBits(32), 0x99000000u);  // past the end: zeros
}

TEST(BitReader, ReadsPastTheEndGiveZerosAndThePositionKeepsCounting) {
    const uint8_t data[] = {0xFF, 0xFF, 0xAA};
    BitReader r(data, 2);  // the view ends before 0xAA
    EXPECT_EQ(r.ReadU16(), 0xFFFFu);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(r.ReadU8(), 0u);
    EXPECT_EQ(r.ReadBits(12), 0u);
    EXPECT_EQ(r.Position(), 5u);
    r.Skip(SIZE_MAX);
    EXPECT_EQ(r.Position(), SIZE_MAX);
    EXPECT_EQ(r.ReadU32(), 0u);
    BitReader empty;
    EXPECT_EQ(empty.ReadU32(), 0u);
}

TEST(BitReader, ABitOffsetStandsForTheBitsReadBeforeIt) {
    const uint8_t data[] = {0x9C, 0x3A, 0xF1, 0x07, 0x5E};
    for (uint64_t offset = 0; offset <= 8 * sizeof data + 12; ++offset) {
        BitReader read(data, sizeof data);
        for (uint64_t left = offset; left > 0;) {
            const unsigned n = left < 7 ? static_cast<unsigned>(left) : 7;
            read.ReadBits(n);
            left -= n;
        }
        EXPECT_EQ(read.BitOffset(), offset);
        BitReader moved(data, sizeof data);
        moved.ReadBits(5);
        moved.SetBitOffset(offset);
        EXPECT_EQ(moved.Position(), read.Position()) << offset;
        EXPECT_EQ(moved.UnreadBitCount(), read.UnreadBitCount()) << offset;
        EXPECT_EQ(moved.ReadBits(11), read.ReadBits(11)) << offset;
    }
}

}  // namespace
}  // namespace kelvora
