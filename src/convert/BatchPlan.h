#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/Records.h"

namespace kelvora {

// Whether `name` is `base` followed by one suffix the naming adds to a base: "_N" with N from 1
// written without leading zeros (a video's second name, a linkage name's), or "_NNN" (a movie's
// numbers); with linkage names, "_" and anything at all; with embedded movies, "_bin<ID>"
// (once or more) before one of those, or alone.
bool IsNamedFrom(const std::string& name, const std::string& base,
                 const ConversionOptions& options);

// Splits a batch into the groups a worker converts whole, one source after another in list
// order: sources whose outputs can claim the same names share a group, so that a batch run on
// several workers names its files exactly as a batch on one worker does. Two sources can claim
// the same name only in the same output folder, when one's base (the file name without its
// extension) is the other's, or the other's with one suffix the naming adds; an item's earlier
// outputs, deleted when it is converted, count as bases of its own. Numbered collections
// (track_1 ... track_24) stay apart. Each group lists indexes into `items` in list order; the
// groups come in the order of their first source.
std::vector<std::vector<size_t>> PlanConversionGroups(const std::vector<const SourceItem*>& items,
                                                      const ConversionOptions& options);

}  // namespace kelvora
