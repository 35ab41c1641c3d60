#include "audio/CAdpcmDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "support/Bytes.h"
#include "support/Corpus.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;

std::vector<int16_t> Samples16(const uint8_t* bytes, size_t size) {
    std::vector<int16_t> samples(size / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
}

std::vector<int16_t> Samples16(const Bytes& bytes) {
    return Samples16(bytes.data(), bytes.size());
}

// "same", or where two decodes first differ.
std::string Compare(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
    const auto [g, w] = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    if (g == got.end() && w == want.end()) {
        return "same";
    }
    std::string text = "first difference at " + std::to_string(g - got.begin()) + ": ";
    text += g == got.end() ? "end" : std::to_string(*g);
    text += " instead of ";
    text += w == want.end() ? "end" : std::to_string(*w);
    return text;
}

// The samples of a WAV file's "data" chunk (the reference files carry a LIST chunk too).
std::vector<int16_t> WavData16(const std::string& path) {
    const Bytes wav = ReadFileBytes(path);
    for (size_t pos = 12; pos + 8 <= wav.size();) {
        const uint32_t size = wav[pos + 4] | (wav[pos + 5] << 8) | (wav[pos + 6] << 16) |
                              (static_cast<uint32_t>(wav[pos + 7]) << 24);
        if (std::memcmp(&wav[pos], "data", 4) == 0) {
            return Samples16(wav.data() + pos + 8, std::min<size_t>(size, wav.size() - pos - 8));
        }
        pos += 8 + size + (size & 1);
    }
    return {};
}

// Where each audio tag body lies in an FLV file image.
struct Body {
    size_t start;
    size_t end;
};
std::vector<Body> FlvAudioBodies(const Bytes& flv) {
    std::vector<Body> bodies;
    if (flv.size() < 9) {
        return bodies;
    }
    size_t pos = ((flv[5] << 24) | (flv[6] << 16) | (flv[7] << 8) | flv[8]) + 4;
    while (pos + 11 <= flv.size()) {
        const size_t size = (flv[pos + 1] << 16) | (flv[pos + 2] << 8) | flv[pos + 3];
        if (flv[pos] == 8) {
            bodies.push_back({pos + 11, pos + 11 + size});
        }
        pos += 11 + size + 4;
    }
    return bodies;
}

// The first bits of a packet: the code size field and one block header per channel.
BitWriter PacketStart(unsigned width, std::initializer_list<std::pair<int32_t, uint32_t>> headers,
                      bool is16Bit = true) {
    BitWriter w;
    w.Bits(width - 2, 2);
    for (const auto& [sample, stepIndex] : headers) {
        w.SignedBits(sample, is16Bit ? 16 : 8).Bits(stepIndex, 6);
    }
    return w;
}

std::vector<int16_t> DecodeMono16(const Bytes& packet, uint32_t count) {
    BitReader bits(packet.data(), packet.size());
    Bytes out(CAdpcmDecoder::OutputBytes(count, false, true));
    CAdpcmDecoder(bits).DecodeByCount(count, false, true, out.data());
    return Samples16(out);
}

TEST(AdpcmDecoder, FlvPacketsDecodeAsFfmpegDoes) {
    for (const char* name : {"mono22k", "stereo44k", "stereo11k_long"}) {
        SCOPED_TRACE(name);
        const Bytes flv = ReadFileBytes(TestDataDir() + "/adpcm/" + name + ".flv");
        const std::vector<int16_t> ref =
            Samples16(ReadFileBytes(TestDataDir() + "/adpcm/" + name + ".s16le"));
        ASSERT_FALSE(flv.empty());
        ASSERT_FALSE(ref.empty());

        // As the FLV converter reads them: one reader over the file, a range per tag body.
        std::vector<int16_t> byRange;
        std::vector<int16_t> byCount;
        BitReader bits(flv.data(), flv.size());
        CAdpcmDecoder decoder(bits);
        const std::vector<Body> bodies = FlvAudioBodies(flv);
        for (size_t i = 0; i < bodies.size(); ++i) {
            bits.SetPosition(bodies[i].start);
            const uint8_t flags = bits.ReadU8();
            ASSERT_EQ(flags >> 4, 1);
            const bool stereo = flags & 1;
            const bool is16Bit = flags & 2;
            Bytes out(CAdpcmDecoder::RangeOutputBound(bodies[i].end - bits.Position(), is16Bit));
            const size_t written =
                decoder.DecodeByRange(bodies[i].end, stereo, is16Bit, out.data(), out.size());
            EXPECT_EQ(bits.Position(), bodies[i].end);
            const std::vector<int16_t> samples = Samples16(out.data(), written);
            byRange.insert(byRange.end(), samples.begin(), samples.end());

            // The encoder's packets hold one block each; the joined one holds the whole file.
            const uint32_t frames = static_cast<uint32_t>(
                i + 1 < bodies.size() ? 4096 : (ref.size() - byCount.size()) / (stereo ? 2 : 1));
            bits.SetPosition(bodies[i].start + 1);
            out.assign(CAdpcmDecoder::OutputBytes(frames, stereo, is16Bit), 0);
            decoder.DecodeByCount(frames, stereo, is16Bit, out.data());
            const std::vector<int16_t> counted = Samples16(out);
            byCount.insert(byCount.end(), counted.begin(), counted.end());
        }
        EXPECT_EQ(Compare(byRange, ref), "same");
        EXPECT_EQ(Compare(byCount, ref), "same");
    }
}

TEST(AdpcmDecoder, CorpusSoundsOfEveryCodeWidthDecodeAsFfmpegAndThePlayerDo) {
    KELVORA_REQUIRE_CORPUS();
    std::set<int> widths;
    for (const auto& row : ReadTsv(CorpusFile("SOUNDS.tsv"))) {
        if (row.at("format") != "1" || row.at("kind") != "event") {
            continue;
        }
        const std::string file = row.at("file");
        SCOPED_TRACE(file);
        const Bytes movie = ReadFileBytes(CorpusFile(file));
        CSwfReader reader;
        ASSERT_TRUE(reader.OpenMemory(movie.data(), movie.size(), false));
        std::vector<Body> sounds;
        reader.SetTagVisitor([&](uint16_t code, size_t start, size_t end, size_t) {
            if (code == kSwfTagDefineSound) {
                sounds.push_back({start, end});
            }
        });
        reader.WalkTags();

        bool found = false;
        for (const Body& sound : sounds) {
            BitReader bits(reader.Bytes(), sound.end);  // as the tag handler sees it
            bits.SetPosition(sound.start);
            if (std::to_string(bits.ReadU16()) != row.at("id")) {
                continue;
            }
            found = true;
            const uint8_t flags = bits.ReadU8();
            const bool stereo = flags & 1;
            const bool is16Bit = flags & 2;
            ASSERT_TRUE(is16Bit);
            const uint32_t claimed = bits.ReadU32();
            const uint32_t count =
                CAdpcmDecoder::BoundSampleCount(claimed, sound.end - bits.Position(), stereo);
            widths.insert((bits.Data()[bits.Position()] >> 6) + 2);
            Bytes out(CAdpcmDecoder::OutputBytes(count, stereo, is16Bit));
            CAdpcmDecoder(bits).DecodeByCount(count, stereo, is16Bit, out.data());
            const std::vector<int16_t> decoded = Samples16(out);

            char index[16];
            snprintf(index, sizeof index, "%02d", std::stoi(row.at("index")));
            const std::string stem = file.substr(0, file.size() - 4);
            std::vector<int16_t> ref =
                WavData16(CorpusFile("ref/" + stem + "." + index + ".event.ref.wav"));
            ASSERT_GE(ref.size(), decoded.size());
            ref.resize(decoded.size());
            EXPECT_EQ(Compare(decoded, ref), "same");

            // The player's own output: every second sample, left and right alike.
            const Bytes player = ReadFileBytes(CorpusFile("ref_swfdec/" + file + ".1.0.raw"));
            const std::vector<int16_t> pairs = Samples16(player);
            for (size_t k = 0; k < pairs.size() / 2 && 2 * k + 1 < decoded.size(); ++k) {
                ASSERT_EQ(pairs[2 * k], decoded[2 * k + 1]) << k;
                ASSERT_EQ(pairs[2 * k + 1], decoded[2 * k + 1]) << k;
            }
        }
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(widths, (std::set<int>{2, 3, 4, 5}));
}

TEST(AdpcmDecoder, CodesMoveThePredictorAndStepIndex) {
    // From predictor 0 and step index 0 (step 7). The code after each one shows the new step
    // index: code 0 adds half, a quarter or an eighth of the step.
    EXPECT_EQ(DecodeMono16(PacketStart(4, {{0, 0}}).Bits(7, 4).Bits(0, 4).Finish(), 3),
              (std::vector<int16_t>{0, 11, 13}));  // index 8: step 16
    EXPECT_EQ(DecodeMono16(PacketStart(4, {{0, 0}}).Bits(15, 4).Bits(0, 4).Finish(), 3),
              (std::vector<int16_t>{0, -11, -9}));
    EXPECT_EQ(DecodeMono16(PacketStart(2, {{0, 0}}).Bits(1, 2).Bits(0, 2).Finish(), 3),
              (std::vector<int16_t>{0, 10, 14}));  // index 2: step 9
    EXPECT_EQ(DecodeMono16(PacketStart(2, {{0, 0}}).Bits(0, 2).Bits(0, 2).Finish(), 3),
              (std::vector<int16_t>{0, 3, 6}));  // the index stays 0

    // Limits: the predictor holds at the nearer limit and decoding goes on from there; the step
    // index (63 at most in a header, 8 more per code 7) stays 88 (step 32767: code 8 then
    // subtracts 4095).
    BitWriter high = PacketStart(4, {{32760, 63}});
    BitWriter low = PacketStart(4, {{-32760, 63}});
    for (int i = 0; i < 5; ++i) {
        high.Bits(7, 4);
        low.Bits(15, 4);
    }
    high.Bits(8, 4);
    low.Bits(0, 4);
    EXPECT_EQ(DecodeMono16(high.Finish(), 7),
              (std::vector<int16_t>{32760, 32767, 32767, 32767, 32767, 32767, 28672}));
    EXPECT_EQ(DecodeMono16(low.Finish(), 7),
              (std::vector<int16_t>{-32760, -32768, -32768, -32768, -32768, -32768, -28673}));
}

TEST(AdpcmDecoder, EightBitModeHoldsSamplesWithinABytesRange) {
    // Mono: 8-bit initial samples, codes as in 16-bit mode, limits 0 and 255.
    {
        const Bytes packet =
            PacketStart(4, {{250, 0}}, false).Bits(7, 4).Bits(15, 4).Bits(0, 4).Finish();
        BitReader bits(packet.data(), packet.size());
        uint8_t out[4];
        CAdpcmDecoder(bits).DecodeByCount(4, false, false, out);
        // 250 + 11 held at 255; index 8 (step 16): 255 - 30; index 16 (step 34): + 4.
        EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{250, 255, 225, 229}));
    }
    // Stereo, across a block boundary: frame 4096 reads two new 8-bit headers.
    {
        BitWriter w = PacketStart(4, {{5, 0}, {128, 0}}, false);
        w.Bits(15, 4).Bits(7, 4);  // left 5 - 11 held at 0, right 128 + 11
        for (int i = 1; i < 4095; ++i) {
            w.Bits(0, 8);
        }
        w.Bits(200, 8).Bits(10, 6).Bits(0xFF, 8).Bits(0, 6).Bits(8, 4).Bits(0, 4);
        const Bytes packet = w.Finish();
        BitReader bits(packet.data(), packet.size());
        Bytes out(CAdpcmDecoder::OutputBytes(4098, true, false));
        CAdpcmDecoder(bits).DecodeByCount(4098, true, false, out.data());
        EXPECT_EQ(out[0], 5);
        EXPECT_EQ(out[1], 128);
        EXPECT_EQ(out[2], 0);
        EXPECT_EQ(out[3], 139);
        EXPECT_EQ(out[2 * 4096], 200);
        EXPECT_EQ(out[2 * 4096 + 1], 255);
        EXPECT_EQ(out[2 * 4097], 200 - (19 >> 3));  // step index 10: step 19, code 8
        EXPECT_EQ(out[2 * 4097 + 1], 255);          // 255 + 0, held
        EXPECT_EQ(bits.Position(), packet.size());
    }
}

