#include "convert/ConversionJob.h"

#include "convert/ArchiveReader.h"
#include "convert/SourceRun.h"
#include "engine/File.h"
#include "engine/MappedFile.h"
#include "engine/PathUtil.h"
#include "engine/TextFormat.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfContainer.h"
#include "swf/CSwfReader.h"

namespace kelvora {

bool ConvertSourceItem(SourceItem& item, bool toMp3, CSwfReader& swf, CFlvReader& flv,
                       ConversionReport* report) {
    for (const OutputItem& old : item.outputs) {
        RemoveFile(old.path);  // already gone is fine
    }
    item.outputs.clear();
    if (!item.outputFolder.empty()) {
        RemoveEmptyFolders(item.outputFolder);  // made for an archive's outputs, now gone
        item.outputFolder.clear();
    }
    CSourceRun run(swf, flv, swf.Options(), toMp3, true);
    const bool converted = run.Run(item.path, item.kind);
    if (report) {
        *report = run.Report();
    }
    // What was written is the item's, even when an archive broke partway.
    item.outputs = run.Outputs();
    item.outputFolder = run.OutputFolder();
    return converted;
}

bool ReadSourceHeader(const std::string& path, const ConversionOptions& options,
                      SourceHeader& header) {
    header = SourceHeader();
    SourceKind kind;
    if (!SourceKindOf(path, options.embedded, kind)) {
        header.report.Fail(Failure::NotSwfOrFlv);
        return false;
    }
    header.kind = kind;
    if (kind == SourceKind::Projector) {
        // The header of the movie the program carries.
        CMappedFile file;
        size_t start = 0;
        size_t length = 0;
        if (!MapProjectorMovie(path, options.allFormats, file, start, length, header.report)) {
            return false;
        }
        CSwfContainer movie;
        const bool read = movie.OpenMemory(file.Data() + start, length, true, options.allFormats,
                                           header.report, true);
        if (file.Truncated()) {
            header.report.Cut();
            return false;
        }
        if (!read) {
            return false;
        }
        header.movie = MovieInfoOf(movie.Header());
        return true;
    }
    if (kind == SourceKind::Archive) {
        CArchiveReader archive;
        std::string member;
        bool regular = false;
        if (!archive.Open(path) ||
            (!archive.Next(member, regular) && archive.Failed() != Failure::None)) {
            header.report.detail = archive.Detail();
            header.report.Fail(archive.Failed());
            return false;
        }
        return true;
    }
    if (kind == SourceKind::Swf) {
        CSwfReader reader;
        reader.SetOptions(options);
        const bool read = reader.ReadInfo(path, &header.movie);
        header.report = reader.Report();
        return read;
    }
    CFlvReader reader;
    const bool read = reader.Open(path, true);
    header.flvVersion = reader.Version();
    header.report = reader.Report();
    return read;
}

std::string SoundsText(int count) {
    return Format("%d Sound(s)", count);
}

std::string ConversionStatusText(bool converted, const SourceItem& item) {
    return converted ? SoundsText(static_cast<int>(item.outputs.size())) : kFailureText;
}

}  // namespace kelvora
