#pragma once

#include <string>

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

// The Status texts a batch writes: "%d Sound(s)" with a count of outputs, or "Failure".
std::string SoundsText(int count);
inline constexpr const char* kFailureText = "Failure";
// The Status text of a converted item.
std::string ConversionStatusText(bool converted, const SourceItem& item);

}  // namespace kelvora
