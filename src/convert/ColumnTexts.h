#pragma once

#include <cstdint>
#include <string>

#include "convert/ConversionJob.h"
#include "engine/Records.h"
#include "engine/TextFormat.h"

namespace kelvora {

// "%02d:%02d" minutes and seconds; minutes above 99 take more digits.
std::string MinutesSecondsText(uint32_t seconds);
// A movie's length, frameCount / frameRate whole seconds ("00:00" when the rate is 0).
std::string SwfLengthText(uint32_t frameCount, uint32_t frameRate);
// An output's length, sampleCount / sampleRate whole seconds ("00:00" when the rate is 0).
std::string OutputLengthText(uint32_t sampleCount, uint32_t sampleRate);
// "%.1f kHz" of the rate times the single-precision 0.001 (22050 gives 22.1 kHz).
std::string FrequencyText(uint32_t sampleRate);
// "Mono" for one channel, "Stereo" for anything else.
std::string ChannelsText(uint16_t channels);
// The header cells of a source row: Ver, Dimension, Length, Rate, Frames.
struct SourceInfoTexts {
    std::string version;
    std::string dimension;
    std::string length;
    std::string rate;
    std::string frames;
};
SourceInfoTexts SwfInfoTexts(const SwfMovieInfo& info);
SourceInfoTexts FlvInfoTexts(uint8_t version);
SourceInfoTexts HeaderTexts(const SourceHeader& header);

// The cells of an output row after "No.": File, Format, Length, Bits, Freq., Ch., Path.
struct OutputTexts {
    std::string file;
    std::string format;
    std::string length;
    std::string bits;
    std::string frequency;
    std::string channels;
    std::string path;
};
OutputTexts OutputRowTexts(const OutputItem& item);

}  // namespace kelvora
