#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

constexpr Conversion kNo = Conversion::Never;
constexpr Conversion kYes = Conversion::Always;
constexpr Conversion kOpt = Conversion::WithOption;

// Indexed by format code. Nellymoser decodes mono whatever the stereo bit says; in a video,
// G.711 is 8000 Hz mono; AAC takes its rate and channels from its sequence header and is never
// a movie's; little-endian PCM and MP3 at 8 kHz are a video's with the option.
constexpr SoundFormatInfo kFormats[16] = {
    {"PCM", SoundCoding::Pcm, {kYes, 0, false}, {kYes, 0, false}, 1, false},
    {"ADPCM", SoundCoding::Adpcm, {kYes, 0, false}, {kYes, 0, false}, 1, true},
    {"MP3", SoundCoding::Mp3, {kYes, 0, false}, {kYes, 0, false}, 0, false},
    {"PCM", SoundCoding::Pcm, {kYes, 0, false}, {kOpt, 0, false}, 1, false},
    {"Nellymoser", SoundCoding::Libav, {kOpt, 16000, true}, {kOpt, 16000, true}, 256, true},
    {"Nellymoser", SoundCoding::Libav, {kOpt, 8000, true}, {kOpt, 8000, true}, 256, true},
    {"Nellymoser", SoundCoding::Libav, {kOpt, 0, true}, {kOpt, 0, true}, 256, true},
    {"G.711", SoundCoding::Libav, {kOpt, 0, false}, {kOpt, 8000, true}, 1, true},
    {"G.711", SoundCoding::Libav, {kOpt, 0, false}, {kOpt, 8000, true}, 1, true},
    {"unknown", SoundCoding::None, {}, {}, 0, false},
    {"AAC", SoundCoding::Libav, {kNo, 0, false}, {kOpt, 0, false}, 1024, true},
    {"Speex", SoundCoding::Libav, {kOpt, 16000, true}, {kOpt, 16000, true}, 320, true},
    {"unknown", SoundCoding::None, {}, {}, 0, false},
    {"unknown", SoundCoding::None, {}, {}, 0, false},
    {"MP3", SoundCoding::Mp3, {kNo, 0, false}, {kOpt, 8000, false}, 0, false},
    {"device-specific", SoundCoding::None, {}, {}, 0, false},
};

constexpr SoundFormatInfo kUnknown = {"unknown", SoundCoding::None, {}, {}, 0, false};

}  // namespace

const SoundFormatInfo& FormatInfo(uint32_t format) {
    return format < 16 ? kFormats[format] : kUnknown;
}

OutputFormat TargetFormat(uint32_t format, bool toMp3, const ConversionOptions& options) {
    if (!toMp3) {
        return options.flac ? OutputFormat::Flac : OutputFormat::Wav;
    }
    if (!options.ownCoding) {
        return OutputFormat::Mp3;
    }
    if (FormatInfo(format).coding == SoundCoding::Mp3) {
        return OutputFormat::Mp3;
    }
    return format == kFormatAac     ? OutputFormat::M4a
           : format == kFormatSpeex ? OutputFormat::Ogg
                                    : OutputFormat::Flac;
}

}  // namespace kelvora
