#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "cli/RunLog.h"
#include "engine/File.h"
#include "engine/OutputNaming.h"
#include "support/Bytes.h"

namespace kelvora {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::string Claim(const std::string& path, const std::string& text) {
    CFile file;
    const std::string claimed = ClaimPlannedName(path, file);
    file.Write(text.data(), text.size());
    file.Close();
    return claimed;
}

void PutText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

nlohmann::json Line(const std::string& source, const std::vector<std::string>& outputs,
                    bool complete) {
    nlohmann::json line;
    PutPath(line, "path", source);
    const SourceStamp stamp = StampOf(source);
    line["size"] = stamp.size;
    line["mtime"] = stamp.mtime;
    line["options"] = "--to mp3";
    line["complete"] = complete;
    line["outputs"] = nlohmann::json::array();
    for (const std::string& path : outputs) {
        const FileDigest digest = DigestFile(path);
        nlohmann::json output;
        PutPath(output, "path", path);
        output["size"] = digest.size;
        output["sha256"] = digest.sha256;
        line["outputs"].push_back(output);
    }
    return line;
}

// A run killed at any moment leaves what it was making; the next run removes exactly that, and
// never a file that is not the very one it made, nor a finished output.
TEST(RunLog, AResumedRunRemovesOnlyWhatAStoppedRunLeftUnfinished) {
    TempDir dir;
    const std::string log = dir.File("run.log");
    std::string message;
    std::string bundle;
    {
        CRunLog stopped;
        ASSERT_TRUE(stopped.Open(log, "--to mp3", message)) << message;
        stopped.RemoveUnfinished();
        SetClaimRecorder(&stopped);
        PutText(dir.File("a.swf"), "movie");
        ASSERT_TRUE(stopped.Append(Line(dir.File("a.swf"), {Claim(dir.File("a.mp3"), "sound")},
                                        true)));
        Claim(dir.File("b.mp3"), "half");
        bundle = ClaimFolderName(dir.File("bundle"));
        ASSERT_TRUE(MakeFolder(bundle + "/sub"));
        Claim(bundle + "/sub/c.mp3", "half");
        // Announced, then another program's file there; claimed, then replaced by another file.
        stopped.Claiming(dir.File("d.mp3"), false);
        PutText(dir.File("d.mp3"), "theirs");
        Claim(dir.File("e.mp3"), "ours");
        PutText(dir.File("e.tmp"), "theirs");
        ASSERT_EQ(std::rename(dir.File("e.tmp").c_str(), dir.File("e.mp3").c_str()), 0);
        SetClaimRecorder(nullptr);
        // Killed: never closed, the journal stays.
    }
    CRunLog resumed;
    ASSERT_TRUE(resumed.Open(log, "--to mp3", message)) << message;
    CRunLog second;
    EXPECT_FALSE(second.Open(log, "--to mp3", message));
    EXPECT_EQ(message, "another run is using the log");
    resumed.RemoveUnfinished();
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.mp3", "a.swf", "d.mp3", "e.mp3", "run.log",
                                                    "run.log.claims"}));
    EXPECT_EQ(ReadFileBytes(dir.File("e.mp3")), Bytes({'t', 'h', 'e', 'i', 'r', 's'}));
    EXPECT_EQ(fs::file_size(dir.File("run.log.claims")), 0u);
    resumed.Close();
    EXPECT_FALSE(fs::exists(dir.File("run.log.claims")));
}

// A source recorded done is skipped while its outputs are there; recorded unchanged but not
// done, its outputs still as recorded make way for the same names; changed, it keeps them.
TEST(RunLog, ADoneSourceIsSkippedAndAnUnfinishedOneMakesWayForItsNames) {
    TempDir dir;
    const std::string log = dir.File("run.log");
    ASSERT_TRUE(MakeFolder(dir.File("sub")));
    const std::string source = dir.File("m\xe9.swf");  // a Latin-1 name, kept exactly
    PutText(source, "movie");
    const std::string one = Claim(dir.File("sub/m_001.mp3"), "one");
    const std::string two = Claim(dir.File("m_002.mp3"), "two");
    std::string message;
    {
        CRunLog first;
        ASSERT_TRUE(first.Open(log, "--to mp3", message));
        ASSERT_TRUE(first.Append(Line(source, {one, two}, true)));
        first.Close();
    }
    {  // a line a killed run cut short
        std::FILE* f = std::fopen(log.c_str(), "a");
        std::fputs("{\"path\":", f);
        std::fclose(f);
    }
    const auto open = [&](const std::string& options) {
        auto run = std::make_unique<CRunLog>();
        EXPECT_TRUE(run->Open(log, options, message));
        return run;
    };
    EXPECT_TRUE(open("--to mp3")->Done(source, StampOf(source)));
    EXPECT_FALSE(open("--to wav")->Done(source, StampOf(source)));

    SourceStamp changed = StampOf(source);
    changed.mtime = "2001-01-01T00:00:00.000000000Z";
    RemoveFile(two);
    EXPECT_FALSE(open("--to mp3")->Done(source, changed));
    EXPECT_TRUE(fs::exists(one));
    EXPECT_FALSE(open("--to mp3")->Done(source, StampOf(source)));
    EXPECT_FALSE(fs::exists(one));
    EXPECT_FALSE(fs::exists(dir.File("sub")));

    // Not done, with an output changed since: it is kept.
    const std::string three = Claim(dir.File("m_003.mp3"), "three");
    open("--to mp3")->Append(Line(source, {three}, false));
    PutText(three, "THREE");
    EXPECT_FALSE(open("--to mp3")->Done(source, StampOf(source)));
    EXPECT_TRUE(fs::exists(three));
}

}  // namespace
}  // namespace kelvora
