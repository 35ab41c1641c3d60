#include "ui/ProgramOptions.h"

#include <algorithm>

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
    {"Embedded", "Read movies inside other files (embedded movies, projectors, SWC and ZIP)",
     &ConversionOptions::embedded},
    {"FlacForWav", "Convert to WAV writes FLAC files (the same samples, about half the size)",
     &ConversionOptions::flac},
    {"OwnCoding",
     "Convert to MP3 keeps each sound in its own coding (MP3 gapless, AAC, Speex; the rest FLAC)",
     &ConversionOptions::ownCoding},
};

constexpr const char* kJobsKey = "Jobs";
constexpr const char* kShowOutputsKey = "ShowOutputs";

}  // namespace

ProgramOptions DefaultProgramOptions() {
    return ProgramOptions{};
}

std::vector<OptionField> OptionFields(const ProgramOptions& options) {
    std::vector<OptionField> fields;
    for (const Check& check : kChecks) {
        OptionField field;
        field.key = check.key;
        field.label = check.label;
        field.value = options.conversion.*check.choice ? 1 : 0;
        fields.push_back(field);
    }
    OptionField jobs;
    jobs.kind = OptionField::Kind::Number;
    jobs.key = kJobsKey;
    jobs.label = "Files converted at once";
    jobs.value = options.jobs;
    jobs.minimum = 1;
    jobs.maximum = kMaxJobs;
    fields.push_back(jobs);
    OptionField single;
    single.key = kSingleWindowKey;
    single.label = "Open files in the window already open";
    single.value = options.singleWindow ? 1 : 0;
    fields.push_back(single);
    OptionField show;
    show.key = kShowOutputsKey;
    show.label = "Show the first output in the file manager after a batch";
    show.value = options.showOutputs ? 1 : 0;
    fields.push_back(show);
    return fields;
}

ProgramOptions OptionsOf(const std::vector<OptionField>& fields, const ProgramOptions& base) {
    ProgramOptions options = base;
    for (const OptionField& field : fields) {
        for (const Check& check : kChecks) {
            if (field.key == check.key) {
                options.conversion.*check.choice = field.value != 0;
            }
        }
        if (field.key == kJobsKey) {
            options.jobs = std::clamp(field.value, 1, kMaxJobs);
        } else if (field.key == kSingleWindowKey) {
            options.singleWindow = field.value != 0;
        } else if (field.key == kShowOutputsKey) {
            options.showOutputs = field.value != 0;
        }
    }
    return options;
}

}  // namespace kelvora
