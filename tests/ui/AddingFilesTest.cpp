#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/Bytes.h"
#include "support/FakeShell.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "ui/CMainDlg.h"

namespace kelvora {
namespace {

using namespace test;
using Paths = std::vector<std::string>;

class AddingFiles : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes = {0}) {
        const std::string path = m_dir.File(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
    std::string Swf(const std::string& name) { return Write(name, BuildSwf({})); }
    std::string Flv(const std::string& name) { return Write(name, FlvBuilder(9, 4).Build()); }
    std::string Link(const std::string& target, const std::string& name) {
        EXPECT_EQ(::symlink(target.c_str(), m_dir.File(name).c_str()), 0) << name;
        return m_dir.File(name);
    }
    Paths Rows() {
        Paths rows;
        for (int32_t r = 0; r < m_dlg.SourceListCtrl().RowCount(); ++r) {
            rows.push_back(m_dlg.SourceListCtrl().Text(r, 8));
        }
        return rows;
    }
    // Waits until the adding that runs beside the window has ended.
    void Settle() {
        m_shell.WaitFor([this] { return !m_dlg.Adding(); });
    }
    static std::string Report(const std::string& failed) {
        return "Failed to load the following files.\n\n" + failed;
    }

    TempDir m_dir;
    FakeShell m_shell;
    CMainDlg m_dlg{m_shell};
};

TEST_F(AddingFiles, AListedFileIsTheSameFileOnlyWhileItIsThere) {
    // Renamed on the disk after it was added: the new name is a file of its own now.
    EXPECT_TRUE(m_dlg.AddSourceFile(Swf("a.swf")));
    std::filesystem::rename(m_dir.File("a.swf"), m_dir.File("b.swf"));
    EXPECT_TRUE(m_dlg.AddSourceFile(m_dir.File("b.swf")));
    EXPECT_EQ(Rows(), (Paths{m_dir.File("a.swf"), m_dir.File("b.swf")}));
    // A listed file replaced under its own name is still that row; a link to it is too.
    std::filesystem::remove(m_dir.File("a.swf"));
    Swf("a.swf");
    EXPECT_TRUE(m_dlg.AddSourceFile(m_dir.File("a.swf")));
    EXPECT_TRUE(m_dlg.AddSourceFile(Link(m_dir.File("b.swf"), "to-b.swf")));
    EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(AddingFiles, AddSourceFileJudgesByExtensionAndHeaderAndKeepsOneRowPerFile) {
    const std::string flv = Flv("talk.flv");
    EXPECT_TRUE(m_dlg.AddSourceFile(Swf("Intro.SWF")));
    EXPECT_TRUE(m_dlg.AddSourceFile(flv));
    // The same files by other names are already listed.
    std::filesystem::create_directory(m_dir.File("a"));
    EXPECT_TRUE(m_dlg.AddSourceFile(m_dir.File("a/../Intro.SWF")));
    EXPECT_TRUE(m_dlg.AddSourceFile(Link(flv, "other.flv")));

    EXPECT_FALSE(m_dlg.AddSourceFile(Swf("movie.swf.bak")));
    EXPECT_FALSE(m_dlg.AddSourceFile(Write("broken.swf", {'F', 'W', 'S', 6})));
    // A named pipe is no movie, and reading it would wait for a writer that never comes.
    ASSERT_EQ(::mkfifo(m_dir.File("pipe.flv").c_str(), 0600), 0);
    EXPECT_FALSE(m_dlg.AddSourceFile(m_dir.File("pipe.flv")));

    SortListCtrl& list = m_dlg.SourceListCtrl();
    ASSERT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.Text(0, 4), "550 x 400");
    EXPECT_EQ(list.Text(1, 3), "4");
    EXPECT_EQ(m_dlg.Items()[1]->kind, SourceKind::Flv);
}

TEST_F(AddingFiles, LoadFilesShowsProgressAndReportsOnlyTheFilesItCouldNotRead) {
    const std::string good = Swf("good.swf"), flv = Flv("clip.FLV");
    const std::string bad = Write("bad.swf"), text = Write("notes.txt");
    m_dlg.LoadFiles({good, bad, flv, text, Link(good, "again.swf")});
    Settle();

    EXPECT_EQ(Rows(), (Paths{good, flv}));
    ASSERT_EQ(m_shell.progressWindows.size(), 1u);
    const FakeProgressState& p = *m_shell.progressWindows[0];
    EXPECT_TRUE(p.shown && p.closeRequested);
    EXPECT_EQ(p.high, 5);
    EXPECT_EQ(p.position, 5);
    EXPECT_EQ(p.texts.back(), "Adding file 5 of 5...");
    EXPECT_EQ(m_shell.mainWindowEnabled, (std::vector<bool>{false, true}));
    ASSERT_EQ(m_shell.messages.size(), 1u);
    EXPECT_EQ(m_shell.messages[0].text, Report(bad + "\n" + text + "\n"));
    EXPECT_EQ(m_shell.messages[0].icon, MessageIcon::Warning);
}

TEST_F(AddingFiles, CancelStopsAfterTheFileInHandAndKeepsWhatWasAdded) {
    const std::string bad = Write("bad.flv"), first = Swf("first.swf");
    // Pressed while the second file is in hand.
    m_shell.onPosted = [this](int) {
        const FakeProgressState& p = *m_shell.progressWindows.back();
        if (!p.cancelled && !p.texts.empty() && p.texts.back() == "Adding file 2 of 4...") {
            PressCancel(*m_shell.progressWindows.back());
        }
    };
    m_dlg.LoadFiles({bad, first, Swf("second.swf"), Write("never.txt")});
    Settle();
    EXPECT_EQ(Rows(), (Paths{first}));
    EXPECT_EQ(m_shell.MessageTexts(), (Paths{Report(bad + "\n")}));
    EXPECT_EQ(m_shell.mainWindowEnabled, (std::vector<bool>{false, true}));
}

TEST_F(AddingFiles, AddFilesAsksForExistingSwfAndFlvFilesAndLoadsTheChoice) {
    m_shell.fileDialogAnswers = {std::nullopt, Paths{Flv("a.flv"), Write("typed.txt")}};
    m_dlg.AddFiles();
    Settle();
    EXPECT_TRUE(m_shell.progressWindows.empty());
    const FileDialogRequest& r = m_shell.fileDialogs.at(0);
    EXPECT_TRUE(!r.save && r.multiSelect && r.mustExist);
    ASSERT_EQ(r.filters.size(), 3u);
    EXPECT_EQ(r.filters[0].name + "|" + r.filters[0].patterns, "SWF & FLV Files|*.swf;*.flv");

    m_dlg.AddFiles();

    Settle();
    EXPECT_EQ(Rows(), (Paths{m_dir.File("a.flv")}));
    EXPECT_EQ(m_shell.MessageTexts(), (Paths{Report(m_dir.File("typed.txt") + "\n")}));
    EXPECT_EQ(m_shell.waitDepth, 0);
}

TEST_F(AddingFiles, AddFolderStoresThePickedFolderAtOnceAndSearchesIt) {
    std::filesystem::create_directory(m_dir.File("empty"));
    const std::string movie = Swf("tree/sub/m.swf");
    m_shell.folderAnswers = {std::nullopt, m_dir.File("empty"), m_dir.File("tree/")};
    m_dlg.AddFolder();
    Settle();
    EXPECT_TRUE(m_shell.folderWrites.empty());
    EXPECT_TRUE(m_shell.progressWindows.empty());

    // Nothing found: the folder is stored all the same and nothing is reported.
    m_dlg.AddFolder();
    Settle();
    EXPECT_EQ(m_shell.folderWrites, (Paths{m_dir.File("empty/")}));
    EXPECT_EQ(m_shell.progressWindows.at(0)->texts, (Paths{"Searching files..."}));
    EXPECT_TRUE(m_shell.progressWindows[0]->closeRequested);
    EXPECT_TRUE(m_shell.messages.empty());

    // The picker starts at the last folder without its separator; a picked path that ends in
    // one keeps just the one.
    m_dlg.AddFolder();
    Settle();
    EXPECT_EQ(m_shell.folderDialogs.back(),
              std::make_pair(std::string("Please choose a folder:"), m_dir.File("empty")));
    EXPECT_EQ(m_dlg.LastFolder(), m_dir.File("tree/"));
    EXPECT_EQ(m_shell.folderWrites.back(), m_dir.File("tree/"));
    EXPECT_EQ(Rows(), (Paths{movie}));
    EXPECT_EQ(m_shell.progressWindows.at(1)->texts,
              (Paths{"Searching files...", "Adding file 1 of 1..."}));
}

TEST_F(AddingFiles, DroppedPathsFollowLinkChainsAndSearchFoldersWithoutStoringThem) {
    const std::string inFolder = Swf("dropped/in.swf"), flv = Flv("deep.flv");
    Link(flv, "hop2");
    Link("loopB", "loopA");
    const std::string direct = Swf("DIRECT.SWF");
    m_dlg.FilesDropped({m_dir.File("dropped"), Link("hop2", "hop1"), Link("self", "self"),
                        Link("loopA", "loopB"), Write("notes.txt"), direct, m_dir.File("gone")});
    Settle();

    EXPECT_EQ(Rows(), (Paths{inFolder, flv, direct}));
    EXPECT_TRUE(m_shell.messages.empty());
    EXPECT_TRUE(m_shell.folderWrites.empty());
    EXPECT_EQ(m_dlg.LastFolder(), "");
    EXPECT_EQ(m_shell.progressWindows.at(0)->texts.front(), "Searching files...");
    EXPECT_EQ(m_shell.mainWindowEnabled, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace kelvora
