#pragma once

#include <string>
#include <unordered_map>
#include <utility>

#include "engine/Records.h"

namespace kelvora {

// Finds the source item that names a file, in constant time however long the list: by the
// normalised absolute path, and by the file itself (device and inode), so that the same file
// reached through a link or another spelling is found too. Files are compared as they are now:
// a listed file that was renamed or deleted (its inode free for another file) matches nothing
// but its own path.
class CSourceIndex {
  public:
    void Add(SourceItem* item);
    void Remove(const SourceItem* item);
    void Clear();
    // The item whose file `path` names, or null.
    SourceItem* Find(const std::string& path) const;

  private:
    struct Keys {
        std::string path;
        std::string file;  // empty when the file could not be looked at
    };
    static Keys KeysOf(const std::string& path);

    std::unordered_map<std::string, SourceItem*> m_byPath;
    std::unordered_multimap<std::string, SourceItem*> m_byFile;
    std::unordered_map<const SourceItem*, Keys> m_keys;
};

}  // namespace kelvora
