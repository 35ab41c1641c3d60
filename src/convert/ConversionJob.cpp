#include "convert/ConversionJob.h"

#include "engine/File.h"
#include "engine/PathUtil.h"
#include "engine/TextFormat.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

namespace kelvora {

bool ConvertSourceItem(SourceItem& item, bool toMp3, CSwfReader& swf, CFlvReader& flv,
                       ConversionReport* report) {
    for (const OutputItem& old : item.outputs) {
        RemoveFile(old.path);  // already gone is fine
    }
    item.outputs.clear();
    switch (item.kind) {
        case SourceKind::Swf: {
            const bool converted = swf.Convert(item.path, toMp3);
            if (report) {
                *report = swf.Report();
            }
            if (!converted) {
                return false;
            }
            item.outputs = swf.Elements();
            return true;
        }
        case SourceKind::Flv: {
            FlvAudioResult result;
            const bool converted = flv.Convert(item.path, toMp3, &result);
            if (report) {
                *report = flv.Report();
            }
            if (!converted) {
                return false;
            }
            OutputItem out;
            out.channels = result.channels;
            out.bitsPerSample = result.bitsPerSample;
            out.sampleRate = result.sampleRate;
            out.sampleCount = result.sampleCount;
            out.isMp3 = toMp3 ? 1 : 0;
            out.path = result.path;
            item.outputs.push_back(std::move(out));
            return true;
        }
    }
    return false;
}

bool ReadSourceHeader(const std::string& path, const ConversionOptions& options,
                      SourceHeader& header) {
    header = SourceHeader();
    if (HasExtension(path, ".swf")) {
        CSwfReader reader;
        reader.SetOptions(options);
        const bool read = reader.ReadInfo(path, &header.movie);
        header.report = reader.Report();
        return read;
    }
    if (HasExtension(path, ".flv")) {
        header.kind = SourceKind::Flv;
        CFlvReader reader;
        const bool read = reader.Open(path, true);
        header.flvVersion = reader.Version();
        header.report = reader.Report();
        return read;
    }
    header.report.Fail(Failure::NotSwfOrFlv);
    return false;
}

std::string SoundsText(int count) {
    return Format("%d Sound(s)", count);
}

std::string ConversionStatusText(bool converted, const SourceItem& item) {
    return converted ? SoundsText(static_cast<int>(item.outputs.size())) : kFailureText;
}

}  // namespace kelvora
