#include "ui/ProgramOptions.h"

namespace kelvora {

namespace {

// The check boxes, each with the choice it stands for.
struct Check {
    const char* key;
    const char* label;
    bool ConversionOptions::*choice;
};
constexpr Check kChecks[] = {
    {"AllFormats",
     "Convert every sound format (LZMA movies; Nellymoser, Speex, AAC and G.711 sound)",
     &ConversionOptions::allFormats},
    {"LinkageNames", "Name sounds after their linkage names", &ConversionOptions::linkageNames},
    {"KeepTiming", "Keep the timing of sound streams", &ConversionOptions::keepTiming},
};

}  // namespace

std::vector<OptionField> OptionFields(const ConversionOptions& options) {
    std::vector<OptionField> fields;
    for (const Check& check : kChecks) {
        OptionField field;
        field.key = check.key;
        field.label = check.label;
        field.value = options.*check.choice ? 1 : 0;
        fields.push_back(field);
    }
    return fields;
}

ConversionOptions OptionsOf(const std::vector<OptionField>& fields) {
    ConversionOptions options;
    for (const OptionField& field : fields) {
        for (const Check& check : kChecks) {
            if (field.key == check.key) {
                options.*check.choice = field.value != 0;
            }
        }
    }
    return options;
}

}  // namespace kelvora
