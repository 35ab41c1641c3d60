#include "engine/OutputNaming.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "engine/ConversionOptions.h"
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

enum class Claim { Made, Taken, Failed };

std::atomic<ClaimRecorder*> g_recorder{nullptr};

// Creates the file, create-exclusive; its descriptor goes to `held` when given, so that the
// output is written through the very file its name was claimed with (a link put at the name
// meanwhile is never followed), else it is closed at once.
Claim ClaimFile(const std::string& name, CFile* held) {
    if (name.empty()) {
        return Claim::Failed;
    }
    ClaimRecorder* recorder = g_recorder.load();
    if (recorder) {
        recorder->Claiming(name, false);
    }
    CFile file;
    if (!file.CreateNew(name)) {
        return errno == EEXIST ? Claim::Taken : Claim::Failed;
    }
    struct stat made {};
    if (recorder && ::fstat(file.Fd(), &made) == 0) {
        recorder->Claimed(name, made.st_dev, made.st_ino);
    }
    if (held) {
        *held = std::move(file);
    }
    return Claim::Made;
}

Claim ClaimFolder(const std::string& name) {
    if (name.empty()) {
        return Claim::Failed;
    }
    ClaimRecorder* recorder = g_recorder.load();
    if (recorder) {
        recorder->Claiming(name, true);
    }
    if (::mkdir(name.c_str(), 0777) == 0) {
        struct stat made {};
        if (recorder && ::lstat(name.c_str(), &made) == 0) {
            recorder->Claimed(name, made.st_dev, made.st_ino);
        }
        return Claim::Made;
    }
    return errno == EEXIST ? Claim::Taken : Claim::Failed;
}

// A name can be taken between the check and the creation only by another writer; a few more
// tries are enough, and the bound keeps a misbehaving file system from looping.
constexpr int kClaimTries = 64;

}  // namespace

void SetClaimRecorder(ClaimRecorder* recorder) {
    g_recorder.store(recorder);
}

