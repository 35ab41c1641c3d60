#pragma once

#include <cstdint>
#include <string>

#include "ui/Shell.h"

namespace kelvora {

// Opens a document or link with its associated program; when the desktop cannot, the web
// browser is started on it. Returns the shell's code: above 32 is success.
int32_t OpenDocument(Shell& shell, const std::string& target);

// Reads one level of a shortcut (a symbolic link): its target, a relative target taken from the
// link's folder. False when the path is no link or its target cannot be read.
bool ResolveShortcut(const std::string& path, std::string& target);

// Starts the desktop's web browser on `target` ($BROWSER, else x-www-browser, else xdg-open).
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
