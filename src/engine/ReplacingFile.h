#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/File.h"

namespace kelvora {

// A new file that takes the place of `target` only once it is complete: it is written under a
// temporary name beside the target and renamed over it by Commit(). Until then, and whenever
// anything fails, the target stays as it was; the temporary file is removed when the object is
// destroyed without a commit. So a full disk or a read error never leaves a half-written file
// nor destroys the file being replaced. Only a target the user may write is written: an
// existing one that the user may not write is refused, and one whose folder takes no new file
// is written in place, where a failure leaves it part written.
class CReplacingFile {
  public:
    CReplacingFile() = default;
    ~CReplacingFile();
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Fails for a target that exists but is no regular file (a folder, a device, a pipe) and when
    // no file can be made beside it. A symbolic link at the target is kept: the file it leads to
    // is what gets replaced.
    bool Open(const std::string& target);
    CFile& File() { return m_file; }
    // Flushes the new file to the disk, gives it the replaced file's permissions and renames it
    // over the target. False when any write failed or the rename did.
    bool Commit();

  private:
    CFile m_file;
    std::string m_tempPath;
    std::string m_target;
    bool m_replacing = false;
    bool m_inPlace = false;  // writing the target itself
    mode_t m_mode = 0;
};

// Copies `in` from its position to its end onto `out`. False at any read or write error: a copy
// with part of its source missing must not pass for a whole one.
bool CopyToEnd(CFile& in, CFile& out, uint8_t* buffer, size_t bufferSize);

}  // namespace kelvora
