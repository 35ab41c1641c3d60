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

// Every choice of the Options window: what conversions do, and how the desktop program's batch
// runs them.
struct ProgramOptions {
    ConversionOptions conversion;
    int32_t jobs = 1;           // files converted at once; 1: one after another
    bool singleWindow = false;  // a later start hands its files to the window already open
    bool showOutputs = true;    // the file manager shows the first output after a batch
};

// The key of the one-window choice, which the program reads before it has a window.
inline constexpr const char* kSingleWindowKey = "SingleWindow";

// The defaults: every option off, one file after another, every start its own window, the
// outputs shown.
ProgramOptions DefaultProgramOptions();

// The Options window's choices in the order it shows them, holding `options`.
std::vector<OptionField> OptionFields(const ProgramOptions& options);
// The options the fields hold; a choice without a field keeps its value in `base`.
ProgramOptions OptionsOf(const std::vector<OptionField>& fields,
                         const ProgramOptions& base = DefaultProgramOptions());

}  // namespace kelvora
