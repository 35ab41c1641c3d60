#include "engine/OutputNaming.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/File.h"
#include "engine/PathUtil.h"
#include "engine/PlatformFolders.h"
#include "support/Bytes.h"

namespace kelvora {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::WriteFileBytes;

TEST(OutputNaming, SwfNamesSkipTakenNumbersAndNeverReuseOne) {
    TempDir dir;
    const std::string base = dir.File("intro");
    int32_t counter = 1;
    EXPECT_EQ(NextSwfName(base, counter, ".mp3"), base + "_001.mp3");
    EXPECT_EQ(counter, 2);

    ASSERT_TRUE(WriteFileBytes(base + "_001.mp3", {}));
    counter = 1;
    EXPECT_EQ(NextSwfName(base, counter, ".mp3"), base + "_002.mp3");
    // A WAV element after it takes 003 although intro_001.wav is free.
    EXPECT_EQ(NextSwfName(base, counter, ".wav"), base + "_003.wav");

    // A folder of that name counts as taken.
    std::filesystem::create_directory(base + "_004.mp3");
    EXPECT_EQ(NextSwfName(base, counter, ".mp3"), base + "_005.mp3");

    // From 1000 on, four digits.
    counter = 1000;
    EXPECT_EQ(NextSwfName(base, counter, ".mp3"), base + "_1000.mp3");
    int32_t unused = 1;
    EXPECT_EQ(NextSwfName("", unused, ".mp3"), "");
}

TEST(OutputNaming, FlvNamesArePlainWhenFreeThenNumberedFromOne) {
    TempDir dir;
    const std::string base = dir.File("talk");
    EXPECT_EQ(NextFlvName(base, ".mp3"), base + ".mp3");
    ASSERT_TRUE(WriteFileBytes(base + ".mp3", {}));
    EXPECT_EQ(NextFlvName(base, ".mp3"), base + "_1.mp3");
    ASSERT_TRUE(WriteFileBytes(base + "_1.mp3", {}));
    EXPECT_EQ(NextFlvName(base, ".mp3"), base + "_2.mp3");
    EXPECT_EQ(NextFlvName(base, ".wav"), base + ".wav");
    EXPECT_EQ(NextFlvName("", ".wav"), "");
}

TEST(OutputNaming, ANameHeldByALinkThatLeadsNowhereIsTakenAndNeverWrittenThrough) {
    TempDir dir;
    const test::ScopedEnv home("HOME", dir.File("home").c_str());
    const std::string nowhere = dir.File("nowhere");
    for (const char* name : {"talk.wav", "clip_001.mp3", "clip_002.wav"}) {
        ASSERT_EQ(::symlink(nowhere.c_str(), dir.File(name).c_str()), 0);
    }
    EXPECT_EQ(NextFlvName(dir.File("talk"), ".wav"), dir.File("talk_1.wav"));
    EXPECT_EQ(ClaimFlvName(dir.File("talk"), ".wav"), dir.File("talk_1.wav"));
    // The probe moves past the link, so the outputs stay beside their source.
    int32_t counter = 1;
    EXPECT_EQ(MakeOutputBase(dir.File("clip.swf"), SourceKind::Swf, counter), dir.File("clip"));
    counter = 1;
    EXPECT_EQ(ClaimSwfName(dir.File("clip"), counter, ".wav"), dir.File("clip_001.wav"));
    EXPECT_EQ(ClaimSwfName(dir.File("clip"), counter, ".wav"), dir.File("clip_003.wav"));
    EXPECT_FALSE(PathExists(nowhere));
    EXPECT_FALSE(PathExists(dir.File("home")));

    // An output is written through the file its name was claimed with: a link put at the name
    // meanwhile is never followed.
    CFile out;
    const std::string claimed = ClaimPlannedName(dir.File("clip_004.wav"), out);
    ASSERT_EQ(claimed, dir.File("clip_004.wav"));
    ASSERT_TRUE(WriteFileBytes(dir.File("victim"), {1, 2, 3}));
    ASSERT_TRUE(RemoveFile(claimed));
    ASSERT_EQ(::symlink(dir.File("victim").c_str(), claimed.c_str()), 0);
    EXPECT_TRUE(out.Write("sound", 5) && out.Close());
    // A planned name taken since by another program moves on to the next free one.
    EXPECT_EQ(ClaimPlannedName(claimed, out), dir.File("clip_004_1.wav"));
    EXPECT_EQ(test::ReadFileBytes(dir.File("victim")), (test::Bytes{1, 2, 3}));
}

TEST(OutputNaming, OutputsGoNextToAWritableSourceAndTheProbeLeavesNothing) {
    TempDir dir;
    const std::string source = dir.File("intro.swf");
    ASSERT_TRUE(WriteFileBytes(source, {1}));
    int32_t counter = 1;
    EXPECT_EQ(MakeOutputBase(source, SourceKind::Swf, counter), dir.File("intro"));
    EXPECT_GT(counter, 1);  // the probe used a number
    int32_t flvCounter = 1;
    EXPECT_EQ(MakeOutputBase(dir.File("talk.flv"), SourceKind::Flv, flvCounter), dir.File("talk"));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"intro.swf"});
}

