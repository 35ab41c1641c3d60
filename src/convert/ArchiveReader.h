#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ConversionReport.h"
#include "engine/File.h"

struct archive;

namespace kelvora {

// Reads the members of a SWC or ZIP archive with libarchive, one after another, each streamed
// into a scratch file: nothing is held whole in memory and nothing is ever written into the
// archive. A member that inflates past what any real compression gives (its compressed bytes
// times kMostRatio), or members that together inflate past that of the whole archive (entries
// that share their data, say), are refused.
class CArchiveReader {
  public:
    static constexpr uint64_t kMostRatio = 1100;

    CArchiveReader() = default;
    ~CArchiveReader();
    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    bool Open(const std::string& path);
    // An archive image in memory, which outlives the reader (for the fuzz target).
    bool OpenMemory(const uint8_t* data, size_t size);
    // The next member: its path as UTF-8, whatever the environment's locale (a legacy ZIP name
    // not flagged as UTF-8 and not valid as such is read as code page 437), or empty when it has
    // none; and whether it is a regular file (a link or a folder is not). False at the end, or
    // when the archive breaks (Failed() says).
    bool Next(std::string& path, bool& regularFile);
    // The current member's data into a new scratch file; false when it could not be read or
    // inflates too far (Failed() says why).
    bool Extract(CFile& scratch);
    Failure Failed() const { return m_failure; }
    // What libarchive said of the last failure.
    const std::string& Detail() const { return m_detail; }

  private:
    bool Fail(Failure why);

    struct archive* m_archive = nullptr;
    uint64_t m_archiveBytes = 0;  // the archive's size
    uint64_t m_inflated = 0;      // what its members gave so far
    Failure m_failure = Failure::None;
    std::string m_detail;
};

// A member's path made safe inside the folder made for its archive: "." and ".." steps, empty
// steps and a leading separator dropped, so that it never leads outside. Empty when nothing is
// left.
std::string SafeMemberPath(const std::string& path);

}  // namespace kelvora
