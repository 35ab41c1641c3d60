#include "engine/File.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kelvora {

CFile::~CFile() {
    Close();
}

CFile::CFile(CFile&& other) noexcept {
    *this = std::move(other);
}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_writing = other.m_writing;
        m_writeFailed = other.m_writeFailed;
        m_writeError = other.m_writeError;
        m_buffer = std::move(other.m_buffer);
        m_bufUsed = other.m_bufUsed;
        m_bufPos = other.m_bufPos;
        other.m_fd = -1;
        other.m_bufUsed = other.m_bufPos = 0;
    }
    return *this;
}

bool CFile::OpenWith(const std::string& path, int flags) {
    Close();
    m_writeFailed = false;
    m_writeError = 0;
    if (path.empty()) {
        return false;
    }
    const bool reading = (flags & O_ACCMODE) == O_RDONLY;
    if (reading) {
        // Without a writer, opening a named pipe for reading would wait for ever.
        flags |= O_NONBLOCK | O_NOCTTY;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    if (reading) {
        // Only a regular file is read: a folder, a pipe or a device is not a file to read.
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return false;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    m_fd = fd;
    m_writing = (flags & O_ACCMODE) != O_RDONLY;
    m_bufUsed = m_bufPos = 0;
    return true;
}

bool CFile::OpenRead(const std::string& path) {
    return OpenWith(path, O_RDONLY);
}

bool CFile::CreateAlways(const std::string& path) {
    if (!OpenWith(path, O_WRONLY | O_CREAT)) {
        return false;
    }
    // Truncate only a file that holds something: outputs are written into the empty files their
    // names were claimed with, and some file systems force a truncated file's data to the disk
    // when it is closed (ext4's auto_da_alloc), which would make every output wait for the disk.
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || (st.st_size > 0 && ::ftruncate(m_fd, 0) != 0)) {
        Close();
        return false;
    }
    return true;
}

bool CFile::CreateNew(const std::string& path) {
    return OpenWith(path, O_WRONLY | O_CREAT | O_EXCL);
}

bool CFile::CreateScratch() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    if (OpenWith(folder, O_TMPFILE | O_RDWR)) {
        return true;
    }
    // A file system without unnamed files: a named one, unlinked at once.
    std::string pattern = folder + "/kelvora-scratch-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::unlink(pattern.c_str());
    m_fd = fd;
    m_writing = true;
    m_writeFailed = false;
    m_writeError = 0;
    m_bufUsed = m_bufPos = 0;
    return true;
}

int64_t CFile::Read(void* buffer, size_t n) {
    if (m_fd < 0 || m_writing) {
        return -1;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
        if (m_bufPos < m_bufUsed) {
            const size_t take = std::min(n - done, m_bufUsed - m_bufPos);
            std::memcpy(out + done, m_buffer.get() + m_bufPos, take);
            m_bufPos += take;
            done += take;
            continue;
        }
        const size_t want = n - done;
        if (want >= kBufferSize) {
            // Large reads go straight to the caller's buffer.
            const ssize_t r = ::read(m_fd, out + done, want);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return done > 0 ? static_cast<int64_t>(done) : -1;
            }
            if (r == 0) {
                break;
            }
            done += static_cast<size_t>(r);
            continue;
        }
        if (!m_buffer) {
            m_buffer = std::make_unique<uint8_t[]>(kBufferSize);
        }
        const ssize_t r = ::read(m_fd, m_buffer.get(), kBufferSize);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return done > 0 ? static_cast<int64_t>(done) : -1;
        }
        if (r == 0) {
            break;
        }
        m_bufUsed = static_cast<size_t>(r);
        m_bufPos = 0;
    }
    return static_cast<int64_t>(done);
}

bool CFile::ReadExact(void* buffer, size_t n) {
    return Read(buffer, n) == static_cast<int64_t>(n);
}

bool CFile::Seek(int64_t offset) {
    if (m_fd < 0 || offset < 0) {
        return false;
    }
    if (m_writing && !Flush()) {
        return false;
    }
    m_bufUsed = m_bufPos = 0;
    return ::lseek(m_fd, offset, SEEK_SET) == offset;
}

bool CFile::Skip(int64_t delta) {
    if (m_fd < 0 || m_writing) {
        return false;
    }
    const int64_t held = static_cast<int64_t>(m_bufUsed - m_bufPos);
    if (delta >= 0 && delta <= held) {
        m_bufPos += static_cast<size_t>(delta);
        return true;
    }
    const off_t here = ::lseek(m_fd, 0, SEEK_CUR);
    if (here < 0) {
        return false;
    }
    const int64_t target = static_cast<int64_t>(here) - held + delta;
    return Seek(target);
}

int64_t CFile::Tell() const {
    if (m_fd < 0) {
        return -1;
    }
    const off_t here = ::lseek(m_fd, 0, SEEK_CUR);
    if (here < 0) {
        return -1;
    }
    return m_writing ? static_cast<int64_t>(here) + static_cast<int64_t>(m_bufUsed)
                     : static_cast<int64_t>(here) - static_cast<int64_t>(m_bufUsed - m_bufPos);
}