TEST(OutputNaming, BaseIsCutAtTheLastDotEvenInTheFolderPart) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("my.dir"));
    int32_t counter = 1;
    EXPECT_EQ(MakeOutputBase(dir.File("my.dir/file"), SourceKind::Swf, counter), dir.File("my"));
}

TEST(OutputNaming, UnwritableSourceFolderFallsBackToTheDocumentsFolder) {
    TempDir home;
    ScopedEnv homeEnv("HOME", home.path().c_str());
    ScopedEnv configEnv("XDG_CONFIG_HOME", nullptr);
    // A source folder that does not exist cannot take a new file, even for root.
    const std::string source = home.File("missing/media/intro.swf");

    int32_t counter = 1;
    EXPECT_EQ(MakeOutputBase(source, SourceKind::Swf, counter),
              home.File("Documents/SWF_MP3_Files/intro"));
    int32_t flvCounter = 1;
    EXPECT_EQ(MakeOutputBase(home.File("missing/talk.flv"), SourceKind::Flv, flvCounter),
              home.File("Documents/FLV_MP3_Files/talk"));
    EXPECT_EQ(MakeOutputBase(home.File("missing/game.exe"), SourceKind::Projector, flvCounter),
              home.File("Documents/SWF_MP3_Files/game"));  // the movie it carries
    EXPECT_TRUE(IsFolder(home.File("Documents/SWF_MP3_Files")));
    EXPECT_TRUE(std::filesystem::is_empty(home.File("Documents/SWF_MP3_Files")));
}

TEST(OutputNaming, DocumentsFolderComesFromTheXdgUserDirs) {
    TempDir home;
    ScopedEnv homeEnv("HOME", home.path().c_str());
    ScopedEnv configEnv("XDG_CONFIG_HOME", home.File("cfg").c_str());
    std::filesystem::create_directory(home.File("cfg"));
    ASSERT_TRUE(
        test::WriteFileBytes(home.File("cfg/user-dirs.dirs"),
                             test::ByteWriter()
                                 .Append(std::string("# written by xdg-user-dirs-update\n"
                                                     "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                     "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n"))
                                 .take()));
    std::string docs;
    ASSERT_TRUE(DocumentsFolder(docs));
    EXPECT_EQ(docs, home.File("Papers"));
    EXPECT_TRUE(IsFolder(docs));  // created when missing
}

TEST(OutputNaming, WithoutDocumentsFolderTheProgramFolderIsTheLastPlace) {
    TempDir home;
    // HOME names a file: no documents folder can be made under it.
    ASSERT_TRUE(WriteFileBytes(home.File("file"), {}));
    ScopedEnv homeEnv("HOME", home.File("file").c_str());
    ScopedEnv configEnv("XDG_CONFIG_HOME", nullptr);
    std::string programFolder;
    ASSERT_TRUE(ProgramFolder(programFolder));
    const std::string fallback = programFolder + "SWF_MP3_Files";
    const bool existed = IsFolder(fallback);

    int32_t counter = 1;
    EXPECT_EQ(MakeOutputBase(home.File("missing/intro.swf"), SourceKind::Swf, counter),
              fallback + "/intro");
    if (!existed) {
        std::error_code ec;
        std::filesystem::remove(fallback, ec);
    }
}

}  // namespace
}  // namespace kelvora
