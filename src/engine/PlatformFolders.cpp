#include "engine/PlatformFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "engine/PathUtil.h"

namespace kelvora {

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) {
        return pw->pw_dir;
    }
    return {};
}

// One line of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents" (shell quoting, $HOME only).
std::string ParseUserDirsLine(const std::string& line, const std::string& home) {
    const std::string key = "XDG_DOCUMENTS_DIR=";
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) {
        return {};
    }
    std::string value = line.substr(start + key.size());
    while (!value.empty() &&
           (value.back() == '\r' || value.back() == ' ' || value.back() == '\t')) {
        value.pop_back();
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) {
        value = home + value.substr(5);
    } else if (value.empty() || value.front() != '/') {
        return {};  // only absolute paths or $HOME-relative ones are valid here
    }
    while (value.size() > 1 && value.back() == '/') {
        value.pop_back();
    }
    return value;
}

}  // namespace

bool DocumentsFolder(std::string& folder, bool create) {
    const std::string home = HomeFolder();
    if (home.empty()) {
        return false;
    }
    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        configHome = xdg;
    } else {
        configHome = home + "/.config";
    }
    std::string docs;
    std::ifstream dirs(configHome + "/user-dirs.dirs");
    for (std::string line; std::getline(dirs, line);) {
        if (std::string parsed = ParseUserDirsLine(line, home); !parsed.empty()) {
            docs = parsed;
        }
    }
    // A documents folder set to the home folder itself means "none set" in the XDG convention.
    if (docs.empty() || docs == home) {
        docs = home + "/Documents";
    }
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(docs, ec);
        if (!IsFolder(docs)) {
            return false;
        }
    }
    folder = docs;
    return true;
}

}  // namespace kelvora
