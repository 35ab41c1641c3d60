#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QHeaderView>
#include <QMimeData>
#include <QToolTip>
#include <QUrl>
#include <filesystem>

#include "gui/GuiSupport.h"
#include "support/FakeShell.h"
#include "ui/CMainDlg.h"
#include "ui/ShellHelpers.h"
#include "ui/qt/AboutDialog.h"
#include "ui/qt/Controls.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/SortListView.h"
#include "ui/skin/CIconMenu.h"
#include "ui/skin/MainWindowSkin.h"

namespace kelvora {
namespace {

using namespace test;

// A shown, started main window over a recording shell; not the first run.
// The recording shell, with a batch's news queued to the window's event loop as the desktop's
// shell queues them.
struct QueuingShell : FakeShell {
    void Post(std::function<void()> task) override {
        QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
    }
};

struct MainWindowTest : ::testing::Test {
    QueuingShell shell;
    TempDir dir;
    CMainDlg dlg{shell};
    MainWindow window{dlg};

    void SetUp() override {
        shell.firstRunSetting = 0;
        window.show();
        window.Start();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window, kPatienceMs));
    }

    SortListView& Sources() { return window.SourceView(); }
    SortListView& Outputs() { return window.OutputView(); }
    static std::string Cell(SortListView& view, int row, int column) {
        return view.model()->index(row, column).data().toString().toStdString();
    }
    void ClickRow(SortListView& view, int row, bool twice = false) {
        const QPoint at = view.RowRect(row).center();
        if (twice) {
            // Through the window, as the platform delivers it: the toolkit makes the double
            // click out of two presses.
            QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {},
                               view.viewport()->mapTo(&window, at));
        } else {
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
        }
    }
    void ClickButton(int32_t id) { QTest::mouseClick(window.Control(id), Qt::LeftButton); }
    void Drop(const std::vector<std::string>& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& p : paths) {
            urls << QUrl::fromLocalFile(QString::fromStdString(p));
        }
        mime.setUrls(urls);
        // Over the source list: the window takes what its lists do not.
        const QPoint at = Sources().viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Sources().viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Sources().viewport(), &drop);
        EXPECT_TRUE(drop.isAccepted());
    }
    // The enabled items of a popup, by command.
    static std::vector<int32_t> EnabledItems(const QMenu& menu) {
        std::vector<int32_t> ids;
        for (const QAction* action : menu.actions()) {
            if (!action->isSeparator() && action->isEnabled()) {
                ids.push_back(action->data().toInt());
            }
        }
        return ids;
    }
    // An open popup is drawn by the skin: the icon of each command that has one, in the
    // skin's light colours.
    static void ExpectSkinnedPopup(QMenu& menu) {
        ASSERT_NE(dynamic_cast<CIconMenu*>(&menu), nullptr);
        int withIcons = 0;
        for (const QAction* action : menu.actions()) {
            const int32_t id = CIconMenu::CommandIdOf(action);
            if (id != 0 && std::count(kMenuIconOrder.begin(), kMenuIconOrder.end(), id) == 1) {
                EXPECT_NE(CIconStore::Shared().Find(id), nullptr) << id;
                ++withIcons;
            }
        }
        EXPECT_GT(withIcons, 0);
        EXPECT_GT(menu.palette().color(QPalette::Base).lightness(), 200);
        EXPECT_LT(menu.palette().color(QPalette::Text).lightness(), 100);
    }
    void OpenPopupFromKeyboard(SortListView& view) {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, view.rect().center(),
                                view.mapToGlobal(view.rect().center()));
        QApplication::sendEvent(&view, &event);
    }
};

