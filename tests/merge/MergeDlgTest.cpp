#include "ui/CMergeDlg.h"

#include <gtest/gtest.h>

#include "support/Bytes.h"
#include "support/FakeShell.h"

namespace kelvora {
namespace {

using namespace test;

constexpr int32_t kButtons[] = {kMergeBtnMerge,  kMergeBtnPlayMp3,   kMergeBtnUp,
                                kMergeBtnDown,   kMergeBtnRemove,    kMergeBtnRemoveAll,
                                kMergeBtnAddMp3, kMergeBtnAddAllMp3, kMergeBtnPlaySource,
                                kMergeBtnHelp,   kMergeBtnClose};

// The enabled buttons, as a set of numbers.
std::vector<int32_t> Enabled(const CMergeDlg& dialog) {
    std::vector<int32_t> enabled;
    for (const int32_t id : kButtons) {
        if (dialog.IsButtonEnabled(id)) {
            enabled.push_back(id);
        }
    }
    return enabled;
}

// Sources: a.swf with two MP3 outputs (70 s, then 5 s) around a WAV one, b.flv converted to
// WAV, c.swf not converted.
class MergeDlg : public ::testing::Test {
  protected:
    void SetUp() override {
        auto a = std::make_unique<SourceItem>(SourceKind::Swf, m_dir.File("a.swf"));
        a->outputs = {Output("a_001.mp3", 70, 1), Output("a_002.wav", 1, 0),
                      Output("a_003.mp3", 5, 1)};
        auto b = std::make_unique<SourceItem>(SourceKind::Flv, m_dir.File("b.flv"));
        b->outputs = {Output("b.wav", 3, 0)};
        m_sources.push_back(std::move(a));
        m_sources.push_back(std::move(b));
        m_sources.push_back(std::make_unique<SourceItem>(SourceKind::Swf, m_dir.File("c.swf")));
    }
    OutputItem Output(const std::string& name, uint32_t seconds, uint32_t isMp3) {
        OutputItem item;
        item.path = m_dir.File(name);
        item.isMp3 = isMp3;
        item.sampleRate = 44100;
        item.sampleCount = seconds * 44100;
        item.channels = 2;
        item.bitsPerSample = 16;
        EXPECT_TRUE(WriteFileBytes(item.path, Bytes(100 + seconds, static_cast<uint8_t>(seconds))));
        return item;
    }
    void SelectSources(CMergeDlg& dialog, std::initializer_list<int32_t> rows) {
        dialog.SourceListCtrl().ClearSelection();
        for (const int32_t row : rows) {
            dialog.SourceListCtrl().SetSelected(row, true);
        }
        dialog.OnSourceSelectionChanged();
    }
    void SelectEntry(CMergeDlg& dialog, int32_t row) {
        dialog.Mp3ListCtrl().SelectOnly(row);
        dialog.OnMp3SelectionChanged();
    }
    std::string EntryFiles(CMergeDlg& dialog) {
        std::string files;
        for (int32_t i = 0; i < dialog.Mp3ListCtrl().RowCount(); ++i) {
            EXPECT_EQ(dialog.Mp3ListCtrl().Text(i, 0), std::to_string(i + 1));
            files += dialog.Mp3ListCtrl().Text(i, CMergeList::kColFile) + " ";
        }
        return files;
    }

