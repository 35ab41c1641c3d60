#include <gtest/gtest.h>

#include <QPushButton>

#include "gui/GuiSupport.h"
#include "support/FakeShell.h"
#include "ui/CMergeDlg.h"
#include "ui/qt/MergeWindow.h"
#include "ui/qt/SortListView.h"

namespace kelvora {
namespace {

using namespace test;

// Two converted sources with three MP3 outputs between them, and the window over them.
struct MergeWindowTest : ::testing::Test {
    FakeShell shell;
    SourceList sources = MakeSources();
    int helps = 0;
    CMergeDlg dlg{shell, sources, [this] { ++helps; }};
    MergeWindow window{dlg};

    static SourceList MakeSources() {
        SourceList list;
        for (int s = 0; s < 2; ++s) {
            auto item = std::make_unique<SourceItem>(SourceKind::Swf,
                                                     "/media/movie" + std::to_string(s) + ".swf");
            for (int o = 0; o <= s; ++o) {
                item->outputs.push_back(
                    {2, 16, 44100, 44100 * 3, 1,
                     "/media/m" + std::to_string(s) + std::to_string(o) + ".mp3"});
            }
            list.push_back(std::move(item));
        }
        return list;
    }
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kPatienceMs));
    }
    // The buttons enabled now, by number.
    std::vector<int32_t> Enabled() const {
        std::vector<int32_t> ids;
        for (int32_t id : {kMergeBtnMerge, kMergeBtnPlayMp3, kMergeBtnUp, kMergeBtnDown,
                           kMergeBtnRemove, kMergeBtnRemoveAll, kMergeBtnHelp, kMergeBtnAddMp3,
                           kMergeBtnAddAllMp3, kMergeBtnPlaySource, kMergeBtnClose}) {
            if (window.Button(id)->isEnabled()) {
                ids.push_back(id);
            }
        }
        return ids;
    }
    void Click(int32_t id) { QTest::mouseClick(window.Button(id), Qt::LeftButton); }
    static void ClickRow(SortListView& view, int row) {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.RowRect(row).center());
    }
};

TEST_F(MergeWindowTest, ButtonsFollowTheListsAndTheSelection) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Merge MP3"));
    EXPECT_EQ(window.size(), QSize(584, 445));
    EXPECT_EQ(window.Mp3View().geometry(), QRect(11, 11, 474, 288));
    EXPECT_EQ(window.Button(kMergeBtnClose)->geometry(), QRect(495, 411, 78, 23));
    EXPECT_EQ(window.SourceView().model()->rowCount(), 2);
    EXPECT_EQ(Enabled(), (std::vector<int32_t>{kMergeBtnHelp, kMergeBtnAddAllMp3, kMergeBtnClose}));

    ClickRow(window.SourceView(), 1);
    EXPECT_EQ(Enabled(), (std::vector<int32_t>{kMergeBtnHelp, kMergeBtnAddMp3, kMergeBtnAddAllMp3,
                                               kMergeBtnPlaySource, kMergeBtnClose}));

    Click(kMergeBtnAddAllMp3);
    EXPECT_EQ(window.Mp3View().model()->rowCount(), 3);
    EXPECT_TRUE(window.Mp3View().hasFocus());
    EXPECT_TRUE(window.Button(kMergeBtnMerge)->isEnabled());
    EXPECT_TRUE(window.Button(kMergeBtnRemoveAll)->isEnabled());
    EXPECT_FALSE(window.Button(kMergeBtnUp)->isEnabled());

    // One entry selected on screen: it can be played, moved and removed.
    ClickRow(window.Mp3View(), 2);
    EXPECT_TRUE(window.Button(kMergeBtnUp)->isEnabled());
    Click(kMergeBtnUp);
    EXPECT_EQ(window.Mp3View().model()->index(1, 1).data().toString(), QStringLiteral("m11.mp3"));
    EXPECT_TRUE(window.Mp3View().selectionModel()->isRowSelected(1, QModelIndex()));

    Click(kMergeBtnRemove);
    ClickRow(window.Mp3View(), 0);
    Click(kMergeBtnRemove);
    EXPECT_EQ(window.Mp3View().model()->rowCount(), 1);
    EXPECT_FALSE(window.Button(kMergeBtnMerge)->isEnabled());
    EXPECT_FALSE(window.Button(kMergeBtnRemove)->isEnabled());  // nothing selected now

    Click(kMergeBtnHelp);
    EXPECT_EQ(helps, 1);
}

TEST_F(MergeWindowTest, EscAndCloseEndTheWindow) {
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(dlg.CloseRequested());
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace kelvora
