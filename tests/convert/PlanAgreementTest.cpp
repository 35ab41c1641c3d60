// What the listing says, what a conversion writes and what its report tells agree, for every
// movie and video of the corpus and the test data, under each option and for both targets: the
// same names, the same rate and channels, and for WAV outputs the sample frames the file holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "audio/WavFile.h"
#include "cli/Cli.h"
#include "support/Bytes.h"
#include "support/Corpus.h"

namespace kelvora {
namespace {

using namespace test;
using Json = nlohmann::json;

Json RunJson(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    RunCli(args, out, err);
    return Json::parse(out.str());
}

TEST(PlanAgreement, TheListingTheFilesWrittenAndTheReportAgree) {
    std::vector<std::string> sources;
    if (!CorpusDir().empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
            const std::string ext = entry.path().extension();
            if (ext == ".swf" || ext == ".flv") {
                sources.push_back(entry.path());
            }
        }
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TestDataDir())) {
        if (entry.path().extension() == ".flv") {
            sources.push_back(entry.path());
        }
    }
    const std::map<std::string, std::vector<std::string>> optionSets = {
        {"none", {}},
        {"every format", {"--all-formats"}},
        {"timing", {"--all-formats", "--keep-timing"}},
        {"linkage names", {"--all-formats", "--names", "linkage"}}};
    size_t outputs = 0;
    for (const auto& [setName, options] : optionSets) {
        for (const char* target : {"mp3", "wav"}) {
            SCOPED_TRACE(setName + std::string(", ") + target);
            TempDir dir;
            std::set<std::string> names;
            std::vector<std::string> args = options;
            args.insert(args.end(), {"--to", target});
            for (const std::string& source : sources) {
                const std::string name = std::filesystem::path(source).filename();
                if (names.insert(name).second) {
                    ASSERT_EQ(::symlink(source.c_str(), dir.File(name).c_str()), 0);
                    args.push_back(dir.File(name));
                }
            }
            std::vector<std::string> listArgs = {"--list", "--json"};
            listArgs.insert(listArgs.end(), args.begin(), args.end());
            const Json listing = RunJson(listArgs);
            std::vector<std::string> convertArgs = {"--json", "-j", "2"};
            convertArgs.insert(convertArgs.end(), args.begin(), args.end());
            const Json report = RunJson(convertArgs);
            ASSERT_EQ(listing.size(), report.size());
            std::set<std::string> written;  // every file the conversions made
            for (const std::string& file : dir.List()) {
                if (!names.count(file)) {
                    written.insert(file);
                }
            }
            std::set<std::string> listed, reported;
            for (size_t i = 0; i < listing.size(); ++i) {
                SCOPED_TRACE(listing[i]["file"].get<std::string>());
                std::map<std::string, Json> planned;
                for (const Json& sound : listing[i]["sounds"]) {
                    if (!sound["outputName"].is_null()) {
                        const std::string file =
                            sound["outputName"].get<std::string>() + "." + target;
                        planned[file] = sound;
                        listed.insert(file);
                    }
                }
                for (const Json& output : report[i]["outputs"]) {
                    const std::string file = output["file"];
                    reported.insert(file);
                    ASSERT_TRUE(planned.count(file)) << file;
                    const Json& plan = planned[file];
                    EXPECT_EQ(plan["sampleRate"], output["sampleRate"]) << file;
                    EXPECT_EQ(plan["channels"], output["channels"]) << file;
                    if (std::string(target) == "wav") {
                        CWavReader wav;
                        ASSERT_TRUE(wav.Open(output["path"])) << file;
                        EXPECT_EQ(plan["sampleFrames"], output["sampleFrames"]) << file;
                        EXPECT_EQ(output["sampleFrames"], wav.FrameCount()) << file;
                        EXPECT_EQ(output["sampleRate"], wav.SampleRate()) << file;
                        EXPECT_EQ(output["channels"], wav.Channels()) << file;
                    }
                    ++outputs;
                }
            }
            EXPECT_EQ(listed, reported);
            EXPECT_EQ(reported, written);
        }
    }
    EXPECT_GT(outputs, 100u);
}

}  // namespace
}  // namespace kelvora
