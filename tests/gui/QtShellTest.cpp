#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "gui/GuiSupport.h"
#include "ui/qt/CProgressDlg.h"
#include "ui/qt/HelpWindow.h"
#include "ui/qt/OptionsDialog.h"
#include "ui/qt/QtShell.h"

namespace kelvora {
namespace {

using namespace test;

TEST(QtShellTest, SettingsLiveUnderOptionsWithTheirDefaults) {
    TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.path()));
    QtShell shell;
    uint32_t firstRun = 0;
    EXPECT_EQ(shell.ReadFolderSetting(), "");
    ASSERT_TRUE(shell.ReadFirstRunSetting(firstRun));
    EXPECT_EQ(firstRun, 1u);

    shell.WriteFolderSetting("/home/me/movies/");
    ASSERT_TRUE(shell.WriteFirstRunSetting(0));
    EXPECT_EQ(shell.ReadFolderSetting(), "/home/me/movies/");
    ASSERT_TRUE(shell.ReadFirstRunSetting(firstRun));
    EXPECT_EQ(firstRun, 0u);
    const QSettings stored(QStringLiteral("Dastrel"), QStringLiteral("Kelvora"));
    EXPECT_EQ(stored.value(QStringLiteral("Options/Folder")).toString(),
              QStringLiteral("/home/me/movies/"));
    EXPECT_EQ(stored.value(QStringLiteral("Options/FirstRun")).toInt(), 0);

    // The Options window's choices: a check box is a bool beside them, absent means its default.
    std::vector<OptionField> fields = OptionFields(ProgramOptions{});
    shell.ReadOptionSetting(fields.at(0));
    EXPECT_EQ(fields.at(0).value, 0);
    fields.at(0).value = 1;
    shell.WriteOptionSetting(fields.at(0));
    fields.at(0).value = 0;
    shell.ReadOptionSetting(fields.at(0));
    EXPECT_EQ(fields.at(0).value, 1);
    EXPECT_EQ(QSettings(QStringLiteral("Dastrel"), QStringLiteral("Kelvora"))
                  .value(QStringLiteral("Options/AllFormats"))
                  .toString(),
              QStringLiteral("true"));
}

