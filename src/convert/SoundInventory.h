#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/Records.h"

namespace kelvora {

// One sound of a listing: an event sound or a stream of a movie, or a video's track.
struct SoundListing {
    std::string from;         // a sound inside another file: where ("bundle.zip/sub/b.swf")
    std::string outputName;   // the name its output would get, without the extension
    std::string kind;         // "event", "stream" or "track"
    std::string timeline;     // "main", "sprite N", or "-" for a video
    std::string characterId;  // an event's DefineSound id, or "-"
    std::string format;       // "MP3", "ADPCM", "PCM", "Nellymoser"...
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint16_t channels = 0;
    uint64_t sampleFrames = 0;       // as far as the tags tell without decoding
    std::vector<std::string> names;  // its linkage names (a stream: its sprite's)
    bool converted = false;
    std::string skipReason;  // why a conversion would leave it out
};

// What a file holds, told without writing anything.
struct FileListing {
    std::string path;
    SourceKind kind = SourceKind::Swf;
    bool read = false;
    ConversionReport report;           // why it could not be read
    SwfMovieInfo movie;                // a movie's header
    std::string compression;           // a movie's: "none", "zlib" or "lzma"
    uint8_t flvVersion = 0;            // a video's header
    std::vector<SoundListing> sounds;  // in the order a conversion lists its outputs
};

// Lists the sounds of a SWF or FLV file and what a conversion with `options` to MP3 (or WAV)
// would do with each; `optionName` names the every-format option in the reasons.
FileListing ListSounds(const std::string& path, const ConversionOptions& options, bool toMp3,
                       const std::string& optionName);

// A length as "m:ss.mmm".
std::string PreciseLengthText(uint64_t sampleFrames, uint32_t sampleRate);

}  // namespace kelvora
