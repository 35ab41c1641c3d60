#include "app/CConverterApp.h"

#include <QApplication>
#include <QFileInfo>
#include <string>
#include <vector>

#include "engine/Version.h"
#include "ui/CMainDlg.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/QtShell.h"
#include "ui/qt/Resources.h"
#include "ui/skin/MainWindowSkin.h"

namespace kelvora {

int CConverterApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Dastrel"));
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    QApplication::setDesktopFileName(QStringLiteral("kelvora"));
    // The program ends with its main window, whatever other window is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    InitResources();
    QApplication::setWindowIcon(ProgramIcon());
    // The skin is light: its dialogs and message boxes keep to the same colours on a dark
    // desktop.
    QApplication::setPalette(SkinPalette());

    std::vector<std::string> paths;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        paths.push_back(QFileInfo(arguments.at(i)).absoluteFilePath().toStdString());
    }

    QtShell shell;
    int result = 0;
    {
        CMainDlg dlg(shell);
        MainWindow window(dlg);
        shell.SetMainWindow(&window);
        QObject::connect(&window, &MainWindow::Closed, &app, &QApplication::quit);
        window.show();
        window.Start();
        window.AddPaths(paths);
        result = QApplication::exec();
        // The window goes first, then the core, which asks the help window to close and
        // frees its records.
    }
    return result;
}

}  // namespace kelvora
