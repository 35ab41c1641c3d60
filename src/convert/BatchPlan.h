#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/Records.h"

namespace kelvora {

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
