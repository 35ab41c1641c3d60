#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionReport.h"
#include "engine/File.h"

namespace kelvora {

// What a decoded MP3 loses and gains on its way into a WAV file when its timing is kept: the
// sample frames that are not sound at its start (an encoder's latency, the decoder's delay),
// its length, and silences where its timeline has frames without sound.
struct Mp3ToWavShape {
    uint64_t skip = 0;  // decoded sample frames dropped first
    // Sample frames kept after them: the sound lasts exactly this long, cut or made up with
    // silence at its end; UINT64_MAX: as long as it decodes.
    uint64_t keep = UINT64_MAX;
    struct Silence {
        uint64_t at = 0;  // before the kept sample frame of this index
        uint64_t frames = 0;
    };
    std::vector<Silence> silences;  // in order of `at`
};

// The sample frames of delay LAME's decoder puts before the sound.
inline constexpr uint32_t kMp3DecoderDelay = 529;

class CPcmSink;

// Decodes an MP3 file into `sink` (16-bit, the MP3's channels and rate), shaped when a shape is
// given. False when the MP3 file has no frame header (the sink is not started) or the sink
// could not be written whole; `why` (when given) says which.
bool DecodeMp3Into(const std::string& mp3Path, CPcmSink& sink, Failure* why = nullptr,
                   const Mp3ToWavShape* shape = nullptr);

// Decodes an MP3 file into a new 16-bit WAV file with the MP3's channel count and sample rate.
// Every frame the decoder gives is written, from the first to the last (no delay or padding
// is trimmed). A decoding error ends the stream: the file then holds what came before it.
// False when the MP3 file has no frame header (no WAV file is made) or the WAV file cannot be
// written whole (it is removed); `why` (when given) says which.
// The WAV file is written into `claimed` when it is open (the file its name was claimed with).
bool TranscodeMp3ToWav(const std::string& mp3Path, const std::string& wavPath,
                       Failure* why = nullptr, const struct Mp3ToWavShape* shape = nullptr,
                       CFile claimed = {});

}  // namespace kelvora
