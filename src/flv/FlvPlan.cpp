#include "flv/FlvPlan.h"

#include <algorithm>
#include <vector>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/CMp3Encoder.h"
#include "audio/Mp3Frame.h"
#include "engine/OutputNaming.h"
#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

// The track as its first audio tag gives it, and whether it is converted.
FlvTrackPlan TrackOf(const FlvAudioTag& first, const ConversionOptions& options) {
    FlvTrackPlan t;
    t.hasAudio = true;
    t.format = first.Format();
    const SoundFormatInfo& info = FormatInfo(t.format);
    t.sampleRate =
        info.video.sampleRate != 0 ? info.video.sampleRate : SoundRate((first.flags >> 2) & 3);
    t.channels = info.video.mono || (first.flags & 1) == 0 ? 1 : 2;
    t.bitsPerSample = Is16BitSound(t.format, (first.flags & 2) != 0) ? 16 : 8;
    t.elementIsMp3 = info.coding == SoundCoding::Mp3;
    t.decoded = info.coding == SoundCoding::Libav;
    if (t.format == kFormatAac) {
        t.sampleRate = 0;  // its sequence header tells
        t.channels = 0;
    }
    t.skip = FormatSkip(t.format, info.video.conversion, options.allFormats);
    if (t.skip == Failure::LibraryMissing) {
        t.skipDetail = CCodecDecoder::LibraryError();
    }
    return t;
}

// The rate and channels an AudioSpecificConfig gives: object type (5 bits), rate index (4),
// channels (4); an escaped object type or an explicit rate is left unread.
void AacConfigFigures(const std::vector<uint8_t>& config, uint32_t& rate, uint16_t& channels) {
    static constexpr uint32_t kAacRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                               22050, 16000, 12000, 11025, 8000,  7350};
    if (config.size() < 2) {
        return;
    }
    const uint32_t objectType = config[0] >> 3;
    const uint32_t rateIndex = ((config[0] & 7) << 1) | (config[1] >> 7);
    const uint32_t count = (config[1] >> 3) & 15;
    if (objectType != 31 && rateIndex < 13) {
        rate = kAacRates[rateIndex];
        channels = count == 1 ? 1 : 2;
    }
}

// Reads the whole track for its length: the tags a conversion writes from, as it reads them.
void CountTrack(const uint8_t* data, size_t size, const FlvHeader& header, FlvTrackPlan& t) {
    uint64_t bytes = 0;
    CMp3FrameCounter mp3;
    std::vector<uint8_t> aacConfig;
    std::vector<std::vector<uint8_t>> aacFirstFrames;
    uint64_t aacFrames = 0;
    const SoundCoding coding = FormatInfo(t.format).coding;
    WalkFlvAudio(data, size, header, [&](const FlvAudioTag& tag) {
        const uint8_t* body = data + tag.dataStart;
        const size_t length = tag.dataSize;
        // A decoded track keeps to its first tag's format; the others write every tag.
        if (t.decoded && tag.Format() != t.format) {
            return true;
        }
        switch (coding) {
            case SoundCoding::Pcm:
                bytes += length;
                break;
            case SoundCoding::Adpcm:
                t.sampleFrames +=
                    CAdpcmDecoder::RangeFrameCount(body, length, t.channels == 2, true);
                break;
            case SoundCoding::Mp3:
                mp3.Add(body, length);
                break;
            case SoundCoding::Libav:
                if (t.format == kFormatAac) {
                    // AACPacketType: 0 carries the AudioSpecificConfig, 1 a raw frame.
                    if (length > 1 && body[0] == 0 && aacConfig.empty()) {
                        aacConfig.assign(body + 1, body + length);
                    } else if (length > 1 && body[0] == 1) {
                        ++aacFrames;
                        if (aacFirstFrames.size() < 2) {
                            aacFirstFrames.emplace_back(body + 1, body + length);
                        }
                    }
                } else {
                    t.sampleFrames += CodecDataFrames(body, length, t.format, t.channels, false);
                }
                break;
            case SoundCoding::None:
                break;
        }
        return true;
    });
    if (coding == SoundCoding::Pcm) {
        t.sampleFrames = bytes / (size_t{t.channels} * (t.bitsPerSample / 8u));
    } else if (coding == SoundCoding::Mp3) {
        t.sampleFrames = mp3.Samples();
        if (mp3.Found()) {
            t.sampleRate = mp3.First().sampleRate;
            t.channels = mp3.First().channels;
        }
    } else if (t.format == kFormatAac) {
        uint32_t perFrame = FormatInfo(kFormatAac).frameSamples;
        AacConfigFigures(aacConfig, t.sampleRate, t.channels);
        CCodecDecoder::Probed probed;
        if (t.skip == Failure::None &&
            CCodecDecoder::Probe(t.format, 0, 0, aacConfig, aacFirstFrames, probed)) {
            t.sampleRate = probed.sampleRate;
            t.channels = probed.channels;
            perFrame = probed.framesPerPacket;
        }
        t.sampleFrames = aacFrames * perFrame;
    }
}

}  // namespace

FlvPlan PlanFlv(const uint8_t* data, size_t size, const FlvHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase,
                bool count) {
    FlvPlan plan;
    WalkFlvAudio(data, size, header, [&](const FlvAudioTag& tag) {
        plan.track = TrackOf(tag, options);
        return false;
    });
    FlvTrackPlan& t = plan.track;
    if (!t.hasAudio) {
        t.skip = Failure::NoAudioTrack;
        return plan;
    }
    if (count) {
        CountTrack(data, size, header, t);
    }
    PlannedSound sound;
    sound.kind = SoundKind::Track;
    sound.format = t.format;
    sound.skip = t.skip;
    sound.skipDetail = t.skipDetail;
    sound.isMp3 = toMp3;
    sound.sampleRate = t.sampleRate;
    sound.channels = t.channels;
    sound.bitsPerSample = t.decoded ? 16 : t.bitsPerSample;
    sound.sampleFrames = t.sampleFrames;
    if (toMp3 && !t.elementIsMp3) {
        sound.sampleRate = CMp3Encoder::RateFor(sound.sampleRate, sound.channels);
    } else if (!toMp3 && t.elementIsMp3) {
        sound.bitsPerSample = 16;
    }
    if (t.skip == Failure::None) {
        // The names a conversion takes: the element's, then the output's in the target form.
        COutputNames names(outputBase, false);
        sound.path = names.Plain(outputBase, t.elementIsMp3 ? ".mp3" : ".wav");
        if (t.elementIsMp3 != toMp3) {
            sound.path = names.Plain(outputBase, toMp3 ? ".mp3" : ".wav");
        }
    }
    plan.list.sounds.push_back(std::move(sound));
    return plan;
}

}  // namespace kelvora
