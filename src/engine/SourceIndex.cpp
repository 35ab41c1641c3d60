#include "engine/SourceIndex.h"

#include <sys/stat.h>

#include "engine/PathUtil.h"

namespace kelvora {

CSourceIndex::Keys CSourceIndex::KeysOf(const std::string& path) {
    Keys keys;
    keys.path = AbsolutePath(path);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        keys.file = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    return keys;
}

void CSourceIndex::Add(SourceItem* item) {
    if (!item || m_keys.count(item)) {
        return;
    }
    Keys keys = KeysOf(item->path);
    m_byPath.emplace(keys.path, item);  // the first item of a key stays the one found
    if (!keys.file.empty()) {
        m_byFile.emplace(keys.file, item);
    }
    m_keys.emplace(item, std::move(keys));
}

void CSourceIndex::Remove(const SourceItem* item) {
    const auto it = m_keys.find(item);
    if (it == m_keys.end()) {
        return;
    }
    if (auto p = m_byPath.find(it->second.path); p != m_byPath.end() && p->second == item) {
        m_byPath.erase(p);
    }
    if (auto f = m_byFile.find(it->second.file); f != m_byFile.end() && f->second == item) {
        m_byFile.erase(f);
    }
    m_keys.erase(it);
}

void CSourceIndex::Clear() {
    m_byPath.clear();
    m_byFile.clear();
    m_keys.clear();
}

SourceItem* CSourceIndex::Find(const std::string& path) const {
    if (path.empty()) {
        return nullptr;
    }
    const Keys keys = KeysOf(path);
    if (auto p = m_byPath.find(keys.path); p != m_byPath.end()) {
        return p->second;
    }
    if (!keys.file.empty()) {
        if (auto f = m_byFile.find(keys.file); f != m_byFile.end()) {
            return f->second;
        }
    }
    return nullptr;
}

}  // namespace kelvora
