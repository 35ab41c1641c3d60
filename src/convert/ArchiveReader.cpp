#include "convert/ArchiveReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <iconv.h>
#include <locale.h>

#include <algorithm>
#include <vector>

#include "engine/TextFormat.h"

namespace kelvora {

namespace {

constexpr size_t kBlockSize = 64 * 1024;
// Bytes the reader may have read ahead of the member it inflates.
constexpr uint64_t kReadAhead = 2 * kBlockSize + 64 * 1024;
// What a whole archive may give beyond its ratio: room for small archives of real movies.
constexpr uint64_t kTotalSlack = 16 * 1024 * 1024;

// libarchive gives a member's name through the locale of the thread that reads it: in the "C"
// locale of a program started with no locale at all, a name that is not ASCII has no form and
// the member would vanish. The archive is read in a UTF-8 locale of its own, whatever the
// environment, and only while libarchive is called.
class CUtf8Locale {
  public:
    CUtf8Locale() {
        static const locale_t utf8 = [] {
            locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
            return made ? made : newlocale(LC_CTYPE_MASK, "en_US.UTF-8", nullptr);
        }();
        if (utf8) {
            m_saved = uselocale(utf8);
        }
    }
    ~CUtf8Locale() {
        if (m_saved) {
            uselocale(m_saved);
        }
    }
    CUtf8Locale(const CUtf8Locale&) = delete;
    CUtf8Locale& operator=(const CUtf8Locale&) = delete;

  private:
    locale_t m_saved = nullptr;
};

// A ZIP name not flagged as UTF-8 is in the code page of the tool that wrote it: UTF-8 where it
// reads as such (tools on Linux and macOS write it unflagged), else code page 437, the one the
// format names, which gives every byte a character.
std::string LegacyName(const std::string& raw) {
    if (IsUtf8(raw)) {
        return raw;
    }
    iconv_t cd = iconv_open("UTF-8", "CP437");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return ToValidUtf8(raw);
    }
    std::string out(raw.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(raw.data());
    size_t inLeft = raw.size();
    char* put = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &in, &inLeft, &put, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) {
        return ToValidUtf8(raw);
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

CArchiveReader::~CArchiveReader() {
    if (m_archive) {
        archive_read_free(m_archive);
    }
}

bool CArchiveReader::Fail(Failure why) {
    if (m_failure == Failure::None) {
        m_failure = why;
        const char* said = m_archive ? archive_error_string(m_archive) : nullptr;
        m_detail = said ? said : "";
    }
    return false;
}

bool CArchiveReader::Open(const std::string& path) {
    CFile probe;
    if (!probe.OpenRead(path)) {
        return Fail(Failure::Unreadable);
    }
    const int64_t size = probe.Size();
    probe.Close();
    m_archiveBytes = size > 0 ? static_cast<uint64_t>(size) : 0;
    m_archive = archive_read_new();
    if (!m_archive) {
        return Fail(Failure::ArchiveUnreadable);
    }
    archive_read_support_format_zip(m_archive);
    archive_read_support_filter_none(m_archive);
    if (archive_read_open_filename(m_archive, path.c_str(), kBlockSize) != ARCHIVE_OK) {
        return Fail(Failure::ArchiveUnreadable);
    }
    return true;
}

bool CArchiveReader::OpenMemory(const uint8_t* data, size_t size) {
    m_archiveBytes = size;
    m_archive = archive_read_new();
    if (!m_archive) {
        return Fail(Failure::ArchiveUnreadable);
    }
    archive_read_support_format_zip(m_archive);
    if (archive_read_open_memory(m_archive, data, size) != ARCHIVE_OK) {
        return Fail(Failure::ArchiveUnreadable);
    }
    return true;
}

bool CArchiveReader::Next(std::string& path, bool& regularFile) {
    if (!m_archive || m_failure != Failure::None) {
        return false;
    }
    const CUtf8Locale utf8;
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(m_archive, &entry);
    if (result == ARCHIVE_EOF) {
        return false;
    }
    if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
        return Fail(Failure::ArchiveUnreadable);
    }
    // The name as UTF-8 when libarchive can give it so, else as the archive holds it; empty
    // when it has none at all.
    const char* name = archive_entry_pathname_utf8(entry);
    const char* raw = name ? nullptr : archive_entry_pathname(entry);
    path = name ? name : raw ? LegacyName(raw) : "";
    regularFile = archive_entry_filetype(entry) == AE_IFREG && !archive_entry_hardlink(entry) &&
                  !archive_entry_symlink(entry);
    return true;
}

bool CArchiveReader::Extract(CFile& scratch) {
    if (!m_archive || m_failure != Failure::None) {
        return false;
    }
    if (!scratch.CreateScratch()) {
        return Fail(WriteFailure(scratch.WriteError()));
    }
    const CUtf8Locale utf8;
    const uint64_t rawBefore =
        static_cast<uint64_t>(std::max<int64_t>(archive_filter_bytes(m_archive, -1), 0));
    uint64_t written = 0;
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int result = archive_read_data_block(m_archive, &block, &size, &offset);
        if (result == ARCHIVE_EOF) {
            break;
        }
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
            return Fail(Failure::ArchiveUnreadable);
        }
        // A sparse member's holes are zeros: they count as what it gives.
        const uint64_t end = static_cast<uint64_t>(std::max<la_int64_t>(offset, 0)) + size;
        const uint64_t raw =
            static_cast<uint64_t>(std::max<int64_t>(archive_filter_bytes(m_archive, -1), 0)) -
            rawBefore;
        if (end > kMostRatio * (raw + kReadAhead) ||
            m_inflated + end > kMostRatio * m_archiveBytes + kTotalSlack) {
            return Fail(Failure::InflatesTooFar);
        }
        if (end > written + size) {
            static const std::vector<uint8_t> zeros(kBlockSize, 0);
            for (uint64_t gap = end - size - written; gap > 0;) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(gap, zeros.size()));
                if (!scratch.Write(zeros.data(), n)) {
                    return Fail(WriteFailure(scratch.WriteError()));
                }
                gap -= n;
            }
        }
        if (size > 0 && !scratch.Write(block, size)) {
            return Fail(WriteFailure(scratch.WriteError()));
        }
        written = end;
    }
    if (!scratch.Flush()) {
        return Fail(WriteFailure(scratch.WriteError()));
    }
    m_inflated += written;
    return true;
}

std::string SafeMemberPath(const std::string& path) {
    std::string safe;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string step = path.substr(start, end - start);
        if (!step.empty() && step != "." && step != "..") {
            safe += (safe.empty() ? "" : "/") + step;
        }
        start = end + 1;
    }
    return safe;
}

}  // namespace kelvora
