#include "ui/ProgramOptions.h"

namespace kelvora {

std::vector<OptionField> OptionFields(const ConversionOptions& options) {
    std::vector<OptionField> fields;
    OptionField allFormats;
    allFormats.key = "AllFormats";
    allFormats.label =
        "Convert every sound format (LZMA movies; Nellymoser, Speex, AAC and G.711 sound)";
    allFormats.value = options.allFormats ? 1 : 0;
    fields.push_back(allFormats);
    return fields;
}

ConversionOptions OptionsOf(const std::vector<OptionField>& fields) {
    ConversionOptions options;
    for (const OptionField& field : fields) {
        if (field.key == "AllFormats") {
            options.allFormats = field.value != 0;
        }
    }
    return options;
}

}  // namespace kelvora
