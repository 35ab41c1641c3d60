#include "flv/FlvTrackWriter.h"

#include <errno.h>

#include "audio/CAdpcmDecoder.h"
#include "audio/Mp3Frame.h"
#include "audio/WavFile.h"
#include "engine/SoundFormat.h"

namespace kelvora {

bool CFlvTrackWriter::Write(FlvElement& element) {
    element = FlvElement{};
    element.isMp3 = m_plan.elementIsMp3;
    element.sampleRate = m_plan.sampleRate;
    element.channels = m_plan.channels;
    element.bitsPerSample = m_plan.bitsPerSample;
    return m_plan.decoded ? WriteDecoded(element) : WriteCopied(element);
}

bool CFlvTrackWriter::WriteCopied(FlvElement& element) {
    element.path = m_names.Plain(m_names.Base(), element.isMp3 ? ".mp3" : ".wav");
    if (element.path.empty()) {
        m_report.Fail(Failure::NoWritableFolder);
        return false;
    }
    CFile file = m_names.TakeFile(element.path);
    const bool created = element.isMp3 ? OpenOutput(file, element.path)
                                       : CreateWavFile(file, element.path, element.channels == 2,
                                                       element.bitsPerSample, element.sampleRate);
    if (!created) {
        m_report.Fail(WriteFailure(errno));
        RemoveFile(element.path);
        return false;
    }
    const bool adpcm = m_plan.format == kFormatAdpcm;
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
        return false;
    }
    if (element.isMp3) {
        // The stream's own figures, as its frames give them.
        element.sampleFrames = mp3.Samples();
        if (mp3.Found()) {
            element.sampleRate = mp3.First().sampleRate;
            element.channels = mp3.First().channels;
        }
    } else {
        element.sampleFrames = bytes / (size_t{element.channels} * (element.bitsPerSample / 8u));
    }
    return true;
}

bool CFlvTrackWriter::WriteDecoded(FlvElement& element) {
    CCodecSound sound([this](CFile& claimed) {
        const std::string path = m_names.Plain(m_names.Base(), ".wav");
        claimed = m_names.TakeFile(path);
        return path;
    });
    const bool aac = m_plan.format == kFormatAac;
    if (!aac && !sound.Open(m_plan.format, m_plan.sampleRate, m_plan.channels)) {
        m_report.detail = sound.LibraryError();
        m_report.Fail(sound.Failed() == Failure::LibraryMissing ? Failure::LibraryMissing
                                                                : Failure::FormatUnsupported,
                      m_plan.format);
        return false;
    }
    std::vector<uint8_t> aacConfig;
    WalkFlvAudio(m_data, m_size, m_header, [&](const FlvAudioTag& tag) {
        // A track keeps the format of its first tag: a tag of another format is not its sound.
        if (tag.Format() != m_plan.format) {
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
                    sound.Open(m_plan.format, 0, 0, config.data(), config.size());
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
        m_report.Fail(sound.Failed(), m_plan.format);
        return false;
    }
    element.path = sound.Path();
    element.isMp3 = false;
    element.sampleRate = sound.SampleRate();
    element.channels = sound.Channels();
    element.bitsPerSample = 16;
    element.sampleFrames = sound.SampleCount();
    return true;
}

}  // namespace kelvora
