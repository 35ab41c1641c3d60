#include "flv/FlvPlan.h"

#include <algorithm>
#include <vector>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/CMp3Encoder.h"
#include "audio/Mp3Frame.h"
#include "audio/SpeexFrames.h"
#include "audio/TranscodeMp3ToWav.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

// The track as its first audio tag gives it, and whether it is converted.
void TrackOf(const FlvAudioTag& first, const ConversionOptions& options, bool toMp3,
             FlvPlan& plan) {
    FlvTrackPlan& t = plan.track;
    PlannedSound& sound = plan.sound;
    OutputItem& element = sound.element;
    t.hasAudio = true;
    t.format = first.Format();
    sound.kind = SoundKind::Track;
    sound.format = t.format;
    const SoundFormatInfo& info = FormatInfo(t.format);
    element.sampleRate =
        info.video.sampleRate != 0 ? info.video.sampleRate : SoundRate((first.flags >> 2) & 3);
    element.channels = info.video.mono || (first.flags & 1) == 0 ? 1 : 2;
    element.bitsPerSample = Is16BitSound(t.format, (first.flags & 2) != 0) ? 16 : 8;
    // A track kept as it is coded (AAC in MP4, Speex in Ogg) is its own element; MP3 sound is
    // first copied into an MP3 file, the others decoded into a WAV file.
    const OutputFormat target = TargetFormat(t.format, toMp3, options);
    t.muxed = target == OutputFormat::M4a || target == OutputFormat::Ogg ||
              (target == OutputFormat::Mp3 && options.ownCoding && info.coding == SoundCoding::Mp3);
    element.SetFormat(target == OutputFormat::M4a || target == OutputFormat::Ogg ? target
                      : info.coding == SoundCoding::Mp3                       ? OutputFormat::Mp3
                                                                              : OutputFormat::Wav);
    t.decoded = info.coding == SoundCoding::Libav && !t.muxed;
    if (t.decoded) {
        element.bitsPerSample = 16;
        t.codecRate = element.sampleRate;
        t.codecChannels = element.channels;
    }
    if (t.format == kFormatAac) {
        t.codecRate = element.sampleRate = 0;  // its sequence header tells
        t.codecChannels = element.channels = 0;
    }
    if (target == OutputFormat::Ogg) {
        element.bitsPerSample = 16;
    }
    sound.skip = FormatSkip(t.format, info.video.conversion, options.allFormats);
    if (sound.skip == Failure::LibraryMissing) {
        sound.skipDetail = CCodecDecoder::LibraryError();
    }
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

// Reads the whole track for its length, as a conversion reads it: the element's sample frames,
// and `decoded`, what an MP3 track's frames decode to. A track of a libavcodec format of which
// nothing decodes is skipped.
void CountTrack(const uint8_t* data, size_t size, const FlvHeader& header, FlvPlan& plan,
                uint64_t& decoded) {
    FlvTrackPlan& t = plan.track;
    OutputItem& element = plan.sound.element;
    uint64_t bytes = 0;
    uint64_t frames = 0;
    CMp3FrameCounter mp3;
    std::vector<uint8_t> aacConfig;
    std::vector<std::vector<uint8_t>> aacFirstFrames;
    uint64_t aacFrames = 0;
    bool decodes = false;  // what a decoder of the track gave so far
    CCodecSound probe([&decodes](CFile&) {
        decodes = true;
        return std::string();  // no file: the probe ends at the first samples
    });
    const SoundCoding coding = FormatInfo(t.format).coding;
    const bool probing = t.decoded && t.format != kFormatAac && plan.sound.Converted() &&
                         probe.Open(t.format, t.codecRate, t.codecChannels);
    uint32_t firstPacketFrames = 0;  // Speex: the frames the first packet holds
    WalkFlvAudio(data, size, header, [&](const FlvAudioTag& tag) {
        const uint8_t* body = data + tag.dataStart;
        const size_t length = tag.dataSize;
        // A track of a libavcodec format keeps to its first tag's format; the others write
        // every tag.
        if (coding == SoundCoding::Libav && tag.Format() != t.format) {
            return true;
        }
        switch (coding) {
            case SoundCoding::Pcm:
                bytes += length;
                break;
            case SoundCoding::Adpcm:
                frames += CAdpcmDecoder::RangeFrameCount(body, length, element.channels == 2, true);
                break;
            case SoundCoding::Mp3:
                mp3.Add(body, length);
                break;
            case SoundCoding::Libav:
                if (t.format == kFormatAac) {
                    // AACPacketType: 0 carries the AudioSpecificConfig, 1 a raw frame; a frame
                    // before any configuration has no decoder to go to.
                    if (length > 1 && body[0] == 0 && aacConfig.empty()) {
                        aacConfig.assign(body + 1, body + length);
                    } else if (length > 1 && body[0] == 1 && !aacConfig.empty()) {
                        ++aacFrames;
                        if (aacFirstFrames.size() < 2) {
                            aacFirstFrames.emplace_back(body + 1, body + length);
                        }
                    }
                } else {
                    frames += CodecDataFrames(body, length, t.format, element.channels, false);
                    if (t.format == kFormatSpeex && firstPacketFrames == 0 && length > 0) {
                        firstPacketFrames = SpeexPacketFrames(body, length);
                    }
                    if (probing && !decodes && length > 0) {
                        probe.Add(body, length);
                    }
                }
                break;
            case SoundCoding::None:
                break;
        }
        return true;
    });
    t.counted = true;
    if (coding == SoundCoding::Pcm) {
        frames = bytes / (size_t{element.channels} * (element.bitsPerSample / 8u));
    } else if (coding == SoundCoding::Mp3) {
        frames = mp3.Samples();
        decoded = mp3.DecodedSamples();
        if (mp3.Found()) {
            element.sampleRate = mp3.First().sampleRate;
            element.channels = mp3.First().channels;
            t.container.bitRate = mp3.First().bitRate;
        }
    } else if (t.format == kFormatAac) {
        uint32_t perFrame = FormatInfo(kFormatAac).frameSamples;
        AacConfigFigures(aacConfig, element.sampleRate, element.channels);
        CCodecDecoder::Probed probed;
        if (plan.sound.Converted()) {
            decodes = CCodecDecoder::Probe(t.format, 0, 0, aacConfig, aacFirstFrames, probed);
            if (decodes) {
                element.sampleRate = probed.sampleRate;
                element.channels = probed.channels;
                perFrame = probed.framesPerPacket;
            }
        }
        frames = aacFrames * perFrame;
        t.framesPerPacket = perFrame;
        t.container.config = aacConfig;
    } else if (t.format == kFormatSpeex && t.muxed) {
        t.container.config = SpeexHeaderFor(element.sampleRate, element.channels,
                                            std::max<uint32_t>(firstPacketFrames, 1));
    }
    if (probing && !decodes) {
        probe.Finish();
    }
    element.sampleCount = static_cast<uint32_t>(std::min<uint64_t>(frames, UINT32_MAX));
    if (t.decoded && plan.sound.Converted() && !decodes) {
        plan.sound.skip = Failure::NothingDecoded;
    }
}

}  // namespace

