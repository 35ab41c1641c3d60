#pragma once

#include <cstdint>

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

// Whether a sound of this format is 16-bit, given its flags' sample size bit. Flash ADPCM data
// always carries 16-bit initial samples and decodes to 16 bits whatever the bit says (players
// ignore it); the bit holds for the other formats.
inline bool Is16BitSound(uint32_t format, bool sizeBit) {
    return format == kFormatAdpcm || sizeBit;
}

// The sample frames one frame of a format that libavcodec decodes gives: a Speex wideband
// frame, a Nellymoser block, an AAC frame, a G.711 sample.
inline uint32_t CodecFrameSamples(uint32_t format) {
    switch (format) {
        case kFormatSpeex:
            return 320;
        case kFormatNellymoser16k:
        case kFormatNellymoser8k:
        case kFormatNellymoser:
            return 256;
        case kFormatAac:
            return 1024;
        default:
            return 1;
    }
}

// The sample frames at `rate` from a timeline's start to the start of its frame `frame`, for a
// movie's 8.8 fixed-point frame rate: a running total, so that the rounding of single frames
// never adds up. 0 when the frame rate is 0.
inline uint64_t SamplesAtFrame(uint64_t frame, uint32_t rate, uint32_t frameRate88) {
    return frameRate88 == 0 ? 0 : frame * rate * 256 / frameRate88;
}

// The name a user knows a sound format by: "MP3", "Nellymoser", "AAC"...
const char* SoundFormatName(uint32_t format);

}  // namespace kelvora
