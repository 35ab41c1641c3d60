#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/Records.h"

namespace kelvora {

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

// Claims the next free SWF or FLV name by creating an empty file there, create-exclusive: no
// other writer can take the name, and no existing file is ever touched. The caller then writes
// its output over its own empty file. Empty when no file can be made.
std::string ClaimSwfName(const std::string& base, int32_t& counter, std::string_view ext);
std::string ClaimFlvName(const std::string& base, std::string_view ext);

// Settles where the outputs of one source file go: next to it when its folder takes a new file,
// else in the documents folder's fallback folder, else in the program's folder's one.
// `swfCounter` is raised by the SWF probe. Returns an empty base when every place failed, which
// makes every later file creation fail.
std::string MakeOutputBase(const std::string& sourcePath, SourceKind kind, int32_t& swfCounter);

// Where MakeOutputBase would put the outputs, told without creating anything: next to the source
// when its folder may be written, else the documents folder's fallback folder.
std::string PlannedOutputBase(const std::string& sourcePath, SourceKind kind);

}  // namespace kelvora
