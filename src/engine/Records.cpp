#include "engine/Records.h"

#include "engine/PathUtil.h"

namespace kelvora {

SourceItem* FindSourceByPath(const SourceList& items, const std::string& path) {
    for (const auto& item : items) {
        if (item && SamePath(item->path, path)) {
            return item.get();
        }
    }
    return nullptr;
}

}  // namespace kelvora