FlvPlan PlanFlv(const uint8_t* data, size_t size, const FlvHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase,
                bool count, const std::string& album) {
    FlvPlan plan;
    WalkFlvAudio(data, size, header, [&](const FlvAudioTag& tag) {
        TrackOf(tag, options, toMp3, plan);
        return false;
    });
    PlannedSound& sound = plan.sound;
    if (!plan.track.hasAudio) {
        sound.skip = Failure::NoAudioTrack;
        return plan;
    }
    FlvTrackPlan& t = plan.track;
    uint64_t decoded = 0;
    // A track kept in its own coding needs what only the whole track tells (its configuration,
    // its packets' frames) before it is written.
    if (count || t.muxed) {
        CountTrack(data, size, header, plan, decoded);
    }
    const OutputFormat target = TargetFormat(t.format, toMp3, options);
    OutputItem& output = sound.output;
    output = sound.element;
    output.SetFormat(target);
    if (target == OutputFormat::Mp3 && !sound.element.isMp3) {
        output.sampleRate = CMp3Encoder::RateFor(output.sampleRate, output.channels);
    } else if (target != OutputFormat::Mp3 && sound.element.isMp3) {
        output.bitsPerSample = 16;
        output.sampleCount = static_cast<uint32_t>(std::min<uint64_t>(decoded, UINT32_MAX));
    }
    if (sound.Converted()) {
        // The names a conversion takes: the element's, then the output's in the target form.
        COutputNames names(outputBase);
        sound.element.path = names.Plain(outputBase, OutputExtension(sound.element.format));
        output.path = sound.Transcoded() ? names.Plain(outputBase, OutputExtension(target))
                                         : sound.element.path;
    }
    const std::string stem =
        FileNamePart(output.path.substr(0, output.path.size() - ExtensionPart(output.path).size()));
    t.tags = {stem, album};
    MuxedSound& c = t.container;
    c.format = target;
    c.sampleRate = sound.element.sampleRate;
    c.channels = sound.element.channels;
    c.skipStart = target == OutputFormat::Mp3 ? kMp3DecoderDelay : 0;
    c.tags = t.tags;
    plan.list.sounds.push_back(sound);
    return plan;
}

}  // namespace kelvora
