// Sound in the formats libavcodec decodes, with the every-format option: videos and movies give
// exactly ffmpeg's decode of it, numbered and reported as any other sound, and only with the
// option.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "flv/CFlvReader.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/Md5.h"
#include "support/SwfBuilder.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;

const ConversionOptions kAllFormats{.allFormats = true};

Bytes Fixture(const std::string& name) {
    return ReadFileBytes(TestDataDir() + "/codecs/" + name);
}

// The digest of a WAV file's samples.
std::string SamplesMd5(const std::string& wav) {
    const Bytes bytes = ReadFileBytes(wav);
    return Md5Hex(Bytes(bytes.begin() + std::min<size_t>(44, bytes.size()), bytes.end()));
}

// ffmpeg's decode of a fixture, as the vectors' table gives it.
std::string RefMd5(const std::string& name) {
    for (auto& ref : ReadTsv(TestDataDir() + "/codecs/refs.tsv")) {
        if (ref["file"] == name) {
            return ref["md5"];
        }
    }
    return {};
}

// A video of the given packets in the fixture's format (AAC without its sequence header).
Bytes Rebuilt(const FlvAudio& audio, const std::vector<Bytes>& packets) {
    FlvBuilder flv;
    for (const Bytes& packet : packets) {
        flv.Audio(audio.flags, audio.format == 10 ? Concat({Bytes{1}, packet}) : packet);
    }
    return flv.Build();
}

TEST(AllFormats, VideosDecodeAsFfmpegDoesAndOnlyWithTheOption) {
    for (auto& ref : ReadTsv(TestDataDir() + "/codecs/refs.tsv")) {
        SCOPED_TRACE(ref["file"]);
        TempDir dir;
        const std::string path = dir.File(ref["file"]);
        ASSERT_TRUE(WriteFileBytes(path, Fixture(ref["file"])));
        CFlvReader reader;
        FlvAudioResult result;
        EXPECT_FALSE(reader.Convert(path, false, &result));
        EXPECT_EQ(reader.Report().failure, Failure::FormatNeedsOption);
        EXPECT_EQ(dir.List().size(), 1u);

        reader.SetOptions(kAllFormats);
        ASSERT_TRUE(reader.Convert(path, false, &result));
        EXPECT_EQ(std::to_string(result.sampleRate), ref["rate"]);
        EXPECT_EQ(std::to_string(result.channels), ref["channels"]);
        EXPECT_EQ(std::to_string(result.sampleCount), ref["frames"]);
        EXPECT_EQ(SamplesMd5(result.path), ref["md5"]);
        ASSERT_TRUE(reader.Convert(path, true, &result));
        EXPECT_TRUE(result.isMp3);
        EXPECT_EQ(dir.List().size(), 3u);  // the video, its WAV and its MP3
    }
}

TEST(AllFormats, HostileTracksEndAsASuccessOrAFailureWithItsReason) {
    TempDir dir;
    const std::string path = dir.File("talk.flv");
    CFlvReader reader;
    reader.SetOptions(kAllFormats);
    FlvAudioResult result;
    const auto convert = [&](const Bytes& flv) {
        EXPECT_TRUE(WriteFileBytes(path, flv));
        const bool ok = reader.Convert(path, false, &result);
        if (!ok) {
            EXPECT_EQ(dir.List(), std::vector<std::string>{"talk.flv"});
        }
        return ok;
    };
    // AAC frames without their sequence header, or with a garbage one, decode to nothing.
    const FlvAudio aac = ReadFlvAudio(Fixture("aac22k_mono.flv"));
    EXPECT_FALSE(convert(Rebuilt(aac, aac.packets)));
    EXPECT_EQ(reader.Report().failure, Failure::NothingDecoded);
    FlvBuilder garbage;
    garbage.Audio(aac.flags, Bytes{0, 0x00, 0x00, 0xFF});
    for (const Bytes& packet : aac.packets) {
        garbage.Audio(aac.flags, Concat({Bytes{1}, packet}));
    }
    EXPECT_FALSE(convert(garbage.Build()));
    EXPECT_EQ(reader.Report().failure, Failure::NothingDecoded);

    // Nellymoser tags that are no whole number of blocks, and tags of other formats midway:
    // the whole blocks of the track's own format are its sound.
    const FlvAudio nelly = ReadFlvAudio(Fixture("nelly22k.flv"));
    FlvBuilder mixed;
    for (size_t i = 0; i < nelly.packets.size(); ++i) {
        mixed.Audio(nelly.flags, Concat({nelly.packets[i], Noise(i % 63, i)}));
        if (i == nelly.packets.size() / 2) {
            mixed.Audio(FlvAudioFlags(2, 2, true, false), Mp3Of(1152, 1, 22050));
            mixed.Audio(FlvAudioFlags(11, 2, true, false), Noise(70));
        }
    }
    ASSERT_TRUE(convert(mixed.Build()));
    EXPECT_EQ(SamplesMd5(result.path), RefMd5("nelly22k.flv"));
    RemoveFile(result.path);

    // Speex tags of random bytes.
    FlvBuilder speex;
    for (uint32_t i = 0; i < 50; ++i) {
        speex.Audio(FlvAudioFlags(11, 2, true, false), Noise(1 + i * 7, i));
    }
    if (convert(speex.Build())) {
        EXPECT_EQ(result.sampleRate, 16000u);
        RemoveFile(result.path);
    }
}

