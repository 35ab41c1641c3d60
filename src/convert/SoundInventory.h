#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/Records.h"
#include "engine/SoundPlan.h"

namespace kelvora {

// The texts a listing gives a planned sound: the name its output would get without the
// extension (empty when none), "event", "stream" or "track", "main", "sprite N" or "-" for a
// video, an event's DefineSound id or "-", and why a conversion would leave it out.
std::string OutputNameText(const PlannedSound& sound);
const char* KindText(const PlannedSound& sound);
std::string TimelineText(const PlannedSound& sound);
std::string CharacterIdText(const PlannedSound& sound);
std::string SkipText(const PlannedSound& sound, const std::string& optionName);

// What a file holds, told without writing anything.
struct FileListing {
    std::string path;
    SourceKind kind = SourceKind::Swf;
    bool read = false;
    ConversionReport report;           // why it could not be read
    SwfMovieInfo movie;                // a movie's header
    std::string compression;           // a movie's: "none", "zlib" or "lzma"
    uint8_t flvVersion = 0;            // a video's header
    std::vector<PlannedSound> sounds;  // in the order a conversion lists its outputs
};

// Lists the sounds of a SWF or FLV file and what a conversion with `options` to MP3 (or WAV)
// would do with each.
FileListing ListSounds(const std::string& path, const ConversionOptions& options, bool toMp3);

// A length as "m:ss.mmm".
std::string PreciseLengthText(uint64_t sampleFrames, uint32_t sampleRate);

}  // namespace kelvora
