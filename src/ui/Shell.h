#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvora {

class CMergeDlg;
struct OptionField;

inline constexpr const char* kProgramTitle = "Kelvora";

enum class MessageIcon { Information, Warning, Question };
enum class MessageButtons { Ok, YesNo, YesNoHelp };
enum class MessageAnswer { Ok, Yes, No };

// One filter of a file dialog: "SWF & FLV Files" with "*.swf;*.flv".
struct FileFilter {
    std::string name;
    std::string patterns;
};

struct FileDialogRequest {
    bool save = false;
    std::vector<FileFilter> filters;  // the first one is chosen
    std::string initialName;          // a proposed full path, or empty
    std::string defaultExtension;     // added to a typed name without one; empty: none
    bool multiSelect = false;         // open dialogs only
    bool mustExist = false;           // the chosen file (open) or its folder (save) must exist
    bool promptOverwrite = false;     // save dialogs: ask before an existing file is chosen
};

// The modeless progress window of long actions: a text line, a bar and a Cancel flag.
class IProgressWindow {
  public:
    virtual ~IProgressWindow() = default;
    virtual void Show() = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual void SetRange(int32_t low, int32_t high) = 0;
    virtual void SetStep(int32_t step) = 0;
    virtual void SetPosition(int32_t position) = 0;
    virtual void Step() = 0;
    virtual bool Cancelled() const = 0;
    // Called on the window's thread when Cancel is pressed, as soon as it is (work running on
    // other threads hears of it at once, not at its next look at Cancelled()).
    virtual void SetCancelHandler(std::function<void()> handler) = 0;
    // Asks the window to close at the next message dispatch; the owner does not use it after.
    virtual void RequestClose() = 0;
};

// Everything the program's logic asks of the user and of the desktop goes through this seam:
// the desktop program implements it with its toolkit, the tests with a recording fake.
class Shell {
  public:
    virtual ~Shell() = default;

    // A modal message box titled "Kelvora". A Help button shows help without answering; the
    // answer is Yes or No then.
    virtual MessageAnswer MessageBox(const std::string& text, MessageIcon icon,
                                     MessageButtons buttons) = 0;
    // The open or save dialog. True with the chosen full paths (one unless multiSelect).
    virtual bool FileDialog(const FileDialogRequest& request, std::vector<std::string>& chosen) = 0;
    // The folder picker, starting at `initialFolder`. True with the chosen folder.
    virtual bool BrowseForFolder(const std::string& title, const std::string& initialFolder,
                                 std::string& chosen) = 0;

    // Opens a file or a link with the program the desktop associates with it. The result is a
    // shell code: above 32 is success, 32 or less one of the failure codes of LinkErrorText.
    virtual int32_t ShellOpen(const std::string& target) = 0;
    // Starts the desktop's web browser on `target`; true when it started.
    virtual bool StartBrowser(const std::string& target) = 0;
    // Shows the file selected in the file manager (or its folder).
    virtual void ShowInFileManager(const std::string& path) = 0;

    virtual std::unique_ptr<IProgressWindow> CreateProgressWindow() = 0;
    // Runs `task` on the window's thread soon, after what is pending there; callable from any
    // thread. Long work runs on threads of its own and tells the window of its progress this
    // way: the window's thread runs only its event loop.
    virtual void Post(std::function<void()> task) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    virtual void EnableMainWindow(bool enable) = 0;
    virtual void Beep() = 0;

    // The help window "Kelvora Help": brought to the front when it is open (true), opened
    // (maximised or normal), and closed with the main window.
    virtual bool BringHelpToFront() = 0;
    virtual void OpenHelp(bool maximised) = 0;
    virtual void CloseHelp() = 0;
    virtual void ShowAbout() = 0;
    // Shows the "Merge MP3" window modally over the main window; returns when it is closed.
    virtual void RunMergeDialog(CMergeDlg& dialog) = 0;
    virtual void MinimizeMainWindow() = 0;
    virtual void CloseMainWindow() = 0;

    // The two settings: the folder last searched ("Folder", empty when absent) and the
    // first-run flag ("FirstRun", 1 when absent; false when the store cannot be read).
    virtual std::string ReadFolderSetting() = 0;
    virtual void WriteFolderSetting(const std::string& folder) = 0;
    virtual bool ReadFirstRunSetting(uint32_t& value) = 0;
    virtual bool WriteFirstRunSetting(uint32_t value) = 0;

    // The Options window over the main window, one control per field; true when the user
    // accepted it, with the fields holding the new values.
    virtual bool EditOptions(std::vector<OptionField>& fields) = 0;
    // A field's own setting: read into its value (kept when the setting is absent), written
    // from it (a check box as a bool).
    virtual void ReadOptionSetting(OptionField& field) = 0;
    virtual void WriteOptionSetting(const OptionField& field) = 0;
};

// Shows the wait cursor for its own lifetime.
class WaitCursor {
  public:
    explicit WaitCursor(Shell& shell) : m_shell(shell) { m_shell.BeginWaitCursor(); }
    ~WaitCursor() { m_shell.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    Shell& m_shell;
};

}  // namespace kelvora
