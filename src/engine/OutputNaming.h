#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "engine/File.h"
#include "engine/Records.h"

namespace kelvora {

struct ConversionOptions;

inline constexpr std::string_view kSwfFallbackFolder = "SWF_MP3_Files";
inline constexpr std::string_view kFlvFallbackFolder = "FLV_MP3_Files";

// Names that count as taken besides those the folder holds (a plan's own, say).
using TakenName = std::function<bool(const std::string&)>;

// The next free numbered SWF name "%s_%03d%s"; raises `counter` at every name tried, so a
// number tried once is never tried again for that movie. Empty when `base` is empty.
std::string NextSwfName(const std::string& base, int32_t& counter, std::string_view ext,
                        const TakenName& taken = {});

// The plain name base + ext when it is free, else "%s_%d%s" with 1, 2, ... Empty when `base`
// is empty.
std::string NextFlvName(const std::string& base, std::string_view ext, const TakenName& taken = {});

// Told of every file and folder a conversion creates, before it is made and once it is made, so
// that a run that may be killed keeps a record of what it made (kelvora-cli --log). Set before a
// run's conversions start and cleared after; told from any worker.
class ClaimRecorder {
  public:
    virtual ~ClaimRecorder() = default;
    virtual void Claiming(const std::string& path, bool folder) = 0;
    // The file made: its device and inode tell it from any file put at that name later.
    virtual void Claimed(const std::string& path, uint64_t device, uint64_t inode) = 0;
};
void SetClaimRecorder(ClaimRecorder* recorder);

// Claims the next free SWF or FLV name by creating an empty file there, create-exclusive: no
// other writer can take the name, and no existing file is ever touched. The file's descriptor
// goes to `held` (else it is closed), through which the caller writes its output. Empty when
// no file can be made.
std::string ClaimSwfName(const std::string& base, int32_t& counter, std::string_view ext,
                         CFile* held = nullptr);
std::string ClaimFlvName(const std::string& base, std::string_view ext, CFile* held = nullptr);

// Every name below is made from a base: "%s_%03d" for a movie's numbers, "%s_%d" for a taken
// name's (a video's, a linkage name's), "%s_NAME" for a linkage name, and "%s_bin<ID>" for the
// base of a movie embedded as character ID.
inline constexpr std::string_view kEmbeddedMark = "bin";
std::string EmbeddedMovieBase(const std::string& base, uint16_t characterId);

// Whether `name` is one this naming can give an output of `base` with `options` (so that two
// sources whose outputs might take the same names are told apart): `base` followed by "_N"
// with N from 1 without leading zeros, or "_NNN"; with linkage names "_" and anything at all;
// with embedded movies "_bin<ID>" (once or more) before one of those, or alone.
bool NameComesFrom(const std::string& name, const std::string& base,
                   const ConversionOptions& options);

// Claims the name a plan chose, create-exclusive, with its descriptor in `file`: that name while
// it is free, else (another program took it since) the next free "%s_%d%s" of it. Empty when no
// file can be made.
std::string ClaimPlannedName(const std::string& path, CFile& file);

// The folder made for an archive's outputs: `base` when nothing has that name, else "%s_%d"
// with 1, 2, ... Claimed creates it (create-exclusive: a folder that is there is never taken);
// planned tells it without creating anything. Empty when none can be made.
std::string ClaimFolderName(const std::string& base);
std::string PlannedFolderName(const std::string& base);

// Settles where the outputs of one source file go: next to it when its folder takes a new file,
// else in the documents folder's fallback folder, else in the program's folder's one.
// `swfCounter` is raised by the SWF probe. Returns an empty base when every place failed, which
// makes every later file creation fail.
std::string MakeOutputBase(const std::string& sourcePath, SourceKind kind, int32_t& swfCounter);

// Where MakeOutputBase would put the outputs, told without creating anything: the same places in
// the same order, each taken when its folder may be written (or, not there yet, made).
std::string PlannedOutputBase(const std::string& sourcePath, SourceKind kind);

// The names one source's outputs take, chosen once, by its plan, in the folder as it is: the
// names chosen so far count as taken, so a plan names every output of a conversion, and the
// conversion claims each as it writes it (ClaimPlannedName).
class COutputNames {
  public:
    explicit COutputNames(std::string base) : m_base(std::move(base)) {}

    const std::string& Base() const { return m_base; }
    // The next free "%s_%03d%s" of the base; every number tried is used up.
    std::string Numbered(std::string_view ext);
    // `stem` + ext when free, else "%s_%d%s" with 1, 2, ...
    std::string Plain(const std::string& stem, std::string_view ext);
    // Uses up the next number without a name (numbers count every sound, named or not).
    void SkipNumber() { ++m_counter; }
    // A numbered output brought to another format: its own name with `ext` when free, else the
    // next number.
    std::string Renamed(const std::string& path, std::string_view ext);
    // A source's single output drops its "_001" when the shorter name is free: its name then,
    // or `path` as it was.
    std::string WithoutSingleNumber(const std::string& path);

  private:
    bool Taken(const std::string& name) const;
    std::string Chosen(std::string name);

    std::string m_base;
    int32_t m_counter = 1;
    std::set<std::string> m_planned;
};

}  // namespace kelvora
