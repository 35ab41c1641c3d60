#include "ui/MergePrompts.h"

#include "ui/ShellHelpers.h"

namespace kelvora {

namespace {

// The merge window's answers: message boxes, the save dialog, the wait cursor.
class ShellPrompts : public IMergePrompts {
  public:
    explicit ShellPrompts(Shell& shell) : m_shell(shell) {}

    void SetBusy(bool busy) override {
        if (busy) {
            m_shell.BeginWaitCursor();
        } else {
            m_shell.EndWaitCursor();
        }
    }
    void Notify(const std::string& text) override {
        m_shell.MessageBox(text, MessageIcon::Warning, MessageButtons::Ok);
    }
    bool IgnoreEncodingDifference(const std::string& question) override {
        return m_shell.MessageBox(question, MessageIcon::Question, MessageButtons::YesNoHelp) ==
               MessageAnswer::Yes;
    }
    bool ChooseTarget(const std::string& proposed, std::string& target) override {
        FileDialogRequest request;
        request.save = true;
        request.filters = {{"MP3 File (*.mp3)", "*.mp3"}};
        request.initialName = proposed;
        request.defaultExtension = ".mp3";
        request.mustExist = true;
        request.promptOverwrite = true;
        std::vector<std::string> chosen;
        if (!m_shell.FileDialog(request, chosen) || chosen.empty() || chosen.front().empty()) {
            return false;
        }
        target = chosen.front();
        return true;
    }
    void Merged(int32_t count, const std::string& target) override {
        const MessageAnswer answer = m_shell.MessageBox(
            MergeSuccessQuestion(count, target), MessageIcon::Information, MessageButtons::YesNo);
        if (answer == MessageAnswer::Yes) {
            OpenWithDesktop(m_shell, target, false);
        }
    }

  private:
    Shell& m_shell;
};

}  // namespace

MergeOutcome RunMergeWithShell(const CMp3Merger& merger, Shell& shell) {
    ShellPrompts prompts(shell);
    return merger.Run(prompts);
}

}  // namespace kelvora
