#pragma once

#include <cstdint>
#include <string>

#include "engine/ConversionReport.h"
#include "engine/File.h"

namespace kelvora {

// Encodes a finished PCM WAV file (8 or 16 bits, mono or stereo) into a new MP3 file at the
// library's default settings, without a VBR/Info frame. On success the MP3 is complete, the WAV
// file is untouched, and the sample frames read and the MP3's sample rate are stored where
// asked. On failure no MP3 file is left behind, and `why` (when given) says what failed. The MP3
// is written into `claimed` when it is open (the file its name was claimed with).
bool TranscodeWavToMp3(const std::string& wavPath, const std::string& mp3Path, uint32_t* framesRead,
                       uint32_t* mp3SampleRate, Failure* why = nullptr, CFile claimed = {});

}  // namespace kelvora