    TempDir m_dir;
    FakeShell m_shell;
    SourceList m_sources;
    int m_helps = 0;
};

TEST_F(MergeDlg, WithoutSourcesOnlyHelpAndCloseWork) {
    SourceList none;
    CMergeDlg dialog(m_shell, none, [this] { ++m_helps; });
    EXPECT_EQ(Enabled(dialog), (std::vector<int32_t>{kMergeBtnHelp, kMergeBtnClose}));
    dialog.OnCommand(kMergeBtnAddAllMp3);  // disabled: no message
    EXPECT_TRUE(m_shell.messages.empty());
    dialog.OnCommand(kMergeBtnHelp);
    EXPECT_EQ(m_helps, 1);
    EXPECT_FALSE(dialog.CloseRequested());
    dialog.OnCommand(kMergeBtnClose);
    EXPECT_TRUE(dialog.CloseRequested());
}

TEST_F(MergeDlg, ButtonsFollowASequenceOfActions) {
    CMergeDlg dialog(m_shell, m_sources, nullptr);
    EXPECT_EQ(dialog.SourceListCtrl().Text(2, 1), "c.swf");
    EXPECT_EQ(Enabled(dialog),
              (std::vector<int32_t>{kMergeBtnAddAllMp3, kMergeBtnHelp, kMergeBtnClose}));

    SelectSources(dialog, {1, 2});  // WAV only and not converted
    EXPECT_TRUE(dialog.IsButtonEnabled(kMergeBtnAddMp3) &&
                dialog.IsButtonEnabled(kMergeBtnPlaySource));
    dialog.OnCommand(kMergeBtnAddMp3);
    EXPECT_EQ(m_shell.MessageTexts(), std::vector<std::string>{"There aren't MP3 files to add."});
    EXPECT_EQ(dialog.TakeFocusRequest(), FocusRequest::None);
    EXPECT_FALSE(dialog.IsButtonEnabled(kMergeBtnMerge) ||
                 dialog.IsButtonEnabled(kMergeBtnRemoveAll));

    SelectSources(dialog, {0, 1});
    dialog.OnCommand(kMergeBtnAddMp3);
    EXPECT_EQ(EntryFiles(dialog), "a_001.mp3 a_003.mp3 ");
    EXPECT_EQ(dialog.TakeFocusRequest(), FocusRequest::Mp3List);
    EXPECT_TRUE(dialog.IsButtonEnabled(kMergeBtnMerge) &&
                dialog.IsButtonEnabled(kMergeBtnRemoveAll));
    EXPECT_FALSE(dialog.IsButtonEnabled(kMergeBtnUp));  // nothing selected yet

    SelectEntry(dialog, 1);
    for (const int32_t id : {kMergeBtnPlayMp3, kMergeBtnUp, kMergeBtnDown, kMergeBtnRemove}) {
        EXPECT_TRUE(dialog.IsButtonEnabled(id)) << id;
    }
    dialog.OnCommand(kMergeBtnUp);
    EXPECT_EQ(EntryFiles(dialog), "a_003.mp3 a_001.mp3 ");
    EXPECT_EQ(dialog.TakeScrollRequest(), 0);
    EXPECT_EQ(dialog.TakeFocusRequest(), FocusRequest::Mp3List);
    dialog.OnCommand(kMergeBtnUp);  // already first
    EXPECT_EQ(EntryFiles(dialog), "a_003.mp3 a_001.mp3 ");
    EXPECT_EQ(dialog.TakeScrollRequest(), -1);
    EXPECT_EQ(dialog.TakeFocusRequest(), FocusRequest::None);
    dialog.OnMp3DoubleClick();
    EXPECT_EQ(m_shell.opened, std::vector<std::string>{m_dir.File("a_003.mp3")});

    dialog.OnCommand(kMergeBtnRemove);  // one entry left
    EXPECT_EQ(EntryFiles(dialog), "a_001.mp3 ");
    EXPECT_EQ(Enabled(dialog),
              (std::vector<int32_t>{kMergeBtnRemoveAll, kMergeBtnAddMp3, kMergeBtnAddAllMp3,
                                    kMergeBtnPlaySource, kMergeBtnHelp, kMergeBtnClose}));
    dialog.OnCommand(kMergeBtnAddAllMp3);
    EXPECT_EQ(EntryFiles(dialog), "a_001.mp3 a_001.mp3 a_003.mp3 ");
    EXPECT_TRUE(dialog.IsButtonEnabled(kMergeBtnMerge));

    SelectEntry(dialog, 2);
    dialog.OnCommand(kMergeBtnRemoveAll);
    EXPECT_EQ(dialog.Mp3ListCtrl().RowCount(), 0);
    EXPECT_EQ(Enabled(dialog),
              (std::vector<int32_t>{kMergeBtnAddMp3, kMergeBtnAddAllMp3, kMergeBtnPlaySource,
                                    kMergeBtnHelp, kMergeBtnClose}));

    // A source the desktop cannot open goes to the web browser.
    m_shell.shellOpenResult = 2;
    dialog.OnCommand(kMergeBtnPlaySource);
    EXPECT_EQ(m_shell.opened.back(), m_dir.File("a.swf"));
    EXPECT_EQ(m_shell.browsed, std::vector<std::string>{m_dir.File("a.swf")});
    EXPECT_EQ(m_shell.waitDepth, 0);
}

TEST_F(MergeDlg, SortingSetsTheJoinOrderAndRenumbersTheSortedList) {
    CMergeDlg dialog(m_shell, m_sources, nullptr);
    dialog.OnCommand(kMergeBtnAddAllMp3);
    dialog.Mp3ListCtrl().SortByColumn(CMergeList::kColTime);
    EXPECT_EQ(EntryFiles(dialog), "a_003.mp3 a_001.mp3 ");
    dialog.SourceListCtrl().SortByColumn(1);
    dialog.SourceListCtrl().SortByColumn(1);  // descending
    EXPECT_EQ(dialog.SourceListCtrl().Text(0, 1), "c.swf");
    EXPECT_EQ(dialog.SourceListCtrl().Text(0, 0), "1");
    EXPECT_EQ(EntryFiles(dialog), "a_003.mp3 a_001.mp3 ");

    const std::string target = m_dir.File("joined.mp3");
    m_shell.fileDialogAnswers.push_back(std::vector<std::string>{target});
    dialog.OnCommand(kMergeBtnMerge);
    EXPECT_EQ(ReadFileBytes(target), Concat({ReadFileBytes(m_dir.File("a_003.mp3")),
                                             ReadFileBytes(m_dir.File("a_001.mp3"))}));
    EXPECT_EQ(EntryFiles(dialog), "a_003.mp3 a_001.mp3 ");  // the window keeps its lists
}

}  // namespace
}  // namespace kelvora
