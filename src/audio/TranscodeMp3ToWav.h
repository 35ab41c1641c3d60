#pragma once

#include <string>

#include "engine/ConversionReport.h"

namespace kelvora {

// Decodes an MP3 file into a new 16-bit WAV file with the MP3's channel count and sample rate.
// Every frame the decoder gives is written, from the first to the last (no delay or padding
// is trimmed). A decoding error ends the stream: the file then holds what came before it.
// False when the MP3 file has no frame header (no WAV file is made) or the WAV file cannot be
// written whole (it is removed); `why` (when given) says which.
bool TranscodeMp3ToWav(const std::string& mp3Path, const std::string& wavPath,
                       Failure* why = nullptr);

}  // namespace kelvora