TEST(QtShellTest, TheOptionsWindowHasAControlPerChoice) {
    ProgramOptions options;
    options.conversion.allFormats = true;
    const std::vector<OptionField> fields = OptionFields(options);
    OptionsDialog dialog(fields);
    auto* box = qobject_cast<QCheckBox*>(dialog.Control(0));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), fields[0].label);
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_EQ(dialog.Fields().at(0).value, 0);
    EXPECT_FALSE(OptionsOf(dialog.Fields()).conversion.allFormats);
    // One box per choice, each standing for its own option.
    auto* timing = qobject_cast<QCheckBox*>(dialog.Control(2));
    ASSERT_NE(timing, nullptr);
    EXPECT_EQ(timing->text().toStdString(), "Keep the timing of sound streams");
    timing->click();
    EXPECT_TRUE(OptionsOf(dialog.Fields()).conversion.keepTiming);
    EXPECT_FALSE(OptionsOf(dialog.Fields()).conversion.linkageNames);

    // A fixed dialog without a maximize button, as many files at once as the command line
    // takes, and the choices in the order the help tells them.
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    auto* jobs = dialog.findChild<QSpinBox*>();
    ASSERT_NE(jobs, nullptr);
    EXPECT_EQ(jobs->maximum(), 1024);
    QFile help(QStringLiteral(":/help/index.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll());
    const QString section = text.section(QStringLiteral("<h2 id=\"options\">"), 1)
                                .section(QStringLiteral("</ul>"), 0, 0);
    qsizetype at = 0;
    for (const OptionField& field : fields) {
        const QString name =
            QString::fromStdString(field.label).section(QStringLiteral(" ("), 0, 0);
        const qsizetype found =
            section.indexOf(QStringLiteral("<b>") + name + QStringLiteral("</b>"));
        EXPECT_GT(found, at) << field.label;
        at = found;
    }
}

TEST(QtShellTest, AMessageTallerThanTheScreenScrollsAndKeepsItsButtonsOnIt) {
    QtShell shell;
    std::string text = "Failed to load the following files.\n\n";
    for (int i = 0; i < 300; ++i) {
        text += "/home/me/media/broken" + std::to_string(i) + ".swf\n";
    }
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        const QRect screen = box->screen()->availableGeometry();
        EXPECT_LE(box->frameGeometry().height(), screen.height());
        EXPECT_NE(box->findChild<QScrollArea*>(), nullptr);
        EXPECT_EQ(box->text().toStdString(), text);  // the text as it stands
        checked = true;
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(shell.MessageBox(text, MessageIcon::Warning, MessageButtons::Ok), MessageAnswer::Ok);
    EXPECT_TRUE(checked);
}

TEST(QtShellTest, FiltersTakeTheToolkitsForm) {
    EXPECT_EQ(
        QtNameFilters({{"SWF & FLV Files", "*.swf;*.flv"},
                       {"SWF Files (*.swf)", "*.swf"},
                       {"All Files", "*.*"}}),
        (QStringList{QStringLiteral("SWF & FLV Files (*.swf *.flv)"),
                     QStringLiteral("SWF Files (*.swf)"), QStringLiteral("All Files (*.*)")}));
}

TEST(QtShellTest, NewsPostedFromOtherThreadsRunInTheWindowsEventLoop) {
    QtShell shell;
    std::atomic<bool> ran{false};
    std::thread::id ranOn;
    std::thread worker([&] {
        shell.Post([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
    });
    worker.join();
    EXPECT_FALSE(ran);  // it waits for the loop
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran.load(); }, kPatienceMs));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(QtShellTest, HelpFromAQuestionLeavesItOpen) {
    QtShell shell;
    bool stillOpenAfterHelp = false;
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [&, timer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Kelvora"));
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::HelpRole) {
                button->click();
            }
        }
        QApplication::processEvents();
        stillOpenAfterHelp = box->isVisible();
        box->button(QMessageBox::Yes)->click();
    });
    timer->start();
    EXPECT_EQ(shell.MessageBox("Go on?", MessageIcon::Question, MessageButtons::YesNoHelp),
              MessageAnswer::Yes);
    EXPECT_TRUE(stillOpenAfterHelp);

    // One help window, titled and showing the help document; brought to the front, not
    // opened twice; gone once closed.
    ASSERT_NE(shell.Help(), nullptr);
    EXPECT_EQ(shell.Help()->windowTitle(), QStringLiteral("Kelvora Help"));
    EXPECT_TRUE(shell.Help()->Browser()->toPlainText().contains(QStringLiteral("Adding files")));
    HelpWindow* first = shell.Help();
    EXPECT_TRUE(shell.BringHelpToFront());
    EXPECT_EQ(shell.Help(), first);
    shell.CloseHelp();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(shell.Help(), nullptr);
    EXPECT_FALSE(shell.BringHelpToFront());
}

// Takes the files the desktop is asked to open, as a launcher that starts anything would.
class Launcher : public QObject {
    Q_OBJECT

  public:
    int opened = 0;
  public slots:
    void Open(const QUrl&) { ++opened; }
};