TEST(AdpcmDecoder, ByRangeStopsAfterTheSampleThatFetchedTheLastByte) {
    // Mono 4 bits: the code size and header fill three bytes; the fourth holds two codes, of
    // which only the first is decoded.
    const Bytes mono = PacketStart(4, {{1000, 20}}).Bits(7, 4).Bits(7, 4).Finish();
    ASSERT_EQ(mono.size(), 4u);
    BitReader bits(mono.data(), mono.size());
    uint8_t out[64];
    EXPECT_EQ(CAdpcmDecoder(bits).DecodeByRange(4, false, true, out, sizeof out), 4u);
    EXPECT_EQ(Samples16(out, 4), DecodeMono16(mono, 2));
    EXPECT_EQ(bits.Position(), 4u);
    EXPECT_EQ(bits.UnreadBitCount(), 4u);

    // Stereo: the last byte holds the end of the left code and the whole right code.
    const Bytes stereo = PacketStart(4, {{1, 0}, {2, 0}}).Bits(7, 4).Bits(15, 4).Finish();
    ASSERT_EQ(stereo.size(), 7u);
    bits.Attach(stereo.data(), stereo.size());
    EXPECT_EQ(CAdpcmDecoder(bits).DecodeByRange(7, true, true, out, sizeof out), 8u);
    EXPECT_EQ(Samples16(out, 8), (std::vector<int16_t>{1, 2, 12, -9}));
    EXPECT_EQ(bits.UnreadBitCount(), 2u);

    // A body that is only the byte of the code size field yields nothing.
    bits.Attach(mono.data(), mono.size());
    EXPECT_EQ(CAdpcmDecoder(bits).DecodeByRange(1, false, true, out, sizeof out), 0u);
    EXPECT_EQ(bits.Position(), 1u);

    // Never more than the buffer holds: room for one sample and a half.
    uint8_t small[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    bits.Attach(mono.data(), mono.size());
    EXPECT_EQ(CAdpcmDecoder(bits).DecodeByRange(4, false, true, small, 3), 2u);
    EXPECT_EQ(small[2], 0xAA);
    EXPECT_EQ(bits.Position(), 3u);  // the next sample's code was not read
}

TEST(AdpcmDecoder, StartsAndEndsAtTheCallersBit) {
    // Three bits of something else, a packet, then a marker the caller reads next.
    const Bytes packet = PacketStart(3, {{-300, 40}}).Bits(5, 3).Bits(2, 3).Bits(6, 3).Finish();
    BitWriter w;
    w.Bits(0b101, 3);
    w.Bits(1, 2).SignedBits(-300, 16).Bits(40, 6).Bits(5, 3).Bits(2, 3).Bits(6, 3);
    w.Bits(0b11011, 5);
    const Bytes data = w.Finish();
    BitReader bits(data.data(), data.size());
    EXPECT_EQ(bits.ReadBits(3), 0b101u);
    Bytes out(8);
    CAdpcmDecoder(bits).DecodeByCount(4, false, true, out.data());
    EXPECT_EQ(Samples16(out), DecodeMono16(packet, 4));
    EXPECT_EQ(bits.Position(), (3 + 2 + 22 + 9 + 7) / 8u);
    EXPECT_EQ(bits.ReadBits(5), 0b11011u);

    // A count of 0, or no buffer, reads nothing.
    bits.SetPosition(1);
    bits.ReadBits(2);
    CAdpcmDecoder(bits).DecodeByCount(0, true, true, out.data());
    CAdpcmDecoder(bits).DecodeByCount(5, true, true, nullptr);
    EXPECT_EQ(CAdpcmDecoder(bits).DecodeByRange(data.size(), true, true, nullptr, 100), 0u);
    EXPECT_EQ(bits.Position(), 2u);
    EXPECT_EQ(bits.UnreadBitCount(), 6u);
}

TEST(AdpcmDecoder, BitsPastTheViewReadAsZero) {
    // A packet cut short decodes as if zeros followed, and the position keeps counting.
    const Bytes whole = PacketStart(5, {{-20000, 70}, {20000, 70}})
                            .Bits(0b10101, 5)
                            .Bits(0b01110, 5)
                            .Bits(0b11111, 5)
                            .Finish();
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        Bytes padded(whole.begin(), whole.begin() + cut);
        const Bytes held = padded;                   // exactly `cut` bytes in memory
        padded.resize(1024, 0);                      // more than the decodes below read
        for (size_t start : {size_t{0}, cut + 3}) {  // at the data, and already past the view
            BitReader a(held.data(), held.size());
            BitReader b(padded.data(), padded.size());
            a.SetPosition(start);
            b.SetPosition(start);
            Bytes outA(CAdpcmDecoder::OutputBytes(700, true, true));
            Bytes outB(outA.size());
            CAdpcmDecoder(a).DecodeByCount(700, true, true, outA.data());
            CAdpcmDecoder(b).DecodeByCount(700, true, true, outB.data());
            EXPECT_EQ(outA, outB);
            EXPECT_EQ(a.Position(), b.Position());
            EXPECT_EQ(a.UnreadBitCount(), b.UnreadBitCount());

            // A range that runs past the view.
            a.SetPosition(start);
            b.SetPosition(start);
            const size_t end = start + 40;
            EXPECT_EQ(CAdpcmDecoder(a).DecodeByRange(end, false, false, outA.data(), outA.size()),
                      CAdpcmDecoder(b).DecodeByRange(end, false, false, outB.data(), outB.size()));
            EXPECT_EQ(outA, outB);
            EXPECT_EQ(a.Position(), end);
        }
    }

    // A position so far past the view that bit offsets from the view's start cannot hold it.
    BitReader far(whole.data(), whole.size());
    far.Skip(SIZE_MAX);
    const Bytes zeros(1024, 0);
    BitReader zero(zeros.data(), zeros.size());
    Bytes outFar(CAdpcmDecoder::OutputBytes(300, true, true));
    Bytes outZero(outFar.size());
    CAdpcmDecoder(far).DecodeByCount(300, true, true, outFar.data());
    CAdpcmDecoder(zero).DecodeByCount(300, true, true, outZero.data());
    EXPECT_EQ(outFar, outZero);
    EXPECT_EQ(far.Position(), SIZE_MAX);
}

