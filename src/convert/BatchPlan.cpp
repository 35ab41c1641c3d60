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

// The folder as the file system knows it and the base: two spellings of one folder give one key.
std::string KeyOf(const std::string& folder, const std::string& base) {
    std::string key = RealFolder(folder);
    if (key.empty() || key.back() != kPathSeparator) {
        key += kPathSeparator;
    }
    return key + base;
}

}  // namespace

std::vector<std::vector<size_t>> PlanConversionGroups(const std::vector<const SourceItem*>& items,
                                                      const ConversionOptions& options) {
    Unions unions(items.size());
    // Every base of every source, by folder and name: the folder where its outputs go, and
    // the bases of its earlier outputs.
    std::unordered_map<std::string, std::vector<size_t>> sourcesOf;  // "folder/base"
    std::vector<std::vector<std::string>> basesOf(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const SourceItem& item = *items[i];
        SourceKind kind;
        if (!SourceKindOf(item.path, options.embedded, kind)) {
            continue;  // not converted: it writes nothing and deletes nothing
        }
        // Where this source's outputs will go, settled now as its conversion will settle it.
        int32_t counter = 1;
        const std::string base = MakeOutputBase(item.path, item.kind, counter);
        if (!base.empty()) {
            basesOf[i].push_back(KeyOf(FolderPart(base), FileNamePart(base)));
        }
        for (const OutputItem& old : item.outputs) {
            basesOf[i].push_back(KeyOf(FolderPart(old.path), StemOf(old.path)));
        }
        for (const std::string& key : basesOf[i]) {
            sourcesOf[key].push_back(i);
        }
    }
    for (size_t i = 0; i < items.size(); ++i) {
        for (const std::string& key : basesOf[i]) {
            // The same base, or a base this one is named from: every place of '_' in the name
            // could end the other's base.
            for (const size_t other : sourcesOf[key]) {
                unions.Join(i, other);
            }
            const size_t folderEnd = key.rfind(kPathSeparator) + 1;
            for (size_t at = key.find('_', folderEnd); at != std::string::npos;
                 at = key.find('_', at + 1)) {
                const std::string shorter = key.substr(0, at);
                const auto found = sourcesOf.find(shorter);
                if (found != sourcesOf.end() &&
                    NameComesFrom(key.substr(folderEnd), shorter.substr(folderEnd), options)) {
                    for (const size_t other : found->second) {
                        unions.Join(i, other);
                    }
                }
            }
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