// Claims the first name `next` gives that `claim` can create; a name taken meanwhile by another
// writer moves on to the next one.
template <typename NextName, typename MakeClaim>
std::string ClaimName(NextName next, MakeClaim claim) {
    for (int i = 0; i < kClaimTries; ++i) {
        const std::string name = next();
        switch (claim(name)) {
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

std::string ClaimFolderName(const std::string& base) {
    return ClaimName([&] { return PlannedFolderName(base); }, ClaimFolder);
}

std::string PlannedFolderName(const std::string& base) {
    return NextFlvName(base, "");
}

std::string ClaimSwfName(const std::string& base, int32_t& counter, std::string_view ext,
                         CFile* held) {
    return ClaimName([&] { return NextSwfName(base, counter, ext); },
                     [&](const std::string& name) { return ClaimFile(name, held); });
}

std::string ClaimFlvName(const std::string& base, std::string_view ext, CFile* held) {
    return ClaimName([&] { return NextFlvName(base, ext); },
                     [&](const std::string& name) { return ClaimFile(name, held); });
}

namespace {

// A projector's outputs are its movie's: numbered, and in the movies' fallback folder.
bool GivesMovieNames(SourceKind kind) {
    return kind == SourceKind::Swf || kind == SourceKind::Projector;
}

// Whether a new file can be made at the first free name for this base: the name is claimed
// (never over an existing file), closed and deleted again. A name that another writer claims
// meanwhile only moves the probe on, so only a folder that refuses new files fails it.
bool Probe(const std::string& base, SourceKind kind, int32_t& swfCounter) {
    const std::string name =
        GivesMovieNames(kind) ? ClaimSwfName(base, swfCounter, ".mp3") : ClaimFlvName(base, ".mp3");
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

namespace {

std::string WithoutExtension(const std::string& path) {
    std::string base = path;
    if (const auto dot = base.rfind('.'); dot != std::string::npos) {
        base.erase(dot);
    }
    return base;
}

std::string FallbackFolder(std::string folder, SourceKind kind) {
    if (folder.empty() || folder.back() != kPathSeparator) {
        folder += kPathSeparator;
    }
    return folder + std::string(GivesMovieNames(kind) ? kSwfFallbackFolder : kFlvFallbackFolder);
}

// The places a source's outputs may go, in order: beside it, the documents folder's fallback
// folder, the program folder's. `takes(base)` says whether a place takes a new file; `make`
// creates the fallback folders on the way. The last place is kept even when it takes nothing,
// so that later creations fail there.
std::string SettleOutputBase(const std::string& sourcePath, SourceKind kind, bool make,
                             const std::function<bool(const std::string&)>& takes) {
    std::string base = WithoutExtension(sourcePath);
    if (base.empty()) {
        return {};
    }
    if (takes(base)) {
        return base;
    }
    const std::string fileName = FileNamePart(base);
    const auto inFallback = [&](const std::string& folder) {
        const std::string fallback = FallbackFolder(folder, kind);
        if (make) {
            MakeFolder(fallback);
        }
        return fallback + kPathSeparator + fileName;
    };
    std::string docs;
    if (DocumentsFolder(docs, make)) {
        base = inFallback(docs);
        if (takes(base)) {
            return base;
        }
    }
    std::string programFolder;
    if (!ProgramFolder(programFolder)) {
        return {};
    }
    base = inFallback(programFolder);
    takes(base);
    return base;
}

// Whether the folder of `base` may take a new file, told without creating anything: a folder
// not there yet would be made in its parent.
bool MayTakeNewFile(const std::string& base) {
    const auto slash = base.rfind(kPathSeparator);
    std::string folder = slash == std::string::npos ? "." : base.substr(0, slash + 1);
    if (!IsFolder(folder)) {
        const auto parentSlash = folder.find_last_of(kPathSeparator, folder.size() - 2);
        folder = parentSlash == std::string::npos ? "." : folder.substr(0, parentSlash + 1);
    }
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

bool NameComesFrom(const std::string& name, const std::string& base,
                 const ConversionOptions& options) {
    if (name.size() < base.size() + 2 || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '_') {
        return false;
    }
    if (options.linkageNames) {
        return true;
    }
    const auto isNumber = [](const std::string& text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    };
    std::string rest = name.substr(base.size() + 1);
    // Embedded movies are named "BASE_bin<ID>", and theirs after them.
    while (options.embedded && rest.rfind(kEmbeddedMark, 0) == 0) {
        const size_t end = rest.find('_');
        const size_t mark = kEmbeddedMark.size();
        if (!isNumber(rest.substr(mark, end == std::string::npos ? std::string::npos : end - mark))) {
            break;
        }
        if (end == std::string::npos) {
            return true;
        }
        rest.erase(0, end + 1);
    }
    return isNumber(rest) && (rest.size() >= 3 || rest.front() != '0');  // "_NNN", or "_N" from 1
}

std::string EmbeddedMovieBase(const std::string& base, uint16_t characterId) {
    return base + "_" + std::string(kEmbeddedMark) + std::to_string(characterId);
}

std::string ClaimPlannedName(const std::string& path, CFile& file) {
    const std::string ext = ExtensionPart(path);
    return ClaimFlvName(path.substr(0, path.size() - ext.size()), ext, &file);
}

std::string MakeOutputBase(const std::string& sourcePath, SourceKind kind, int32_t& swfCounter) {
    return SettleOutputBase(sourcePath, kind, true,
                            [&](const std::string& base) { return Probe(base, kind, swfCounter); });
}

std::string PlannedOutputBase(const std::string& sourcePath, SourceKind kind) {
    return SettleOutputBase(sourcePath, kind, false, &MayTakeNewFile);
}

bool COutputNames::Taken(const std::string& name) const {
    return NameTaken(name) || m_planned.count(name) > 0;
}

std::string COutputNames::Chosen(std::string name) {
    if (!name.empty()) {
        m_planned.insert(name);
    }
    return name;
}

std::string COutputNames::Numbered(std::string_view ext) {
    const TakenName planned = [this](const std::string& name) { return m_planned.count(name) > 0; };
    return Chosen(NextSwfName(m_base, m_counter, ext, planned));
}

std::string COutputNames::Plain(const std::string& stem, std::string_view ext) {
    const TakenName planned = [this](const std::string& name) { return m_planned.count(name) > 0; };
    return Chosen(NextFlvName(stem, ext, planned));
}

std::string COutputNames::Renamed(const std::string& path, std::string_view ext) {
    const std::string same = WithoutExtension(path) + std::string(ext);
    return Taken(same) ? Numbered(ext) : Chosen(same);
}

std::string COutputNames::WithoutSingleNumber(const std::string& path) {
    const size_t ext = ExtensionPart(path).size();
    if (path.size() < ext + 4 || path.compare(path.size() - ext - 4, 4, "_001") != 0) {
        return path;
    }
    const std::string plain = path.substr(0, path.size() - ext - 4) + path.substr(path.size() - ext);
    if (Taken(plain)) {
        return path;
    }
    m_planned.erase(path);
    return Chosen(plain);
}

}  // namespace kelvora
