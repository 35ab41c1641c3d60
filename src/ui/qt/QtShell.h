#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <chrono>

#include "ui/Shell.h"
#include "ui/qt/HelpWindow.h"

namespace kelvora {

// The file dialogs' filters in the toolkit's form: "SWF & FLV Files (*.swf *.flv)". A name that
// already ends with its patterns in brackets is kept as it is.
QStringList QtNameFilters(const std::vector<FileFilter>& filters);

// The desktop side of the Shell: message boxes, file and folder dialogs, the desktop's programs
// for documents and links, the file manager, the progress window, the help window, the About
// box, the merge window, and the two settings.
class QtShell : public Shell {
  public:
    QtShell();
    ~QtShell() override;
    QtShell(const QtShell&) = delete;
    QtShell& operator=(const QtShell&) = delete;

    // The window that owns the dialogs and that a batch disables.
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }
    // How long the desktop's table of default programs is given to tell whether it has a
    // program for a file; without an answer by then the file is opened all the same.
    void SetProgramQueryTimeout(int ms) { m_programQueryMs = ms; }
    HelpWindow* Help() const { return m_help; }

    MessageAnswer MessageBox(const std::string& text, MessageIcon icon,
                             MessageButtons buttons) override;
    bool FileDialog(const FileDialogRequest& request, std::vector<std::string>& chosen) override;
    bool BrowseForFolder(const std::string& title, const std::string& initialFolder,
                         std::string& chosen) override;
    int32_t ShellOpen(const std::string& target) override;
    bool StartBrowser(const std::string& target) override;
    void ShowInFileManager(const std::string& path) override;
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override;
    void Post(std::function<void()> task) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void EnableMainWindow(bool enable) override;
    void Beep() override;
    bool BringHelpToFront() override;
    void OpenHelp(bool maximised) override;
    void CloseHelp() override;
    void ShowAbout() override;
    void RunMergeDialog(CMergeDlg& dialog) override;
    void MinimizeMainWindow() override;
    void CloseMainWindow() override;
    std::string ReadFolderSetting() override;
    void WriteFolderSetting(const std::string& folder) override;
    bool ReadFirstRunSetting(uint32_t& value) override;
    bool WriteFirstRunSetting(uint32_t value) override;
    bool EditOptions(std::vector<OptionField>& fields) override;
    void ReadOptionSetting(OptionField& field) override;
    void WriteOptionSetting(const OptionField& field) override;

  private:
    // The window a dialog belongs to: the modal window in front, else the main window while it
    // takes input.
    QWidget* Owner() const;

    QPointer<QWidget> m_mainWindow;
    QPointer<HelpWindow> m_help;
    int m_waitDepth = 0;
    int m_programQueryMs = 3000;
};

}  // namespace kelvora