int64_t CFile::Size() {
    if (m_fd < 0) {
        return -1;
    }
    if (m_writing && !Flush()) {
        return -1;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

bool CFile::WriteRaw(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t w = ::write(m_fd, p, n);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            NoteWriteFailure(errno);
            return false;
        }
        if (w == 0) {
            NoteWriteFailure(EIO);
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

void CFile::NoteWriteFailure(int error) {
    if (!m_writeFailed) {
        m_writeError = error;
    }
    m_writeFailed = true;
}

bool CFile::Write(const void* data, size_t n) {
    if (m_fd < 0 || !m_writing) {
        return false;
    }
    if (m_writeFailed) {
        return false;
    }
    if (n == 0) {
        return true;
    }
    if (m_bufUsed + n > kBufferSize) {
        if (!Flush()) {
            return false;
        }
        if (n >= kBufferSize) {
            return WriteRaw(data, n);
        }
    }
    if (!m_buffer) {
        m_buffer = std::make_unique<uint8_t[]>(kBufferSize);
    }
    std::memcpy(m_buffer.get() + m_bufUsed, data, n);
    m_bufUsed += n;
    return true;
}

bool CFile::WriteGather(const struct iovec* pieces, int count) {
    if (m_fd < 0 || !m_writing || m_writeFailed || !Flush()) {
        return false;
    }
    // Empty pieces are left out: a call of nothing but them would write 0 bytes, which is no
    // progress.
    std::vector<iovec> rest;
    rest.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        if (pieces[i].iov_len > 0) {
            rest.push_back(pieces[i]);
        }
    }
    size_t first = 0;
    while (first < rest.size()) {
        const ssize_t w =
            ::writev(m_fd, rest.data() + first,
                     static_cast<int>(std::min<size_t>(rest.size() - first, IOV_MAX)));
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            NoteWriteFailure(w < 0 ? errno : EIO);
            return false;
        }
        // Step over what was written; a piece written in part keeps its rest.
        size_t done = static_cast<size_t>(w);
        while (first < rest.size() && done >= rest[first].iov_len) {
            done -= rest[first].iov_len;
            ++first;
        }
        if (done > 0) {
            rest[first].iov_base = static_cast<uint8_t*>(rest[first].iov_base) + done;
            rest[first].iov_len -= done;
        }
    }
    return true;
}

bool CFile::WriteAt(int64_t offset, const void* data, size_t n) {
    if (m_fd < 0 || !m_writing || offset < 0 || !Flush()) {
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t w = ::pwrite(m_fd, p, n, offset);
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            NoteWriteFailure(w < 0 ? errno : EIO);
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
        offset += w;
    }
    return true;
}

bool CFile::Flush() {
    if (m_fd < 0) {
        return false;
    }
    if (!m_writing) {
        return true;
    }
    if (m_bufUsed > 0) {
        const size_t pending = m_bufUsed;
        m_bufUsed = 0;
        if (!WriteRaw(m_buffer.get(), pending)) {
            return false;
        }
    }
    return !m_writeFailed;
}

bool CFile::Close() {
    if (m_fd < 0) {
        return !m_writeFailed;
    }
    bool ok = true;
    if (m_writing) {
        ok = Flush();
    }
    if (::close(m_fd) != 0 && m_writing) {
        // A close error on a written file may mean the data never reached the disk.
        NoteWriteFailure(errno);
        ok = false;
    }
    m_fd = -1;
    m_bufUsed = m_bufPos = 0;
    return ok && !m_writeFailed;
}

bool OpenOutput(CFile& file, const std::string& path) {
    return file.IsOpen() || file.CreateAlways(path);
}

bool RemoveFile(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RemoveFolderIfEmpty(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

void RemoveEmptyFolders(const std::string& path) {
    std::vector<std::string> folders;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(path, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            folders.push_back(it->path());
        }
    }
    std::sort(folders.rbegin(), folders.rend());  // the deepest first
    for (const std::string& folder : folders) {
        RemoveFolderIfEmpty(folder);
    }
    RemoveFolderIfEmpty(path);
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    // A hard link fails when the name is taken, so no existing file can be replaced.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    // File systems without hard links: rename only after checking the name is free.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool MakeFolder(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    if (::mkdir(path.c_str(), 0777) == 0) {
        return true;
    }
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void CGatheredWriter::Add(const uint8_t* data, size_t size) {
    if (size == 0) {
        return;
    }
    m_pieces.push_back({const_cast<uint8_t*>(data), size});
    m_bytes += size;
    if (m_pieces.size() >= 1024 || m_bytes >= (size_t{1} << 20)) {
        Send();
    }
}

void CGatheredWriter::Send() {
    if (!m_pieces.empty()) {
        m_file.WriteGather(m_pieces.data(), static_cast<int>(m_pieces.size()));
    }
    m_pieces.clear();
    m_bytes = 0;
}

}  // namespace kelvora
