#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/ProgramOptions.h"
#include "ui/Shell.h"

namespace kelvora::test {

// A progress window that records what its owner shows in it.
struct FakeProgressState {
    std::function<void(FakeProgressState&)> onShown;  // the shell's hook, when it has one
    bool shown = false;
    bool closeRequested = false;
    bool cancelled = false;
    std::function<void()> onCancel;
    std::vector<std::string> texts;
    int32_t low = 0, high = 0, step = 0, position = 0;
    int32_t steps = 0;  // Step() calls
};

class FakeProgressWindow : public IProgressWindow {
  public:
    explicit FakeProgressWindow(std::shared_ptr<FakeProgressState> state)
        : m_state(std::move(state)) {}
    void Show() override {
        m_state->shown = true;
        if (m_state->onShown) {
            m_state->onShown(*m_state);
        }
    }
    void SetText(const std::string& text) override { m_state->texts.push_back(text); }
    void SetRange(int32_t low, int32_t high) override {
        m_state->low = low;
        m_state->high = high;
    }
    void SetStep(int32_t step) override { m_state->step = step; }
    void SetPosition(int32_t position) override { m_state->position = position; }
    void Step() override {
        m_state->position += m_state->step;
        ++m_state->steps;
    }
    bool Cancelled() const override { return m_state->cancelled; }
    void SetCancelHandler(std::function<void()> handler) override {
        m_state->onCancel = std::move(handler);
    }
    void RequestClose() override { m_state->closeRequested = true; }

  private:
    std::shared_ptr<FakeProgressState> m_state;
};

// Presses a progress window's Cancel: the flag, and its owner told at once.
void PressCancel(FakeProgressState& state);

// A Shell that answers from scripts and records every request, so that every flow of the
// program's logic runs without a display.
class FakeShell : public Shell {
  public:
    struct Message {
        std::string text;
        MessageIcon icon;
        MessageButtons buttons;
    };

    // Scripted answers; an empty script answers Ok / No, cancels dialogs, fails to open.
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::vector<std::string>>> fileDialogAnswers;
    std::deque<std::optional<std::string>> folderAnswers;
    int32_t shellOpenResult = 42;
    bool browserStarts = true;
    // Called when a progress window is shown (to press Cancel before anything starts, say).
    std::function<void(FakeProgressState&)> onProgressShown;
    std::function<void(CMergeDlg&)> onMergeDialog;

    // What was asked.
    std::vector<Message> messages;
    std::vector<FileDialogRequest> fileDialogs;
    std::vector<std::pair<std::string, std::string>> folderDialogs;  // title, initial folder
    std::vector<std::string> opened;                                 // ShellOpen targets
    std::vector<std::string> browsed;                                // StartBrowser targets
    std::vector<std::string> shownInFileManager;
    std::vector<std::shared_ptr<FakeProgressState>> progressWindows;
    std::vector<bool> mainWindowEnabled;  // each EnableMainWindow call
    int waitDepth = 0, waitCursors = 0, beeps = 0, posted = 0;
    int helpOpened = 0, helpMaximised = 0, helpClosed = 0, helpBroughtToFront = 0;
    bool helpOpen = false;
    int aboutShown = 0, minimized = 0, closed = 0, mergeDialogs = 0;

    // The settings store.
    std::optional<std::string> folderSetting;
    std::optional<uint32_t> firstRunSetting;
    bool settingsWork = true;
    std::vector<std::string> folderWrites;
    std::map<std::string, int32_t> optionSettings;  // by key; absent: never written
    // The Options window: changes the fields and answers OK (true) or Cancel; none: Cancel.
    std::function<bool(std::vector<OptionField>&)> onEditOptions;
    int optionsShown = 0;

    MessageAnswer MessageBox(const std::string& text, MessageIcon icon,
                             MessageButtons buttons) override;
    bool FileDialog(const FileDialogRequest& request, std::vector<std::string>& chosen) override;
    bool BrowseForFolder(const std::string& title, const std::string& initialFolder,
                         std::string& chosen) override;
    int32_t ShellOpen(const std::string& target) override;
    bool StartBrowser(const std::string& target) override;
    void ShowInFileManager(const std::string& path) override { shownInFileManager.push_back(path); }
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override;
    // Runs the task at once on the caller's thread, one task at a time (a worker's news of a
    // batch run before the worker goes on, so a test knows exactly where the batch stands).
    // `onPosted` is called after each with the number of tasks so far (to press Cancel, say).
    void Post(std::function<void()> task) override;
    std::function<void(int posted)> onPosted;
    // Waits until `done` holds, asked after every posted task (a batch running on its workers).
    void WaitFor(const std::function<bool()>& done);
    void BeginWaitCursor() override {
        ++waitDepth;
        ++waitCursors;
    }
    void EndWaitCursor() override { --waitDepth; }
    void EnableMainWindow(bool enable) override { mainWindowEnabled.push_back(enable); }
    void Beep() override { ++beeps; }
    bool BringHelpToFront() override;
    void OpenHelp(bool maximised) override;
    void CloseHelp() override;
    void ShowAbout() override { ++aboutShown; }
    void RunMergeDialog(CMergeDlg& dialog) override;
    void MinimizeMainWindow() override { ++minimized; }
    void CloseMainWindow() override { ++closed; }
    std::string ReadFolderSetting() override;
    void WriteFolderSetting(const std::string& folder) override;
    bool ReadFirstRunSetting(uint32_t& value) override;
    bool WriteFirstRunSetting(uint32_t value) override;
    bool EditOptions(std::vector<OptionField>& fields) override {
        ++optionsShown;
        return onEditOptions && onEditOptions(fields);
    }
    void ReadOptionSetting(OptionField& field) override;
    void WriteOptionSetting(const OptionField& field) override {
        optionSettings[field.key] = field.value;
    }

    // The texts of the messages shown, in order.
    std::vector<std::string> MessageTexts() const;

  private:
    std::mutex m_postMutex;
    std::condition_variable m_postDone;
};

}  // namespace kelvora::test