TEST_F(MainWindowTest, OpensAtItsSizeWithItsControlsInPlace) {
    EXPECT_EQ(window.size(), QSize(627, 525));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kelvora"));

    const struct {
        int32_t id;
        QRect rect;
        const char* tooltip;
    } expected[] = {
        {kCmdAddFiles, {15, 59, 109, 27}, "Add SWF/FLV files"},
        {kCmdAddFolder, {15, 104, 109, 27}, "Search SWF/FLV files from a folder and add them"},
        {kCmdRemoveAll, {15, 150, 109, 27}, "Remove all files"},
        {kCmdConvertAllToMp3, {15, 195, 109, 27}, "Convert all files to MP3 format"},
        {kCmdConvertAllToWav, {15, 241, 109, 27}, "Convert all files to WAV format"},
        {kCmdMergeMp3, {15, 286, 109, 27}, "Merge multiple converted MP3 files into single one"},
        {kCmdHomepage, {14, 497, 113, 20}, "Visit Kelvora Homepage"},
        {kCmdHelpButton, {545, 5, 21, 21}, "Help"},
        {kCmdMinimize, {569, 5, 21, 21}, "Minimize"},
        {kCmdClose, {593, 5, 21, 21}, "Close"},
        {kSourceListId, {138, 57, 480, 226}, ""},
        {kOutputListId, {138, 291, 480, 226}, ""},
    };
    for (const auto& e : expected) {
        QWidget* control = window.Control(e.id);
        ASSERT_NE(control, nullptr) << e.id;
        EXPECT_EQ(control->geometry(), e.rect) << e.id;
        EXPECT_EQ(control->toolTip(), QString::fromLatin1(e.tooltip)) << e.id;
    }

    // The columns came after the window was made, with their widths and headers.
    for (SortListView* view : {&Sources(), &Outputs()}) {
        ASSERT_EQ(view->model()->columnCount(), view->List().ColumnCount());
        for (int c = 0; c < view->List().ColumnCount(); ++c) {
            EXPECT_EQ(view->columnWidth(c), view->List().Column(c).width);
            EXPECT_EQ(view->model()->headerData(c, Qt::Horizontal).toString().toStdString(),
                      view->List().Column(c).header);
        }
        EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    }
    EXPECT_EQ(Sources().selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(Outputs().selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(Sources().model()->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).toInt() &
                  Qt::AlignRight,
              Qt::AlignRight);  // "Status"

    // A tooltip comes up when the pointer rests on a control.
    QWidget* button = window.Control(kCmdAddFolder);
    EXPECT_EQ(button->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, button),
              TooltipDelayStyle::kDelayMs);
    QTest::mouseMove(button, QPoint(10, 10));
    QTest::mouseMove(button, QPoint(12, 12));
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, kPatienceMs));
    EXPECT_EQ(QToolTip::text(), button->toolTip());
}

