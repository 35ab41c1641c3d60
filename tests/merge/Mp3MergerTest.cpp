#include "merge/CMp3Merger.h"
#include "ui/MergePrompts.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "engine/File.h"
#include "support/Bytes.h"
#include "support/FakeShell.h"
#include "support/Faults.h"

namespace kelvora {
namespace {

using namespace test;

constexpr const char* kFailed =
    "Failed to merge all MP3 into single one. Maybe disk is full or some MP3 files didn't exist.";

class Mp3Merger : public ::testing::Test {
  protected:
    // Lists a file, written with `content` unless it is empty.
    std::string List(const std::string& name, const Bytes& content = {}, uint32_t rate = 44100) {
        const std::string path = name.front() == '/' ? name : m_dir.File(name);
        if (!content.empty()) {
            EXPECT_TRUE(WriteFileBytes(path, content));
        }
        OutputItem item;
        item.path = path;
        item.isMp3 = 1;
        item.sampleRate = rate;
        item.channels = 2;
        item.bitsPerSample = 16;
        m_items.push_back(item);
        return path;
    }
    MergeOutcome Run(const std::string& target) {
        m_shell.fileDialogAnswers.push_back(std::vector<std::string>{target});
        return Run();
    }
    MergeOutcome Run() {
        std::vector<const OutputItem*> entries;
        for (const OutputItem& item : m_items) {
            entries.push_back(&item);
        }
        const MergeOutcome outcome = RunMergeWithShell(CMp3Merger(entries), m_shell);
        EXPECT_EQ(m_shell.waitDepth, 0);
        return outcome;
    }
    std::string LastMessage() const {
        return m_shell.messages.empty() ? "" : m_shell.messages.back().text;
    }

    TempDir m_dir;
    FakeShell m_shell;
    std::vector<OutputItem> m_items;
    const Bytes m_a = Bytes(1000, 'a'), m_b = Bytes(2000, 'b');
};

TEST_F(Mp3Merger, JoinsTheFilesInOrderAndOffersToPlay) {
    const std::string a = List("a.mp3", m_a);
    List("b.mp3", m_b);
    m_shell.answers = {MessageAnswer::Yes};
    const std::string target = m_dir.File("out.mp3");
    EXPECT_EQ(Run(target), MergeOutcome::Merged);
    EXPECT_EQ(ReadFileBytes(target), Concat({m_a, m_b}));
    ASSERT_EQ(m_shell.fileDialogs.size(), 1u);
    const FileDialogRequest& request = m_shell.fileDialogs[0];
    EXPECT_TRUE(request.save && request.promptOverwrite && request.mustExist);
    EXPECT_EQ(request.initialName, a);
    EXPECT_EQ(request.filters[0].patterns, "*.mp3");
    ASSERT_EQ(m_shell.messages.size(), 1u);
    EXPECT_EQ(m_shell.messages[0].text,
              "Successfully merge 2 MP3 files to 'out.mp3'.\n\nDo you want play 'out.mp3'?");
    EXPECT_EQ(m_shell.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(m_shell.opened, std::vector<std::string>{target});

    // The same file twice appears twice; an existing unlisted file is replaced. No: no play.
    List(a);
    EXPECT_EQ(Run(target), MergeOutcome::Merged);
    EXPECT_EQ(ReadFileBytes(target), Concat({m_a, m_b, m_a}));
    EXPECT_EQ(m_shell.opened.size(), 1u);
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"a.mp3", "b.mp3", "out.mp3"}));
}

