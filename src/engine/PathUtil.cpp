#include "engine/PathUtil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace kelvora {

namespace fs = std::filesystem;

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool NameTaken(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FileNamePart(const std::string& path) {
    const auto slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionPart(const std::string& path) {
    const auto slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos) {
        return {};
    }
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < slash) {
        return {};
    }
    return path.substr(dot);
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool HasExtension(const std::string& path, std::string_view ext) {
    const std::string part = ExtensionPart(path);
    return !part.empty() && LowerAscii(part) == LowerAscii(ext);
}

bool ProgramFolder(std::string& folder) {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            return false;
        }
        if (static_cast<size_t>(n) < buf.size()) {
            std::string exe(buf.data(), static_cast<size_t>(n));
            const auto slash = exe.rfind(kPathSeparator);
            if (slash == std::string::npos) {
                return false;
            }
            folder = exe.substr(0, slash + 1);
            return true;
        }
        buf.resize(buf.size() * 2);
    }
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code ec;
    fs::path abs = fs::absolute(fs::path(path), ec);
    if (ec) {
        return path;
    }
    std::string out = abs.lexically_normal().string();
    // "dir/" normalises to "dir/"; keep a folder's trailing separator only where it was given.
    if (out.size() > 1 && out.back() == kPathSeparator && path.back() != kPathSeparator) {
        out.pop_back();
    }
    return out;
}

bool SamePath(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    if (a == b || AbsolutePath(a) == AbsolutePath(b)) {
        return true;
    }
    std::error_code ec;
    const bool same = fs::equivalent(fs::path(a), fs::path(b), ec);
    return !ec && same;
}

}  // namespace kelvora
