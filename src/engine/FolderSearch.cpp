#include "engine/FolderSearch.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "engine/PathUtil.h"

namespace kelvora {

namespace {

// The entries of one folder, sorted by name within each group.
struct FolderEntries {
    std::vector<std::string> subfolders;
    std::vector<std::string> swfFiles;
    std::vector<std::string> flvFiles;
    std::vector<std::string> exeFiles;  // projectors, when they are searched for
    std::vector<std::string> links;     // links whose own name is no SWF or FLV name
};

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kPathSeparator) {
        return folder + name;
    }
    return folder + kPathSeparator + name;
}

// Reads a folder once; false when it cannot be opened.
bool ReadFolder(const std::string& folder, bool projectors, FolderEntries& out) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = Join(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            continue;  // gone meanwhile
        }
        const bool swf = HasExtension(path, ".swf");
        const bool flv = HasExtension(path, ".flv");
        if (S_ISDIR(st.st_mode)) {
            out.subfolders.push_back(path);
        } else if (swf || flv) {
            // A link named like a movie is taken as the file it stands for, unless it leads to a
            // folder.
            if (!S_ISLNK(st.st_mode) || !IsFolder(path)) {
                (swf ? out.swfFiles : out.flvFiles).push_back(path);
            }
        } else if (projectors && S_ISREG(st.st_mode) && HasExtension(path, ".exe")) {
            out.exeFiles.push_back(path);
        } else if (S_ISLNK(st.st_mode)) {
            out.links.push_back(path);
        }
    }
    ::closedir(dir);
    std::sort(out.subfolders.begin(), out.subfolders.end());
    std::sort(out.swfFiles.begin(), out.swfFiles.end());
    std::sort(out.flvFiles.begin(), out.flvFiles.end());
    std::sort(out.exeFiles.begin(), out.exeFiles.end());
    std::sort(out.links.begin(), out.links.end());
    return true;
}

// The target of a shortcut found by the search: followed once, so a link to a folder, to
// another link or to nothing is skipped.
bool ShortcutTarget(const std::string& link, std::string& target) {
    if (!ResolveShortcut(link, target) || !IsSwfOrFlvName(target)) {
        return false;
    }
    struct stat st {};
    return ::lstat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode);
}

// The search root as an absolute path without trailing separators. ".." is kept as written:
// resolving it by text could name another folder when a link precedes it.
std::string SearchRoot(const std::string& folder) {
    std::string root = folder;
    if (!root.empty() && root.front() != kPathSeparator) {
        std::vector<char> cwd(4096);
        while (!::getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE) {
                return root;
            }
            cwd.resize(cwd.size() * 2);
        }
        root = Join(cwd.data(), root);
    }
    while (root.size() > 1 && root.back() == kPathSeparator) {
        root.pop_back();
    }
    return root;
}

}  // namespace

bool IsSwfOrFlvName(const std::string& path) {
    return HasExtension(path, ".swf") || HasExtension(path, ".flv");
}

void FolderSearch(const std::string& folder, std::vector<std::string>& paths, bool projectors) {
    if (folder.empty()) {
        return;
    }
    // Visiting each folder as it is taken from the stack, its subfolders pushed in reverse,
    // gives the depth-first order: a folder, everything below it, then its next sibling.
    std::vector<std::string> stack{SearchRoot(folder)};
    // Links are never entered, but a bind mount can still show a folder inside itself.
    std::set<std::pair<dev_t, ino_t>> visited;
    while (!stack.empty()) {
        const std::string current = std::move(stack.back());
        stack.pop_back();
        struct stat st {};
        if (::stat(current.c_str(), &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) {
            continue;
        }
        FolderEntries entries;
        if (!ReadFolder(current, projectors, entries)) {
            continue;
        }
        paths.insert(paths.end(), entries.swfFiles.begin(), entries.swfFiles.end());
        paths.insert(paths.end(), entries.flvFiles.begin(), entries.flvFiles.end());
        paths.insert(paths.end(), entries.exeFiles.begin(), entries.exeFiles.end());
        for (const std::string& link : entries.links) {
            std::string target;
            if (ShortcutTarget(link, target)) {
                paths.push_back(target);
            }
        }
        stack.insert(stack.end(), entries.subfolders.rbegin(), entries.subfolders.rend());
    }
}

}  // namespace kelvora
