#include "ui/ShellHelpers.h"

#include <errno.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "convert/ColumnTexts.h"
#include "engine/PathUtil.h"
#include "engine/Version.h"

namespace kelvora {

namespace {

constexpr const char* kHomePage = "https://kelvora.example.com/";
constexpr const char* kSupportAddress = "support@kelvora.example.com";

// The full path of a program found on PATH, or empty.
std::string FindProgram(const std::string& program) {
    if (program.find(kPathSeparator) != std::string::npos) {
        return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0 && !IsFolder(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return {};
}

// Starts a program with one argument, detached (a grandchild of ours, so it leaves no zombie
// and outlives nothing of ours), without a shell.
bool Spawn(const std::string& program, const std::string& argument) {
    const std::string exe = FindProgram(program);
    if (exe.empty()) {
        return false;
    }
    char* const argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>(argument.c_str()),
                          nullptr};
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::setsid();
            ::execv(exe.c_str(), argv);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int32_t OpenDocument(Shell& shell, const std::string& target) {
    const int32_t result = shell.ShellOpen(target);
    if (result > 32) {
        return result;
    }
    return shell.StartBrowser(target) ? 33 : result;
}

bool OpenWithDesktop(Shell& shell, const std::string& path, bool browserFallback) {
    int32_t code = 0;
    {
        WaitCursor wait(shell);
        code = browserFallback ? OpenDocument(shell, path) : shell.ShellOpen(path);
    }
    if (code > 32) {
        return true;
    }
    shell.MessageBox(OpenFailureText(path, code), MessageIcon::Warning, MessageButtons::Ok);
    return false;
}

namespace {

// A link ("https://...", "mailto:...") rather than a path: a scheme of letters before a colon.
bool IsLink(const std::string& target) {
    const size_t colon = target.find(':');
    return colon != std::string::npos && colon > 1 &&
           std::all_of(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(colon),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::string OpenFailureText(const std::string& path, int32_t code) {
    // A file is named by its name; a link only by the whole of it (its last part may be a query).
    const bool link = IsLink(path);
    std::string name = link ? path : FileNamePart(path);
    if (name.empty()) {
        name = path;
    }
    const char* reason = nullptr;
    switch (code) {
        case 2:
        case 3:
            reason = "it was not found.";
            break;
        case 5:
            reason = "access to it is denied.";
            break;
        default:
            reason = link             ? "no program is set for this kind of link."
                     : IsFolder(path) ? "no program is set for folders."
                                      : "no program is set for this kind of file.";
            break;
    }
    return std::string(kProgramTitle) + " cannot open '" + name + "': " + reason;
}

bool StartBrowserProcess(const std::string& target) {
    // $BROWSER may list several programs separated by colons, the first that starts wins.
    if (const char* browsers = std::getenv("BROWSER"); browsers && *browsers) {
        std::string list = browsers;
        size_t start = 0;
        while (start <= list.size()) {
            const size_t end = list.find(':', start);
            const std::string program = list.substr(start, end - start);
            if (!program.empty() && Spawn(program, target)) {
                return true;
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }
    // xdg-open is no browser: it asks the same table of defaults that found nothing, and
    // tells nothing when it opens nothing.
    return Spawn("x-www-browser", target);
}

std::string ShellErrorText(int32_t code) {
    switch (code) {
        case 0:
            return "The operating system is out\nof memory or resources.";
        case 2:
            return "The specified file was not found.";
        case 3:
            return "The specified path was not found.";
        case 5:
            return "The operating system denied\naccess to the specified file.";
        case 8:
            return "There was not enough memory to complete the operation.";
        case 11:
            return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        case 26:
            return "A sharing violation occurred. ";
        case 27:
            return "The filename association is\nincomplete or invalid.";
        case 28:
            return "The DDE transaction could not\nbe completed because the request timed out.";
        case 29:
            return "The DDE transaction failed.";
        case 30:
            return "The DDE transaction could not\nbe completed because other DDE transactions\n"
                   "were being processed.";
        case 31:
            return "There is no application associated\nwith the given filename extension.";
        case 32:
            return "The specified dynamic-link library was not found.";
        default:
            return Format("Unknown Error (%d) occurred.", code);
    }
}

std::string LinkFailureReport(int32_t code) {
    return "Unable to open hyperlink:\n\n" + ShellErrorText(code);
}

std::string HomePageUrl() {
    return kHomePage;
}

std::string UpdateCheckUrl() {
    return std::string(kHomePage) + "checkforupdates/?ver=" + kVersionNumber +
           "&build=" + kBuildNumber;
}

std::string SupportMailUrl() {
    return std::string("mailto:") + kSupportAddress;
}

std::string TellAFriendUrl() {
    // Plain text, as the mail program is given it: no percent-encoding.
    return std::string("mailto:?subject=Kelvora - very COOL application!!!&body=Download from ") +
           kHomePage;
}

}  // namespace kelvora
