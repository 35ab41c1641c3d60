#include "ui/qt/QtShell.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "ui/ShellHelpers.h"
#include "ui/qt/AboutDialog.h"
#include "ui/qt/CProgressDlg.h"
#include "ui/qt/HelpWindow.h"
#include "ui/qt/MergeWindow.h"
#include "ui/qt/OptionsDialog.h"

namespace kelvora {

namespace {

constexpr int32_t kOpened = 42;
constexpr int32_t kFileNotFound = 2;
constexpr int32_t kNoAssociation = 31;  // "There is no application associated..."
constexpr int kFileManagerTimeoutMs = 3000;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The settings of the program: organisation "Dastrel", application "Kelvora", group "Options".
struct OptionsSettings {
    QSettings settings{QStringLiteral("Dastrel"), QStringLiteral("Kelvora")};
    OptionsSettings() { settings.beginGroup(QStringLiteral("Options")); }
};

// A web or mail link has a scheme; anything else is a file.
QUrl TargetUrl(const std::string& target) {
    const QString text = Q(target);
    const QUrl url(text, QUrl::TolerantMode);
    if (!text.startsWith(QLatin1Char('/')) && url.isValid() && url.scheme().size() > 1) {
        return url;
    }
    return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

// Whether the desktop has a program for a kind of file (a MIME type, or "x-scheme-handler/..."
// for a link). The launcher (xdg-open) starts whatever it is given and tells nothing when no
// program takes it, so the desktop's own table of defaults is asked first; without that tool,
// or when it does not answer in time, the answer is yes. Kelvora itself is no program to hand
// a file to: it would only add the file to its list.
bool DesktopHasProgramFor(const QString& type, int timeoutMs) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(timeoutMs) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        return true;  // no answer is no reason to refuse
    }
    const QString program = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    return !program.isEmpty() && program != QStringLiteral("kelvora.desktop");
}

QString TypeOf(const QUrl& url) {
    return url.isLocalFile() ? QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name()
                             : QStringLiteral("x-scheme-handler/") + url.scheme();
}

// Opens the file's folder; when nothing opens it, a message box over `owner` says so.
void OpenContainingFolder(const QString& path, QWidget* owner, int timeoutMs) {
    const QString folder = QFileInfo(path).absolutePath();
    const QUrl url = QUrl::fromLocalFile(folder);
    if (DesktopHasProgramFor(TypeOf(url), timeoutMs) && QDesktopServices::openUrl(url)) {
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kProgramTitle),
                    Q(OpenFailureText(folder.toStdString(), kNoAssociation)), QMessageBox::Ok,
                    owner);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

}  // namespace

QStringList QtNameFilters(const std::vector<FileFilter>& filters) {
    QStringList out;
    for (const FileFilter& filter : filters) {
        QString patterns = Q(filter.patterns);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString name = Q(filter.name);
        const QString suffix = QStringLiteral("(") + patterns + QStringLiteral(")");
        out << (name.endsWith(suffix) ? name : name + QLatin1Char(' ') + suffix);
    }
    return out;
}

QtShell::QtShell() = default;

QtShell::~QtShell() {
    delete m_help.data();
}

QWidget* QtShell::Owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return m_mainWindow && m_mainWindow->isEnabled() ? m_mainWindow.data() : nullptr;
}

