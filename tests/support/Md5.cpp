#include "support/Md5.h"

#include <cmath>
#include <cstdio>

namespace kelvora::test {

namespace {

uint32_t Rotl(uint32_t x, int c) {
    return (x << c) | (x >> (32 - c));
}

}  // namespace

std::string Md5Hex(const Bytes& data) {
    static const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                   5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                   4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                   6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t k[64];
    for (int i = 0; i < 64; ++i) {
        k[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
    }
    Bytes msg = data;
    const uint64_t bitLength = static_cast<uint64_t>(data.size()) * 8;
    msg.push_back(0x80);
    while (msg.size() % 64 != 56) {
        msg.push_back(0);
    }
    for (int i = 0; i < 8; ++i) {
        msg.push_back(static_cast<uint8_t>(bitLength >> (8 * i)));
    }
    uint32_t a0 = 0x67452301, b0 = 0xefcdab89, c0 = 0x98badcfe, d0 = 0x10325476;
    for (size_t chunk = 0; chunk < msg.size(); chunk += 64) {
        uint32_t m[16];
        for (int i = 0; i < 16; ++i) {
            const uint8_t* p = &msg[chunk + 4 * i];
            m[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
        }
        uint32_t a = a0, b = b0, c = c0, d = d0;
        for (int i = 0; i < 64; ++i) {
            uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            f = f + a + k[i] + m[g];
            a = d;
            d = c;
            c = b;
            b = b + Rotl(f, kShift[i]);
        }
        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
    }
    char out[33];
    const uint32_t words[4] = {a0, b0, c0, d0};
    for (int w = 0; w < 4; ++w) {
        for (int i = 0; i < 4; ++i) {
            std::snprintf(out + 8 * w + 2 * i, 3, "%02x", (words[w] >> (8 * i)) & 0xFF);
        }
    }
    return std::string(out, 32);
}

}  // namespace kelvora::test
