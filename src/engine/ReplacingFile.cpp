#include "engine/ReplacingFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "engine/PathUtil.h"

namespace kelvora {

namespace {

// Short enough to keep a temporary name within the file system's 255-byte limit.
constexpr size_t kTempNameStem = 200;
constexpr int kTempNameAttempts = 100;

// The file a target name stands for: a link is followed so that the link itself stays.
std::string FileBehind(const std::string& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        const std::filesystem::path real = std::filesystem::weakly_canonical(target, ec);
        if (!ec) {
            return real.string();
        }
    }
    return AbsolutePath(target);
}

// Whether this process may write the file: opening it for writing (without truncating it) is
// the one test that sees permissions, access lists and read-only mounts alike.
bool CanWrite(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace

CReplacingFile::~CReplacingFile() {
    if (!m_tempPath.empty()) {
        m_file.Close();
        RemoveFile(m_tempPath);
    }
}

bool CReplacingFile::Open(const std::string& target) {
    if (target.empty() || !m_tempPath.empty() || m_inPlace) {
        return false;
    }
    m_target = FileBehind(target);
    struct stat old {};
    m_replacing = ::stat(m_target.c_str(), &old) == 0;
    if (m_replacing && !S_ISREG(old.st_mode)) {
        return false;
    }
    // A file the user may not write is not replaced either, though its folder would allow it.
    if (m_replacing && !CanWrite(m_target)) {
        return false;
    }
    m_mode = old.st_mode & 07777;
    const auto slash = m_target.rfind(kPathSeparator);
    const std::string folder = m_target.substr(0, slash + 1);
    const std::string stem = m_target.substr(slash + 1, kTempNameStem);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        const std::string temp = folder + "." + stem + "." + std::to_string(::getpid()) + "-" +
                                 std::to_string(attempt) + ".part";
        if (m_file.CreateNew(temp)) {
            m_tempPath = temp;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    // A folder that takes no new file still lets its writable files be written where they are.
    if (m_replacing && (errno == EACCES || errno == EPERM || errno == EROFS) &&
        m_file.CreateAlways(m_target)) {
        m_inPlace = true;
        return true;
    }
    return false;
}

bool CReplacingFile::Commit() {
    if (m_inPlace) {
        m_inPlace = false;
        return m_file.Close();
    }
    if (m_tempPath.empty()) {
        return false;
    }
    // On the disk before the rename, so a crash cannot leave an empty file in the target's
    // place; file systems without fsync report EINVAL.
    if (!m_file.Flush() || (::fsync(m_file.Fd()) != 0 && errno != EINVAL)) {
        return false;
    }
    if (m_replacing) {
        ::fchmod(m_file.Fd(), m_mode);
    }
    if (!m_file.Close() || ::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        return false;
    }
    m_tempPath.clear();
    return true;
}

bool CopyToEnd(CFile& in, CFile& out, uint8_t* buffer, size_t bufferSize) {
    for (;;) {
        const int64_t n = in.Read(buffer, bufferSize);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!out.Write(buffer, static_cast<size_t>(n))) {
            return false;
        }
    }
}

}  // namespace kelvora
