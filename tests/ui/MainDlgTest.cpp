#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <algorithm>

#include <filesystem>

#include "engine/File.h"
#include "engine/PathUtil.h"
#include "support/AudioFixtures.h"
#include "support/Corpus.h"
#include "support/FakeShell.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "ui/CMainDlg.h"
#include "ui/ShellHelpers.h"

namespace kelvora {
namespace {

using namespace test;

// A started main window over a recording shell, its files in a fresh folder; not the first run.
struct World {
    FakeShell shell;
    TempDir dir;
    CMainDlg dlg{shell};

    // The settings a new user has (one file after another), unless a test asks for more files
    // at once.
    explicit World(int32_t jobs = 0) {
        shell.firstRunSetting = 0;
        if (jobs > 0) {
            shell.optionSettings["Jobs"] = jobs;
        }
        dlg.Start();
    }
    // A movie with `sounds` short PCM event sounds, in the list.
    SourceItem* AddSwf(const std::string& name, int sounds) {
        EXPECT_TRUE(WriteSwfWithSounds(dir.File(name), sounds));
        return Add(name);
    }
    SourceItem* Add(const std::string& name, SourceKind kind = SourceKind::Swf) {
        return dlg.AppendSource(std::make_unique<SourceItem>(kind, dir.File(name)),
                                kind == SourceKind::Swf ? SwfInfoTexts({}) : FlvInfoTexts(1));
    }
    // Outputs of an earlier conversion, on disk: "<prefix>_1.wav" and on.
    void GiveOutputs(SourceItem& item, int count, const std::string& prefix) {
        for (int i = 1; i <= count; ++i) {
            OutputItem out{1,     16, 22050,
                           22050, 0,  dir.File(prefix + "_" + std::to_string(i) + ".wav")};
            EXPECT_TRUE(WriteFileBytes(out.path, {static_cast<uint8_t>(i)}));
            item.outputs.push_back(out);
        }
    }
    void SelectSource(int32_t row) {
        dlg.SourceListCtrl().SelectOnly(row);
        dlg.OnSourceSelectionChanged();
    }
    const std::string& Status(int32_t row) { return dlg.SourceListCtrl().Text(row, 2); }
    // Until the batch a command started is over.
    void Wait() {
        shell.WaitFor([this] { return !dlg.Converting(); });
    }
    void ConvertAll(bool toMp3) {
        dlg.ConvertAll(toMp3);
        Wait();
    }
    // Presses Cancel as the batch's progress text starts with `text`.
    void CancelAt(const std::string& text) {
        shell.onPosted = [this, text](int) {
            if (!shell.progressWindows.empty()) {
                FakeProgressState& p = *shell.progressWindows.back();
                if (!p.texts.empty() && p.texts.back().rfind(text, 0) == 0) {
                    PressCancel(p);
                }
            }
        };
    }

