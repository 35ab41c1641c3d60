#pragma once

#include <cstdint>
#include <string>

#include "ui/Shell.h"

namespace kelvora {

// Opens a document or link with its associated program; when the desktop cannot, the web
// browser is started on it. Returns the shell's code: above 32 is success.
int32_t OpenDocument(Shell& shell, const std::string& target);

// Opens a file or folder of the lists with its program (with the web browser as well when
// `browserFallback`, as sources are played); when nothing opened it, a message box titled
// "Kelvora" names it and says why. True when it opened.
bool OpenWithDesktop(Shell& shell, const std::string& path, bool browserFallback);

// "Kelvora cannot open 'talk.mp3': no program is set for this kind of file." for a file or folder
// that the desktop answered `code` (a failure code of ShellErrorText) for.
std::string OpenFailureText(const std::string& path, int32_t code);

// Starts the desktop's web browser on `target` ($BROWSER, else x-www-browser).
// The target is one argument of its own: no shell and no splitting on spaces.
bool StartBrowserProcess(const std::string& target);

// The text of a link's failure report for a shell code ("Unable to open hyperlink:\n\n" and
// this), and the whole report.
std::string ShellErrorText(int32_t code);
std::string LinkFailureReport(int32_t code);

// The program's web and mail links.
std::string HomePageUrl();
std::string UpdateCheckUrl();
std::string SupportMailUrl();
std::string TellAFriendUrl();

}  // namespace kelvora
