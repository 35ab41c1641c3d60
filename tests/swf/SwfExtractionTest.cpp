#include <gtest/gtest.h>

#include "audio/WavFile.h"
#include "engine/PathUtil.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;

class SwfExtraction : public ::testing::Test {
  protected:
    void SetUp() override { m_mp3 = Mp3Of(4608, 1, 22050); }

    std::string Write(const Bytes& tags, const std::string& name = "clip.swf") {
        SwfMovie movie;
        movie.tags = Concat({tags, SwfEndTag()});
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
        return path;
    }
    Bytes Mp3Event() const { return DefineSound(1, 2, 2, true, false, 4608, m_mp3); }
    Bytes PcmEvent() const {
        return DefineSound(2, 3, 2, true, false, 2000, Pcm16(Tone(2000, 1, 22050)));
    }

    TempDir m_dir;
    Bytes m_mp3;
    CSwfReader m_reader;
};

TEST_F(SwfExtraction, ASingleElementTakesThePlainNameWhenItIsFree) {
    const std::string path = Write(Mp3Event());
    ASSERT_TRUE(m_reader.Convert(path, true));
    ASSERT_EQ(m_reader.Elements().size(), 1u);
    EXPECT_EQ(m_reader.Elements()[0].path, m_dir.File("clip.mp3"));
    EXPECT_EQ(ReadFileBytes(m_dir.File("clip.mp3")), m_mp3);  // copied, not re-encoded
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"clip.mp3", "clip.swf"}));

    // With clip_001.mp3 there before: the element is clip_002.mp3 and keeps that name.
    ASSERT_TRUE(RemoveFile(m_dir.File("clip.mp3")));
    ASSERT_TRUE(WriteFileBytes(m_dir.File("clip_001.mp3"), {9}));
    ASSERT_TRUE(m_reader.Convert(path, true));
    EXPECT_EQ(m_reader.Elements()[0].path, m_dir.File("clip_002.mp3"));
    EXPECT_EQ(ReadFileBytes(m_dir.File("clip_001.mp3")), Bytes{9});

    // With clip.mp3 there: the element stays clip_001.mp3.
    TempDir other;
    ASSERT_TRUE(WriteFileBytes(other.File("clip.mp3"), {8}));
    SwfMovie movie;
    movie.tags = Concat({Mp3Event(), SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(other.File("clip.swf"), BuildSwf(movie)));
    ASSERT_TRUE(m_reader.Convert(other.File("clip.swf"), true));
    EXPECT_EQ(m_reader.Elements()[0].path, other.File("clip_001.mp3"));
    EXPECT_EQ(ReadFileBytes(other.File("clip.mp3")), Bytes{8});
}

TEST_F(SwfExtraction, TargetWavDecodesMp3ElementsTo16Bits) {
    const std::string path = Write(Mp3Event());
    ASSERT_TRUE(m_reader.Convert(path, false));
    ASSERT_EQ(m_reader.Elements().size(), 1u);
    const OutputItem& e = m_reader.Elements()[0];
    EXPECT_EQ(e.path, m_dir.File("clip.wav"));
    EXPECT_EQ(e.isMp3, 0u);
    EXPECT_EQ(e.bitsPerSample, 16);
    EXPECT_EQ(e.channels, 1);
    EXPECT_EQ(e.sampleRate, 22050u);
    CWavReader wav;
    ASSERT_TRUE(wav.Open(e.path));
    EXPECT_EQ(wav.Channels(), 1);
    EXPECT_GE(wav.FrameCount(), 4608u);  // every frame decoded, the encoder's delay too
    EXPECT_EQ(e.sampleCount, wav.FrameCount());
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"clip.swf", "clip.wav"}));
}

