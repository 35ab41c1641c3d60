#include "flv/CFlvReader.h"

#include <gtest/gtest.h>

#include "audio/WavFile.h"
#include "engine/PathUtil.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"

namespace kelvora {
namespace {

using namespace test;

Bytes Payload(const std::string& wavPath) {
    Bytes b = ReadFileBytes(wavPath);
    return Bytes(b.begin() + std::min<size_t>(44, b.size()), b.end());
}

class FlvConversion : public ::testing::Test {
  protected:
    std::string Write(const Bytes& flv, const std::string& name = "talk.flv") {
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(WriteFileBytes(path, flv));
        return path;
    }
    TempDir m_dir;
    CFlvReader m_reader;
    FlvAudioResult m_result;
};

TEST_F(FlvConversion, InformationModeReadsTheHeaderAndRefusesOtherFiles) {
    EXPECT_TRUE(m_reader.Open(Write(FlvBuilder(9, 4).Build()), true));
    EXPECT_EQ(m_reader.Version(), 4);
    // Exactly 9 bytes opens in both modes; its walk handles nothing.
    Bytes nine = FlvBuilder().Build();
    nine.resize(9);
    const std::string path = Write(nine, "nine.flv");
    EXPECT_TRUE(m_reader.Open(path, true));
    EXPECT_TRUE(m_reader.Open(path, false));
    m_reader.WalkTags();
    EXPECT_EQ(m_reader.OutputPath(), "");
    // A SWF movie named .flv, a short file, a missing file.
    SwfMovie movie;
    movie.tags = SwfEndTag();
    EXPECT_FALSE(m_reader.Open(Write(BuildSwf(movie), "movie.flv"), true));
    EXPECT_FALSE(m_reader.Open(Write({'F', 'L', 'V', 1}, "short.flv"), true));
    EXPECT_FALSE(m_reader.Open(m_dir.File("missing.flv"), false));
    EXPECT_FALSE(m_reader.Open(m_dir.path(), false));
}

TEST_F(FlvConversion, Mp3AudioIsCopiedFrameForFrameFromWhereverTheTagsStart) {
    const Bytes mp3 = Mp3Of(4608, 1, 44100);
    ASSERT_GT(mp3.size(), 100u);
    const size_t half = mp3.size() / 2;
    const Bytes a(mp3.begin(), mp3.begin() + half), b(mp3.begin() + half, mp3.end());
    const uint8_t flags = FlvAudioFlags(2, 3, true, false);
    for (uint32_t offset : {9u, 12u}) {
        TempDir dir;
        const Bytes flv = FlvBuilder(offset)
                              .Script()
                              .Audio(flags, a)
                              .Video()
                              .Tag(8, {})  // an empty audio tag is stepped over
                              .Audio(FlvAudioFlags(1, 0, false, true), b)  // copied as MP3 too
                              .Build();
        ASSERT_TRUE(WriteFileBytes(dir.File("talk.flv"), flv));
        FlvAudioResult result;
        ASSERT_TRUE(m_reader.Convert(dir.File("talk.flv"), true, &result)) << offset;
        EXPECT_EQ(result.path, dir.File("talk.mp3"));
        EXPECT_TRUE(result.isMp3);
        EXPECT_EQ(ReadFileBytes(result.path), mp3);
        EXPECT_EQ(result.channels, 1);
        EXPECT_EQ(result.sampleRate, 44100u);
        EXPECT_EQ(result.bitsPerSample, 16);
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"talk.flv", "talk.mp3"}));
    }
}

TEST_F(FlvConversion, Mp3ToWavDecodesAtTheStreamsRateAndRemovesTheCopy) {
    const Bytes mp3 = Mp3Of(11025, 2, 22050);
    const std::string path =
        Write(FlvBuilder().Audio(FlvAudioFlags(2, 2, true, true), mp3).Build());
    ASSERT_TRUE(m_reader.Convert(path, false, &m_result));
    EXPECT_EQ(m_result.path, m_dir.File("talk.wav"));
    EXPECT_FALSE(m_result.isMp3);
    EXPECT_EQ(m_result.bitsPerSample, 16);
    CWavReader wav;
    ASSERT_TRUE(wav.Open(m_result.path));
    EXPECT_EQ(wav.Channels(), 2);
    EXPECT_EQ(wav.SampleRate(), 22050u);
    EXPECT_EQ(wav.BitsPerSample(), 16);
    EXPECT_EQ(m_result.sampleCount, wav.FrameCount());
    EXPECT_GE(wav.FrameCount(), 11025u);
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"talk.flv", "talk.wav"}));
}