TEST_F(Mp3Merger, ChecksEndTheRunBeforeAnythingIsWritten) {
    List("a.mp3", m_a);
    EXPECT_EQ(Run(), MergeOutcome::TooFewEntries);
    EXPECT_EQ(m_shell.waitCursors, 0);
    EXPECT_TRUE(m_shell.messages.empty());

    const std::string gone = List("gone.mp3");
    List("gone2.mp3");
    EXPECT_EQ(Run(), MergeOutcome::MissingFile);
    EXPECT_EQ(LastMessage(), "File '" + gone + "' don't exist.");
    EXPECT_EQ(m_shell.messages.back().icon, MessageIcon::Warning);
    EXPECT_EQ(m_shell.waitCursors, 1);

    // Differing only in content: no question. In sample rate: asked; No ends, Yes goes on.
    m_items.resize(1);
    List("b.mp3", m_b);
    m_shell.messages.clear();
    EXPECT_EQ(Run(), MergeOutcome::Cancelled);
    EXPECT_TRUE(m_shell.messages.empty());
    List("c.mp3", m_b, 22050);
    m_shell.fileDialogs.clear();
    EXPECT_EQ(Run(), MergeOutcome::EncodingRefused);
    EXPECT_EQ(m_shell.messages.back().buttons, MessageButtons::YesNoHelp);
    EXPECT_NE(LastMessage().find("different encoding parameters"), std::string::npos);
    EXPECT_TRUE(m_shell.fileDialogs.empty());
    m_shell.answers = {MessageAnswer::Yes};
    EXPECT_EQ(Run(), MergeOutcome::Cancelled);
    EXPECT_EQ(m_shell.fileDialogs.size(), 1u);
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
}

TEST_F(Mp3Merger, RefusesATargetThatIsAListedFileByAnyName) {
    const std::string a = List("a.mp3", m_a);
    const std::string b = List("b.mp3", m_b);
    const std::string link = m_dir.File("link.mp3"), hard = m_dir.File("hard.mp3");
    std::filesystem::create_symlink(a, link);
    std::filesystem::create_hard_link(b, hard);
    std::filesystem::create_directory(m_dir.File("sub"));
    for (const std::string& target : {link, hard, m_dir.File("sub/../a.mp3")}) {
        EXPECT_EQ(Run(target), MergeOutcome::DuplicateTarget) << target;
        EXPECT_EQ(LastMessage(), "Invalid file name. '" +
                                     std::filesystem::path(target).filename().string() +
                                     "' has existed in MP3 list.");
    }
    EXPECT_EQ(ReadFileBytes(a), m_a);
    EXPECT_EQ(ReadFileBytes(b), m_b);
    // File names are case-sensitive here: another spelling in capitals is another file.
    EXPECT_EQ(Run(m_dir.File("A.mp3")), MergeOutcome::Merged);
    EXPECT_EQ(ReadFileBytes(m_dir.File("A.mp3")), Concat({m_a, m_b}));
}

// The second entry disappears while the save dialog is open.
class DeletingShell : public FakeShell {
  public:
    std::string victim;
    bool FileDialog(const FileDialogRequest& request, std::vector<std::string>& chosen) override {
        RemoveFile(victim);
        return FakeShell::FileDialog(request, chosen);
    }
};

TEST_F(Mp3Merger, AFailedJoinLeavesNoTargetAndKeepsTheOldOne) {
    List("a.mp3", m_a);
    const std::string b = List("b.mp3", m_b);
    // Targets that cannot be files: a folder, a folder nobody can write.
    for (const std::string& target : {m_dir.path(), std::string("/proc/merged.mp3")}) {
        EXPECT_EQ(Run(target), MergeOutcome::Failed) << target;
        EXPECT_EQ(LastMessage(), kFailed);
    }
    const Bytes old(500, 'o');
    const std::string keep = m_dir.File("keep.mp3");
    ASSERT_TRUE(WriteFileBytes(keep, old));
    DeletingShell shell;
    shell.victim = b;
    for (const std::string& target : {m_dir.File("new.mp3"), keep}) {
        ASSERT_TRUE(WriteFileBytes(b, m_b));
        shell.fileDialogAnswers.push_back(std::vector<std::string>{target});
        EXPECT_EQ(RunMergeWithShell(CMp3Merger({&m_items[0], &m_items[1]}), shell),
                  MergeOutcome::Failed);
        EXPECT_EQ(shell.MessageTexts().back(), kFailed);
    }
    EXPECT_EQ(ReadFileBytes(keep), old);
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"a.mp3", "keep.mp3"}));
}