TEST_F(MainWindowTest, ClicksKeysAndMenusReachTheCoreAsCommands) {
    ClickButton(kCmdRemoveAll);
    EXPECT_EQ(shell.MessageTexts(), std::vector<std::string>{"There aren't files in list."});

    QTest::keyClick(&Sources(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(shell.fileDialogs.size(), 1u);
    EXPECT_TRUE(shell.fileDialogs[0].multiSelect);

    // Enter and Esc do nothing; the window stays open.
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&Sources(), Qt::Key_Return);
    QTest::keyClick(&Sources(), Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.closed, 0);

    QTest::keyClick(&Sources(), Qt::Key_F1);
    QTest::keyClick(&Outputs(), Qt::Key_F1);
    EXPECT_EQ(shell.helpOpened, 1);
    EXPECT_EQ(shell.helpBroughtToFront, 1);

    // The Help popup hangs from its caption button; its About item shows the About box. (The
    // window moves to the screen's corner, so that the menu fits where it is asked for.)
    window.move(0, 0);
    QWidget* help = window.Control(kCmdHelpButton);
    QPoint menuAt;
    WhenPopupOpens([&](QMenu& menu) {
        menuAt = menu.pos();
        ExpectSkinnedPopup(menu);
        Choose(menu, kCmdAbout);
    });
    ClickButton(kCmdHelpButton);
    EXPECT_EQ(menuAt, help->mapToGlobal(QPoint(0, help->height())));
    EXPECT_EQ(shell.aboutShown, 1);

    ClickButton(kCmdMinimize);
    ClickButton(kCmdClose);
    EXPECT_EQ(shell.minimized, 1);
    EXPECT_EQ(shell.closed, 1);
}

TEST_F(MainWindowTest, PopupsAreEnabledByTheRulesAndRunTheChosenItem) {
    // On a dark desktop too; the icons come with the popup.
    struct DarkDesktop {
        QPalette before = QApplication::palette();
        DarkDesktop() {
            QApplication::setPalette(QPalette(QColor(50, 50, 50), QColor(30, 30, 30)));
        }
        ~DarkDesktop() { QApplication::setPalette(before); }
    } dark;
    CIconStore::Shared().Clear();

    std::vector<int32_t> enabled;
    QPoint menuAt;
    WhenPopupOpens([&](QMenu& menu) {
        enabled = EnabledItems(menu);
        menuAt = menu.pos();
        ExpectSkinnedPopup(menu);
        Choose(menu, kCmdAddFolder);
    });
    OpenPopupFromKeyboard(Sources());
    EXPECT_EQ(enabled, (std::vector<int32_t>{kCmdAddFiles, kCmdAddFolder}));
    EXPECT_EQ(menuAt, Sources().mapToGlobal(Sources().rect().center()));
    ASSERT_EQ(shell.folderDialogs.size(), 1u);

    WhenPopupOpens([&](QMenu& menu) {
        enabled = EnabledItems(menu);
        menu.close();
    });
    OpenPopupFromKeyboard(Outputs());
    EXPECT_EQ(enabled, std::vector<int32_t>{kCmdMergeMp3});

    // With a source selected on screen its items come alive; Del removes it even from the
    // output list.
    ASSERT_TRUE(WriteSwfWithSounds(dir.File("a.swf"), 1));
    ASSERT_TRUE(WriteSwfWithSounds(dir.File("b.swf"), 1));
    ASSERT_TRUE(dlg.AddSourceFile(dir.File("a.swf")));
    ASSERT_TRUE(dlg.AddSourceFile(dir.File("b.swf")));
    ClickRow(Sources(), 1);
    EXPECT_EQ(dlg.SourceListCtrl().FirstSelected(), 1);
    WhenPopupOpens([&](QMenu& menu) {
        enabled = EnabledItems(menu);
        Choose(menu, kCmdRemove);
    });
    OpenPopupFromKeyboard(Sources());
    EXPECT_EQ(enabled.size(), 10u);  // all but the separators
    ASSERT_EQ(Sources().model()->rowCount(), 1);
    EXPECT_EQ(Cell(Sources(), 0, 1), "a.swf");

    ClickRow(Sources(), 0);
    // The window's shortcuts act only in the active window: the closed popup hands activation
    // back asynchronously.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, kPatienceMs));
    Outputs().setFocus();
    QTest::keyClick(&Outputs(), Qt::Key_Delete);
    EXPECT_EQ(Sources().model()->rowCount(), 0);
    EXPECT_EQ(dlg.Items().size(), 0u);
}

TEST_F(MainWindowTest, RemovingARowLeavesNothingSelectedAndASecondDelRemovesNothing) {
    for (const char* name : {"a.swf", "b.swf", "c.swf", "d.swf"}) {
        ASSERT_TRUE(WriteSwfWithSounds(dir.File(name), 1));
        ASSERT_TRUE(dlg.AddSourceFile(dir.File(name)));
    }
    for (const int row : {1, 2}) {  // a middle row, then the last one
        ClickRow(Sources(), row);
        ASSERT_EQ(dlg.SourceListCtrl().FirstSelected(), row);
        QTest::keyClick(&Sources(), Qt::Key_Delete);
        EXPECT_EQ(dlg.SourceListCtrl().FirstSelected(), -1);
        EXPECT_TRUE(Sources().selectionModel()->selectedRows().isEmpty());
        EXPECT_EQ(Outputs().model()->rowCount(), 0);
        const int left = Sources().model()->rowCount();
        QTest::keyClick(&Sources(), Qt::Key_Delete);
        EXPECT_EQ(Sources().model()->rowCount(), left);
    }
    EXPECT_EQ(Cell(Sources(), 0, 1), "a.swf");
    EXPECT_EQ(Cell(Sources(), 1, 1), "c.swf");
}

TEST_F(MainWindowTest, TheWindowIsItsSkinWithTheButtonsBlendingIn) {
    const MainWindowSkin skin = LoadMainWindowSkin();
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), skin.background.size());
    // The image at its full size, where no control covers it.
    for (const QPoint at : {QPoint(300, 20), QPoint(60, 400), QPoint(626, 524)}) {
        EXPECT_EQ(shown.pixel(at), skin.background.pixel(at)) << at.x() << "," << at.y();
    }
    for (int32_t id :
         {kCmdAddFiles, kCmdAddFolder, kCmdRemoveAll, kCmdConvertAllToMp3, kCmdConvertAllToWav,
          kCmdMergeMp3, kCmdHelpButton, kCmdMinimize, kCmdClose, kCmdHomepage}) {
        const auto* button = dynamic_cast<const CSkinButton*>(window.Control(id));
        ASSERT_NE(button, nullptr) << id;
        // Outside its drawn shape a button shows the skin behind it; inside, its own image.
        const QPoint corner = button->pos();
        EXPECT_EQ(shown.pixel(corner), skin.background.pixel(corner)) << id;
        const QPoint centre = button->geometry().center();
        if (id == kCmdHelpButton || id == kCmdMinimize || id == kCmdClose) {
            EXPECT_NE(shown.pixel(centre), skin.background.pixel(centre)) << id;
        }
    }
    EXPECT_EQ(window.Control(kCmdAddFiles)->cursor().shape(), Qt::BitmapCursor);
    const auto* link = static_cast<const CSkinButton*>(window.Control(kCmdHomepage));
    EXPECT_LE(link->fontMetrics().horizontalAdvance(link->text()), link->width());
    EXPECT_FALSE(window.windowIcon().pixmap(16, 16).isNull());
    EXPECT_FALSE(window.windowIcon().pixmap(48, 48).isNull());
}

