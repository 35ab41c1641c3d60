#include "engine/SourceIndex.h"

#include <sys/stat.h>

#include "engine/PathUtil.h"

namespace kelvora {

namespace {

// The file a path leads to now (device and inode), or empty when it cannot be looked at.
std::string FileKey(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

}  // namespace

CSourceIndex::Keys CSourceIndex::KeysOf(const std::string& path) {
    return Keys{AbsolutePath(path), FileKey(path)};
}

void CSourceIndex::Add(SourceItem* item) {
    if (!item || m_keys.count(item)) {
        return;
    }
    Keys keys = KeysOf(item->path);
    m_byPath.emplace(keys.path, item);  // the first item of a path stays the one found
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
    const auto [first, last] = m_byFile.equal_range(it->second.file);
    for (auto f = first; f != last; ++f) {
        if (f->second == item) {
            m_byFile.erase(f);
            break;
        }
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
    if (keys.file.empty()) {
        return nullptr;
    }
    // The identity an item had when it was added holds only while its file is still that one.
    const auto [first, last] = m_byFile.equal_range(keys.file);
    for (auto f = first; f != last; ++f) {
        if (FileKey(f->second->path) == keys.file) {
            return f->second;
        }
    }
    return nullptr;
}

}  // namespace kelvora