namespace {

// A text taller than most of the screen (the report of a thousand files that failed to load)
// scrolls inside the box, so that its buttons stay on the screen.
void LetLongTextScroll(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    if (!label || !grid || !screen) {
        return;
    }
    const int room = screen->availableGeometry().height() * 3 / 5;
    if (label->sizeHint().height() <= room) {
        return;
    }
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
    grid->removeWidget(label);
    auto* scroll = new QScrollArea(&box);
    scroll->setObjectName(QStringLiteral("kelvora_msgbox_scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(label);
    scroll->setFixedHeight(room);
    scroll->setMinimumWidth(label->sizeHint().width() +
                            scroll->verticalScrollBar()->sizeHint().width());
    grid->addWidget(scroll, row, column, rows, columns);
}

}  // namespace

MessageAnswer QtShell::MessageBox(const std::string& text, MessageIcon icon,
                                  MessageButtons buttons) {
    const QMessageBox::Icon qicon = icon == MessageIcon::Information ? QMessageBox::Information
                                    : icon == MessageIcon::Warning   ? QMessageBox::Warning
                                                                     : QMessageBox::Question;
    QWidget* owner = Owner();
    QMessageBox box(qicon, QString::fromLatin1(kProgramTitle), Q(text), QMessageBox::NoButton,
                    owner);
    // Modal to its own window only, so that a help window opened meanwhile can be read.
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    QAbstractButton* yes = nullptr;
    QAbstractButton* no = nullptr;
    if (buttons == MessageButtons::Ok) {
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
    } else {
        yes = box.addButton(QMessageBox::Yes);
        no = box.addButton(QMessageBox::No);
        box.setDefaultButton(static_cast<QPushButton*>(yes));
        box.setEscapeButton(no);
        if (buttons == MessageButtons::YesNoHelp) {
            // Help shows the help and leaves the question open: the button is taken from the
            // box's own handling, which would end the box with it.
            QPushButton* help = box.addButton(QStringLiteral("&Help"), QMessageBox::HelpRole);
            QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
            QObject::connect(help, &QAbstractButton::clicked, &box, [this] {
                if (!BringHelpToFront()) {
                    OpenHelp(false);
                }
            });
        }
    }
    LetLongTextScroll(box);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    return clicked == yes ? MessageAnswer::Yes : MessageAnswer::No;
}

bool QtShell::FileDialog(const FileDialogRequest& request, std::vector<std::string>& chosen) {
    QWidget* owner = Owner();
    QFileDialog dialog(owner);
    dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save) {
        dialog.setFileMode(QFileDialog::AnyFile);
    } else if (request.multiSelect) {
        dialog.setFileMode(QFileDialog::ExistingFiles);
    } else {
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    const QStringList filters = QtNameFilters(request.filters);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.front());
    }
    if (!request.defaultExtension.empty()) {
        QString suffix = Q(request.defaultExtension);
        if (suffix.startsWith(QLatin1Char('.'))) {
            suffix.remove(0, 1);
        }
        dialog.setDefaultSuffix(suffix);  // added to a typed name without an extension
    }
    if (request.save && !request.promptOverwrite) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (!request.initialName.empty()) {
        const QFileInfo initial(Q(request.initialName));
        if (initial.isAbsolute()) {
            dialog.setDirectory(initial.absolutePath());
        }
        dialog.selectFile(initial.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    chosen.clear();
    for (const QString& file : dialog.selectedFiles()) {
        chosen.push_back(file.toStdString());
    }
    return !chosen.empty();
}

bool QtShell::BrowseForFolder(const std::string& title, const std::string& initialFolder,
                              std::string& chosen) {
    const QString folder = QFileDialog::getExistingDirectory(Owner(), Q(title), Q(initialFolder),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return false;
    }
    chosen = folder.toStdString();
    return true;
}

int32_t QtShell::ShellOpen(const std::string& target) {
    const QUrl url = TargetUrl(target);
    // The desktop's launcher starts whatever it is given and tells nothing of a missing file.
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
        return kFileNotFound;
    }
    if (!DesktopHasProgramFor(TypeOf(url), m_programQueryMs)) {
        return kNoAssociation;
    }
    return QDesktopServices::openUrl(url) ? kOpened : kNoAssociation;
}

bool QtShell::StartBrowser(const std::string& target) {
    return StartBrowserProcess(target);
}

// The file manager shows the file selected when one answers on the session bus; otherwise the
// file's folder is opened. The call does not hold up the window.
void QtShell::ShowInFileManager(const std::string& path) {
    const QString file = Q(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        OpenContainingFolder(file, Owner(), m_programQueryMs);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString()}
         << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kFileManagerTimeoutMs), qApp);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, qApp,
        [file, window = m_mainWindow, timeoutMs = m_programQueryMs](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (w->isError()) {
                OpenContainingFolder(file, window, timeoutMs);
            }
        });
}

std::unique_ptr<IProgressWindow> QtShell::CreateProgressWindow() {
    return std::make_unique<ProgressWindowHandle>(new CProgressDlg(m_mainWindow));
}