TEST(QtShellTest, AFileIsOpenedOnlyWhenItIsThereAndTheDesktopHasAProgramForIt) {
    TempDir dir;
    QtShell shell;
    EXPECT_EQ(shell.ShellOpen(dir.File("gone.mp3")), 2);  // "was not found", not "no program"

    // The desktop's table of defaults, as xdg-mime tells it: nothing for this kind of file. A
    // loaded machine may take long to start even this script, so it is waited for as long.
    ASSERT_TRUE(WriteFileBytes(dir.File("talk.mp3"), {1}));
    std::filesystem::create_directories(dir.File("bin"));
    const auto table = [&](const std::string& script) {
        const std::string text = "#!/bin/sh\n" + script;
        EXPECT_TRUE(WriteFileBytes(dir.File("bin/xdg-mime"), Bytes(text.begin(), text.end())));
        std::filesystem::permissions(dir.File("bin/xdg-mime"), std::filesystem::perms::owner_all);
    };
    table("");
    shell.SetProgramQueryTimeout(kPatienceMs);
    const std::string path = dir.File("bin") + ":" + std::getenv("PATH");
    const ScopedEnv env("PATH", path.c_str());
    Launcher launcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &launcher, "Open");
    EXPECT_EQ(shell.ShellOpen(dir.File("talk.mp3")), 31);  // no program is set for it
    EXPECT_EQ(launcher.opened, 0);
    // With a program set, the launcher gets it.
    table("echo p.desktop\n");
    EXPECT_GT(shell.ShellOpen(dir.File("talk.mp3")), 32);
    EXPECT_EQ(launcher.opened, 1);
    // Kelvora itself is no program to hand a file to; a link needs a program for its scheme.
    table("echo kelvora.desktop\n");
    EXPECT_EQ(shell.ShellOpen(dir.File("talk.mp3")), 31);
    table("[ \"$3\" = x-scheme-handler/https ] || echo p.desktop\n");
    EXPECT_EQ(shell.ShellOpen("https://example.com/"), 31);
    EXPECT_EQ(launcher.opened, 1);
    // xdg-open is no web browser: without $BROWSER and x-www-browser none starts.
    ASSERT_TRUE(WriteFileBytes(dir.File("bin/xdg-open"),
                               {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'}));
    std::filesystem::permissions(dir.File("bin/xdg-open"), std::filesystem::perms::owner_all);
    {
        const ScopedEnv noBrowser("BROWSER", nullptr);
        const ScopedEnv onlyOurs("PATH", dir.File("bin").c_str());
        EXPECT_FALSE(shell.StartBrowser("https://example.com/"));
    }
    // A table that does not answer in time is no reason to refuse.
    table("exec sleep 60\n");
    shell.SetProgramQueryTimeout(100);
    EXPECT_GT(shell.ShellOpen(dir.File("talk.mp3")), 32);
    EXPECT_EQ(launcher.opened, 2);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

TEST(QtShellTest, TheHelpWindowClosesWithEscAndCtrlW) {
    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::CTRL, Qt::Key_W)}) {
        QtShell shell;
        shell.OpenHelp(false);
        QPointer<HelpWindow> help = shell.Help();
        // The document keeps the keys it reads with; the others reach its window.
        QTest::keyClick(help->Browser(), Qt::Key_PageDown);
        QTest::keyClick(help->Browser(), Qt::Key_W);
        EXPECT_TRUE(help->isVisible());
        QTest::keyClick(help->Browser(), key.key(), key.keyboardModifiers());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(help.isNull());
    }
}

TEST(QtShellTest, ProgressWindowOnlyFlagsCancelAndClosesWhenItsOwnerSays) {
    QtShell shell;
    std::unique_ptr<IProgressWindow> progress = shell.CreateProgressWindow();
    auto* handle = static_cast<ProgressWindowHandle*>(progress.get());
    QPointer<CProgressDlg> window = handle->Window();
    progress->SetRange(0, 2);
    progress->SetStep(1);
    progress->SetPosition(0);
    progress->Show();
    progress->SetText("[1/2] Converting a.swf...");
    progress->Step();
    EXPECT_EQ(window->size(), QSize(459, 106));
    EXPECT_EQ(window->Bar()->value(), 1);

    QTest::keyClick(window, Qt::Key_Escape);
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(progress->Cancelled());
    window->close();  // the window manager's close: a Cancel, the window stays
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(progress->Cancelled());

    progress->RequestClose();
    progress.reset();
    EXPECT_TRUE(window->isVisible());  // closed at the next dispatch, not before
    QCoreApplication::processEvents();  // the event loop's dispatch
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

}  // namespace
}  // namespace kelvora

#include "QtShellTest.moc"
