#include "engine/PathUtil.h"

#include <sys/stat.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
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

namespace {

// A link's target as an absolute path. Text normalisation is kept to targets without "..": in
// "dir/../x" the ".." is the parent of wherever "dir" leads, which is another folder when "dir"
// is itself a link, so such a target's folder is asked of the file system instead.
std::string LinkTargetPath(const std::string& joined) {
    bool hasParentStep = false;
    size_t start = 0;
    while (start <= joined.size()) {
        const size_t end = std::min(joined.find(kPathSeparator, start), joined.size());
        if (joined.compare(start, end - start, "..") == 0) {
            hasParentStep = true;
            break;
        }
        start = end + 1;
    }
    if (!hasParentStep) {
        return AbsolutePath(joined);
    }
    // The last component is kept as it is: it may be a link that the caller judges itself.
    const size_t slash = joined.rfind(kPathSeparator);
    const std::string leaf = slash == std::string::npos ? joined : joined.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string(1, kPathSeparator)
                                                          : joined.substr(0, slash);
    const bool leafIsStep = leaf == "." || leaf == "..";
    char* real = ::realpath((leafIsStep ? joined : folder).c_str(), nullptr);
    if (!real) {
        return AbsolutePath(joined);  // a dangling target: the text is all there is
    }
    std::string out = real;
    std::free(real);
    if (!leafIsStep) {
        out = (out.back() == kPathSeparator ? out : out + kPathSeparator) + leaf;
    }
    return out;
}

}  // namespace

bool ResolveShortcut(const std::string& path, std::string& target) {
    target.clear();
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0) {
            return false;
        }
        if (static_cast<size_t>(n) < buf.size()) {
            std::string link(buf.data(), static_cast<size_t>(n));
            if (link.empty()) {
                return false;
            }
            if (link.front() != kPathSeparator) {
                const auto slash = path.rfind(kPathSeparator);
                link =
                    (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + link;
            }
            target = LinkTargetPath(link);
            return true;
        }
        buf.resize(buf.size() * 2);
    }
}

}  // namespace kelvora
