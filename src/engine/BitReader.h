#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora {

// Little-endian integers at `p` (which must hold them).
inline uint16_t LoadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadLe32(const uint8_t* p) {
    return LoadLe16(p) | (uint32_t{LoadLe16(p + 2)} << 16);
}

// Reads bit fields (most significant bit first) and little-endian integers from a byte view.
// Every read is bounded by the view: bytes past its end read as zero, and the position goes on
// counting, so a caller can still compare it with the end of the range it wanted.
class BitReader {
  public:
    BitReader() = default;
    BitReader(const uint8_t* data, size_t size) { Attach(data, size); }

    void Attach(const uint8_t* data, size_t size) {
        m_data = data;
        m_size = data ? size : 0;
        m_pos = 0;
        m_bits = 0;
        m_bitCount = 0;
    }

    const uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }

    // The index of the next byte to fetch.
    size_t Position() const { return m_pos; }
    // Moves to a byte offset and drops any unread bits.
    void SetPosition(size_t pos) {
        m_pos = pos;
        m_bits = 0;
        m_bitCount = 0;
    }
    unsigned UnreadBitCount() const { return m_bitCount; }

    // The offset of the next unread bit from the start of the view: what a reader working on the
    // bytes directly continues from. Meaningful while Position() <= Size().
    uint64_t BitOffset() const { return static_cast<uint64_t>(m_pos) * 8 - m_bitCount; }
    // Stands the reader as if every bit before `offset` had been read through ReadBits: the byte
    // holding that bit is fetched and its remaining bits are unread.
    void SetBitOffset(uint64_t offset) {
        m_pos = static_cast<size_t>(offset >> 3);
        m_bitCount = 0;
        if (offset & 7) {
            m_bits = FetchByte();
            m_bitCount = 8 - static_cast<unsigned>(offset & 7);
        }
    }

    // The next n bits (0..32) as an unsigned value, most significant first. A byte is fetched
    // only when its first bit is needed.
    uint32_t ReadBits(unsigned n) {
        uint32_t value = 0;
        while (n > m_bitCount) {
            n -= m_bitCount;
            if (m_bitCount > 0) {
                value |= (m_bits & ((1u << m_bitCount) - 1)) << n;  // n < 32 here
            }
            m_bits = FetchByte();
            m_bitCount = 8;
        }
        m_bitCount -= n;
        value |= (m_bits >> m_bitCount) & ((1u << n) - 1);
        return value;
    }

    // The next n bits (1..32) sign-extended from bit n-1.
    int32_t ReadSignedBits(unsigned n) {
        if (n == 0) {
            return 0;
        }
        const uint32_t raw = ReadBits(n);
        if (n < 32 && (raw & (1u << (n - 1)))) {
            return static_cast<int32_t>(raw | ~((1u << n) - 1));
        }
        return static_cast<int32_t>(raw);
    }

    // Drops the unread bits of the current byte.
    void Align() { m_bitCount = 0; }

    uint8_t ReadU8() {
        Align();
        return static_cast<uint8_t>(FetchByte());
    }
    uint16_t ReadU16() {
        Align();
        const uint32_t lo = FetchByte();
        return static_cast<uint16_t>(lo | (FetchByte() << 8));
    }
    uint32_t ReadU32() {
        Align();
        const uint32_t b0 = FetchByte();
        const uint32_t b1 = FetchByte();
        const uint32_t b2 = FetchByte();
        return b0 | (b1 << 8) | (b2 << 16) | (FetchByte() << 24);
    }
    void Skip(size_t n) {
        Align();
        m_pos = n > SIZE_MAX - m_pos ? SIZE_MAX : m_pos + n;
    }

    // Bytes held from the position to the end of the view.
    size_t Remaining() const { return m_pos < m_size ? m_size - m_pos : 0; }

  private:
    uint32_t FetchByte() {
        const uint32_t b = m_pos < m_size ? m_data[m_pos] : 0u;
        if (m_pos != SIZE_MAX) {
            ++m_pos;
        }
        return b;
    }

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    uint32_t m_bits = 0;
    unsigned m_bitCount = 0;
};

}  // namespace kelvora
