#include "flv/FlvTrackWriter.h"

#include <errno.h>

#include <algorithm>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/Mp3Frame.h"
#include "audio/MuxedFile.h"
#include "audio/SpeexFrames.h"
#include "audio/WavFile.h"
#include "engine/BitReader.h"
#include "engine/File.h"
#include "engine/OutputNaming.h"
#include "engine/SoundFormat.h"

namespace kelvora {

bool CFlvTrackWriter::Write(OutputItem& element) {
    element = m_plan.sound.element;
    return m_plan.track.muxed     ? WriteMuxed(element)
           : m_plan.track.decoded ? WriteDecoded(element)
                                  : WriteCopied(element);
}

// A track kept in its own coding: its MP3 frames, AAC frames (after their sequence header) or
// Speex packets, each a packet of the container libavformat writes.
bool CFlvTrackWriter::WriteMuxed(OutputItem& element) {
    const FlvTrackPlan& track = m_plan.track;
    CMuxedFile file;
    if (!file.Open(element.path, track.container)) {
        if (!file.Detail().empty()) {
            m_report.detail = file.Detail();
        }
        m_report.Fail(file.Failed(), track.format);
        element.path.clear();
        return false;
    }
    CMp3FrameSplitter splitter;
    bool configured = false;  // AAC: its sequence header came
    WalkFlvAudio(m_data, m_size, m_header, [&](const FlvAudioTag& tag) {
        const uint8_t* body = m_data + tag.dataStart;
        const size_t length = tag.dataSize;
        if (tag.Format() != track.format || length == 0) {
            return true;
        }
        if (element.format == OutputFormat::Mp3) {
            splitter.Add(body, length, [&file](const uint8_t* frame, const Mp3FrameHeader& h) {
                file.Write(frame, h.frameBytes, h.samplesPerFrame);
            });
        } else if (element.format == OutputFormat::Ogg) {
            file.Write(body, length, 320 * SpeexPacketFrames(body, length));
        } else if (body[0] == 0) {
            configured = true;  // AACPacketType 0: the AudioSpecificConfig
        } else if (body[0] == 1 && configured && length > 1) {
            file.Write(body + 1, length - 1, track.framesPerPacket);
        }
        return true;
    });
    if (!file.Finish()) {
        m_report.Fail(file.Failed(), track.format);
        element.path.clear();
        return false;
    }
    element.sampleCount =
        static_cast<uint32_t>(std::min<uint64_t>(file.SampleFrames(), UINT32_MAX));
    return true;
}

bool CFlvTrackWriter::WriteCopied(OutputItem& element) {
    if (element.path.empty()) {
        m_report.Fail(Failure::NoWritableFolder);
        return false;
    }
    CFile file;
    element.path = ClaimPlannedName(element.path, file);
    const bool created = !element.path.empty() &&
                         (element.isMp3 || CreateWavFile(file, element.path, element.channels == 2,
                                                         element.bitsPerSample,
                                                         element.sampleRate));
    if (!created) {
        m_report.Fail(WriteFailure(errno));
        if (!element.path.empty()) {
            RemoveFile(element.path);
        }
        element.path.clear();
        return false;
    }
    const bool adpcm = m_plan.track.format == kFormatAdpcm;
    const bool stereo = element.channels == 2;
    CMp3FrameCounter mp3;
    uint64_t bytes = 0;
    std::vector<uint8_t> decoded;  // one decoded ADPCM tag
    BitReader bits;
    CGatheredWriter out(file);
    WalkFlvAudio(m_data, m_size, m_header, [&](const FlvAudioTag& tag) {
        const uint8_t* body = m_data + tag.dataStart;
        if (adpcm) {
            decoded.resize(CAdpcmDecoder::RangeOutputBound(tag.dataSize, true));
            bits.Attach(m_data, tag.dataStart + tag.dataSize);
            bits.SetPosition(tag.dataStart);
            const size_t produced = CAdpcmDecoder(bits).DecodeByRange(
                tag.dataStart + tag.dataSize, stereo, true, decoded.data(), decoded.size());
            out.File().Write(decoded.data(), produced);
            bytes += produced;
        } else {
            out.Add(body, tag.dataSize);
            bytes += tag.dataSize;
            if (element.isMp3) {
                mp3.Add(body, tag.dataSize);
            }
        }
        // A full disk stops the walk: the file is incomplete and will be removed.
        return !file.WriteFailed();
    });
    out.File();  // what is pending
    const bool written = element.isMp3 ? file.Close() : FinishWavFile(file);
    if (!written) {
        m_report.Fail(WriteFailure(file.WriteError()));
        RemoveFile(element.path);
        element.path.clear();
        return false;
    }
    if (element.isMp3) {
        // The stream's own figures, as its frames give them.
        element.sampleCount = static_cast<uint32_t>(std::min<uint64_t>(mp3.Samples(), UINT32_MAX));
        if (mp3.Found()) {
            element.sampleRate = mp3.First().sampleRate;
            element.channels = mp3.First().channels;
        }
    } else {
        element.sampleCount = static_cast<uint32_t>(std::min<uint64_t>(
            bytes / (size_t{element.channels} * (element.bitsPerSample / 8u)), UINT32_MAX));
    }
    return true;
}

bool CFlvTrackWriter::WriteDecoded(OutputItem& element) {
    const FlvTrackPlan& track = m_plan.track;
    const std::string planned = element.path;
    CCodecSound sound([&planned](CFile& claimed) { return ClaimPlannedName(planned, claimed); });
    const bool aac = track.format == kFormatAac;
    if (!aac && !sound.Open(track.format, track.codecRate, track.codecChannels)) {
        m_report.detail = sound.LibraryError();
        m_report.Fail(sound.Failed() == Failure::LibraryMissing ? Failure::LibraryMissing
                                                                : Failure::FormatUnsupported,
                      track.format);
        element.path.clear();
        return false;
    }
    std::vector<uint8_t> aacConfig;
    WalkFlvAudio(m_data, m_size, m_header, [&](const FlvAudioTag& tag) {
        // A track keeps the format of its first tag: a tag of another format is not its sound.
        if (tag.Format() != track.format) {
            return true;
        }
        const uint8_t* data = m_data + tag.dataStart;
        size_t length = tag.dataSize;
        if (length == 0) {
            return true;
        }
        if (aac) {
            // AACPacketType: 0 carries the AudioSpecificConfig, 1 a raw frame.
            if (data[0] == 0) {
                const std::vector<uint8_t> config(data + 1, data + length);
                if (!sound.IsOpen() || config != aacConfig) {
                    aacConfig = config;
                    sound.Open(track.format, 0, 0, config.data(), config.size());
                }
                return sound.Failed() == Failure::None;
            }
            if (data[0] != 1 || !sound.IsOpen()) {
                return true;  // a frame before any usable configuration is no sound
            }
            ++data;
            --length;
        }
        return sound.Add(data, length);
    });
    if (!sound.Finish()) {
        m_report.detail = sound.LibraryError();
        m_report.Fail(sound.Failed(), track.format);
        element.path.clear();
        return false;
    }
    element.path = sound.Path();
    element.SetFormat(OutputFormat::Wav);
    element.sampleRate = sound.SampleRate();
    element.channels = sound.Channels();
    element.bitsPerSample = 16;
    element.sampleCount = sound.SampleCount();
    return true;
}

}  // namespace kelvora