TEST(AllFormats, MovieSoundsOfEveryFormatAreNumberedInTagOrderAndReported) {
    const FlvAudio nelly = ReadFlvAudio(Fixture("nelly22k.flv"));
    Bytes event, stream;
    for (const Bytes& packet : nelly.packets) {
        event = Concat({event, packet});
        stream = Concat({stream, SoundStreamBlock(packet)});
    }
    SwfMovie movie;
    movie.tags = Concat({DefineSound(1, 3, 2, true, false, 100, Noise(200)),
                         DefineSound(2, 6, 2, true, false, 22528, event),
                         SoundStreamHead(6, 2, true, false, 512), stream,
                         DefineSound(3, 10, 3, true, true, 1024, Noise(300)), SwfEndTag()});
    TempDir dir;
    const std::string path = dir.File("clip.swf");
    ASSERT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
    CSwfReader reader;
    ASSERT_TRUE(reader.ExtractElements(path));
    ASSERT_EQ(reader.Elements().size(), 1u);
    EXPECT_EQ(DescribeReport(reader.Report(), "--all-formats"),
              (std::vector<std::string>{"2 Nellymoser sounds skipped (--all-formats converts them)",
                                        "1 AAC sound skipped (not convertible)"}));
    RemoveFile(reader.Elements()[0].path);

    reader.SetOptions(kAllFormats);
    ASSERT_TRUE(reader.ExtractElements(path));
    const auto& got = reader.Elements();
    ASSERT_EQ(got.size(), 3u);
    const std::string nellyMd5 = RefMd5("nelly22k.flv");
    for (size_t i : {1, 2}) {
        EXPECT_EQ(got[i].path, dir.File(i == 1 ? "clip_002.wav" : "clip_003.wav"));
        EXPECT_EQ(got[i].sampleRate, 22050u);
        EXPECT_EQ(got[i].sampleCount, 22528u);
        EXPECT_EQ(SamplesMd5(got[i].path), nellyMd5);
    }
    EXPECT_EQ(DescribeReport(reader.Report(), "--all-formats"),
              std::vector<std::string>{"1 AAC sound skipped (not convertible)"});

    // G.711 event sounds of another tool's movies keep the rate their flags give.
    KELVORA_REQUIRE_CORPUS();
    for (const char* name : {"ruffle_g711_event_alaw.swf", "ruffle_g711_event_mulaw.swf"}) {
        ASSERT_TRUE(reader.Convert(LinkCorpusFile(name, dir.path()), true)) << name;
        ASSERT_EQ(reader.Elements().size(), 1u);
        EXPECT_EQ(reader.Elements()[0].isMp3, 1u);
        EXPECT_EQ(reader.Elements()[0].sampleRate, 11025u);
    }
}

// A movie's Speex sound is frames written one after another, each padded to a whole byte:
// every frame is decoded, in an event sound and in stream blocks of several frames alike, and
// nothing the library says about broken data reaches standard error.
TEST(AllFormats, EveryFrameOfAMoviesSpeexSoundIsDecodedQuietly) {
    const FlvAudio speex = ReadFlvAudio(Fixture("speex16k.flv"));  // a frame a packet
    Bytes event, stream;
    for (size_t i = 0; i < speex.packets.size(); i += 2) {
        const Bytes two = Concat(
            {speex.packets[i], i + 1 < speex.packets.size() ? speex.packets[i + 1] : Bytes{}});
        event = Concat({event, two});
        stream = Concat({stream, SoundStreamBlock(two)});
    }
    SwfMovie movie;
    movie.tags = Concat({DefineSound(1, 11, 2, true, false, 16000, event),
                         SoundStreamHead(11, 2, true, false, 640), stream,
                         DefineSound(2, 11, 2, true, false, 32000, event),  // claims too much
                         DefineSound(3, 11, 2, true, false, 16000, Noise(5000)), SwfEndTag()});
    TempDir dir;
    const std::string path = dir.File("clip.swf");
    ASSERT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
    CSwfReader reader;
    reader.SetOptions(kAllFormats);

    // Standard error goes to a file while the movie converts.
    fflush(stderr);
    const int saved = ::dup(2);
    const std::string errPath = dir.File("stderr.txt");
    const int errFile = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(errFile, 2);
    const bool ok = reader.ExtractElements(path);
    fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(errFile);
    EXPECT_EQ(ReadFileBytes(errPath), Bytes{});
    RemoveFile(errPath);

    ASSERT_TRUE(ok);
    for (const char* name : {"clip_001.wav", "clip_002.wav", "clip_003.wav"}) {
        const auto found =
            std::find_if(reader.Elements().begin(), reader.Elements().end(),
                         [&](const OutputItem& e) { return e.path == dir.File(name); });
        ASSERT_NE(found, reader.Elements().end()) << name;
        EXPECT_EQ(found->sampleRate, 16000u);
        EXPECT_EQ(found->sampleCount, 16000u);
        EXPECT_EQ(SamplesMd5(found->path), RefMd5("speex16k.flv")) << name;
    }
    const std::vector<std::string> lines = DescribeReport(reader.Report(), "--all-formats");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0],
              "1 Speex sound decoded short: 16000 of the 32000 sample frames its tag claims");
}

}  // namespace
}  // namespace kelvora
