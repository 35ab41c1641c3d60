#pragma once

#include <cstdint>

#include "engine/ConversionOptions.h"
#include "engine/Records.h"

namespace kelvora {

// The sound rate index that SWF sound flags and FLV audio tags carry (5512, not 5513).
inline constexpr uint32_t kSoundRates[4] = {5512, 11025, 22050, 44100};

inline uint32_t SoundRate(uint32_t rateIndex) {
    return kSoundRates[rateIndex & 3];
}

// Sound format codes of SWF sound flags and FLV audio tags.
inline constexpr uint32_t kFormatPcmNative = 0;
inline constexpr uint32_t kFormatAdpcm = 1;
inline constexpr uint32_t kFormatMp3 = 2;
inline constexpr uint32_t kFormatPcmLittleEndian = 3;
inline constexpr uint32_t kFormatNellymoser16k = 4;
inline constexpr uint32_t kFormatNellymoser8k = 5;
inline constexpr uint32_t kFormatNellymoser = 6;
inline constexpr uint32_t kFormatAlaw = 7;
inline constexpr uint32_t kFormatMulaw = 8;
inline constexpr uint32_t kFormatAac = 10;
inline constexpr uint32_t kFormatSpeex = 11;
inline constexpr uint32_t kFormatMp38k = 14;

// How a format's sound becomes PCM: copied, decoded by the ADPCM decoder, MP3 (copied to an MP3
// target, decoded by LAME to a WAV one), decoded by libavcodec, or not at all.
enum class SoundCoding : uint8_t { None, Pcm, Adpcm, Mp3, Libav };
// Whether a container's sound of a format is converted.
enum class Conversion : uint8_t { Never, Always, WithOption };

// What one container makes of a format.
struct ContainerRules {
    Conversion conversion = Conversion::Never;
    uint32_t sampleRate = 0;  // the rate its sound has whatever the flags say; 0: the flags'
    bool mono = false;        // one channel whatever the flags say
};

// Every rule about a sound format, in one table: its name, its coding, what movies and videos
// make of it, and what one coded frame decodes to.
struct SoundFormatInfo {
    const char* name;
    SoundCoding coding;
    ContainerRules movie;
    ContainerRules video;
    uint32_t frameSamples;  // sample frames of one coded frame of a libavcodec format
    // Flash ADPCM data always holds 16-bit initial samples and decodes to 16 bits whatever the
    // sample size bit says (players ignore it); a decoded format is 16-bit too.
    bool always16Bit;
};
const SoundFormatInfo& FormatInfo(uint32_t format);

// The form a sound of `format` is written in for an MP3 target (`toMp3`) or a WAV one: MP3 or
// WAV; with the option that writes FLAC for WAV, FLAC; with the one that keeps each sound in its
// own coding, MP3 sound as MP3, AAC in MP4, Speex in Ogg, the rest in FLAC.
OutputFormat TargetFormat(uint32_t format, bool toMp3, const ConversionOptions& options);

// The name a user knows a sound format by: "MP3", "Nellymoser", "AAC"...
inline const char* SoundFormatName(uint32_t format) {
    return FormatInfo(format).name;
}

// Whether a sound of this format is 16-bit, given its flags' sample size bit.
inline bool Is16BitSound(uint32_t format, bool sizeBit) {
    return FormatInfo(format).always16Bit || sizeBit;
}

// The sample frames at `rate` from a timeline's start to the start of its frame `frame`, for a
// movie's 8.8 fixed-point frame rate: a running total, so that the rounding of single frames
// never adds up. 0 when the frame rate is 0.
inline uint64_t SamplesAtFrame(uint64_t frame, uint32_t rate, uint32_t frameRate88) {
    return frameRate88 == 0 ? 0 : frame * rate * 256 / frameRate88;
}

}  // namespace kelvora
