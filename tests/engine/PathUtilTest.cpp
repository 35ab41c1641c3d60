#include "engine/PathUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/Records.h"
#include "support/Bytes.h"

namespace kelvora {
namespace {

using test::TempDir;

TEST(PathUtil, ExtensionPartTakesTheLastDotOfTheLastComponent) {
    EXPECT_EQ(ExtensionPart("/media/a.b/file"), "");
    EXPECT_EQ(ExtensionPart("/media/dir/x.tar.swf"), ".swf");
    EXPECT_EQ(ExtensionPart("x.swf"), "");  // no folder part: no extension
    EXPECT_EQ(ExtensionPart("/media/clip."), ".");
    EXPECT_EQ(ExtensionPart("/media/.hidden"), ".hidden");
    EXPECT_TRUE(HasExtension("/media/INTRO.SWF", ".swf"));
    EXPECT_FALSE(HasExtension("/media/intro.swf.bak", ".swf"));
    EXPECT_FALSE(HasExtension("intro.swf", ".swf"));
}

TEST(PathUtil, FileNamePartIsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(FileNamePart("/media/dir/a.swf"), "a.swf");
    EXPECT_EQ(FileNamePart("a.swf"), "a.swf");
    EXPECT_EQ(FileNamePart("/media/dir/"), "");
}

TEST(PathUtil, ExistenceOfFilesAndFolders) {
    TempDir dir;
    const std::string file = dir.File("a.swf");
    ASSERT_TRUE(test::WriteFileBytes(file, {1, 2, 3}));
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(dir.path()));
    EXPECT_FALSE(IsFolder(file));
    EXPECT_TRUE(IsFolder(dir.path()));
    EXPECT_FALSE(PathExists(dir.File("missing")));
    EXPECT_FALSE(IsFolder(dir.File("missing")));
    EXPECT_FALSE(PathExists(""));
}

TEST(PathUtil, ProgramFolderIsTheFolderOfTheRunningProgram) {
    std::string folder;
    ASSERT_TRUE(ProgramFolder(folder));
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(IsFolder(folder));
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    EXPECT_EQ(folder + exe.filename().string(), exe.string());
}

TEST(PathUtil, SamePathMeansTheSameFile) {
    TempDir dir;
    const std::string file = dir.File("Intro.swf");
    ASSERT_TRUE(test::WriteFileBytes(file, {1}));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("intro.swf"), {2}));
    ASSERT_EQ(::symlink(file.c_str(), dir.File("link.swf").c_str()), 0);
    ASSERT_EQ(::link(file.c_str(), dir.File("hard.swf").c_str()), 0);
    std::filesystem::create_directory(dir.File("sub"));

    EXPECT_TRUE(SamePath(file, file));
    EXPECT_TRUE(SamePath(file, dir.path() + "/sub/../Intro.swf"));
    EXPECT_TRUE(SamePath(file, dir.path() + "//Intro.swf"));
    EXPECT_TRUE(SamePath(file, dir.File("link.swf")));
    EXPECT_TRUE(SamePath(file, dir.File("hard.swf")));
    // Linux names are case-sensitive: these are two files.
    EXPECT_FALSE(SamePath(file, dir.File("intro.swf")));
    // Paths of files that do not exist compare by their normalised spelling.
    EXPECT_TRUE(SamePath(dir.File("gone.swf"), dir.path() + "/./gone.swf"));
    EXPECT_FALSE(SamePath(dir.File("gone.swf"), dir.File("other.swf")));
    EXPECT_FALSE(SamePath("", ""));
}

TEST(Records, FindSourceByPathFindsTheSameFileOnly) {
    TempDir dir;
    const std::string file = dir.File("a.swf");
    ASSERT_TRUE(test::WriteFileBytes(file, {1}));
    SourceList items;
    items.push_back(std::make_unique<SourceItem>(SourceKind::Flv, dir.File("b.flv")));
    items.push_back(std::make_unique<SourceItem>(SourceKind::Swf, file));
    EXPECT_EQ(FindSourceByPath(items, dir.path() + "/./a.swf"), items[1].get());
    EXPECT_EQ(FindSourceByPath(items, dir.File("b.flv")), items[0].get());
    EXPECT_EQ(FindSourceByPath(items, dir.File("A.swf")), nullptr);
    EXPECT_TRUE(items[1]->outputs.empty());
}

TEST(PathUtil, AbsolutePathNormalisesAgainstTheCurrentFolder) {
    TempDir dir;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(AbsolutePath("a.swf"), cwd + "/a.swf");
    EXPECT_EQ(AbsolutePath("x/../b.swf"), cwd + "/b.swf");
    EXPECT_EQ(AbsolutePath("/abs/./c.swf"), "/abs/c.swf");
    std::filesystem::current_path(old);
}

}  // namespace
}  // namespace kelvora
