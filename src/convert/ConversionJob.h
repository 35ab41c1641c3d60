#pragma once

#include <string>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/Records.h"

namespace kelvora {

class CSwfReader;
class CFlvReader;

// Converts one source item the way a batch does: the files of its earlier conversion are deleted
// first, then the item is converted by its kind and its outputs replaced by what was written.
// The readers serve a whole batch; each conversion resets them. True when the file converted;
// `report` (when given) receives why it failed and what it skipped or could not write.
bool ConvertSourceItem(SourceItem& item, bool toMp3, CSwfReader& swf, CFlvReader& flv,
                       ConversionReport* report = nullptr);

// What the header of a movie or a video holds, as the source list shows it.
struct SourceHeader {
    SourceKind kind = SourceKind::Swf;  // by the extension; a movie unless it names a video
    SwfMovieInfo movie;                 // a movie's header
    uint8_t flvVersion = 0;             // a video's version
    ConversionReport report;            // why it could not be read
};
// Reads the header of a movie (.swf) or a video (.flv), reading no more than the header needs.
// False when the path names neither or the file cannot be read as what it names.
bool ReadSourceHeader(const std::string& path, const ConversionOptions& options,
                      SourceHeader& header);

// The Status texts a batch writes: "%d Sound(s)" with a count of outputs, or "Failure".
std::string SoundsText(int count);
inline constexpr const char* kFailureText = "Failure";
// The Status text of a converted item.
std::string ConversionStatusText(bool converted, const SourceItem& item);

}  // namespace kelvora
