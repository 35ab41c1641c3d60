#include <gtest/gtest.h>

#include "audio/WavFile.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;

// Writes the movie as clip.swf and extracts its elements in their own form.
struct Extracted {
    bool ok = false;
    std::vector<OutputItem> elements;
};

Extracted Extract(const TempDir& dir, const Bytes& tags, const std::string& name = "clip.swf") {
    SwfMovie movie;
    movie.tags = Concat({tags, SwfEndTag()});
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
    CSwfReader reader;
    Extracted e;
    e.ok = reader.ExtractElements(path);
    e.elements = reader.Elements();
    return e;
}

std::vector<std::string> Names(const std::vector<OutputItem>& elements) {
    std::vector<std::string> names;
    for (const auto& e : elements) {
        names.push_back(e.path.substr(e.path.rfind('/') + 1));
    }
    return names;
}

Bytes Payload(const std::string& wavPath) {
    Bytes b = ReadFileBytes(wavPath);
    return Bytes(b.begin() + std::min<size_t>(44, b.size()), b.end());
}

// A mono 4-bit ADPCM packet: code size, the first sample and step index, then codes.
Bytes AdpcmPacket(uint32_t codes) {
    BitWriter w;
    w.Bits(2, 2).Bits(1000, 16).Bits(20, 6);
    for (uint32_t i = 0; i < codes; ++i) {
        w.Bits(i % 16, 4);
    }
    return w.Finish();
}

TEST(SwfCatalogue, NumbersAreTakenAtCreationAndElementsListedWhenComplete) {
    TempDir dir;
    const Bytes frames = Mp3Of(2304, 1, 22050);
    ASSERT_FALSE(frames.empty());
    const Bytes tags = Concat({SoundStreamHead(2, 2, true, false, 1152),
                               DefineSound(1, 2, 2, true, false, 2304, frames),
                               DefineSound(2, 1, 1, true, false, 9, AdpcmPacket(8)),
                               Mp3StreamBlock(1152, 0, frames), Mp3StreamBlock(1152, 0, frames)});
    const Extracted e = Extract(dir, tags);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(Names(e.elements),
              (std::vector<std::string>{"clip_002.mp3", "clip_003.wav", "clip_001.mp3"}));
    // The event MP3 is its data after the seek field; the stream, each block from its 5th byte.
    EXPECT_EQ(ReadFileBytes(e.elements[0].path), frames);
    EXPECT_EQ(ReadFileBytes(e.elements[2].path), Concat({frames, frames}));
    // What the files hold: their frames, 576 sample frames each at 22050 Hz.
    EXPECT_EQ(e.elements[2].sampleCount, 2 * 576 * ScanMp3Frames(frames).frames);
    EXPECT_EQ(e.elements[0].sampleCount, 576 * ScanMp3Frames(frames).frames);
    EXPECT_EQ(e.elements[0].isMp3, 1u);
    EXPECT_EQ(e.elements[1].isMp3, 0u);
    EXPECT_EQ(e.elements[1].sampleRate, 11025u);
    EXPECT_EQ(e.elements[1].channels, 1);
    EXPECT_EQ(e.elements[1].bitsPerSample, 16);
    EXPECT_EQ(Payload(e.elements[1].path).size(), 18u);  // 9 samples of 16 bits
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"clip.swf", "clip_001.mp3", "clip_002.mp3",
                                                    "clip_003.wav"}));
}

TEST(SwfCatalogue, UnsupportedOrEmptySoundsUseNoNumberAndLeaveNoFile) {
    TempDir dir;
    const Bytes pcm = Pcm16({1, -1, 2, -2});
    const Bytes tags = Concat({
        DefineSound(1, 6, 1, true, false, 100, Bytes(50, 1)),   // Nellymoser: skipped
        DefineSound(2, 11, 1, true, false, 100, Bytes(50, 1)),  // Speex: skipped
        SoundStreamHead(3, 1, true, false, 0),                  // no samples per block: no stream
        SoundStreamBlock(pcm), SoundStreamHead(4, 1, true, false, 100),  // Nellymoser stream: none
        SoundStreamBlock(pcm),
        DefineSound(3, 3, 3, true, false, 4, pcm),    // the first real element: 001
        SoundStreamHead(3, 1, true, false, 4),        // a stream with no blocks: 002,
        SoundStreamHead(3, 1, true, false, 2, true),  //   deleted when the next head
        SoundStreamBlock(pcm),                        //   closes it; this one is 003
    });
    const Extracted e = Extract(dir, tags);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(Names(e.elements), (std::vector<std::string>{"clip_001.wav", "clip_003.wav"}));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"clip.swf", "clip_001.wav", "clip_003.wav"}));
    // Uncompressed data is copied unchanged, and counted as the file holds it.
    EXPECT_EQ(Payload(e.elements[0].path), pcm);
    EXPECT_EQ(Payload(e.elements[1].path), pcm);
    EXPECT_EQ(e.elements[1].sampleCount, 4u);
    EXPECT_EQ(e.elements[0].sampleRate, 44100u);
}