    // What the commands left behind, in short: messages, dialogs, batches, files opened or shown
    // (by name within the folder), list changes and the window's own requests.
    std::string Effect(int32_t rowsBefore) {
        Wait();
        std::string e;
        auto add = [&](const std::string& t) { e += (e.empty() ? "" : " ") + t; };
        auto name = [&](const std::string& p) {
            return p.rfind(dir.path(), 0) == 0 ? FileNamePart(p) : p;
        };
        for (const auto& m : shell.messages) {
            add((m.icon == MessageIcon::Information ? "info:"
                 : m.icon == MessageIcon::Warning   ? "warn:"
                                                    : "ask:") +
                m.text);
        }
        for (const auto& d : shell.fileDialogs) {
            add(d.save ? "save-dialog" : "open-dialog");
        }
        for (const auto& p : shell.progressWindows) {
            add("convert:" + std::to_string(p->high));
        }
        for (const auto& o : shell.opened) {
            add("open:" + name(o));
        }
        for (const auto& f : shell.shownInFileManager) {
            add("show:" + name(f));
        }
        if (dlg.SourceListCtrl().RowCount() != rowsBefore) {
            add("rows:" + std::to_string(dlg.SourceListCtrl().RowCount()));
        }
        const std::pair<size_t, const char*> counts[] = {
            {shell.folderDialogs.size(), "folder-dialog"},
            {shell.mergeDialogs, "merge"},
            {shell.helpOpened - shell.helpMaximised, "help"},
            {shell.aboutShown, "about"},
            {shell.minimized, "minimize"},
            {shell.closed, "close"}};
        for (const auto& [count, what] : counts) {
            for (size_t i = 0; i < count; ++i) {
                add(what);
            }
        }
        return e;
    }
};

// The selections the command rules tell apart. With a selection: two sources, the first
// selected with two earlier outputs listed. The output list has the focus (Del still removes
// the source).
enum State { kEmpty, kTwoOutputs, kOneOutput };

void Prepare(World& w, State state) {
    w.dlg.SetFocusedList(kOutputListId);
    if (state != kEmpty) {
        w.GiveOutputs(*w.AddSwf("a.swf", 1), 2, "a");
        w.AddSwf("b.swf", 1);
        w.SelectSource(0);
        w.dlg.OutputListCtrl().SetSelected(0, true);
        w.dlg.OutputListCtrl().SetSelected(1, state == kTwoOutputs);
    }
}

TEST(MainDlgCommands, EveryCommandReachesItsHandlerUnderItsRule) {
    const char* selectFirst = "info:You should select a file first.";
    const char* noFiles = "info:There aren't files in list.";
    struct Case {
        int32_t id;
        bool enabled[3];      // by State
        std::string ran;      // the effect when it runs with a selection
        const char* onEmpty;  // its button's effect with an empty list; null: `ran`
    };
    const Case cases[] = {
        {kCmdAddFiles, {1, 1, 1}, "open-dialog", nullptr},
        {kCmdAddFolder, {1, 1, 1}, "folder-dialog", nullptr},
        {kCmdRemove, {0, 1, 1}, "rows:1", selectFirst},
        {kCmdRemoveAll, {0, 1, 1}, "rows:0", noFiles},
        {kCmdConvertSelectedToMp3, {0, 1, 1}, "convert:1 show:a.mp3", selectFirst},
        {kCmdConvertSelectedToWav, {0, 1, 1}, "convert:1 show:a.wav", selectFirst},
        {kCmdConvertAllToMp3, {0, 1, 1}, "convert:2 show:a.mp3", noFiles},
        {kCmdConvertAllToWav, {0, 1, 1}, "convert:2 show:a.wav", noFiles},
        {kCmdPlaySource, {0, 1, 1}, "open:a.swf", ""},
        {kCmdBrowseSourceFolder, {0, 1, 1}, "show:a.swf", ""},
        {kCmdPlayOutput, {0, 0, 1}, "open:a_1.wav", ""},
        {kCmdDeleteOutputs, {0, 1, 1}, "ask:Are you sure to delete selected file(s)?", ""},
        {kCmdSaveAs, {0, 0, 1}, "save-dialog", ""},
        {kCmdBrowseOutputFolder, {0, 0, 1}, "show:a_1.wav", ""},
        {kCmdMergeMp3, {1, 1, 1}, "merge", nullptr},
        {kCmdHelpTopics, {1, 1, 1}, "help", nullptr},
        {kCmdTellAFriend, {1, 1, 1}, "open:" + TellAFriendUrl(), nullptr},
        {kCmdFeedback, {1, 1, 1}, "open:" + SupportMailUrl(), nullptr},
        {kCmdHomepage, {1, 1, 1}, "open:" + HomePageUrl(), nullptr},
        {kCmdCheckLatestVersion, {1, 1, 1}, "open:" + UpdateCheckUrl(), nullptr},
        {kCmdAbout, {1, 1, 1}, "about", nullptr},
        {kCmdMinimize, {1, 1, 1}, "minimize", nullptr},
        {kCmdClose, {1, 1, 1}, "close", nullptr},
        {kCmdHelpButton, {1, 1, 1}, "", nullptr},  // the view shows the Help popup
        {4242, {0, 0, 0}, "", ""},
    };
    for (const Case& c : cases) {
        for (State state : {kEmpty, kTwoOutputs, kOneOutput}) {
            SCOPED_TRACE(testing::Message() << "command " << c.id << ", state " << state);
            World w;
            Prepare(w, state);
            const int32_t before = w.dlg.SourceListCtrl().RowCount();
            EXPECT_EQ(w.dlg.IsCommandEnabled(c.id), c.enabled[state]);
            EXPECT_EQ(w.dlg.RunIfEnabled(c.id), c.enabled[state]);  // menus and accelerators
            EXPECT_EQ(w.Effect(before), c.enabled[state] ? c.ran : "");
        }
        World w;  // the button path: the handler checks for itself
        w.dlg.OnCommand(c.id);
        EXPECT_EQ(w.Effect(0), c.onEmpty ? c.onEmpty : c.ran) << "button " << c.id;
    }
}

std::vector<std::string> Enabled(const std::vector<MenuEntry>& entries) {
    std::vector<std::string> texts;
    for (const MenuEntry& e : entries) {
        if (e.enabled) {
            texts.push_back(e.text);
        }
    }
    return texts;
}

TEST(MainDlgCommands, PopupsFollowTheRules) {
    World w;
    EXPECT_EQ(w.dlg.PopupItems(Popup::Source).size(), 13u);
    EXPECT_EQ(Enabled(w.dlg.PopupItems(Popup::Source)),
              (std::vector<std::string>{"&Add Files...\tCtrl+O", "Add &Folder..."}));
    EXPECT_EQ(Enabled(w.dlg.PopupItems(Popup::Output)), std::vector<std::string>{"&Merge MP3..."});
    EXPECT_EQ(Enabled(w.dlg.PopupItems(Popup::Help)).size(), 7u);  // all but the separators
    Prepare(w, kTwoOutputs);
    EXPECT_EQ(Enabled(w.dlg.PopupItems(Popup::Output)),
              (std::vector<std::string>{"&Delete\tShift+Del", "&Merge MP3..."}));
}

TEST(MainDlgBatch, CancelDuringTheThirdOfFiveFinishesItAndStops) {
    World w;
    w.GiveOutputs(*w.AddSwf("a.swf", 0), 1, "old_a");
    ASSERT_TRUE(WriteFileBytes(w.dir.File("b.swf"), {'F', 'W', 'S'}));
    w.Add("b.swf");
    SourceItem* third = w.AddSwf("c.swf", 1);
    w.GiveOutputs(*w.AddSwf("d.swf", 1), 1, "old_d");
    w.AddSwf("e.swf", 1);
    for (int32_t row = 0; row < 5; ++row) {
        w.dlg.SourceListCtrl().SetText(row, 2, "old");
    }
    w.SelectSource(2);
    w.CancelAt("[3/5]");  // pressed while that file converts
    w.dlg.OnCommand(kCmdConvertAllToWav);
    w.Wait();

    const char* statuses[] = {"0 Sound(s)", "Failure", "1 Sound(s)", "old", "old"};
    for (int32_t row = 0; row < 5; ++row) {
        EXPECT_EQ(w.Status(row), statuses[row]);
    }
    const FakeProgressState& p = *w.shell.progressWindows.at(0);
    EXPECT_EQ(p.texts,
              (std::vector<std::string>{"[1/5] Converting a.swf...", "[2/5] Converting b.swf...",
                                        "[3/5] Converting c.swf..."}));
    EXPECT_TRUE(p.shown && p.closeRequested && p.high == 5 && p.position == 3);
    EXPECT_EQ(w.shell.mainWindowEnabled, (std::vector<bool>{false, true}));
    EXPECT_EQ(w.shell.waitDepth, 0);
    // The converted item's earlier file is gone; the unreached one keeps its own.
    EXPECT_FALSE(PathExists(w.dir.File("old_a_1.wav")));
    EXPECT_TRUE(PathExists(w.dir.File("old_d_1.wav")));
    EXPECT_EQ(w.shell.shownInFileManager, std::vector<std::string>{w.dir.File("c.wav")});
    ASSERT_EQ(w.dlg.OutputListCtrl().RowCount(), 1);
    EXPECT_EQ(w.dlg.OutputListCtrl().OutputAt(0), &third->outputs[0]);

    // Cancelled after the first file: the first item with outputs is one the loop did not reach.
    w.CancelAt("[1/5]");
    w.ConvertAll(false);
    EXPECT_EQ(w.shell.progressWindows.at(1)->texts.size(), 1u);
    EXPECT_EQ(w.shell.shownInFileManager.back(), w.dir.File("c.wav"));

    // A Cancel from the window of a batch that a later one replaced reaches nothing (its batch
    // is gone: the sanitized build would see it used after it was freed).
    w.shell.progressWindows.at(0)->cancelled = false;
    PressCancel(*w.shell.progressWindows.at(0));
    EXPECT_FALSE(w.dlg.Converting());
}

// Several files at once look like one after another, only sooner: the same names, statuses,
// outputs listed and file manager; Cancel starts no new file.
TEST(MainDlgBatch, FilesConvertedAtOnceShowTheBatchInTurn) {
    std::vector<std::string> seen[2];
    for (const int32_t jobs : {1, 3}) {
        World w(jobs);
        // Pairs that claim names from one base, and files that fail.
        for (const char* name : {"a.swf", "b.swf", "c_1.swf"}) {
            w.AddSwf(name, 1);
        }
        for (const char* name : {"a.flv", "c.flv"}) {
            ASSERT_TRUE(WriteFileBytes(
                w.dir.File(name),
                FlvBuilder().Audio(FlvAudioFlags(0, 1, false, false), Bytes(800, 0x90)).Build()));
            w.Add(name, SourceKind::Flv);
        }
        ASSERT_TRUE(WriteFileBytes(w.dir.File("c.wav"), {1}));
        ASSERT_TRUE(WriteFileBytes(w.dir.File("bad.swf"), {'F', 'W', 'S'}));
        w.Add("bad.swf");
        w.SelectSource(3);
        w.ConvertAll(false);
        for (int32_t row = 0; row < 6; ++row) {
            seen[jobs > 1].push_back(w.Status(row));
        }
        for (const auto& item : w.dlg.Items()) {
            for (const OutputItem& o : item->outputs) {
                seen[jobs > 1].push_back(FileNamePart(o.path));
            }
        }
        seen[jobs > 1].push_back(FileNamePart(w.shell.shownInFileManager.at(0)));
        seen[jobs > 1].push_back(FileNamePart(w.dlg.OutputListCtrl().OutputAt(0)->path));
        // The text names each file as it starts (in their workers' order at once), and the bar
        // steps with it: full while the last file converts.
        const FakeProgressState& p = *w.shell.progressWindows.at(0);
        std::vector<std::string> texts = p.texts;
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts, (std::vector<std::string>{
                             "[1/6] Converting a.swf...", "[2/6] Converting b.swf...",
                             "[3/6] Converting c_1.swf...", "[4/6] Converting a.flv...",
                             "[5/6] Converting c.flv...", "[6/6] Converting bad.swf..."}));
        EXPECT_TRUE(p.position == 6 && p.steps == 6 && p.closeRequested);
        EXPECT_EQ(w.shell.mainWindowEnabled, (std::vector<bool>{false, true}));
        if (jobs == 1) {
            continue;
        }
        // Cancelled before any file started: none starts, every file keeps its status and its
        // earlier outputs.
        for (int32_t row = 0; row < 6; ++row) {
            w.dlg.SourceListCtrl().SetText(row, 2, "old");
        }
        w.shell.onProgressShown = [](FakeProgressState& p) { PressCancel(p); };
        w.ConvertAll(false);
        w.shell.onProgressShown = nullptr;
        for (int32_t row = 0; row < 6; ++row) {
            EXPECT_EQ(w.Status(row), "old");
        }
        EXPECT_TRUE(PathExists(w.dir.File("a_1.wav")));
    }
    EXPECT_EQ(seen[0], seen[1]);
}

TEST(MainDlgBatch, ConvertAllOnASortedListAndConvertingAgain) {
    World w;
    SourceItem* a = w.AddSwf("a.swf", 2);
    const Bytes mp3 = Mp3Of(4608, 1, 22050);
    ASSERT_TRUE(WriteFileBytes(w.dir.File("c.flv"),
                               FlvBuilder().Audio(FlvAudioFlags(2, 2, true, false), mp3).Build()));
    SourceItem* c = w.Add("c.flv", SourceKind::Flv);
    ASSERT_TRUE(WriteFileBytes(w.dir.File("b.flv"), FlvBuilder().Video().Build()));
    w.Add("b.flv", SourceKind::Flv);
    w.dlg.SourceListCtrl().SortByColumn(1);
    w.dlg.SourceListCtrl().SortByColumn(1);  // File descending: c, b, a

    w.ConvertAll(true);  // in the order of adding, each status in the row showing its file
    EXPECT_EQ(w.shell.progressWindows.at(0)->texts,
              (std::vector<std::string>{"[1/3] Converting a.swf...", "[2/3] Converting c.flv...",
                                        "[3/3] Converting b.flv..."}));
    EXPECT_EQ(w.Status(0), "1 Sound(s)");
    EXPECT_EQ(w.Status(1), "Failure");
    EXPECT_EQ(w.Status(2), "2 Sound(s)");
    // Nothing was selected: row 0 is now, and only its outputs are listed.
    EXPECT_TRUE(w.dlg.SourceListCtrl().IsSelected(0) && w.dlg.SourceListCtrl().FocusRow() == 0);
    EXPECT_EQ(w.dlg.CurrentSource(), c);
    ASSERT_EQ(w.dlg.OutputListCtrl().RowCount(), 1);
    EXPECT_EQ(w.dlg.OutputListCtrl().Text(0, 2), "MP3");
    EXPECT_EQ(w.shell.shownInFileManager, std::vector<std::string>{w.dir.File("a_001.mp3")});

    // Again: the earlier files go first, so the numbers start from 001 again.
    const std::vector<std::string> files = {"a.swf", "a_001.mp3", "a_002.mp3",
                                            "b.flv", "c.flv",     "c.mp3"};
    EXPECT_EQ(w.dir.List(), files);
    w.SelectSource(2);
    // A Convert that reaches the window while a batch runs does nothing: no batch inside a
    // batch.
    int refused = 0;
    w.shell.onPosted = [&](int) {
        if (w.dlg.Converting()) {
            refused += w.dlg.RunIfEnabled(kCmdConvertAllToWav) ? 0 : 1;
        }
    };
    w.dlg.ConvertSelected(true);
    w.Wait();
    w.shell.onPosted = nullptr;
    EXPECT_GT(refused, 0);
    EXPECT_EQ(w.shell.progressWindows.size(), 2u);
    EXPECT_EQ(w.dir.List(), files);
    ASSERT_EQ(w.dlg.OutputListCtrl().RowCount(), 2);
    EXPECT_EQ(w.dlg.OutputListCtrl().OutputAt(1), &a->outputs[1]);
}

// One source with five earlier outputs, listed.
class MainDlgOutputs : public ::testing::Test {
  protected:
    void SetUp() override {
        m_item = w.AddSwf("a.swf", 0);
        w.GiveOutputs(*m_item, 5, "a");
        w.SelectSource(0);
    }
    SortListCtrl& Outputs() { return w.dlg.OutputListCtrl(); }
    void SaveAs(int32_t row, const std::string& target) {
        Outputs().SelectOnly(row);
        w.shell.fileDialogAnswers = {std::vector<std::string>{target}};
        w.dlg.OnCommand(kCmdSaveAs);
    }

