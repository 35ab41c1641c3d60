#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvora {

// A whole file mapped read-only into memory: reading a large video costs address space, not
// heap, and no copy is made. Another program may cut the file short while it is mapped; reading
// the lost part would end the process with a bus error, so the lost pages read as zeros instead
// and Truncated() tells the reader that what it read is not the file.
class CMappedFile {
  public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Maps the file as it is now. An empty file maps to an empty view.
    bool Open(const std::string& path);
    // Maps the regular file open on `fd` as it is now; the descriptor stays the caller's.
    bool OpenDescriptor(int fd);
    void Close();

    const uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    bool IsOpen() const { return m_open; }
    // True once a read reached a part of the mapping that the file no longer holds, or when
    // the file is now shorter than the mapping.
    bool Truncated() const;

  private:
    // Maps the file open on `fd`; `ownFd` (or a copy of `fd` when it is -1) is kept with it.
    bool Map(int fd, int ownFd);

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    void* m_map = nullptr;
    size_t m_mapSize = 0;
    bool m_open = false;
    int m_guard = -1;  // the slot that guards this mapping, or -1
    int m_fd = -1;     // the mapped file, kept to see whether it was cut
};

}  // namespace kelvora
