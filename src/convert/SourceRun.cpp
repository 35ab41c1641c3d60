#include "convert/SourceRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "convert/ArchiveReader.h"
#include "engine/BitReader.h"
#include "engine/File.h"
#include "engine/MappedFile.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "flv/CFlvReader.h"
#include "flv/FlvWalk.h"
#include "swf/CSwfReader.h"

namespace kelvora {

namespace {

constexpr uint8_t kFooter[4] = {0x56, 0x34, 0x12, 0xFA};
// The versions movies have been written with, and then some.
constexpr uint8_t kMostVersion = 64;

// A member's path inside its archive, less its extension (judged as a path, which has a folder).
std::string WithoutExtension(const std::string& path) {
    const std::string ext = ExtensionPart(kPathSeparator + path);
    return path.substr(0, path.size() - ext.size());
}

}  // namespace

bool LooksLikeMovie(const uint8_t* data, size_t size, bool allowLzma) {
    if (size < 21 || data[1] != 'W' || data[2] != 'S' || data[3] == 0 || data[3] > kMostVersion) {
        return false;
    }
    const uint32_t length = LoadLe32(data + 4);
    switch (data[0]) {
        case 'F':
            return length >= 21 && length <= size;
        case 'C':
            // A zlib stream: deflate, and a header that checks.
            return length >= 21 && (data[8] & 0x0F) == 8 && ((data[8] << 8) | data[9]) % 31 == 0;
        case 'Z':
            return allowLzma && length >= 21;
        default:
            return false;
    }
}

bool FindProjectorMovie(const uint8_t* data, size_t size, bool allowLzma, size_t& start,
                        size_t& length) {
    if (size >= 8 && std::memcmp(data + size - 8, kFooter, 4) == 0) {
        const uint32_t claimed = LoadLe32(data + size - 4);
        if (claimed <= size - 8 && LooksLikeMovie(data + size - 8 - claimed, claimed, allowLzma)) {
            start = size - 8 - claimed;
            length = claimed;
            return true;
        }
    }
    // No footer (or one that lies): the first place that looks like a movie, up to the end.
    for (size_t at = 0; at + 21 <= size; ++at) {
        const uint8_t* p = static_cast<const uint8_t*>(std::memchr(data + at, 'W', size - at));
        if (!p) {
            break;
        }
        at = static_cast<size_t>(p - data);
        if (at >= 1 && LooksLikeMovie(data + at - 1, size - at + 1, allowLzma)) {
            start = at - 1;
            length = data[start] == 'F' ? LoadLe32(data + start + 4) : size - start;
            return true;
        }
    }
    return false;
}

bool MapProjectorMovie(const std::string& path, bool allowLzma, CMappedFile& file, size_t& start,
                       size_t& length, ConversionReport& report) {
    if (!file.Open(path)) {
        report.Fail(Failure::Unreadable);
        return false;
    }
    if (!FindProjectorMovie(file.Data(), file.Size(), allowLzma, start, length)) {
        report.Fail(file.Truncated() ? Failure::SourceChanged : Failure::NoMovieInside);
        return false;
    }
    return true;
}

CSourceRun::CSourceRun(CSwfReader& swf, CFlvReader& flv, const ConversionOptions& options,
                       bool toMp3, bool convert)
    : m_swf(swf), m_flv(flv), m_options(options), m_toMp3(toMp3), m_convert(convert) {}

CSourceRun::~CSourceRun() = default;

void CSourceRun::Take(CSwfReader& reader, const std::string& where) {
    if (m_convert) {
        m_outputs.insert(m_outputs.end(), reader.Elements().begin(), reader.Elements().end());
        return;
    }
    for (const PlannedSound& sound : reader.Planned().sounds) {
        m_planned.push_back(sound);
        m_planned.back().from = where;
    }
}

void CSourceRun::Take(CFlvReader& reader, const std::string& where) {
    for (const PlannedSound& sound : reader.Planned().sounds) {
        m_planned.push_back(sound);
        m_planned.back().from = where;
    }
}

bool CSourceRun::ReadMovie(CSwfReader& reader, const uint8_t* data, size_t size,
                           const std::string& base) {
    reader.SetOptions(m_options);
    reader.SetLimits(m_budget.outputsLeft, m_budget.inflatedLeft);
    reader.SetAlbum(m_album);
    const bool ok = m_convert ? reader.ConvertMemory(data, size, base, m_toMp3)
                              : reader.PlanMemory(data, size, base, m_toMp3);
    if (reader.Report().failure == Failure::TooMuchWork) {
        m_stopped = true;
    }
    if (ok && reader.Signature() != 'F') {
        m_budget.inflatedLeft -= std::min<uint64_t>(m_budget.inflatedLeft, reader.DataSize());
    }
    if (ok) {
        TakeOutputs(reader);
    }
    return ok;
}

void CSourceRun::TakeOutputs(const CSwfReader& reader) {
    uint64_t outputs = 0;
    if (m_convert) {
        outputs = reader.Elements().size();
    } else {
        for (const PlannedSound& sound : reader.Planned().sounds) {
            outputs += sound.Converted() ? 1 : 0;
        }
    }
    m_budget.outputsLeft -= std::min(m_budget.outputsLeft, outputs);
}

bool CSourceRun::Run(const std::string& path, SourceKind kind) {
    const std::string name = FileNamePart(path);
    m_album = name;
    struct stat st {};
    m_budget = WorkBudget(::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0);
    switch (kind) {
        case SourceKind::Swf: {
            m_swf.SetOptions(m_options);
            m_swf.SetLimits(m_budget.outputsLeft, m_budget.inflatedLeft);
            const bool ok = m_convert ? m_swf.Convert(path, m_toMp3) : m_swf.Plan(path, m_toMp3);
            m_report = m_swf.Report();
            if (!ok) {
                return false;
            }
            TakeOutputs(m_swf);
            m_hasMovie = true;
            m_header = m_swf.Header();
            Take(m_swf, {});
            if (m_options.embedded) {
                const std::string base =
                    m_convert ? m_swf.OutputBase() : PlannedOutputBase(path, SourceKind::Swf);
                m_ancestors.push_back({m_swf.Bytes(), m_swf.DataSize()});
                Embedded(m_swf, base, name, m_report);
                m_ancestors.clear();
            }
            return true;
        }
        case SourceKind::Flv: {
            m_flv.SetOptions(m_options);
            FlvAudioResult result;
            const bool ok =
                m_convert ? m_flv.Convert(path, m_toMp3, &result) : m_flv.Plan(path, m_toMp3);
            m_report = m_flv.Report();
            if (ok && m_convert) {
                m_outputs.push_back(result);
            } else if (ok) {
                Take(m_flv, {});
            }
            return ok;
        }
        case SourceKind::Projector: {
            CMappedFile file;
            size_t start = 0;
            size_t length = 0;
            if (!MapProjectorMovie(path, m_options.allFormats, file, start, length, m_report)) {
                return false;
            }
            int32_t probeNumbers = 1;
            const std::string base = m_convert
                                         ? MakeOutputBase(path, SourceKind::Projector, probeNumbers)
                                         : PlannedOutputBase(path, SourceKind::Projector);
            m_ancestors.push_back({file.Data(), file.Size()});
            const bool ok = Movie(file.Data() + start, length, base, {}, name, m_report);
            m_ancestors.clear();
            if (file.Truncated()) {
                // Cut short while it was read: nothing written of it is what it held.
                for (const OutputItem& output : m_outputs) {
                    RemoveFile(output.path);
                }
                m_outputs.clear();
                m_report.Cut();
                return false;
            }
            return ok;
        }
        case SourceKind::Archive:
            return Archive(path);
    }
    return false;
}

bool CSourceRun::Movie(const uint8_t* data, size_t size, const std::string& base,
                       const std::string& where, const std::string& label,
                       ConversionReport& report) {
    CSwfReader reader;
    const bool ok = ReadMovie(reader, data, size, base);
    report = reader.Report();
    if (!ok) {
        return false;
    }
    if (where.empty()) {
        m_hasMovie = true;
        m_header = reader.Header();
    }
    Take(reader, where);
    if (m_options.embedded) {
        m_ancestors.push_back({data, size});
        m_ancestors.push_back({reader.Bytes(), reader.DataSize()});
        Embedded(reader, base, label, report);
        m_ancestors.resize(m_ancestors.size() - 2);
    }
    return true;
}

bool CSourceRun::Video(const uint8_t* data, size_t size, const std::string& base,
                       const std::string& where, ConversionReport& report) {
    if (m_budget.outputsLeft == 0) {
        report.Fail(Failure::TooManyOutputs);
        return false;
    }
    CFlvReader reader;
    reader.SetOptions(m_options);
    reader.SetAlbum(m_album);
    FlvAudioResult result;
    const bool ok = m_convert ? reader.ConvertMemory(data, size, base, m_toMp3, &result)
                              : reader.PlanMemory(data, size, base, m_toMp3);
    report = reader.Report();
    if (ok && m_convert) {
        m_outputs.push_back(result);
    } else if (ok) {
        Take(reader, where);
    }
    if (ok) {
        --m_budget.outputsLeft;
    }
    return ok;
}

void CSourceRun::Embedded(CSwfReader& reader, const std::string& base, const std::string& label,
                          ConversionReport& report) {
    for (const SwfBinary& binary : reader.Records().binaries) {
        if (m_stopped) {
            return;  // the reason was told where the budget ran out
        }
        const uint8_t* data = reader.Bytes() + binary.dataStart;
        const size_t size = binary.dataEnd - binary.dataStart;
        if (!LooksLikeMovie(data, size, m_options.allFormats)) {
            continue;  // binary data of another kind: an image, a text
        }
        const std::string id = std::string(kEmbeddedMark) + std::to_string(binary.characterId);
        const std::string where = label + "#" + id;
        auto inner = std::make_shared<ConversionReport>();
        const bool itself =
            std::any_of(m_ancestors.begin(), m_ancestors.end(), [&](const Ancestor& a) {
                return a.size == size && std::memcmp(a.bytes, data, size) == 0;
            });
        // A movie embedded again with the same bytes is read once: a movie that embeds the same
        // movie ten times at each level would otherwise be read a million times.
        const auto key = std::make_pair(
            size, std::hash<std::string_view>{}(
                      std::string_view(reinterpret_cast<const char*>(data), size)));
        const auto seen = m_embedded.find(key);
        if (itself) {
            inner->Fail(Failure::EmbedsItself);
        } else if (m_ancestors.size() / 2 >= static_cast<size_t>(kMostNesting)) {
            inner->Fail(Failure::NestedTooDeep);
        } else if (seen != m_embedded.end()) {
            inner->detail = seen->second;
            inner->Fail(Failure::SameMovie);
        } else if (m_budget.moviesLeft == 0) {
            inner->detail = "the file embeds more than " +
                            std::to_string(WorkBudget::kMostEmbeddedMovies) + " movies";
            inner->Fail(Failure::TooMuchWork);
            m_stopped = true;
        } else {
            --m_budget.moviesLeft;
            m_embedded.emplace(key, where);
            Movie(data, size, EmbeddedMovieBase(base, binary.characterId), where, where, *inner);
        }
        report.inner.emplace_back(where, std::move(inner));
    }
}

bool CSourceRun::Archive(const std::string& path) {
    CArchiveReader archive;
    if (!archive.Open(path)) {
        m_report.detail = archive.Detail();
        m_report.Fail(archive.Failed());
        return false;
    }
    // The folder its outputs go to, named after it where its outputs would go.
    int32_t probeNumbers = 1;
    const std::string base = m_convert ? MakeOutputBase(path, SourceKind::Archive, probeNumbers)
                                       : PlannedOutputBase(path, SourceKind::Archive);
    const std::string folder = m_convert ? ClaimFolderName(base) : PlannedFolderName(base);
    if (folder.empty()) {
        m_report.Fail(Failure::NoWritableFolder);
        return false;
    }
    m_outputFolder = m_convert ? folder : std::string();
    size_t members = 0;
    size_t converted = 0;
    size_t index = 0;  // of the archive's entries, from 1
    std::string memberPath;
    bool regular = false;
    while (archive.Next(memberPath, regular)) {
        ++index;
        SourceKind kind = SourceKind::Swf;
        std::string safe = SafeMemberPath(memberPath);
        // A member with no name that can be read (or none at all) is judged by what it holds.
        const bool nameless = safe.empty();
        // (A name is judged as a path, which has a folder.)
        if (!regular || (!nameless && !SourceKindOf("/" + safe, false, kind))) {
            continue;  // folders, links, and what is neither a movie nor a video
        }
        CFile scratch;
        CMappedFile member;
        const bool extracted = archive.Extract(scratch) && member.OpenDescriptor(scratch.Fd());
        if (nameless) {
            FlvHeader flv;
            if (!extracted) {
                safe = "member_" + std::to_string(index);
            } else if (LooksLikeMovie(member.Data(), member.Size(), m_options.allFormats)) {
                safe = "member_" + std::to_string(index) + ".swf";
            } else if (ParseFlvHeader(member.Data(), member.Size(), flv)) {
                safe = "member_" + std::to_string(index) + ".flv";
                kind = SourceKind::Flv;
            } else {
                continue;  // neither a movie nor a video
            }
        }
        ++members;
        const std::string where = FileNamePart(path) + "/" + safe;
        auto inner = std::make_shared<ConversionReport>();
        if (!extracted) {
            inner->detail = archive.Detail();
            inner->Fail(archive.Failed() != Failure::None ? archive.Failed() : Failure::Unreadable);
            m_report.inner.emplace_back(safe, std::move(inner));
            break;
        }
        // The member's folders, mirrored inside the archive's.
        if (m_convert) {
            for (size_t slash = safe.find('/'); slash != std::string::npos;
                 slash = safe.find('/', slash + 1)) {
                const std::string sub = folder + kPathSeparator + safe.substr(0, slash);
                MakeFolder(sub);
            }
        }
        const std::string memberBase = folder + kPathSeparator + WithoutExtension(safe);
        const bool ok = kind == SourceKind::Swf
                            ? Movie(member.Data(), member.Size(), memberBase, where, where, *inner)
                            : Video(member.Data(), member.Size(), memberBase, where, *inner);
        converted += ok ? 1 : 0;
        m_report.inner.emplace_back(safe, std::move(inner));
    }
    if (archive.Failed() != Failure::None) {
        m_report.detail = archive.Detail();
        m_report.Fail(archive.Failed());
    } else if (members == 0) {
        m_report.Fail(Failure::NoMovieInside);
    }
    if (m_convert && m_outputs.empty()) {
        RemoveEmptyFolders(folder);  // nothing was written: nothing is left behind
        m_outputFolder.clear();
    }
    return archive.Failed() == Failure::None && converted > 0;
}

}  // namespace kelvora
