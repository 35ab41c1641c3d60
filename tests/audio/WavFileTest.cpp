#include "audio/WavFile.h"

#include <gtest/gtest.h>

#include "support/Bytes.h"
#include "support/WavBuilder.h"

namespace kelvora {
namespace {

using namespace test;

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
uint16_t Le16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

TEST(WavFile, HeaderWriterAndFinishingStepGiveTheCanonicalLayout) {
    TempDir dir;
    struct Case {
        bool stereo;
        uint16_t bits;
        uint32_t rate;
        uint32_t bytesPerSecond;
        uint16_t align;
    };
    for (const Case& c : {Case{false, 8, 11025, 11025, 1}, Case{true, 16, 44100, 176400, 4},
                          Case{false, 16, 5512, 11024, 2}}) {
        const std::string path = dir.File("h.wav");
        CFile f;
        ASSERT_TRUE(CreateWavFile(f, path, c.stereo, c.bits, c.rate));
        const Bytes samples(10000, 0x80);
        ASSERT_TRUE(f.Write(samples.data(), samples.size()));
        ASSERT_TRUE(FinishWavFile(f));
        EXPECT_FALSE(f.IsOpen());
        EXPECT_TRUE(FinishWavFile(f));  // a closed file is left alone
        const Bytes b = ReadFileBytes(path);
        ASSERT_EQ(b.size(), 10044u);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(Le32(b, 4), 10036u);
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(Le32(b, 16), 16u);
        EXPECT_EQ(Le16(b, 20), 1);
        EXPECT_EQ(Le16(b, 22), c.stereo ? 2 : 1);
        EXPECT_EQ(Le32(b, 24), c.rate);
        EXPECT_EQ(Le32(b, 28), c.bytesPerSecond);
        EXPECT_EQ(Le16(b, 32), c.align);
        EXPECT_EQ(Le16(b, 34), c.bits);
        EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
        EXPECT_EQ(Le32(b, 40), 10000u);
    }
}

TEST(WavFile, WriterInterleavesAndReaderSplitsInChunksOf1152) {
    TempDir dir;
    const uint32_t frames = 2 * kChunkFrames + 5;
    std::vector<int16_t> left(frames), right(frames);
    for (uint32_t i = 0; i < frames; ++i) {
        left[i] = static_cast<int16_t>(i * 37 - 30000);
        right[i] = static_cast<int16_t>(-static_cast<int32_t>(i) * 11);
    }
    for (bool stereo : {true, false}) {
        const std::string path = dir.File(stereo ? "s.wav" : "m.wav");
        CWavWriter w;
        ASSERT_TRUE(w.Open(path, stereo, 16, 22050));
        EXPECT_TRUE(w.Write(left.data(), right.data(), 7));
        EXPECT_TRUE(w.Write(left.data() + 7, right.data() + 7, frames - 7));
        EXPECT_TRUE(w.Write(left.data(), right.data(), 0));
        ASSERT_TRUE(w.Close());
        const Bytes b = ReadFileBytes(path);
        ASSERT_EQ(b.size(), 44u + frames * (stereo ? 4 : 2));
        EXPECT_EQ(static_cast<int16_t>(Le16(b, 44)), left[0]);
        if (stereo) {
            EXPECT_EQ(static_cast<int16_t>(Le16(b, 46)), right[0]);
        }

        CWavReader r;
        ASSERT_TRUE(r.Open(path));
        EXPECT_EQ(r.Channels(), stereo ? 2 : 1);
        EXPECT_EQ(r.SampleRate(), 22050u);
        EXPECT_EQ(r.BitsPerSample(), 16);
        EXPECT_EQ(r.FrameCount(), frames);
        std::vector<int16_t> gotL, gotR;
        int16_t l[kChunkFrames], rr[kChunkFrames];
        std::vector<uint32_t> counts;
        for (;;) {
            uint32_t count = 99;
            bool eof = false;
            ASSERT_TRUE(r.ReadChunk(l, rr, count, eof));
            if (eof) {
                EXPECT_EQ(count, 0u);
                break;
            }
            counts.push_back(count);
            gotL.insert(gotL.end(), l, l + count);
            gotR.insert(gotR.end(), rr, rr + count);
        }
        EXPECT_EQ(counts, (std::vector<uint32_t>{kChunkFrames, kChunkFrames, 5}));
        EXPECT_EQ(gotL, left);
        if (stereo) {
            EXPECT_EQ(gotR, right);
        }
        // After the end it keeps saying so.
        uint32_t count = 1;
        bool eof = false;
        ASSERT_TRUE(r.ReadChunk(l, rr, count, eof));
        EXPECT_TRUE(eof);
        EXPECT_EQ(count, 0u);
    }
}

TEST(WavFile, ReaderTakesFactChunksLongFormatChunksAndHalfFramesAsTheyCome) {
    TempDir dir;
    WavSpec spec;
    spec.data = Pcm16({1, 2, 3, 4, 5});  // two and a half stereo frames
    spec.extraChunks = RiffChunk("fact", {0, 1, 0, 0});
    spec.fmtSize = 18;
    ASSERT_TRUE(WriteFileBytes(dir.File("a.wav"), BuildWav(spec)));
    CWavReader r;
    ASSERT_TRUE(r.Open(dir.File("a.wav")));
    EXPECT_EQ(r.FrameCount(), 2u);
    int16_t l[kChunkFrames], rr[kChunkFrames];
    uint32_t count = 0;
    bool eof = false;
    ASSERT_TRUE(r.ReadChunk(l, rr, count, eof));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(l[1], 3);
    EXPECT_EQ(rr[1], 4);

    // 8-bit stereo: even bytes left, odd bytes right.
    WavSpec eight;
    eight.bitsPerSample = 8;
    eight.data = {0x80, 0x00, 0xFF, 0x7F};
    ASSERT_TRUE(WriteFileBytes(dir.File("8.wav"), BuildWav(eight)));
    ASSERT_TRUE(r.Open(dir.File("8.wav")));
    uint8_t l8[kChunkFrames], r8[kChunkFrames];
    ASSERT_TRUE(r.ReadChunk(l8, r8, count, eof));
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(l8[0], 0x80);
    EXPECT_EQ(r8[0], 0x00);
    EXPECT_EQ(l8[1], 0xFF);
    EXPECT_EQ(r8[1], 0x7F);
}

TEST(WavFile, ReaderRefusesWhatItCannotRead) {
    TempDir dir;
    auto refuses = [&](const Bytes& file) {
        const std::string path = dir.File("x.wav");
        EXPECT_TRUE(WriteFileBytes(path, file));
        CWavReader r;
        return !r.Open(path);
    };
    WavSpec good;
    good.data = Pcm16({1, 2});
    EXPECT_FALSE(refuses(BuildWav(good)));

    WavSpec list = good;
    list.extraChunks = RiffChunk("LIST", Bytes(10, 'a'));
    EXPECT_TRUE(refuses(BuildWav(list)));
    WavSpec adpcm = good;
    adpcm.formatTag = 2;
    EXPECT_TRUE(refuses(BuildWav(adpcm)));
    WavSpec noChannels = good;
    noChannels.channels = 0;
    EXPECT_TRUE(refuses(BuildWav(noChannels)));
    WavSpec wide = good;
    wide.bitsPerSample = 24;
    EXPECT_TRUE(refuses(BuildWav(wide)));
    WavSpec shortFmt = good;
    shortFmt.fmtSize = 14;
    EXPECT_TRUE(refuses(BuildWav(shortFmt)));
    Bytes notRiff = BuildWav(good);
    notRiff[0] = 'X';
    EXPECT_TRUE(refuses(notRiff));
    Bytes notWave = BuildWav(good);
    notWave[8] = 'X';
    EXPECT_TRUE(refuses(notWave));
    Bytes cut = BuildWav(good);
    cut.resize(30);
    EXPECT_TRUE(refuses(cut));
    WavSpec hugeFact = good;
    hugeFact.extraChunks = RiffChunk("fact", {});
    Bytes huge = BuildWav(hugeFact);
    huge[40] = huge[41] = huge[42] = huge[43] = 0xFF;  // the fact chunk claims 4 GiB
    EXPECT_TRUE(refuses(huge));
    EXPECT_TRUE(refuses({}));
    CWavReader r;
    EXPECT_FALSE(r.Open(dir.File("missing.wav")));
}

TEST(WavFile, ADataSizeThatLiesCountsOnlyTheFramesTheFileHolds) {
    TempDir dir;
    WavSpec spec;
    spec.data = Pcm16({1, 2, 3, 4});
    spec.dataSizeOverride = 0xFFFFFFF0;
    ASSERT_TRUE(WriteFileBytes(dir.File("lie.wav"), BuildWav(spec)));
    CWavReader r;
    ASSERT_TRUE(r.Open(dir.File("lie.wav")));
    EXPECT_EQ(r.FrameCount(), 2u);
}

TEST(WavFile, AFullDiskMakesFinishingFail) {
    CFile f;
    ASSERT_TRUE(CreateWavFile(f, "/dev/full", true, 16, 44100));
    const Bytes samples(100000, 1);
    f.Write(samples.data(), samples.size());
    EXPECT_FALSE(FinishWavFile(f));
    EXPECT_FALSE(f.IsOpen());
    CWavWriter w;
    ASSERT_TRUE(w.Open("/dev/full", false, 16, 8000));
    std::vector<int16_t> left(100000, 3);
    EXPECT_TRUE(w.Write(left.data(), nullptr, 100000));
    EXPECT_FALSE(w.Close());
}

}  // namespace
}  // namespace kelvora
