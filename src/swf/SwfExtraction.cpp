// The conversion of one SWF movie: the walk writes every sound element in its own form, then
// each element is brought to the batch's target format.
#include "audio/TranscodeMp3ToWav.h"
#include "audio/TranscodeWavToMp3.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "swf/CSwfReader.h"

namespace kelvora {

namespace {

// The element's path with everything from its last dot replaced by `ext` (or `ext` appended).
std::string WithExtension(const std::string& path, std::string_view ext) {
    const auto dot = path.rfind('.');
    const auto slash = path.rfind(kPathSeparator);
    const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasDot ? path.substr(0, dot) : path) + std::string(ext);
}

}  // namespace

std::string CSwfReader::ClaimTranscodedName(const std::string& elementPath, std::string_view ext) {
    // The element's own name with the new extension when nobody has it; otherwise the movie's
    // next free number, so a file that is not ours is never replaced.
    const std::string sameName = WithExtension(elementPath, ext);
    if (!NameTaken(sameName)) {
        CFile claim;
        if (claim.CreateNew(sameName)) {
            claim.Close();
            return sameName;
        }
    }
    return ClaimSwfName(m_outputBase, m_nameCounter, ext);
}

void CSwfReader::TranscodeElements(bool toMp3) {
    for (OutputItem& element : m_elements) {
        if (toMp3 && element.isMp3 == 0) {
            const std::string target = ClaimTranscodedName(element.path, ".mp3");
            uint32_t frames = 0;
            uint32_t rate = 0;
            if (target.empty()) {
                m_report.Lose(Failure::NoWritableFolder);
                continue;
            }
            Failure why = Failure::None;
            if (!TranscodeWavToMp3(element.path, target, &frames, &rate, &why)) {
                m_report.Lose(why);
                RemoveFile(target);
                continue;
            }
            RemoveFile(element.path);
            element.path = target;
            element.isMp3 = 1;
            element.sampleRate = rate;
            element.sampleCount = frames;
        } else if (!toMp3 && element.isMp3 == 1) {
            const std::string target = ClaimTranscodedName(element.path, ".wav");
            if (target.empty()) {
                m_report.Lose(Failure::NoWritableFolder);
                continue;
            }
            Failure why = Failure::None;
            const Mp3Shape& shape = m_shapes[static_cast<size_t>(&element - m_elements.data())];
            if (!TranscodeMp3ToWav(element.path, target, &why,
                                   shape.shaped ? &shape.shape : nullptr)) {
                m_report.Lose(why);
                RemoveFile(target);
                continue;
            }
            RemoveFile(element.path);
            element.path = target;
            element.isMp3 = 0;
            element.bitsPerSample = 16;
        }
    }
}

void CSwfReader::DropSingleNumber() {
    if (m_elements.size() != 1) {
        return;
    }
    std::string& path = m_elements.front().path;
    if (path.size() < 8 || path.compare(path.size() - 8, 4, "_001") != 0) {
        return;
    }
    const std::string plain = path.substr(0, path.size() - 8) + path.substr(path.size() - 4);
    if (!NameTaken(plain) && RenameNoReplace(path, plain)) {
        path = plain;
    }
}

bool CSwfReader::ExtractElements(const std::string& path, bool forMp3) {
    Reset();
    if (!Open(path, false)) {
        return false;
    }
    m_nameCounter = 1;  // the probe's numbers do not show in the element names
    WalkTags(false);
    CloseStream();  // the main timeline's last stream
    WriteElements(forMp3);
    if (m_file.Truncated()) {
        // The file was cut short while it was read: its sounds are not what it held.
        for (const OutputItem& element : m_elements) {
            RemoveFile(element.path);
        }
        m_elements.clear();
        m_shapes.clear();
        m_report.failure = Failure::SourceChanged;
        return false;
    }
    return true;
}

bool CSwfReader::Convert(const std::string& path, bool toMp3) {
    if (!ExtractElements(path, toMp3)) {
        return false;
    }
    TranscodeElements(toMp3);
    DropSingleNumber();
    return true;
}

}  // namespace kelvora