TEST_F(FlvConversion, PcmIsCopiedAndAdpcmDecodedIntoWav) {
    const Bytes pcm8 = {0x80, 0x90, 0x70, 0xFF, 0x00};
    const std::string pcmPath = Write(FlvBuilder()
                                          .Audio(FlvAudioFlags(0, 1, false, false), pcm8)
                                          .Audio(FlvAudioFlags(0, 1, false, false), pcm8)
                                          .Build(),
                                      "pcm.flv");
    ASSERT_TRUE(m_reader.Convert(pcmPath, false, &m_result));
    EXPECT_EQ(Payload(m_result.path), Concat({pcm8, pcm8}));
    EXPECT_EQ(m_result.bitsPerSample, 8);
    EXPECT_EQ(m_result.sampleRate, 11025u);
    EXPECT_EQ(m_result.sampleCount, 10u);

    // 16-bit mono ADPCM at 5512 Hz: a 4-bit packet of 1 + 10 samples.
    BitWriter w;
    w.Bits(2, 2).Bits(static_cast<uint32_t>(-300) & 0xFFFF, 16).Bits(10, 6);
    for (int i = 0; i < 10; ++i) {
        w.Bits(i % 8, 4);
    }
    const std::string adpcmPath = Write(
        FlvBuilder().Audio(FlvAudioFlags(1, 0, true, false), w.Finish()).Build(), "adpcm.flv");
    ASSERT_TRUE(m_reader.Convert(adpcmPath, false, &m_result));
    EXPECT_EQ(m_result.path, m_dir.File("adpcm.wav"));
    EXPECT_EQ(m_result.sampleRate, 5512u);
    EXPECT_EQ(m_result.channels, 1);
    EXPECT_EQ(m_result.bitsPerSample, 16);
    const std::vector<int16_t> samples = Samples16(ReadFileBytes(m_result.path));
    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(samples[0], -300);
    EXPECT_EQ(m_result.sampleCount, samples.size());
}

TEST_F(FlvConversion, EightBitPcmToMp3IsWidenedAndEncoded) {
    Bytes pcm(22050);
    for (size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<uint8_t>(128 + 100 * ((i / 25) % 2 ? 1 : -1));
    }
    const std::string path =
        Write(FlvBuilder().Audio(FlvAudioFlags(0, 2, false, false), pcm).Build());
    ASSERT_TRUE(m_reader.Convert(path, true, &m_result));
    EXPECT_EQ(m_result.path, m_dir.File("talk.mp3"));
    EXPECT_TRUE(m_result.isMp3);
    EXPECT_EQ(m_result.sampleCount, 22050u);
    EXPECT_EQ(m_result.bitsPerSample, 8);  // the source's, as recorded
    const Mp3Info info = ScanMp3Frames(ReadFileBytes(m_result.path));
    EXPECT_GT(info.frames, 0u);
    EXPECT_EQ(info.sampleRate, m_result.sampleRate);
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"talk.flv", "talk.mp3"}));
}

TEST_F(FlvConversion, UnsupportedAudioAndVideoOnlyFilesFailAndLeaveNothing) {
    for (unsigned format : {3u, 4u, 5u, 6u, 7u, 10u, 11u}) {
        const std::string path =
            Write(FlvBuilder()
                      .Video()
                      .Audio(FlvAudioFlags(format, 3, true, true), Bytes(100, 1))
                      .Build());
        EXPECT_FALSE(m_reader.Convert(path, true, &m_result)) << format;
    }
    EXPECT_FALSE(
        m_reader.Convert(Write(FlvBuilder().Video().Video().Script().Build()), false, &m_result));
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"talk.flv"});
}

TEST_F(FlvConversion, ATakenNameGetsANumberAndATruncatedTagIsDroppedWhole) {
    ASSERT_TRUE(WriteFileBytes(m_dir.File("talk.mp3"), {7}));
    const Bytes mp3 = Mp3Of(2304, 1, 11025);
    Bytes flv = FlvBuilder()
                    .Audio(FlvAudioFlags(2, 1, true, false), mp3)
                    .Audio(FlvAudioFlags(2, 1, true, false), Bytes(500, 0x33))
                    .Build();
    flv.resize(flv.size() - 100);  // the second tag runs past the end
    ASSERT_TRUE(m_reader.Convert(Write(flv), true, &m_result));
    EXPECT_EQ(m_result.path, m_dir.File("talk_1.mp3"));
    EXPECT_EQ(ReadFileBytes(m_result.path), mp3);
    EXPECT_EQ(ReadFileBytes(m_dir.File("talk.mp3")), Bytes{7});
}

TEST_F(FlvConversion, AnOutputThatCannotBeCreatedStopsTheWalk) {
    const Bytes mp3 = Mp3Of(2304, 1, 11025);
    const Bytes flv = FlvBuilder().Audio(FlvAudioFlags(2, 1, true, false), mp3).Build();
    CFlvReader reader;
    ASSERT_TRUE(reader.OpenMemory(flv.data(), flv.size(), m_dir.File("no-such-folder/x")));
    reader.WalkTags();
    EXPECT_EQ(reader.OutputPath(), "");
}

}  // namespace
}  // namespace kelvora