TEST(SwfCatalogue, EachTimelineHasItsOwnStream) {
    TempDir dir;
    const Bytes frames = Mp3Of(1152, 2, 44100);
    const Bytes block = AdpcmPacket(99);  // 100 samples
    const Bytes sprite = DefineSprite(
        7, 1, Concat({SoundStreamHead(2, 3, true, true, 1152), Mp3StreamBlock(1152, 0, frames)}));
    // The main timeline streams ADPCM across the sprite; two heads in a row make two streams.
    const Bytes tags =
        Concat({SoundStreamHead(1, 1, true, false, 100), SoundStreamBlock(block), sprite,
                SoundStreamBlock(block), SoundStreamHead(0, 0, false, true, 3),
                SoundStreamBlock({1, 2, 3, 4, 5, 6})});
    const Extracted e = Extract(dir, tags);
    ASSERT_TRUE(e.ok);
    // 001 main ADPCM (closed by the second head), 002 the sprite's MP3 (closed when the sprite
    // ends, so listed first), 003 the main timeline's 8-bit stereo PCM stream.
    EXPECT_EQ(Names(e.elements),
              (std::vector<std::string>{"clip_002.mp3", "clip_001.wav", "clip_003.wav"}));
    EXPECT_EQ(e.elements[1].sampleCount, 200u);
    EXPECT_EQ(Payload(e.elements[1].path).size(), 400u);  // two blocks of 100 16-bit samples
    EXPECT_EQ(ReadFileBytes(e.elements[0].path), frames);
    EXPECT_EQ(e.elements[0].channels, 2);
    EXPECT_EQ(e.elements[2].bitsPerSample, 8);
    EXPECT_EQ(e.elements[2].channels, 2);
    EXPECT_EQ(e.elements[2].sampleRate, 5512u);
    EXPECT_EQ(Payload(e.elements[2].path), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(SwfCatalogue, AdpcmFlaggedEightBitAndLyingCountsStayWithinTheData) {
    TempDir dir;
    // ADPCM flagged 8-bit is 16-bit all the same: a 16-bit initial sample, 16-bit output.
    BitWriter w;
    w.Bits(2, 2).Bits(300, 16).Bits(0, 6);
    for (int i = 0; i < 999; ++i) {
        w.Bits(7, 4);
    }
    const Bytes eightBit = w.Finish();
    // A count of four billion samples in a tag of 9 bytes: cut to what the data can hold.
    const Bytes tags = Concat({DefineSound(1, 1, 1, false, false, 1000, eightBit),
                               DefineSound(2, 1, 1, true, true, 0xFFFFFFF0u, Bytes(9, 0x55)),
                               Mp3StreamBlock(0, 0, {}),  // no stream open: nothing
                               SoundStreamHead(2, 1, true, false, 576),
                               SoundStreamBlock({1, 2, 3})});  // too short for an MP3 block
    const Extracted e = Extract(dir, tags);
    ASSERT_TRUE(e.ok);
    ASSERT_EQ(e.elements.size(), 2u);
    EXPECT_EQ(Payload(e.elements[0].path).size(), 2000u);
    EXPECT_EQ(e.elements[0].bitsPerSample, 16);
    EXPECT_EQ(Payload(e.elements[0].path)[0] | (Payload(e.elements[0].path)[1] << 8), 300);
    EXPECT_LE(e.elements[1].sampleCount, 9u * 8u / 4u + 1u);
    EXPECT_EQ(Payload(e.elements[1].path).size(), size_t{e.elements[1].sampleCount} * 4u);
    // The MP3 stream received no samples: no file, its number used.
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"clip.swf", "clip_001.wav", "clip_002.wav"}));
}

TEST(SwfCatalogue, DeeplyNestedStreamsAreClosedInOrder) {
    TempDir dir;
    const Bytes pcm = Pcm16({5, 6});
    Bytes inner = DefineSprite(
        999, 1, Concat({SoundStreamHead(3, 0, true, false, 1), SoundStreamBlock(pcm)}));
    for (int i = 0; i < 200; ++i) {
        inner = DefineSprite(static_cast<uint16_t>(i + 1), 1,
                             Concat({SoundStreamHead(3, 0, true, false, 1), SoundStreamBlock(pcm),
                                     inner, SoundStreamBlock(pcm)}));
    }
    const Extracted e = Extract(dir, inner);
    ASSERT_TRUE(e.ok);
    ASSERT_EQ(e.elements.size(), 201u);
    // The innermost stream closes first; each outer one got a block before and after its child.
    EXPECT_EQ(e.elements.front().sampleCount, 2u);
    EXPECT_EQ(e.elements.back().sampleCount, 4u);
    EXPECT_EQ(Names(e.elements).front(), "clip_201.wav");
    EXPECT_EQ(Names(e.elements).back(), "clip_001.wav");
}

TEST(SwfCatalogue, ATruncatedMovieKeepsWhatCameBeforeTheCut) {
    TempDir dir;
    SwfMovie movie;
    const Bytes pcm = Pcm16({7, 8, 9});
    movie.tags =
        Concat({DefineSound(1, 3, 0, true, false, 3, pcm), SoundStreamHead(3, 0, true, false, 3),
                SoundStreamBlock(pcm), DefineSound(2, 3, 0, true, false, 3000, Bytes(6000, 1))});
    Bytes file = BuildSwf(movie);
    file.resize(file.size() - 100);  // the last DefineSound runs past the end
    ASSERT_TRUE(WriteFileBytes(dir.File("cut.swf"), file));
    CSwfReader reader;
    ASSERT_TRUE(reader.ExtractElements(dir.File("cut.swf")));
    EXPECT_EQ(Names(reader.Elements()), (std::vector<std::string>{"cut_001.wav", "cut_002.wav"}));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"cut.swf", "cut_001.wav", "cut_002.wav"}));
}

}  // namespace
}  // namespace kelvora
