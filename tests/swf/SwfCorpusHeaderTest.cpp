#include <gtest/gtest.h>

#include "support/Bytes.h"
#include "support/Corpus.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;

// Every SWF of the corpus: the header-only read agrees with MANIFEST.tsv (version, refusals)
// and with swf_headers.tsv (frame size, rate and count read by an independent script), and
// the full read refuses exactly the movies the manifest calls refused.
TEST(SwfCorpus, HeadersMatchTheManifest) {
    KELVORA_REQUIRE_CORPUS();
    std::map<std::string, std::map<std::string, std::string>> headers;
    for (auto& row : ReadTsv(TestDataDir() + "/swf_headers.tsv")) {
        headers[row["file"]] = row;
    }
    int checked = 0;
    for (auto& row : ReadTsv(CorpusDir() + "/MANIFEST.tsv")) {
        if (row["container"] != "SWF") {
            continue;
        }
        const std::string& name = row["file"];
        SCOPED_TRACE(name);
        const std::string path = CorpusFile(name);
        const std::string expected = row["expected"];
        const bool notAMovie = expected == "refused (not SWF)" ||
                               expected == "refused (ZWS signature)" ||
                               expected == "refused (too short)";
        CSwfReader reader;
        SwfMovieInfo info;
        const bool read = reader.ReadInfo(path, &info);
        EXPECT_EQ(read, !notAMovie);
        const bool opened = reader.Open(path, false);
        EXPECT_EQ(opened, expected.rfind("refused", 0) != 0);
        if (!read) {
            continue;
        }
        const Bytes bytes = ReadFileBytes(path);
        EXPECT_EQ(bytes.at(0) == 'C', row["compressed"] == "yes");
        EXPECT_EQ(std::to_string(info.version), row["version"]);
        ASSERT_TRUE(headers.count(name));
        auto& h = headers[name];
        EXPECT_EQ(std::to_string(info.width), h["width"]);
        EXPECT_EQ(std::to_string(info.height), h["height"]);
        EXPECT_EQ(std::to_string(info.frameRate), h["frame_rate"]);
        EXPECT_EQ(std::to_string(info.frameCount), h["frame_count"]);
        ++checked;
    }
    EXPECT_GE(checked, 45);
}

}  // namespace
}  // namespace kelvora
