#include "support/FakeShell.h"

#include <chrono>
#include <thread>

namespace kelvora::test {

MessageAnswer FakeShell::MessageBox(const std::string& text, MessageIcon icon,
                                    MessageButtons buttons) {
    messages.push_back({text, icon, buttons});
    if (!answers.empty()) {
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
}

bool FakeShell::FileDialog(const FileDialogRequest& request, std::vector<std::string>& chosen) {
    fileDialogs.push_back(request);
    if (fileDialogAnswers.empty() || !fileDialogAnswers.front()) {
        if (!fileDialogAnswers.empty()) {
            fileDialogAnswers.pop_front();
        }
        return false;
    }
    chosen = *fileDialogAnswers.front();
    fileDialogAnswers.pop_front();
    return true;
}

bool FakeShell::BrowseForFolder(const std::string& title, const std::string& initialFolder,
                                std::string& chosen) {
    folderDialogs.emplace_back(title, initialFolder);
    if (folderAnswers.empty() || !folderAnswers.front()) {
        if (!folderAnswers.empty()) {
            folderAnswers.pop_front();
        }
        return false;
    }
    chosen = *folderAnswers.front();
    folderAnswers.pop_front();
    return true;
}

int32_t FakeShell::ShellOpen(const std::string& target) {
    opened.push_back(target);
    return shellOpenResult;
}

bool FakeShell::StartBrowser(const std::string& target) {
    browsed.push_back(target);
    return browserStarts;
}

std::unique_ptr<IProgressWindow> FakeShell::CreateProgressWindow() {
    auto state = std::make_shared<FakeProgressState>();
    state->onShown = onProgressShown;
    progressWindows.push_back(state);
    return std::make_unique<FakeProgressWindow>(state);
}

bool FakeShell::BringHelpToFront() {
    if (helpOpen) {
        ++helpBroughtToFront;
    }
    return helpOpen;
}

void FakeShell::OpenHelp(bool maximised) {
    ++helpOpened;
    if (maximised) {
        ++helpMaximised;
    }
    helpOpen = true;
}

void FakeShell::CloseHelp() {
    ++helpClosed;
    helpOpen = false;
}

void FakeShell::RunMergeDialog(CMergeDlg& dialog) {
    ++mergeDialogs;
    if (onMergeDialog) {
        onMergeDialog(dialog);
    }
}

std::string FakeShell::ReadFolderSetting() {
    return settingsWork && folderSetting ? *folderSetting : "";
}

void FakeShell::WriteFolderSetting(const std::string& folder) {
    folderWrites.push_back(folder);
    if (settingsWork) {
        folderSetting = folder;
    }
}

void PressCancel(FakeProgressState& state) {
    const bool first = !state.cancelled;
    state.cancelled = true;
    if (first && state.onCancel) {
        state.onCancel();
    }
}

void FakeShell::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(m_postMutex);
        task();
        ++posted;
        if (onPosted) {
            onPosted(posted);
        }
    }
    m_postDone.notify_all();
}

void FakeShell::WaitFor(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(m_postMutex);
    m_postDone.wait(lock, done);
}

void FakeShell::ReadOptionSetting(OptionField& field) {
    if (const auto it = optionSettings.find(field.key);
        settingsWork && it != optionSettings.end()) {
        field.value = it->second;
    }
}

bool FakeShell::ReadFirstRunSetting(uint32_t& value) {
    if (!settingsWork) {
        return false;
    }
    value = firstRunSetting ? *firstRunSetting : 1;
    return true;
}

bool FakeShell::WriteFirstRunSetting(uint32_t value) {
    if (!settingsWork) {
        return false;
    }
    firstRunSetting = value;
    return true;
}

std::vector<std::string> FakeShell::MessageTexts() const {
    std::vector<std::string> texts;
    for (const Message& m : messages) {
        texts.push_back(m.text);
    }
    return texts;
}

}  // namespace kelvora::test
