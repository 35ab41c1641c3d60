#include "flv/CFlvReader.h"

#include <algorithm>

#include "audio/TranscodeMp3ToWav.h"
#include "audio/TranscodeWavToMp3.h"
#include "audio/WavFile.h"
#include "engine/File.h"
#include "engine/OutputNaming.h"

namespace kelvora {

void CFlvReader::Reset() {
    m_header = FlvHeader{};
    m_map.Close();
    m_data = nullptr;
    m_size = 0;
    m_outputBase.clear();
    m_report.Clear();
    m_plan = FlvPlan{};
    m_element = FlvElement{};
}

uint32_t CFlvReader::SampleCount() const {
    return static_cast<uint32_t>(std::min<uint64_t>(m_element.sampleFrames, UINT32_MAX));
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
    m_element = FlvElement{};
    m_plan = PlanFlv(m_data, m_size, m_header, m_options, true, m_outputBase, false);
    const FlvTrackPlan& track = m_plan.track;
    if (!track.hasAudio) {
        m_report.Fail(Failure::NoAudioTrack);
        return true;
    }
    if (track.skip != Failure::None) {
        m_report.detail = track.skipDetail;
        m_report.Fail(track.skip, track.format);
        return true;
    }
    COutputNames names(m_outputBase, true);
    CFlvTrackWriter(m_data, m_size, m_header, track, names, m_report).Write(m_element);
    if (m_map.IsOpen() && m_map.Truncated()) {
        // The file was cut short while it was read: its track is not what it held (a write
        // straight from the lost part failed, or wrote zeros).
        if (!m_element.path.empty()) {
            RemoveFile(m_element.path);
        }
        m_element = FlvElement{};
        m_report.Cut();
    }
    return true;
}

bool CFlvReader::Plan(const std::string& path, bool toMp3) {
    Reset();
    if (!MapVideo(path)) {
        return false;
    }
    m_plan = PlanFlv(m_map.Data(), m_map.Size(), m_header, m_options, toMp3,
                     PlannedOutputBase(path, SourceKind::Flv), true);
    const bool cut = m_map.Truncated();
    m_map.Close();
    if (cut) {
        m_report.Cut();
        return false;
    }
    return true;
}

bool CFlvReader::FinishConversion(bool toMp3) {
    if (m_element.isMp3 == toMp3) {
        return true;
    }
    COutputNames names(m_outputBase, true);
    const std::string target = names.Plain(m_outputBase, toMp3 ? ".mp3" : ".wav");
    Failure why = Failure::NoWritableFolder;
    bool ok = false;
    if (target.empty()) {
        ok = false;
    } else if (toMp3) {
        uint32_t frames = 0;
        uint32_t rate = 0;
        ok = TranscodeWavToMp3(m_element.path, target, &frames, &rate, &why,
                               names.TakeFile(target));
        m_element.sampleRate = rate;
        m_element.sampleFrames = frames;
    } else {
        CWavReader wav;
        ok = TranscodeMp3ToWav(m_element.path, target, &why, nullptr, names.TakeFile(target)) &&
             wav.Open(target);
        if (ok) {
            // What the decoder gave, as the file holds it.
            m_element.sampleRate = wav.SampleRate();
            m_element.channels = wav.Channels();
            m_element.bitsPerSample = 16;
            m_element.sampleFrames = wav.FrameCount();
        }
    }
    RemoveFile(m_element.path);
    if (!ok) {
        m_report.Fail(why == Failure::None ? Failure::WriteFailed : why);
        RemoveFile(target);
        m_element.path.clear();
        return false;
    }
    m_element.path = target;
    m_element.isMp3 = toMp3;
    return true;
}

bool CFlvReader::Convert(const std::string& path, bool toMp3, FlvAudioResult* result) {
    return Open(path, false) && ConvertOpened(toMp3, result);
}

bool CFlvReader::PlanMemory(const uint8_t* data, size_t size, const std::string& outputBase,
                            bool toMp3) {
    if (!OpenMemory(data, size, outputBase)) {
        return false;
    }
    m_plan = PlanFlv(m_data, m_size, m_header, m_options, toMp3, outputBase, true);
    return true;
}

bool CFlvReader::ConvertMemory(const uint8_t* data, size_t size, const std::string& outputBase,
                               bool toMp3, FlvAudioResult* result) {
    return OpenMemory(data, size, outputBase) && ConvertOpened(toMp3, result);
}

bool CFlvReader::ConvertOpened(bool toMp3, FlvAudioResult* result) {
    WalkTags();
    const bool ok = !m_element.path.empty() && FinishConversion(toMp3);
    m_map.Close();  // the source is not needed any more
    m_data = nullptr;
    m_size = 0;
    if (!ok) {
        return false;
    }
    if (result) {
        result->channels = m_element.channels;
        result->bitsPerSample = m_element.bitsPerSample;
        result->sampleRate = m_element.sampleRate;
        result->sampleCount = SampleCount();
        result->path = m_element.path;
        result->isMp3 = m_element.isMp3;
    }
    return true;
}

}  // namespace kelvora
