#include "engine/Records.h"

#include "engine/PathUtil.h"

namespace kelvora {

bool SourceKindOf(const std::string& path, bool wrappers, SourceKind& kind) {
    if (HasExtension(path, ".swf")) {
        kind = SourceKind::Swf;
    } else if (HasExtension(path, ".flv")) {
        kind = SourceKind::Flv;
    } else if (wrappers && (HasExtension(path, ".exe") ||
                            (ExtensionPart(path).empty() && !FileNamePart(path).empty()))) {
        kind = SourceKind::Projector;
    } else if (wrappers && (HasExtension(path, ".swc") || HasExtension(path, ".zip"))) {
        kind = SourceKind::Archive;
    } else {
        return false;
    }
    return true;
}

SourceItem* FindSourceByPath(const SourceList& items, const std::string& path) {
    for (const auto& item : items) {
        if (item && SamePath(item->path, path)) {
            return item.get();
        }
    }
    return nullptr;
}

const char* OutputFormatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Mp3:
            return "MP3";
        case OutputFormat::Flac:
            return "FLAC";
        case OutputFormat::M4a:
            return "M4A";
        case OutputFormat::Ogg:
            return "OGG";
        case OutputFormat::Wav:
            break;
    }
    return "WAV";
}

const char* OutputExtension(OutputFormat format) {
    switch (format) {
        case OutputFormat::Mp3:
            return ".mp3";
        case OutputFormat::Flac:
            return ".flac";
        case OutputFormat::M4a:
            return ".m4a";
        case OutputFormat::Ogg:
            return ".ogg";
        case OutputFormat::Wav:
            break;
    }
    return ".wav";
}

}  // namespace kelvora
