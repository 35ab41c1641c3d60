#include <gtest/gtest.h>

#include "audio/WavFile.h"
#include "flv/CFlvReader.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/Md5.h"
#include "support/WavBuilder.h"

namespace kelvora {
namespace {

using namespace test;
using Row = std::map<std::string, std::string>;

// Every FLV of the corpus converts or is refused as the manifest says. An MP3 track copied to an
// MP3 target is the listed payload byte for byte; decoded to WAV it has every frame's samples.
TEST(FlvCorpus, TracksConvertAsTheManifestSays) {
    KELVORA_REQUIRE_CORPUS();
    std::map<std::string, Row> tracks;
    for (Row& row : ReadTsv(CorpusDir() + "/SOUNDS.tsv")) {
        if (row["container"] == "FLV") {
            tracks[row["file"]] = row;
        }
    }
    int checked = 0;
    for (Row& movie : ReadTsv(CorpusDir() + "/MANIFEST.tsv")) {
        const std::string& name = movie["file"];
        if (movie["container"] != "FLV") {
            continue;
        }
        SCOPED_TRACE(name);
        const bool converts = movie["expected"] == "converted";
        for (bool toMp3 : {true, false}) {
            TempDir dir;
            CFlvReader reader;
            FlvAudioResult result;
            const std::string link = LinkCorpusFile(name, dir.path());
            ASSERT_EQ(reader.Convert(link, toMp3, &result), converts);
            if (!converts) {
                EXPECT_EQ(dir.List(), std::vector<std::string>{name});
                continue;
            }
            Row& track = tracks[name];
            EXPECT_EQ(std::to_string(result.channels), track["channels"]);
            EXPECT_EQ(std::to_string(result.sampleRate), track["rate"]);
            if (toMp3) {
                EXPECT_EQ(Md5Hex(ReadFileBytes(result.path)), track["payload_md5"]);
            } else {
                CWavReader wav;
                ASSERT_TRUE(wav.Open(result.path));
                EXPECT_EQ(std::to_string(wav.FrameCount()), track["data_samples"]);
                EXPECT_EQ(result.sampleCount, wav.FrameCount());
                EXPECT_EQ(result.bitsPerSample, 16);
            }
            EXPECT_EQ(dir.List().size(), 2u);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 10);  // five converted tracks, two targets each
}

// FLV files whose ADPCM audio ffmpeg encoded: the WAV holds exactly the samples ffmpeg decodes.
TEST(FlvCorpus, AdpcmTracksEqualFfmpegsDecode) {
    for (const char* name : {"mono22k", "stereo44k", "stereo11k_long"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string flv = dir.File(std::string(name) + ".flv");
        ASSERT_TRUE(WriteFileBytes(flv, ReadFileBytes(TestDataDir() + "/adpcm/" + name + ".flv")));
        CFlvReader reader;
        FlvAudioResult result;
        ASSERT_TRUE(reader.Convert(flv, false, &result));
        const Bytes reference = ReadFileBytes(TestDataDir() + "/adpcm/" + name + ".s16le");
        const Bytes wav = ReadFileBytes(result.path);
        ASSERT_GT(wav.size(), 44u);
        EXPECT_EQ(Bytes(wav.begin() + 44, wav.end()), reference);
        EXPECT_EQ(result.sampleCount, reference.size() / (2u * result.channels));
    }
}

}  // namespace
}  // namespace kelvora