// Queued to the application object: the task runs in the event loop of the window's thread,
// whatever thread posts it.
void QtShell::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
}

void QtShell::BeginWaitCursor() {
    ++m_waitDepth;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void QtShell::EndWaitCursor() {
    if (m_waitDepth > 0) {
        --m_waitDepth;
        QApplication::restoreOverrideCursor();
    }
}

void QtShell::EnableMainWindow(bool enable) {
    if (m_mainWindow) {
        m_mainWindow->setEnabled(enable);
    }
}

void QtShell::Beep() {
    QApplication::beep();
}

bool QtShell::BringHelpToFront() {
    if (!m_help) {
        return false;
    }
    if (m_help->isMinimized()) {
        m_help->setWindowState(m_help->windowState() & ~Qt::WindowMinimized);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
    return true;
}

void QtShell::OpenHelp(bool maximised) {
    if (!m_help) {
        m_help = new HelpWindow();
    }
    if (maximised) {
        m_help->showMaximized();
    } else {
        m_help->showNormal();
    }
    m_help->raise();
    m_help->activateWindow();
}

void QtShell::CloseHelp() {
    if (m_help) {
        m_help->close();  // it frees itself
    }
}

void QtShell::ShowAbout() {
    QWidget* owner = Owner();
    AboutDialog about(*this, owner);
    about.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    about.exec();
}

bool QtShell::EditOptions(std::vector<OptionField>& fields) {
    QWidget* owner = Owner();
    OptionsDialog dialog(fields, owner);
    dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    fields = dialog.Fields();
    return true;
}

void QtShell::ReadOptionSetting(OptionField& field) {
    OptionsSettings options;
    const QVariant stored = options.settings.value(Q(field.key));
    if (!stored.isValid()) {
        return;
    }
    bool ok = false;
    if (field.kind == OptionField::Kind::Check) {
        const QString text = stored.toString().toLower();
        if (text == QStringLiteral("true") || text == QStringLiteral("false")) {
            field.value = text == QStringLiteral("true") ? 1 : 0;
            return;
        }
    }
    // A value that is no number, or out of range, leaves the default.
    const int value = stored.toInt(&ok);
    if (ok && value >= field.minimum && value <= field.maximum) {
        field.value = value;
    }
}

void QtShell::WriteOptionSetting(const OptionField& field) {
    OptionsSettings options;
    if (field.kind == OptionField::Kind::Check) {
        options.settings.setValue(Q(field.key), field.value != 0);
    } else {
        options.settings.setValue(Q(field.key), field.value);
    }
    options.settings.sync();
}

void QtShell::RunMergeDialog(CMergeDlg& dialog) {
    QWidget* owner = Owner();
    MergeWindow window(dialog, owner);
    // Modal over the main window only: the help window stays usable beside it.
    window.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    window.exec();
}

void QtShell::MinimizeMainWindow() {
    if (QWidget* window = m_mainWindow) {
        QTimer::singleShot(0, window, [window] { window->showMinimized(); });
    }
}

void QtShell::CloseMainWindow() {
    if (QWidget* window = m_mainWindow) {
        QTimer::singleShot(0, window, [window] { window->close(); });
    }
}

std::string QtShell::ReadFolderSetting() {
    OptionsSettings options;
    return options.settings.value(QStringLiteral("Folder")).toString().toStdString();
}

void QtShell::WriteFolderSetting(const std::string& folder) {
    OptionsSettings options;
    options.settings.setValue(QStringLiteral("Folder"), Q(folder));
    options.settings.sync();
}

bool QtShell::ReadFirstRunSetting(uint32_t& value) {
    OptionsSettings options;
    if (options.settings.status() != QSettings::NoError) {
        return false;
    }
    // A value that is not a number counts as not shown yet.
    bool ok = false;
    const uint stored = options.settings.value(QStringLiteral("FirstRun"), 1u).toUInt(&ok);
    value = ok ? stored : 1;
    return true;
}

bool QtShell::WriteFirstRunSetting(uint32_t value) {
    OptionsSettings options;
    options.settings.setValue(QStringLiteral("FirstRun"), value);
    options.settings.sync();
    return options.settings.status() == QSettings::NoError;
}

}  // namespace kelvora
