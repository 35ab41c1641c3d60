#include "app/CConverterApp.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "engine/Version.h"
#include "ui/CMainDlg.h"
#include "ui/ProgramOptions.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/QtShell.h"
#include "ui/qt/Resources.h"
#include "ui/skin/MainWindowSkin.h"

namespace kelvora {

namespace {

enum ExitStatus { kExitOk = 0, kExitNoDisplay = 1, kExitUsage = 2 };

void Print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// While the application object is made, the toolkit's messages are held back: when no platform
// plugin can open a display it reports several lines and aborts, and the user gets one line and
// status 1 instead. When the display opens, the messages held are passed on as they came.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler g_previousHandler = nullptr;
std::vector<HeldMessage>* g_heldMessages = nullptr;
std::mutex g_heldMutex;  // a plugin may report from a thread of its own

void PassOn(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_previousHandler) {
        g_previousHandler(type, context, text);
    } else {
        qt_message_output(type, context, text);
    }
}

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::lock_guard<std::mutex> lock(g_heldMutex);
    if (type == QtFatalMsg) {
        Print(stderr, NoDisplayText());
        std::_Exit(kExitNoDisplay);  // nothing of the half-made application is run down
    }
    if (g_heldMessages) {
        g_heldMessages->push_back({type, QByteArray(context.category), text});
    } else {
        PassOn(type, context, text);  // a late report from another thread
    }
}

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv) {
    std::vector<HeldMessage> held;
    g_heldMessages = &held;
    g_previousHandler = qInstallMessageHandler(HoldMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(g_previousHandler);
    {
        const std::lock_guard<std::mutex> lock(g_heldMutex);
        g_heldMessages = nullptr;
    }
    for (const HeldMessage& m : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.category.constData());
        PassOn(m.type, context, m.text);
    }
    return app;
}

void BringToFront(QWidget& window) {
    if (window.isMinimized()) {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    }
    window.show();
    window.raise();
    window.activateWindow();
    // A question or the merge window over it stays in front of it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

std::vector<std::string> StdPaths(const QStringList& paths) {
    std::vector<std::string> out;
    for (const QString& path : paths) {
        out.push_back(path.toStdString());
    }
    return out;
}

}  // namespace

int CConverterApp::Run(int argc, char** argv) {
    // --help and --version need no display: they are answered before the toolkit starts.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments << QString::fromLocal8Bit(argv[i]);
    }
    const CommandLine early = ParseCommandLine(rawArguments);
    if (early.action == CommandLine::Action::Help) {
        Print(stdout, HelpText());
        return kExitOk;
    }
    if (early.action == CommandLine::Action::Version) {
        Print(stdout, VersionText());
        return kExitOk;
    }
    if (early.action == CommandLine::Action::UsageError) {
        Print(stderr, UsageErrorText(early.error));
        return kExitUsage;
    }
    if (!MayOpenDisplay(rawArguments, QProcessEnvironment::systemEnvironment())) {
        Print(stderr, NoDisplayText());
        return kExitNoDisplay;
    }

    const std::unique_ptr<QApplication> app = MakeApplication(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Dastrel"));
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    QApplication::setDesktopFileName(QStringLiteral("kelvora"));

    // The toolkit has taken its own options (-platform, -style...) out of the arguments.
    const CommandLine command = ParseCommandLine(QApplication::arguments());
    if (command.action == CommandLine::Action::UsageError) {
        Print(stderr, UsageErrorText(command.error));
        return kExitUsage;
    }

    // Every start opens its own window unless the user chose one window: then a later start
    // hands its files to the window already open.
    QtShell shell;
    OptionField singleWindow;
    singleWindow.key = kSingleWindowKey;
    singleWindow.value = DefaultProgramOptions().singleWindow ? 1 : 0;
    shell.ReadOptionSetting(singleWindow);
    SingleInstance instance(singleWindow.value != 0 ? SingleInstance::SocketPathFor(
                                                          QProcessEnvironment::systemEnvironment())
                                                    : QString());
    if (instance.Start(command.paths) == SingleInstance::Role::HandedOver) {
        return kExitOk;
    }

    // The program ends with its main window, whatever other window is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    InitResources();
    QApplication::setWindowIcon(ProgramIcon());
    // The skin is light: its dialogs and message boxes keep to the same colours on a dark
    // desktop.
    QApplication::setPalette(SkinPalette());

    int result = 0;
    {
        CMainDlg dlg(shell);
        MainWindow window(dlg);
        shell.SetMainWindow(&window);
        QObject::connect(&window, &MainWindow::Closed, app.get(), &QApplication::quit);
        QObject::connect(&instance, &SingleInstance::PathsReceived, &window,
                         [&window](const QStringList& paths) {
                             // Added as dropped ones are: a window modal over the main one (a
                             // question, the merge window) keeps its lists until it closes.
                             BringToFront(window);
                             window.AddPaths(StdPaths(paths));
                         });
        window.show();
        window.Start();
        window.AddPaths(StdPaths(command.paths));
        result = QApplication::exec();
        // The window goes first, then the core, which asks the help window to close and
        // frees its records.
    }
    return result;
}

}  // namespace kelvora
