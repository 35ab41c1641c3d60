#include "convert/ColumnTexts.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "engine/PathUtil.h"

namespace kelvora {

std::string MinutesSecondsText(uint32_t seconds) {
    return Format("%02u:%02u", seconds / 60, seconds % 60);
}

std::string SwfLengthText(uint32_t frameCount, uint32_t frameRate) {
    return MinutesSecondsText(frameRate == 0 ? 0 : frameCount / frameRate);
}

std::string OutputLengthText(uint32_t sampleCount, uint32_t sampleRate) {
    return MinutesSecondsText(sampleRate == 0 ? 0 : sampleCount / sampleRate);
}

std::string FrequencyText(uint32_t sampleRate) {
    // The factor is the float nearest 0.001, the product taken in double: 22050 -> 22.1.
    const double khz = static_cast<double>(sampleRate) * static_cast<double>(0.001f);
    return Format("%.1f kHz", khz);
}

std::string ChannelsText(uint16_t channels) {
    return channels == 1 ? "Mono" : "Stereo";
}

SourceInfoTexts SwfInfoTexts(const SwfMovieInfo& info) {
    SourceInfoTexts t;
    t.version = Format("%d", info.version);
    t.dimension = Format("%d x %d", info.width, info.height);
    t.length = SwfLengthText(info.frameCount, info.frameRate);
    t.rate = Format("%u Hz", info.frameRate);
    t.frames = Format("%u", info.frameCount);
    return t;
}

SourceInfoTexts FlvInfoTexts(uint8_t version) {
    SourceInfoTexts t;
    t.version = Format("%d", version);
    return t;
}

SourceInfoTexts HeaderTexts(const SourceHeader& header) {
    switch (header.kind) {
        case SourceKind::Swf:
        case SourceKind::Projector:  // the movie it carries
            return SwfInfoTexts(header.movie);
        case SourceKind::Flv:
            return FlvInfoTexts(header.flvVersion);
        case SourceKind::Archive:
            break;
    }
    return {};
}

OutputTexts OutputRowTexts(const OutputItem& item) {
    OutputTexts t;
    t.file = FileNamePart(item.path);
    t.format = OutputFormatName(item.FileFormat());
    t.length = OutputLengthText(item.sampleCount, item.sampleRate);
    t.bits = Format("%d", item.bitsPerSample);
    t.frequency = FrequencyText(item.sampleRate);
    t.channels = ChannelsText(item.channels);
    t.path = item.path;
    return t;
}

}  // namespace kelvora
