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

}  // namespace kelvora
