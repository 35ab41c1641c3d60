#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionReport.h"
#include "engine/Records.h"

namespace kelvora {

enum class SoundKind : uint8_t { Event, Stream, Track };

// One sound of a source and what a conversion makes of it: the output it gives (its name, form
// and figures) or why it gives none. The plan decides it, the listing prints it, the writers
// carry it out, and after a conversion `output` holds the figures of what was written.
struct PlannedSound {
    SoundKind kind = SoundKind::Event;
    int32_t sprite = -1;             // the DefineSprite whose timeline holds it; -1: the main one
    uint16_t characterId = 0;        // an event sound's DefineSound id
    uint32_t format = 0;             // the sound format code
    std::vector<std::string> names;  // its linkage names (a stream: its sprite's)
    std::string from;                // inside another file: where ("bundle.zip/sub/b.swf")

    Failure skip = Failure::None;  // why it gives no output; None: it gives one
    std::string skipDetail;        // with LibraryMissing: what the loader said
    // The file it is first written to, in the form that needs no encoding (MP3 copied, PCM and
    // decoded sound in WAV), named and numbered as elements are; and its output, the element
    // itself or the element brought to the target's form. Both with their figures; a sound
    // skipped still has them, as far as the data tells.
    OutputItem element;
    OutputItem output;

    bool Converted() const { return skip == Failure::None; }
    // The element is not the output: it is brought to the target's form, then removed.
    bool Transcoded() const { return element.format != output.format; }
};

// What a conversion of one source makes, in the order its outputs are listed.
struct SourcePlan {
    std::vector<PlannedSound> sounds;
};

}  // namespace kelvora