TEST_F(MainWindowTest, ADroppedFolderAddsTheFilesFoundInIt) {
    std::filesystem::create_directories(dir.File("media/deeper"));
    ASSERT_TRUE(WriteSwfWithSounds(dir.File("media/one.swf"), 1));
    ASSERT_TRUE(WriteSwfWithSounds(dir.File("media/deeper/two.swf"), 2));
    ASSERT_TRUE(WriteFileBytes(dir.File("media/notes.txt"), {'x'}));

    Drop({dir.File("media")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Sources().model()->rowCount() == 2; }, kPatienceMs));
    std::vector<std::string> names = {Cell(Sources(), 0, 1), Cell(Sources(), 1, 1)};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"one.swf", "two.swf"}));
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_TRUE(shell.folderWrites.empty());  // a dropped folder is not the "Folder" setting
}

TEST_F(MainWindowTest, AConversionFromTheWindowFillsStatusAndOutputs) {
    ASSERT_TRUE(WriteSwfWithSounds(dir.File("tune.swf"), 2));
    window.AddPaths({dir.File("tune.swf")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sources().model()->rowCount() == 1; }, kPatienceMs));
    ClickRow(Sources(), 0);
    Outputs().setFocus();

    ClickButton(kCmdConvertAllToWav);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Converting(); }, 30000));
    EXPECT_EQ(Cell(Sources(), 0, 2), "2 Sound(s)");
    ASSERT_EQ(Outputs().model()->rowCount(), 2);
    EXPECT_EQ(Cell(Outputs(), 0, 1), "tune_001.wav");
    EXPECT_EQ(Cell(Outputs(), 1, 2), "WAV");
    EXPECT_TRUE(Sources().hasFocus());  // the batch hands the focus to the source list
    EXPECT_EQ(shell.shownInFileManager.size(), 1u);

    // A header click sorts by that column; a second one reverses.
    QHeaderView* header = Outputs().horizontalHeader();
    const QPoint fileHeader(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, fileHeader);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, fileHeader);
    EXPECT_EQ(Cell(Outputs(), 0, 1), "tune_002.wav");

    ClickRow(Outputs(), 0, true);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], dir.File("tune_002.wav"));
    EXPECT_TRUE(Outputs().selectionModel()->isRowSelected(0, QModelIndex()));
}

TEST(AboutDialogTest, LinksReportFailuresAndButtonsOpenTheirPages) {
    FakeShell shell;
    AboutDialog about(shell);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kelvora"));
    EXPECT_EQ(about.size(), QSize(419, 206));

    shell.shellOpenResult = 2;
    shell.browserStarts = false;
    QTest::mouseClick(about.Control(AboutDialog::kHomepageLink), Qt::LeftButton);
    EXPECT_EQ(shell.beeps, 1);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, LinkFailureReport(2));
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Warning);

    // A button that nothing opens says so as the Help popup's commands do, naming the link.
    QTest::mouseClick(about.Control(AboutDialog::kCheckForUpdates), Qt::LeftButton);
    EXPECT_EQ(shell.opened.back(), UpdateCheckUrl());
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.messages[1].text, "Kelvora cannot open '" + UpdateCheckUrl() +
                                          "': it was not found.");
    shell.browserStarts = true;
    QTest::mouseClick(about.Control(AboutDialog::kTellAFriend), Qt::LeftButton);
    EXPECT_EQ(shell.opened.back(), TellAFriendUrl());
    EXPECT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.waitDepth, 0);
}

}  // namespace
}  // namespace kelvora
