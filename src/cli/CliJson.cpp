#include "cli/CliJson.h"

#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

using Json = nlohmann::json;

Json FileJson(const std::string& path, SourceKind kind, bool known) {
    static constexpr const char* kKinds[] = {"swf", "flv", "projector", "archive"};
    Json file;
    file["path"] = path;
    file["file"] = FileNamePart(path);
    file["kind"] = !known ? Json() : Json(kKinds[static_cast<size_t>(kind)]);
    return file;
}

bool Known(const std::string& path, SourceKind kind) {
    SourceKind named;
    return SourceKindOf(path, true, named) && named == kind;
}

void AddReasons(Json& file, const ConversionReport& report, const std::string& optionName) {
    file["reasons"] = DescribeReport(report, optionName);
}

void AddMovie(Json& file, const SwfMovieInfo& movie) {
    file["version"] = movie.version;
    file["width"] = movie.width;
    file["height"] = movie.height;
    file["frameRate"] = movie.frameRate;
    file["frameCount"] = movie.frameCount;
}

}  // namespace

Json ListingJson(const FileListing& listing, const std::string& optionName) {
    Json file = FileJson(listing.path, listing.kind, Known(listing.path, listing.kind));
    file["status"] = listing.read ? "read" : "failed";
    if (listing.read) {
        if (listing.kind == SourceKind::Swf || listing.kind == SourceKind::Projector) {
            AddMovie(file, listing.movie);
            file["compression"] = listing.compression;
        } else if (listing.kind == SourceKind::Flv) {
            file["version"] = listing.flvVersion;
        }
    }
    Json sounds = Json::array();
    for (const PlannedSound& s : listing.sounds) {
        const std::string outputName = OutputNameText(s);
        const OutputItem& o = s.output;
        Json sound;
        sound["from"] = s.from.empty() ? Json() : Json(s.from);
        sound["outputName"] = outputName.empty() ? Json() : Json(outputName);
        sound["outputFile"] = outputName.empty()
                                  ? Json()
                                  : Json(outputName + OutputExtension(o.FileFormat()));
        sound["outputFormat"] = OutputFormatName(o.FileFormat());
        sound["kind"] = KindText(s);
        sound["timeline"] = TimelineText(s);
        sound["characterId"] = s.kind == SoundKind::Event ? Json(s.characterId) : Json();
        sound["format"] = SoundFormatName(s.format);
        sound["sampleRate"] = o.sampleRate;
        sound["bitsPerSample"] = o.bitsPerSample;
        sound["channels"] = o.channels;
        sound["sampleFrames"] = o.sampleCount;
        sound["length"] = PreciseLengthText(o.sampleCount, o.sampleRate);
        sound["names"] = s.names;
        sound["converted"] = s.Converted();
        sound["skipReason"] = s.Converted() ? Json() : Json(SkipText(s, optionName));
        sounds.push_back(std::move(sound));
    }
    file["sounds"] = std::move(sounds);
    AddReasons(file, listing.report, optionName);
    return file;
}

Json InfoJson(const std::string& path, const SourceHeader& header, bool read,
              const std::string& optionName) {
    Json file = FileJson(path, header.kind, Known(path, header.kind));
    file["status"] = read ? "read" : "failed";
    if (read && (header.kind == SourceKind::Swf || header.kind == SourceKind::Projector)) {
        AddMovie(file, header.movie);
    } else if (read && header.kind == SourceKind::Flv) {
        file["version"] = header.flvVersion;
    }
    AddReasons(file, header.report, optionName);
    return file;
}

Json ConversionJson(const SourceItem& item, bool converted, const ConversionReport& report,
                    const std::string& status, const std::string& optionName,
                    const std::vector<FileDigest>* digests) {
    Json file = FileJson(item.path, item.kind, Known(item.path, item.kind));
    file["status"] = status;
    file["converted"] = converted;
    Json outputs = Json::array();
    for (const OutputItem& o : item.outputs) {
        Json output;
        output["path"] = o.path;
        output["file"] = FileNamePart(o.path);
        output["format"] = OutputFormatName(o.FileFormat());
        output["sampleRate"] = o.sampleRate;
        output["bitsPerSample"] = o.bitsPerSample;
        output["channels"] = o.channels;
        output["sampleFrames"] = o.sampleCount;
        output["length"] = PreciseLengthText(o.sampleCount, o.sampleRate);
        if (digests && outputs.size() < digests->size()) {
            const FileDigest& digest = (*digests)[outputs.size()];
            output["size"] = digest.size;
            output["sha256"] = digest.sha256.empty() ? Json() : Json(digest.sha256);
        }
        outputs.push_back(std::move(output));
    }
    file["outputs"] = std::move(outputs);
    AddReasons(file, report, optionName);
    return file;
}

void WriteJsonDocument(std::ostream& out, const Json& document) {
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace kelvora
