#include "convert/BatchPlan.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <numeric>
#include <unordered_map>

#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"

namespace kelvora {

namespace {

// The folder as the file system knows it, so that two spellings of one folder (a link to it,
// "..") give one key.
std::string RealFolder(const std::string& folder) {
    const std::unique_ptr<char, decltype(&::free)> real(::realpath(folder.c_str(), nullptr),
                                                        &::free);
    return real ? std::string(real.get()) : AbsolutePath(folder);
}

std::string FolderPart(const std::string& path) {
    const auto slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// A written output's name without its extension, as the base it came from would give it.
std::string StemOf(const std::string& path) {
    std::string name = FileNamePart(path);
    if (const auto dot = name.rfind('.'); dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

class Unions {
  public:
    explicit Unions(size_t n) : m_parent(n) { std::iota(m_parent.begin(), m_parent.end(), 0); }
    size_t Find(size_t i) {
        while (m_parent[i] != i) {
            m_parent[i] = m_parent[m_parent[i]];
            i = m_parent[i];
        }
        return i;
    }
    // The group keeps its smallest index as its root, so groups keep list order.
    void Join(size_t a, size_t b) {
        a = Find(a);
        b = Find(b);
        if (a != b) {
            m_parent[std::max(a, b)] = std::min(a, b);
        }
    }

  private:
    std::vector<size_t> m_parent;
};

}  // namespace

std::string NamingKey(const std::string& folder, const std::string& baseName) {
    // SWF names add "_%03d", FLV names "_%d", and a base may itself end in such a part
    // (clip_1.swf's single sound is clip_1.mp3, the name clip.flv takes second).
    std::string root = baseName;
    for (;;) {
        const auto underscore = root.rfind('_');
        if (underscore == std::string::npos || underscore + 1 == root.size() ||
            root.find_first_not_of("0123456789", underscore + 1) != std::string::npos) {
            break;
        }
        root.erase(underscore);
    }
    std::string key = RealFolder(folder);
    if (key.empty() || key.back() != kPathSeparator) {
        key += kPathSeparator;
    }
    return key + root;
}

std::vector<std::vector<size_t>> PlanConversionGroups(const std::vector<const SourceItem*>& items) {
    Unions unions(items.size());
    std::unordered_map<std::string, size_t> firstWithKey;
    auto claim = [&](const std::string& key, size_t index) {
        const auto [it, added] = firstWithKey.emplace(key, index);
        if (!added) {
            unions.Join(it->second, index);
        }
    };
    for (size_t i = 0; i < items.size(); ++i) {
        const SourceItem& item = *items[i];
        if (!HasExtension(item.path, ".swf") && !HasExtension(item.path, ".flv")) {
            continue;  // not converted: it writes nothing and deletes nothing
        }
        // Where this source's outputs will go, settled now as its conversion will settle it.
        int32_t counter = 1;
        const std::string base = MakeOutputBase(item.path, item.kind, counter);
        if (!base.empty()) {
            claim(NamingKey(FolderPart(base), FileNamePart(base)), i);
        }
        // Its earlier outputs are deleted when it is converted, which frees their names.
        for (const OutputItem& old : item.outputs) {
            claim(NamingKey(FolderPart(old.path), StemOf(old.path)), i);
        }
    }
    std::vector<std::vector<size_t>> groups;
    std::vector<size_t> groupOfRoot(items.size(), SIZE_MAX);
    for (size_t i = 0; i < items.size(); ++i) {
        const size_t root = unions.Find(i);
        if (groupOfRoot[root] == SIZE_MAX) {
            groupOfRoot[root] = groups.size();
            groups.emplace_back();
        }
        groups[groupOfRoot[root]].push_back(i);
    }
    return groups;
}

}  // namespace kelvora