// A file that reads 4096 bytes and then fails: the memory of a child process whose first page
// is mapped and whose second is not (mapping page 0 needs root).
struct HalfReadableFile {
    HalfReadableFile() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        if ((pid = ::fork()) == 0) {
            const bool mapped =
                ::mmap(nullptr, 4096, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
                MAP_FAILED;
            (void)!::write(fds[1], mapped ? "R" : "F", 1);
            ::pause();
            ::_exit(0);
        }
        ::close(fds[1]);  // a child that dies unreported ends the read
        char state = 0;
        ready = pid > 0 && ::read(fds[0], &state, 1) == 1 && state == 'R';
        ::close(fds[0]);
        path = "/proc/" + std::to_string(pid) + "/mem";
    }
    ~HalfReadableFile() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = -1;
    bool ready = false;
    std::string path;
};

TEST_F(Mp3Merger, AReadErrorInsideAFileFailsTheJoin) {
    HalfReadableFile broken;
    CFile file;
    Bytes buffer(3 * 4096);
    if (!broken.ready || !file.OpenRead(broken.path) ||
        file.Read(buffer.data(), buffer.size()) != 4096 ||
        file.Read(buffer.data(), buffer.size()) >= 0) {
        GTEST_SKIP() << "no file here fails part-way through a read";
    }
    List("a.mp3", m_a);
    List(broken.path);
    List("b.mp3", m_b);
    EXPECT_EQ(Run(m_dir.File("out.mp3")), MergeOutcome::Failed);
    EXPECT_EQ(LastMessage(), kFailed);
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"a.mp3", "b.mp3"}));
}

TEST_F(Mp3Merger, AFullDiskFailsAndKeepsTheReplacedFile) {
    SmallDisk disk(m_dir.File("disk"));
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    List("a.mp3", Bytes(40000, 'a'));
    List("b.mp3", Bytes(40000, 'b'));
    const std::string old = m_dir.File("disk/old.mp3");
    ASSERT_TRUE(WriteFileBytes(old, m_a));
    EXPECT_EQ(Run(old), MergeOutcome::Failed);
    EXPECT_EQ(LastMessage(), kFailed);
    EXPECT_EQ(ReadFileBytes(old), m_a);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.File("disk"))) {
        left.push_back(entry.path().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{old});
}

TEST_F(Mp3Merger, WithoutDialogsQuestionsNeedAssumeYes) {
    const std::string a = List("a.mp3", m_a);
    List("b.mp3", m_b, 22050);
    const std::string target = m_dir.File("out.mp3");
    std::string message;
    EXPECT_EQ(RunMergeWithoutDialogs(m_items, target, false, message),
              MergeOutcome::EncodingRefused);
    EXPECT_NE(message.find("Do you want to ignore this message"), std::string::npos);
    EXPECT_EQ(RunMergeWithoutDialogs(m_items, target, true, message), MergeOutcome::Merged);
    EXPECT_EQ(message, "Successfully merge 2 MP3 files to 'out.mp3'.");

    m_items[1].sampleRate = 44100;
    EXPECT_EQ(RunMergeWithoutDialogs(m_items, target, false, message), MergeOutcome::Cancelled);
    EXPECT_EQ(message, "File '" + target + "' already exists.");
    EXPECT_EQ(RunMergeWithoutDialogs(m_items, a, false, message), MergeOutcome::DuplicateTarget);
    EXPECT_EQ(message, "Invalid file name. 'a.mp3' has existed in MP3 list.");
    std::filesystem::remove(a);
    EXPECT_EQ(RunMergeWithoutDialogs(m_items, target, true, message), MergeOutcome::MissingFile);
    EXPECT_EQ(ReadFileBytes(target), Concat({m_a, m_b}));  // the first merge, untouched
}

}  // namespace
}  // namespace kelvora