    World w;
    SourceItem* m_item = nullptr;
};

TEST_F(MainDlgOutputs, DeleteRemovesFilesRowsAndRecordsAndRenumbersFromTheFirstDeleted) {
    // Sorted by No. descending while the source list has the focus: the numbers stay 5 to 1.
    Outputs().SortByColumn(0);
    Outputs().SortByColumn(0);
    for (int32_t row : {1, 2, 3}) {  // a_4, a_3, a_2; a_3 is already gone
        Outputs().SetSelected(row, true);
    }
    ASSERT_TRUE(RemoveFile(w.dir.File("a_3.wav")));
    w.dlg.OnCommand(kCmdDeleteOutputs);  // answered No
    EXPECT_EQ(Outputs().RowCount(), 5);

    w.shell.answers = {MessageAnswer::Yes};
    w.dlg.OnCommand(kCmdDeleteOutputs);
    EXPECT_EQ(w.dir.List(), (std::vector<std::string>{"a.swf", "a_1.wav", "a_5.wav"}));
    ASSERT_EQ(Outputs().RowCount(), 2);
    EXPECT_EQ(Outputs().Text(0, 0), "5");  // above the first deleted row: untouched
    EXPECT_EQ(Outputs().Text(1, 0), "2");
    // The rows still show the right records, and the records are gone from the item.
    EXPECT_EQ(Outputs().OutputAt(0)->path, w.dir.File("a_5.wav"));
    EXPECT_EQ(Outputs().OutputAt(1)->path, w.dir.File("a_1.wav"));
    w.SelectSource(0);
    EXPECT_EQ(Outputs().RowCount(), 2);
}

TEST_F(MainDlgOutputs, SaveAsRefusesTheSameFileByAnotherName) {
    const std::string link = w.dir.File("link.mp3");
    std::filesystem::create_symlink(w.dir.File("a_2.wav"), link);
    SaveAs(1, link);
    const FileDialogRequest& r = w.shell.fileDialogs.at(0);
    EXPECT_TRUE(r.save && r.promptOverwrite && r.mustExist && r.defaultExtension.empty());
    EXPECT_EQ(r.initialName, w.dir.File("a_2.wav"));
    ASSERT_EQ(r.filters.size(), 3u);
    EXPECT_EQ(r.filters[0].patterns, "*.mp3");  // first, whatever the output's format
    EXPECT_EQ(w.Effect(1), "warn:You should choose a different file name. save-dialog");
    EXPECT_EQ(ReadFileBytes(w.dir.File("a_2.wav")), Bytes{2});
}

TEST_F(MainDlgOutputs, SaveAsReplacesATargetWholeOrNotAtAll) {
    const Bytes big(512 * 1024, 7);
    ASSERT_TRUE(WriteFileBytes(w.dir.File("a_1.wav"), big));
    const std::string target = w.dir.File("copy.wav");
    ASSERT_TRUE(WriteFileBytes(target, {1, 2, 3}));

    // Writes stop at 64 KiB, as on a full disk: the old target survives, no partial file stays.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveAs(0, target);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(w.shell.MessageTexts(), std::vector<std::string>{"Failed to copy file."});
    EXPECT_EQ(ReadFileBytes(target), (Bytes{1, 2, 3}));
    EXPECT_EQ(w.dir.List().size(), 7u);

    // With room, the copy replaces the file behind a link at the chosen name.
    const std::string link = w.dir.File("link.wav");
    std::filesystem::create_symlink(target, link);
    SaveAs(0, link);
    EXPECT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(ReadFileBytes(target), big);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(w.dir.List().size(), 8u);
}

TEST_F(MainDlgOutputs, SourcePlayFallsBackToTheBrowserAndWhatNothingOpensIsNamed) {
    w.shell.shellOpenResult = 31;
    w.dlg.OnSourceDoubleClick();  // the browser took it: nothing to say
    w.dlg.OnOutputDoubleClick();  // no output selected: nothing
    EXPECT_EQ(w.Effect(1), "open:a.swf");
    EXPECT_EQ(w.shell.browsed, std::vector<std::string>{w.dir.File("a.swf")});

    // Neither the desktop nor the browser opens the source; an output has no browser to try.
    w.shell.browserStarts = false;
    w.dlg.OnSourceDoubleClick();
    Outputs().SelectOnly(0);
    w.dlg.OnOutputDoubleClick();
    EXPECT_EQ(w.Effect(1),
              "warn:Kelvora cannot open 'a.swf': no program is set for this kind of file. "
              "warn:Kelvora cannot open 'a_1.wav': no program is set for this kind of file. "
              "open:a.swf open:a.swf open:a_1.wav");
    EXPECT_EQ(w.shell.browsed.size(), 2u);
    EXPECT_EQ(w.shell.waitDepth, 0);
    EXPECT_EQ(
        OpenFailureText(w.dir.path(), 31),
        "Kelvora cannot open '" + FileNamePart(w.dir.path()) + "': no program is set for folders.");
    EXPECT_EQ(OpenFailureText("/music/gone.mp3", 2),
              "Kelvora cannot open 'gone.mp3': it was not found.");
    // A link is named whole: its last part may be only its query.
    EXPECT_EQ(OpenFailureText(UpdateCheckUrl(), 31),
              "Kelvora cannot open '" + UpdateCheckUrl() +
                  "': no program is set for this kind of link.");

    // Showing a source in the file manager needs the file.
    ASSERT_TRUE(RemoveFile(w.dir.File("a.swf")));
    w.dlg.OnCommand(kCmdBrowseSourceFolder);
    EXPECT_TRUE(w.shell.shownInFileManager.empty());
}

TEST(MainDlgStart, FolderSettingAndTheFirstRunOnly) {
    FakeShell shell;
    shell.folderSetting = "/music/";
    auto start = [&] {
        CMainDlg dlg(shell);
        dlg.Start();
        return dlg.LastFolder();
    };
    EXPECT_EQ(start(), "/music/");
    start();
    EXPECT_EQ(shell.helpMaximised, 1);  // the first run only
    shell.firstRunSetting.reset();      // the value deleted: once more
    start();
    start();
    EXPECT_EQ(shell.helpMaximised, 2);
    shell.settingsWork = false;  // a store that cannot be kept: every time
    EXPECT_EQ(start(), "");
    start();
    EXPECT_EQ(shell.helpMaximised, 4);

    // Help Topics opens the help normal, then only brings it to the front.
    CMainDlg dlg(shell);
    dlg.OnCommand(kCmdHelpTopics);
    dlg.OnCommand(kCmdHelpTopics);
    EXPECT_EQ(shell.helpOpened, 5);
    EXPECT_EQ(shell.helpBroughtToFront, 1);
}

TEST(MainDlgOptions, TheOptionsWindowTurnsEveryFormatOnAndTheStatusTellsWhy) {
    World w;
    EXPECT_FALSE(w.dlg.Options().conversion.allFormats);
    const Bytes aac = ReadFileBytes(TestDataDir() + "/codecs/aac22k_mono.flv");
    ASSERT_TRUE(WriteFileBytes(w.dir.File("talk.flv"), aac));
    ASSERT_TRUE(WriteFileBytes(w.dir.File("new.swf"), ToZws(BuildSwf({}))));
    EXPECT_FALSE(w.dlg.AddSourceFile(w.dir.File("new.swf")));
    ASSERT_TRUE(w.dlg.AddSourceFile(w.dir.File("talk.flv")));
    w.dlg.OnCommand(kCmdConvertAllToWav);
    w.Wait();
    EXPECT_EQ(w.dlg.SourceListCtrl().Text(0, 2), "Failure");
    EXPECT_EQ(w.dlg.SourceListCtrl().ToolTip(0, 2),
              "AAC sound is converted with the option \"Convert every sound format\"");

    // Cancel changes nothing; OK stores the choice at once and it holds from then on.
    w.shell.onEditOptions = [](std::vector<OptionField>& fields) {
        fields.at(0).value = 1;
        return false;
    };
    w.dlg.OnCommand(kCmdOptions);
    EXPECT_FALSE(w.dlg.Options().conversion.allFormats);
    EXPECT_EQ(w.shell.optionSettings.count("AllFormats"), 0u);
    w.shell.onEditOptions = [](std::vector<OptionField>& fields) {
        EXPECT_EQ(fields.at(0).key, "AllFormats");
        EXPECT_EQ(fields.at(0).value, 0);
        fields.at(0).value = 1;
        return true;
    };
    w.dlg.OnCommand(kCmdOptions);
    EXPECT_EQ(w.shell.optionSettings["AllFormats"], 1);
    EXPECT_TRUE(w.dlg.Options().conversion.allFormats);
    EXPECT_TRUE(w.dlg.AddSourceFile(w.dir.File("new.swf")));
    w.dlg.OnCommand(kCmdConvertAllToWav);
    w.Wait();
    EXPECT_EQ(w.dlg.SourceListCtrl().Text(0, 2), "1 Sound(s)");
    EXPECT_EQ(w.dlg.SourceListCtrl().ToolTip(0, 2), "");

    // The stored choice is read at the next start.
    World next;
    next.shell.optionSettings = w.shell.optionSettings;
    next.dlg.Start();
    EXPECT_TRUE(next.dlg.Options().conversion.allFormats);
}

}  // namespace
}  // namespace kelvora
