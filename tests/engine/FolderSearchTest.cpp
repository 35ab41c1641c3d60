#include "engine/FolderSearch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/PathUtil.h"
#include "support/Bytes.h"

namespace kelvora {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

class FolderSearchTree : public ::testing::Test {
  protected:
    // Creates the file and its folders; the search looks at names only.
    std::string Touch(const std::string& name) {
        const std::string path = m_dir.File(name);
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(test::WriteFileBytes(path, {0}));
        return path;
    }
    std::string Link(const std::string& target, const std::string& name) {
        const std::string path = m_dir.File(name);
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0) << name;
        return path;
    }
    std::vector<std::string> Search(const std::string& folder) {
        std::vector<std::string> paths;
        FolderSearch(m_dir.File(folder), paths);
        return paths;
    }
    TempDir m_dir;
};

TEST_F(FolderSearchTree, DepthFirstWithSwfThenFlvThenShortcutTargets) {
    const std::string m = Touch("outside/m.swf");
    const std::string n = Touch("outside/n.FLV");
    Touch("root/d.FLV");
    Touch("root/c.flv");
    Touch("root/b.SWF");
    Touch("root/a.swf");
    Touch("root/notes.txt");
    Touch("root/a.swf.bak");
    Link("../outside/m.swf", "root/zlink");  // relative: taken from the link's folder
    Link(n, "root/ALIAS.lnk");
    Link("notes.txt", "root/to-text");
    Touch("root/sub2/g.swf");
    Touch("root/sub1/deep/f.flv");
    Touch("root/sub1/e.swf");
    Touch("root/h.swf/i.swf");  // a folder with a movie's name is a folder

    const std::string r = m_dir.File("root/");
    const std::vector<std::string> expected = {
        r + "a.swf", r + "b.SWF",       r + "c.flv",      r + "d.FLV",           n,
        m,           r + "h.swf/i.swf", r + "sub1/e.swf", r + "sub1/deep/f.flv", r + "sub2/g.swf"};
    EXPECT_EQ(Search("root"), expected);
    // A trailing separator, as Add Folder hands the folder over, changes nothing.
    EXPECT_EQ(Search("root/"), expected);
    EXPECT_TRUE(Search("missing").empty());
}

TEST_F(FolderSearchTree, LinksAreFollowedOnceAndNeverIntoFolders) {
    const std::string a = Touch("root/a.swf");
    Touch("root/sub/b.flv");
    Link(m_dir.File("root"), "root/sub/up");      // a loop, were folder links entered
    Link(m_dir.File("root"), "root/sub/up.swf");  // named like a movie, still a folder
    Link("..", "root/sub/parent");
    Link("self", "root/self");
    Link("ping", "root/pong");
    Link("pong", "root/ping");
    Link("sub/b.flv", "root/sub-b");  // a link to a file: taken
    Link("sub-b", "root/to-link");    // a link to that link: skipped
    Link("missing.swf", "root/dangling");
    EXPECT_EQ(Search("root"), (std::vector<std::string>{a, m_dir.File("root/sub/b.flv"),
                                                        m_dir.File("root/sub/b.flv")}));

    // Through a folder reached by a link, "../x.swf" in a shortcut is the parent of the real
    // folder, not of the link's name.
    const std::string x = Touch("real/x.swf");
    Link(m_dir.File("real/sub"), "alias");
    Link("../x.swf", "real/sub/up-x");
    const std::vector<std::string> found = Search("alias");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(SamePath(found[0], x)) << found[0];
}

}  // namespace
}  // namespace kelvora
