#include "swf/CSwfReader.h"

#include "engine/File.h"
#include "engine/OutputNaming.h"

namespace kelvora {

void CSwfReader::Reset() {
    m_container.Close();
    m_outputBase.clear();
    m_report.Clear();
    m_records = SwfRecords{};
    m_plan = SwfPlan{};
    m_elements.clear();
    m_outputs.clear();
    m_names = COutputNames({}, true);
}

bool CSwfReader::Open(const std::string& path, bool headerOnly) {
    Reset();
    if (!m_container.Open(path, headerOnly, m_options.allFormats, m_report)) {
        return false;
    }
    if (!headerOnly) {
        int32_t probeNumbers = 1;  // the probe's numbers do not show in the names
        m_outputBase = MakeOutputBase(path, SourceKind::Swf, probeNumbers);
    }
    return true;
}

bool CSwfReader::OpenMemory(const uint8_t* data, size_t size, bool headerOnly,
                            const std::string& outputBase) {
    Reset();
    if (!m_container.OpenMemory(data, size, headerOnly, m_options.allFormats, m_report)) {
        return false;
    }
    if (!headerOnly) {
        m_outputBase = outputBase;
    }
    return true;
}

bool CSwfReader::ReadInfo(const std::string& path, SwfMovieInfo* info) {
    if (path.empty() || !info || !Open(path, true)) {
        return false;
    }
    *info = MovieInfoOf(Header());
    return true;
}

bool CSwfReader::WalkTags() {
    m_records = WalkSwf(m_container.Bytes(), m_container.Size(), Header().firstTagOffset,
                        Header().version, m_visitor);
    return true;
}

bool CSwfReader::Plan(const std::string& path, bool toMp3) {
    Reset();
    if (!m_container.Open(path, false, m_options.allFormats, m_report)) {
        return false;
    }
    WalkTags();
    m_plan = PlanSwf(m_records, m_container.Bytes(), Header(), m_options, toMp3,
                     PlannedOutputBase(path, SourceKind::Swf), m_mostOutputs);
    if (m_container.Truncated()) {
        m_report.Cut();
        return false;
    }
    return true;
}

void CSwfReader::WriteElements(bool forMp3) {
    m_plan = PlanSwf(m_records, m_container.Bytes(), Header(), m_options, forMp3, m_outputBase,
                     m_mostOutputs);
    m_names = COutputNames(m_outputBase, true);
    m_elements = CSwfElementWriter(m_records, m_plan, m_container.Bytes(), m_options, forMp3,
                                   m_names, m_report)
                     .Write();
    m_outputs.clear();
    for (const SwfElement& element : m_elements) {
        m_outputs.push_back(element.item);
    }
}

bool CSwfReader::Cut() {
    for (const SwfElement& element : m_elements) {
        RemoveFile(element.item.path);
    }
    m_elements.clear();
    m_outputs.clear();
    m_report.Cut();
    return false;
}

bool CSwfReader::ExtractElements(const std::string& path, bool forMp3) {
    if (!Open(path, false)) {
        return false;
    }
    WalkTags();
    WriteElements(forMp3);
    // A file cut short while it was read: its sounds are not what it held.
    return m_container.Truncated() ? Cut() : true;
}

bool CSwfReader::Convert(const std::string& path, bool toMp3) {
    if (!ExtractElements(path, toMp3)) {
        return false;
    }
    Transcode(toMp3);
    return true;
}

bool CSwfReader::WalkBorrowed(const uint8_t* data, size_t size, const std::string& outputBase) {
    Reset();
    if (!m_container.OpenMemory(data, size, false, m_options.allFormats, m_report, true,
                                m_mostInflated)) {
        return false;
    }
    m_outputBase = outputBase;
    return WalkTags();
}

bool CSwfReader::PlanMemory(const uint8_t* data, size_t size, const std::string& outputBase,
                            bool toMp3) {
    if (!WalkBorrowed(data, size, outputBase)) {
        return false;
    }
    m_plan = PlanSwf(m_records, m_container.Bytes(), Header(), m_options, toMp3, outputBase,
                     m_mostOutputs);
    return true;
}

bool CSwfReader::ConvertMemory(const uint8_t* data, size_t size, const std::string& outputBase,
                               bool toMp3) {
    if (!WalkBorrowed(data, size, outputBase)) {
        return false;
    }
    WriteElements(toMp3);
    Transcode(toMp3);
    return true;
}

void CSwfReader::Transcode(bool toMp3) {
    TranscodeSwfElements(m_elements, toMp3, m_names, m_report);
    // A movie with a single element drops "_001" from its name when the shorter name is free.
    if (m_elements.size() == 1) {
        m_elements.front().item.path = m_names.WithoutSingleNumber(m_elements.front().item.path);
    }
    m_outputs.clear();
    for (const SwfElement& element : m_elements) {
        m_outputs.push_back(element.item);
    }
}

}  // namespace kelvora
