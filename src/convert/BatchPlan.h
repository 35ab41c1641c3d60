#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/Records.h"

namespace kelvora {

// The name every output of a base can take, set apart from the numbers the naming adds: the
// folder and the base's file name without its trailing "_N" parts. Two sources can claim the
// same output name only when their outputs share this key.
std::string NamingKey(const std::string& folder, const std::string& baseName);

// Splits a batch into the groups a worker converts whole, one source after another in list
// order: sources whose outputs can claim the same names (the same output folder and naming key,
// their earlier outputs' included) share a group, so that a batch run on several workers names
// its files exactly as a batch on one worker does. Each group lists indexes into `items` in
// list order; the groups come in the order of their first source.
std::vector<std::vector<size_t>> PlanConversionGroups(const std::vector<const SourceItem*>& items);

}  // namespace kelvora