// The frames DecodeByRange may decode, found by reading the packet's fields one at a time and
// testing the position before each frame; leaves `bits` where the decoder has to leave it.
size_t FramesByRule(BitReader& bits, size_t end, bool stereo, bool is16Bit) {
    const unsigned width = bits.ReadBits(2) + 2;
    size_t frames = 0;
    for (; bits.Position() < end; ++frames) {
        for (int c = 0; c < (stereo ? 2 : 1); ++c) {
            if (frames % 4096 == 0) {
                bits.ReadBits(is16Bit ? 16 : 8);
                bits.ReadBits(6);
            } else {
                bits.ReadBits(width);
            }
        }
    }
    return frames;
}

TEST(AdpcmDecoder, RangesEndWhereFieldByFieldReadingEnds) {
    // Every code width and mode, packets starting on every bit of a byte, bodies of every short
    // length and around the first block boundary of the densest codes.
    std::vector<size_t> bodies;
    for (size_t n = 0; n < 40; ++n) {
        bodies.push_back(n);
    }
    for (size_t n = 1020; n < 1032; ++n) {  // 4096 mono samples of 2-bit codes: about 1027
        bodies.push_back(n);
        bodies.push_back(n + 1024);  // stereo
    }
    for (unsigned width = 2; width <= 5; ++width) {
        for (unsigned skip = 0; skip < 8; ++skip) {
            BitWriter w;
            w.Bits(0x7F, skip).Bits(width - 2, 2);
            for (uint32_t i = 0; i < 2100; ++i) {
                w.Bits((i * 2654435761u) >> 24, 8);
            }
            const Bytes data = w.Finish();
            for (bool stereo : {false, true}) {
                for (bool is16Bit : {false, true}) {
                    for (size_t body : bodies) {
                        if (body > 40 && width > 2) {
                            continue;
                        }
                        SCOPED_TRACE(::testing::Message()
                                     << width << " bits, skip " << skip << ", body " << body
                                     << ", stereo " << stereo << ", 16-bit " << is16Bit);
                        BitReader bits(data.data(), data.size());
                        bits.ReadBits(skip);
                        const size_t end = bits.Position() + body;
                        BitReader rule = bits;
                        const size_t frames = FramesByRule(rule, end, stereo, is16Bit);
                        std::vector<uint8_t> out(20000);
                        const size_t written = CAdpcmDecoder(bits).DecodeByRange(
                            end, stereo, is16Bit, out.data(), out.size());
                        ASSERT_EQ(written, CAdpcmDecoder::OutputBytes(frames, stereo, is16Bit));
                        ASSERT_EQ(bits.Position(), rule.Position());
                        ASSERT_EQ(bits.UnreadBitCount(), rule.UnreadBitCount());
                        ASSERT_LE(written, CAdpcmDecoder::RangeOutputBound(body, is16Bit));
                    }
                }
            }
        }
    }
}

TEST(AdpcmDecoder, ClaimedCountsAreBoundedByTheData) {
    // 100 bytes of 2-bit mono codes hold a header sample and 388 codes; stereo 193 frames.
    EXPECT_GE(CAdpcmDecoder::BoundSampleCount(UINT32_MAX, 100, false), 389u);
    EXPECT_LE(CAdpcmDecoder::BoundSampleCount(UINT32_MAX, 100, false), 400u);
    EXPECT_GE(CAdpcmDecoder::BoundSampleCount(UINT32_MAX, 100, true), 193u);
    EXPECT_LE(CAdpcmDecoder::BoundSampleCount(UINT32_MAX, 100, true), 200u);
    EXPECT_EQ(CAdpcmDecoder::BoundSampleCount(150, 100, true), 150u);
    EXPECT_EQ(CAdpcmDecoder::BoundSampleCount(7, 0, false), 0u);
}

}  // namespace
}  // namespace kelvora
