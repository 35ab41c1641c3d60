#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"

namespace kelvora {

// One choice of the Options window, kept as a setting of its own in the "Options" group beside
// "Folder" and "FirstRun".
struct OptionField {
    enum class Kind { Check, Number };
    Kind kind = Kind::Check;
    std::string key;    // the setting's name
    std::string label;  // what the window says of it
    int32_t value = 0;  // a check box: 0 or 1
    int32_t minimum = 0;
    int32_t maximum = 1;
};

// How the desktop program names the every-format option where it tells why a file failed.
inline constexpr const char* kAllFormatsOptionName = "the option \"Convert every sound format\"";

// The Options window's choices in the order it shows them, holding `options`.
std::vector<OptionField> OptionFields(const ConversionOptions& options);
// The options the fields hold.
ConversionOptions OptionsOf(const std::vector<OptionField>& fields);

}  // namespace kelvora
