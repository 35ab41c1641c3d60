#include "engine/OutputNaming.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "engine/File.h"
#include "engine/PathUtil.h"
#include "engine/PlatformFolders.h"

namespace kelvora {

namespace {

std::string Numbered(const char* format, const std::string& base, int32_t n, std::string_view ext) {
    const std::string extText(ext);
    const int len = std::snprintf(nullptr, 0, format, base.c_str(), n, extText.c_str());
    if (len < 0) {
        return {};
    }
    std::vector<char> buf(static_cast<size_t>(len) + 1);
    std::snprintf(buf.data(), buf.size(), format, base.c_str(), n, extText.c_str());
    return std::string(buf.data(), static_cast<size_t>(len));
}

std::string InFallbackFolder(std::string folder, SourceKind kind, const std::string& fileName) {
    if (folder.empty() || folder.back() != kPathSeparator) {
        folder += kPathSeparator;
    }
    folder += kind == SourceKind::Swf ? kSwfFallbackFolder : kFlvFallbackFolder;
    MakeFolder(folder);
    return folder + kPathSeparator + fileName;
}

enum class Claim { Made, Taken, Failed };

Claim ClaimFile(const std::string& name) {
    if (name.empty()) {
        return Claim::Failed;
    }
    int fd;
    do {
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return errno == EEXIST ? Claim::Taken : Claim::Failed;
    }
    ::close(fd);
    return Claim::Made;
}

// A name can be taken between the check and the creation only by another writer; a few more
// tries are enough, and the bound keeps a misbehaving file system from looping.
constexpr int kClaimTries = 64;

}  // namespace

// Claims the first name `next` gives that can be created; a name taken meanwhile by another
// writer moves on to the next one.
template <typename NextName>
std::string ClaimName(NextName next) {
    for (int i = 0; i < kClaimTries; ++i) {
        const std::string name = next();
        switch (ClaimFile(name)) {
            case Claim::Made:
                return name;
            case Claim::Failed:
                return {};
            case Claim::Taken:
                break;
        }
    }
    return {};
}

std::string ClaimSwfName(const std::string& base, int32_t& counter, std::string_view ext) {
    return ClaimName([&] { return NextSwfName(base, counter, ext); });
}

std::string ClaimFlvName(const std::string& base, std::string_view ext) {
    return ClaimName([&] { return NextFlvName(base, ext); });
}

namespace {

// Whether a new file can be made at the first free name for this base: the name is claimed
// (never over an existing file), closed and deleted again. A name that another writer claims
// meanwhile only moves the probe on, so only a folder that refuses new files fails it.
bool Probe(const std::string& base, SourceKind kind, int32_t& swfCounter) {
    const std::string name = kind == SourceKind::Swf ? ClaimSwfName(base, swfCounter, ".mp3")
                                                     : ClaimFlvName(base, ".mp3");
    if (name.empty()) {
        return false;
    }
    RemoveFile(name);
    return true;
}

}  // namespace

std::string NextSwfName(const std::string& base, int32_t& counter, std::string_view ext,
                        const TakenName& taken) {
    if (base.empty()) {
        return {};
    }
    for (;;) {
        std::string name = Numbered("%s_%03d%s", base, counter, ext);
        ++counter;
        if (!NameTaken(name) && !(taken && taken(name))) {
            return name;
        }
    }
}

std::string NextFlvName(const std::string& base, std::string_view ext, const TakenName& taken) {
    if (base.empty()) {
        return {};
    }
    std::string name = base + std::string(ext);
    for (int32_t n = 1; NameTaken(name) || (taken && taken(name)); ++n) {
        name = Numbered("%s_%d%s", base, n, ext);
    }
    return name;
}

std::string MakeOutputBase(const std::string& sourcePath, SourceKind kind, int32_t& swfCounter) {
    std::string base = sourcePath;
    if (const auto dot = base.rfind('.'); dot != std::string::npos) {
        base.erase(dot);
    }
    if (base.empty()) {
        return {};
    }
    if (Probe(base, kind, swfCounter)) {
        return base;
    }
    const std::string fileName = FileNamePart(base);
    std::string docs;
    if (DocumentsFolder(docs)) {
        base = InFallbackFolder(docs, kind, fileName);
        if (Probe(base, kind, swfCounter)) {
            return base;
        }
    }
    std::string programFolder;
    if (!ProgramFolder(programFolder)) {
        return {};
    }
    // The last place: kept even when its probe fails, so that later creations fail there.
    base = InFallbackFolder(programFolder, kind, fileName);
    Probe(base, kind, swfCounter);
    return base;
}

std::string PlannedOutputBase(const std::string& sourcePath, SourceKind kind) {
    std::string base = sourcePath;
    if (const auto dot = base.rfind('.'); dot != std::string::npos) {
        base.erase(dot);
    }
    const auto slash = base.rfind(kPathSeparator);
    const std::string folder = slash == std::string::npos ? "." : base.substr(0, slash + 1);
    if (base.empty() || ::access(folder.c_str(), W_OK | X_OK) == 0) {
        return base;
    }
    std::string docs;
    if (!DocumentsFolder(docs, false)) {
        return base;
    }
    return docs + kPathSeparator +
           std::string(kind == SourceKind::Swf ? kSwfFallbackFolder : kFlvFallbackFolder) +
           kPathSeparator + FileNamePart(base);
}

}  // namespace kelvora
