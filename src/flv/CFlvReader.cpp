#include "flv/CFlvReader.h"

#include <algorithm>

#include "audio/PcmSink.h"
#include "audio/TranscodeMp3ToWav.h"
#include "audio/TranscodeWavToMp3.h"
#include "audio/WavFile.h"
#include "engine/File.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"

namespace kelvora {

void CFlvReader::Reset() {
    m_header = FlvHeader{};
    m_map.Close();
    m_data = nullptr;
    m_size = 0;
    m_outputBase.clear();
    m_report.Clear();
    m_plan = FlvPlan{};
    m_element = OutputItem{};
}

bool CFlvReader::MapVideo(const std::string& path) {
    // The whole file is mapped, not copied: converting a large video costs no heap.
    if (!m_map.Open(path)) {
        m_report.Fail(Failure::Unreadable);
        return false;
    }
    if (!ParseFlvHeader(m_map.Data(), m_map.Size(), m_header)) {
        const bool cut = m_map.Truncated();
        m_map.Close();
        m_report.Fail(cut ? Failure::SourceChanged : Failure::NotFlv);
        return false;
    }
    return true;
}

bool CFlvReader::Open(const std::string& path, bool informationMode) {
    Reset();
    if (informationMode) {
        CFile file;
        uint8_t header[kFlvHeaderSize];
        if (!file.OpenRead(path)) {
            m_report.Fail(Failure::Unreadable);
            return false;
        }
        if (!file.ReadExact(header, sizeof header) ||
            !ParseFlvHeader(header, sizeof header, m_header)) {
            m_report.Fail(Failure::NotFlv);
            return false;
        }
        return true;
    }
    if (!MapVideo(path)) {
        return false;
    }
    m_data = m_map.Data();
    m_size = m_map.Size();
    int32_t unused = 1;
    m_outputBase = MakeOutputBase(path, SourceKind::Flv, unused);
    return true;
}

bool CFlvReader::OpenMemory(const uint8_t* data, size_t size, const std::string& outputBase) {
    Reset();
    if (!ParseFlvHeader(data, size, m_header)) {
        m_report.Fail(Failure::NotFlv);
        return false;
    }
    m_data = data;
    m_size = size;
    m_outputBase = outputBase;
    return true;
}

bool CFlvReader::WalkTags() {
    m_element = OutputItem{};
    m_plan = PlanFlv(m_data, m_size, m_header, m_options, true, m_outputBase, false, m_album);
    return WriteElement();
}

bool CFlvReader::WriteElement() {
    const PlannedSound& sound = m_plan.sound;
    if (!m_plan.track.hasAudio || !sound.Converted()) {
        m_report.detail = sound.skipDetail;
        m_report.Fail(sound.skip, sound.format);
        return true;
    }
    CFlvTrackWriter(m_data, m_size, m_header, m_plan, m_report).Write(m_element);
    if (m_map.IsOpen() && m_map.Truncated()) {
        // The file was cut short while it was read: its track is not what it held (a write
        // straight from the lost part failed, or wrote zeros).
        if (!m_element.path.empty()) {
            RemoveFile(m_element.path);
        }
        m_element = OutputItem{};
        m_report.Cut();
    }
    return true;
}

bool CFlvReader::Plan(const std::string& path, bool toMp3) {
    Reset();
    if (!MapVideo(path)) {
        return false;
    }
    m_album = FileNamePart(path);
    m_plan = PlanFlv(m_map.Data(), m_map.Size(), m_header, m_options, toMp3,
                     PlannedOutputBase(path, SourceKind::Flv), true, m_album);
    const bool cut = m_map.Truncated();
    m_map.Close();
    if (cut) {
        m_report.Cut();
        return false;
    }
    return true;
}

bool CFlvReader::FinishConversion() {
    const OutputItem& planned = m_plan.sound.output;
    if (m_element.format == planned.format) {
        return true;
    }
    CFile claimed;
    const std::string target = ClaimPlannedName(planned.path, claimed);
    Failure why = Failure::NoWritableFolder;
    bool ok = false;
    OutputItem output = m_element;
    if (target.empty()) {
        ok = false;
    } else if (planned.format == OutputFormat::Flac && !m_element.isMp3) {
        uint32_t frames = 0;
        int error = 0;
        ok = TranscodeWavToFlac(m_element.path, target, std::move(claimed), m_plan.track.tags,
                                &frames, &error);
        why = error != 0 ? WriteFailure(error) : Failure::WriteFailed;
        output.sampleCount = frames;
    } else if (planned.format == OutputFormat::Flac) {
        CFlacSink flac(target, std::move(claimed), m_plan.track.tags);
        CCountingSink sink(flac);
        ok = DecodeMp3Into(m_element.path, sink, &why);
        output.sampleRate = sink.SampleRate();
        output.channels = sink.Channels();
        output.bitsPerSample = 16;
        output.sampleCount = static_cast<uint32_t>(std::min<uint64_t>(sink.Frames(), UINT32_MAX));
    } else if (planned.isMp3) {
        uint32_t frames = 0;
        uint32_t rate = 0;
        ok = TranscodeWavToMp3(m_element.path, target, &frames, &rate, &why, std::move(claimed));
        output.sampleRate = rate;
        output.sampleCount = frames;
    } else {
        CWavReader wav;
        ok = TranscodeMp3ToWav(m_element.path, target, &why, nullptr, std::move(claimed)) &&
             wav.Open(target);
        if (ok) {
            // What the decoder gave, as the file holds it.
            output.sampleRate = wav.SampleRate();
            output.channels = wav.Channels();
            output.bitsPerSample = 16;
            output.sampleCount = wav.FrameCount();
        }
    }
    RemoveFile(m_element.path);
    if (!ok) {
        m_report.Fail(why == Failure::None ? Failure::WriteFailed : why);
        if (!target.empty()) {
            RemoveFile(target);
        }
        m_element.path.clear();
        return false;
    }
    output.path = target;
    output.SetFormat(planned.format);
    m_element = output;
    return true;
}

bool CFlvReader::Convert(const std::string& path, bool toMp3, FlvAudioResult* result) {
    m_album = FileNamePart(path);
    return Open(path, false) && ConvertOpened(toMp3, result);
}

bool CFlvReader::PlanMemory(const uint8_t* data, size_t size, const std::string& outputBase,
                            bool toMp3) {
    if (!OpenMemory(data, size, outputBase)) {
        return false;
    }
    m_plan = PlanFlv(m_data, m_size, m_header, m_options, toMp3, outputBase, true, m_album);
    return true;
}

bool CFlvReader::ConvertMemory(const uint8_t* data, size_t size, const std::string& outputBase,
                               bool toMp3, FlvAudioResult* result) {
    return OpenMemory(data, size, outputBase) && ConvertOpened(toMp3, result);
}

bool CFlvReader::ConvertOpened(bool toMp3, FlvAudioResult* result) {
    m_element = OutputItem{};
    m_plan = PlanFlv(m_data, m_size, m_header, m_options, toMp3, m_outputBase, false, m_album);
    WriteElement();
    const bool ok = !m_element.path.empty() && FinishConversion();
    m_map.Close();  // the source is not needed any more
    m_data = nullptr;
    m_size = 0;
    if (!ok) {
        return false;
    }
    if (result) {
        *result = m_element;
    }
    return true;
}

}  // namespace kelvora
