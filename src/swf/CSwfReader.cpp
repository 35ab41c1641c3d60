#include "swf/CSwfReader.h"

#include "engine/File.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "swf/SwfSoundWriter.h"

namespace kelvora {

void CSwfReader::Reset() {
    m_container.Close();
    m_outputBase.clear();
    m_report.Clear();
    m_records = SwfRecords{};
    m_plan = SwfPlan{};
    m_outputs.clear();
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

void CSwfReader::PlanWalked(const std::string& outputBase, bool toMp3) {
    m_plan = PlanSwf(m_records, m_container.Bytes(), Header(), m_options, toMp3, outputBase,
                     m_mostOutputs, m_album);
}

void CSwfReader::WritePlanned(bool elementsOnly) {
    CSwfSoundWriter writer(m_records, m_plan, m_container.Bytes(), m_report);
    m_outputs = elementsOnly ? writer.WriteElements() : writer.WriteOutputs();
}

bool CSwfReader::Plan(const std::string& path, bool toMp3) {
    Reset();
    m_album = FileNamePart(path);
    if (!m_container.Open(path, false, m_options.allFormats, m_report)) {
        return false;
    }
    WalkTags();
    PlanWalked(PlannedOutputBase(path, SourceKind::Swf), toMp3);
    if (m_container.Truncated()) {
        m_report.Cut();
        return false;
    }
    return true;
}

void CSwfReader::WriteElements(bool forMp3) {
    PlanWalked(m_outputBase, forMp3);
    WritePlanned(true);
}

bool CSwfReader::Cut() {
    for (const OutputItem& output : m_outputs) {
        RemoveFile(output.path);
    }
    m_outputs.clear();
    m_report.Cut();
    return false;
}

bool CSwfReader::ExtractElements(const std::string& path, bool forMp3) {
    m_album = FileNamePart(path);
    if (!Open(path, false)) {
        return false;
    }
    WalkTags();
    WriteElements(forMp3);
    // A file cut short while it was read: its sounds are not what it held.
    return m_container.Truncated() ? Cut() : true;
}

bool CSwfReader::Convert(const std::string& path, bool toMp3) {
    m_album = FileNamePart(path);
    if (!Open(path, false)) {
        return false;
    }
    WalkTags();
    PlanWalked(m_outputBase, toMp3);
    WritePlanned(false);
    return m_container.Truncated() ? Cut() : true;
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
    PlanWalked(outputBase, toMp3);
    return true;
}

bool CSwfReader::ConvertMemory(const uint8_t* data, size_t size, const std::string& outputBase,
                               bool toMp3) {
    if (!WalkBorrowed(data, size, outputBase)) {
        return false;
    }
    PlanWalked(outputBase, toMp3);
    WritePlanned(false);
    return true;
}

}  // namespace kelvora
