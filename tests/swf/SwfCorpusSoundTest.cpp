#include <gtest/gtest.h>

#include <algorithm>

#include "audio/WavFile.h"
#include "engine/PathUtil.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/Md5.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;
using Row = std::map<std::string, std::string>;

Bytes Payload(const std::string& wavPath) {
    Bytes b = ReadFileBytes(wavPath);
    return Bytes(b.begin() + std::min<size_t>(44, b.size()), b.end());
}

// Every SWF of the corpus yields the elements SOUNDS.tsv lists as extractable, in its order,
// numbered as it says, with the right format, channels, bits, rate and sample count. The copied
// payloads (PCM, MP3) have the listed digests; decoded ADPCM equals the reference decode.
TEST(SwfCorpus, ElementsMatchTheIndependentWalker) {
    KELVORA_REQUIRE_CORPUS();
    std::map<std::string, std::vector<Row>> sounds;
    for (Row& row : ReadTsv(CorpusDir() + "/SOUNDS.tsv")) {
        if (row["container"] == "SWF" && row["extractable"] == "yes") {
            sounds[row["file"]].push_back(row);
        }
    }
    int movies = 0, elements = 0;
    for (Row& movie : ReadTsv(CorpusDir() + "/MANIFEST.tsv")) {
        const std::string& name = movie["file"];
        if (movie["container"] != "SWF" || movie["expected"].rfind("refused", 0) == 0) {
            continue;
        }
        SCOPED_TRACE(name);
        TempDir dir;
        CSwfReader reader;
        ASSERT_TRUE(reader.ExtractElements(LinkCorpusFile(name, dir.path())));
        std::vector<Row> expected = sounds[name];
        std::sort(expected.begin(), expected.end(),
                  [](Row& a, Row& b) { return std::stoi(a["index"]) < std::stoi(b["index"]); });
        const auto& got = reader.Elements();
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_EQ(movie["expected"], std::to_string(got.size()) + " element(s)");
        const std::string stem = name.substr(0, name.size() - 4);
        for (size_t i = 0; i < got.size(); ++i) {
            Row& want = expected[i];
            SCOPED_TRACE("element " + std::to_string(i));
            const bool mp3 = want["format"] == "2";
            char number[16];
            std::snprintf(number, sizeof number, "_%03d", std::stoi(want["number"]));
            EXPECT_EQ(got[i].path, dir.File(stem + number + (mp3 ? ".mp3" : ".wav")));
            EXPECT_EQ(got[i].isMp3, mp3 ? 1u : 0u);
            EXPECT_EQ(std::to_string(got[i].channels), want["channels"]);
            EXPECT_EQ(std::to_string(got[i].bitsPerSample), want["bits"]);
            EXPECT_EQ(std::to_string(got[i].sampleRate), want["rate"]);
            // An element counts what the file holds: an MP3 one its frames, whatever its tags
            // claim.
            if (mp3) {
                EXPECT_EQ(std::to_string(got[i].sampleCount), want["data_samples"]);
            } else {
                CWavReader wav;
                ASSERT_TRUE(wav.Open(got[i].path));
                EXPECT_EQ(got[i].sampleCount, wav.FrameCount());
            }
            if (want["format"] == "1") {
                // ADPCM: the reference is ffmpeg's decode of the whole payload; ours decodes the
                // tag's own count of it.
                char index[16];
                std::snprintf(index, sizeof index, ".%02d.", std::stoi(want["index"]));
                const std::string ref =
                    CorpusDir() + "/ref/" + stem + index + want["kind"] + ".ref.wav";
                const std::vector<int16_t> theirs = Samples16(ReadFileBytes(ref));
                const std::vector<int16_t> ours = Samples16(ReadFileBytes(got[i].path));
                ASSERT_FALSE(theirs.empty()) << ref;
                const size_t n = std::min(theirs.size(), ours.size());
                EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + n, theirs.begin()));
                EXPECT_EQ(ours.size(), size_t{got[i].sampleCount} * got[i].channels);
            } else {
                const Bytes payload = mp3 ? ReadFileBytes(got[i].path) : Payload(got[i].path);
                EXPECT_EQ(Md5Hex(payload), want["payload_md5"]);
            }
            ++elements;
        }
        ++movies;
    }
    EXPECT_GE(movies, 45);
    EXPECT_GE(elements, 100);
}