TEST_F(SwfExtraction, TargetMp3EncodesWavElementsAndTakesTheEncodersFigures) {
    const std::string path = Write(Concat({PcmEvent(), Mp3Event()}));
    ASSERT_TRUE(m_reader.Convert(path, true));
    ASSERT_EQ(m_reader.Elements().size(), 2u);
    const OutputItem& encoded = m_reader.Elements()[0];
    EXPECT_EQ(encoded.path, m_dir.File("clip_001.mp3"));  // two elements: numbers stay
    EXPECT_EQ(encoded.isMp3, 1u);
    EXPECT_EQ(encoded.sampleCount, 2000u);  // frames read from the WAV
    EXPECT_GT(encoded.sampleRate, 0u);
    EXPECT_EQ(encoded.bitsPerSample, 16);
    EXPECT_EQ(ScanMp3Frames(ReadFileBytes(encoded.path)).sampleRate, encoded.sampleRate);
    EXPECT_EQ(m_reader.Elements()[1].path, m_dir.File("clip_002.mp3"));
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"clip.swf", "clip_001.mp3", "clip_002.mp3"}));
}

TEST_F(SwfExtraction, ATranscodedElementNeverReplacesAFileItDidNotMake) {
    // clip_001.mp3 is somebody else's: the WAV element clip_001.wav must not become it.
    ASSERT_TRUE(WriteFileBytes(m_dir.File("clip_001.mp3"), {1, 2, 3}));
    const std::string path = Write(PcmEvent());
    ASSERT_TRUE(m_reader.Convert(path, true));
    ASSERT_EQ(m_reader.Elements().size(), 1u);
    EXPECT_EQ(m_reader.Elements()[0].path, m_dir.File("clip_002.mp3"));
    EXPECT_EQ(ReadFileBytes(m_dir.File("clip_001.mp3")), (Bytes{1, 2, 3}));
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"clip.swf", "clip_001.mp3", "clip_002.mp3"}));

    // The same toward WAV: a foreign m_001.wav stays; the decoded element takes a new number.
    ASSERT_TRUE(WriteFileBytes(m_dir.File("m_001.wav"), {4}));
    ASSERT_TRUE(m_reader.Convert(Write(Mp3Event(), "m.swf"), false));
    ASSERT_EQ(m_reader.Elements().size(), 1u);
    EXPECT_EQ(m_reader.Elements()[0].path, m_dir.File("m_002.wav"));
    EXPECT_EQ(ReadFileBytes(m_dir.File("m_001.wav")), Bytes{4});
    EXPECT_FALSE(PathExists(m_dir.File("m_001.mp3")));

    // Two elements: the target pass goes on counting where the elements ended, as the listing
    // said it would.
    ASSERT_TRUE(WriteFileBytes(m_dir.File("two_001.mp3"), {5}));
    const std::string two = Write(Concat({PcmEvent(), PcmEvent()}), "two.swf");
    ASSERT_TRUE(m_reader.Plan(two, true));
    std::vector<std::string> planned;
    for (const PlannedSound& sound : m_reader.Planned().sounds) {
        planned.push_back(FileNamePart(sound.output.path));
    }
    ASSERT_TRUE(m_reader.Convert(two, true));
    std::vector<std::string> written;
    for (const OutputItem& e : m_reader.Elements()) {
        written.push_back(FileNamePart(e.path));
    }
    EXPECT_EQ(written, (std::vector<std::string>{"two_003.mp3", "two_002.mp3"}));
    EXPECT_EQ(planned, written);
}

TEST_F(SwfExtraction, MoviesWithoutSoundSucceedAndNonMoviesFailWithoutTouchingFiles) {
    const std::string silent = Write(SwfTag(1, {}));
    ASSERT_TRUE(m_reader.Convert(silent, true));
    EXPECT_TRUE(m_reader.Elements().empty());
    ASSERT_TRUE(
        WriteFileBytes(m_dir.File("fake.swf"), ByteWriter().Append(std::string("<html>")).take()));
    EXPECT_FALSE(m_reader.Convert(m_dir.File("fake.swf"), true));
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"clip.swf", "fake.swf"}));
}

}  // namespace
}  // namespace kelvora
