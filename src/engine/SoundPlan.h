#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionReport.h"

namespace kelvora {

enum class SoundKind : uint8_t { Event, Stream, Track };

// One sound of a source and what a conversion makes of it: the output it gives (where, in what
// form, at what rate, how long) or why it gives none. The listing prints these, the writer
// carries them out, and a conversion's report is these with what really happened.
struct PlannedSound {
    SoundKind kind = SoundKind::Event;
    int32_t sprite = -1;             // the DefineSprite whose timeline holds it; -1: the main one
    uint16_t characterId = 0;        // an event sound's DefineSound id
    uint32_t format = 0;             // the sound format code
    std::vector<std::string> names;  // its linkage names (a stream: its sprite's)
    size_t record = 0;               // the reader's record it is made from

    Failure skip = Failure::None;  // why it gives no output; None: it gives one
    std::string skipDetail;        // with LibraryMissing: what the loader said
    std::string path;              // its output, as the output folder is now
    bool isMp3 = false;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint64_t sampleFrames = 0;  // as far as the data tells without decoding

    bool Converted() const { return skip == Failure::None; }
};

// What a conversion of one source makes, in the order its outputs are listed.
struct SourcePlan {
    std::vector<PlannedSound> sounds;
};

}  // namespace kelvora