// An LZMA-compressed copy of every corpus movie with sound gives the very same elements, byte
// for byte, with the every-format option; without it the copy is refused and says why.
TEST(SwfCorpus, LzmaCopiesGiveTheSameElements) {
    KELVORA_REQUIRE_CORPUS();
    int movies = 0;
    for (Row& movie : ReadTsv(CorpusDir() + "/MANIFEST.tsv")) {
        const std::string& name = movie["file"];
        if (movie["container"] != "SWF" || movie["expected"].rfind("refused", 0) == 0 ||
            movie["n_extractable"] == "0") {
            continue;
        }
        SCOPED_TRACE(name);
        TempDir plain, packed;
        CSwfReader reader;
        ASSERT_TRUE(reader.ExtractElements(LinkCorpusFile(name, plain.path())));
        const std::vector<OutputItem> want = reader.Elements();
        const std::string copy = packed.File(name);
        ASSERT_TRUE(WriteFileBytes(copy, ToZws(ReadFileBytes(CorpusFile(name)))));
        EXPECT_FALSE(reader.ExtractElements(copy));
        EXPECT_EQ(reader.Report().failure, Failure::LzmaNeedsOption);
        reader.SetOptions(ConversionOptions{.allFormats = true});
        ASSERT_TRUE(reader.ExtractElements(copy));
        const auto& got = reader.Elements();
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(FileNamePart(got[i].path), FileNamePart(want[i].path));
            EXPECT_EQ(got[i].sampleCount, want[i].sampleCount);
            EXPECT_TRUE(ReadFileBytes(got[i].path) == ReadFileBytes(want[i].path)) << i;
        }
        ++movies;
    }
    EXPECT_GE(movies, 30);
}

// The whole conversion of a few corpus movies to each target: every element ends in the target
// format and nothing but the outputs is left beside the source.
TEST(SwfCorpus, ConvertsToEitherTarget) {
    KELVORA_REQUIRE_CORPUS();
    const std::map<std::string, size_t> movies = {{"gnash_sound1.swf", 2},
                                                  {"jpexs_test_sounds.swf", 2},
                                                  {"lightspark_flash.swf", 2},
                                                  {"ruffle_SoundStreamHead2.swf", 1},
                                                  {"swfdec_adpcm-5.swf", 1}};
    for (const auto& [name, count] : movies) {
        for (bool toMp3 : {true, false}) {
            SCOPED_TRACE(name + (toMp3 ? " to MP3" : " to WAV"));
            TempDir dir;
            CSwfReader reader;
            ASSERT_TRUE(reader.Convert(LinkCorpusFile(name, dir.path()), toMp3));
            ASSERT_EQ(reader.Elements().size(), count);
            std::vector<std::string> expected = {name};
            for (const OutputItem& e : reader.Elements()) {
                EXPECT_EQ(e.isMp3, toMp3 ? 1u : 0u);
                EXPECT_EQ(ExtensionPart(e.path), toMp3 ? ".mp3" : ".wav");
                if (!toMp3) {
                    CWavReader wav;
                    ASSERT_TRUE(wav.Open(e.path));
                    EXPECT_EQ(wav.Channels(), e.channels);
                    EXPECT_EQ(wav.BitsPerSample(), e.bitsPerSample);
                }
                expected.push_back(e.path.substr(dir.path().size() + 1));
            }
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(dir.List(), expected);
        }
    }
}

}  // namespace
}  // namespace kelvora
