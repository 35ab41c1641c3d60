#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/Cli.h"
#include "engine/Version.h"
#include "support/Bytes.h"
#include "support/SwfBuilder.h"

namespace kelvora {
namespace {

using namespace test;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunArgs(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(CliInfo, PrintsTheSourceColumnsOfEachMovie) {
    TempDir dir;
    SwfMovie movie;
    movie.version = 8;
    movie.frameRate88 = 24 << 8;
    movie.frameCount = 1565;  // 65 seconds at 24 frames per second
    movie.tags = SwfEndTag();
    ASSERT_TRUE(WriteFileBytes(dir.File("a.swf"), BuildSwf(movie)));
    movie.compressed = true;
    movie.xMax = 6400;
    movie.yMax = 4800;
    ASSERT_TRUE(WriteFileBytes(dir.File("B.SWF"), BuildSwf(movie)));

    const CliRun run = RunArgs({"--info", dir.File("a.swf"), dir.File("B.SWF")});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "a.swf\t8\t550 x 400\t01:05\t24 Hz\t1565\t" + dir.File("a.swf") + "\n" +
                           "B.SWF\t8\t320 x 240\t01:05\t24 Hz\t1565\t" + dir.File("B.SWF") + "\n");
}

TEST(CliInfo, RelativePathsAreMadeAbsoluteAndFailuresNamedOnStderr) {
    TempDir dir;
    SwfMovie movie;
    movie.tags = SwfEndTag();
    ASSERT_TRUE(WriteFileBytes(dir.File("rel.swf"), BuildSwf(movie)));
    ASSERT_TRUE(WriteFileBytes(dir.File("text.swf"),
                               ByteWriter().Append(std::string("hello world, no movie")).take()));
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string cwd = std::filesystem::current_path().string();
    const CliRun run = RunArgs({"--info", "rel.swf", "text.swf", "missing.swf"});
    std::filesystem::current_path(old);

    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.out, "rel.swf\t6\t550 x 400\t00:00\t12 Hz\t1\t" + cwd + "/rel.swf\n");
    EXPECT_NE(run.err.find("text.swf"), std::string::npos);
    EXPECT_NE(run.err.find("missing.swf"), std::string::npos);
}

TEST(CliInfo, UsageHelpAndVersion) {
    EXPECT_EQ(RunArgs({}).status, kExitUsage);
    EXPECT_EQ(RunArgs({"--info"}).status, kExitUsage);
    const CliRun bad = RunArgs({"--bogus", "x.swf"});
    EXPECT_EQ(bad.status, kExitUsage);
    EXPECT_NE(bad.err.find("--bogus"), std::string::npos);
    const CliRun help = RunArgs({"--help"});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.find("Usage: kelvora-cli"), std::string::npos);
    const CliRun version = RunArgs({"--version"});
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_EQ(version.out, std::string("kelvora-cli (Kelvora) ") + kVersionText + "\n");
}

}  // namespace
}  // namespace kelvora
