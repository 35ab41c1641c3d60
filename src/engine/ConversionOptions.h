#pragma once

#include <cstdint>

namespace kelvora {

// The most files a batch converts at once, the window's and the command line's alike.
inline constexpr int32_t kMaxJobs = 1024;

// What a conversion does beyond the plain one; every choice is off by default, and with all of
// them off a conversion is exactly the plain one.
struct ConversionOptions {
    // LZMA-compressed movies; Nellymoser, Speex, AAC and G.711 sound; FLV formats 3 and 14.
    bool allFormats = false;
    // A sound that the movie names (ExportAssets, SymbolClass) is written under that name.
    bool linkageNames = false;
    // Streams keep their timeline's silences; MP3 sound going to WAV loses the samples that
    // are no sound (the encoder's recorded latency, the decoder's delay).
    bool keepTiming = false;
    // Movies inside other files are read too: movies a movie embeds (DefineBinaryData),
    // projectors (a program with a movie appended), SWC and ZIP archives.
    bool embedded = false;
    // A WAV target writes FLAC files: the same samples, losslessly packed, tagged.
    bool flac = false;
    // An MP3 target keeps each sound in its own coding, never encoded again, tagged: MP3 copied
    // behind an Info frame that gives players its length and gapless delay and padding, AAC
    // copied into MP4, Speex into Ogg; what no player reads as stored (PCM, ADPCM, Nellymoser,
    // G.711) decoded into FLAC.
    bool ownCoding = false;
};

}  // namespace kelvora
