#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sys/uio.h>

struct iovec;

namespace kelvora {

// An open file that is either read or written, never both, with its own buffer.
// Writes are buffered and any failure is remembered: Close() reports whether every byte
// written since the file was opened reached it, so a full disk is never taken for success.
class CFile {
  public:
    CFile() = default;
    ~CFile();
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens an existing file read-only.
    bool OpenRead(const std::string& path);
    // Creates a file for writing, replacing an existing one.
    bool CreateAlways(const std::string& path);
    // Creates a file for writing only when no file of that name exists.
    bool CreateNew(const std::string& path);
    // Creates an unnamed file for writing in the temporary folder ($TMPDIR, else /tmp); it is
    // gone when it is closed.
    bool CreateScratch();

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    // Reads up to n bytes; returns the count (0 at the end) or -1 on a read error.
    int64_t Read(void* buffer, size_t n);
    // Reads exactly n bytes; false at a short read or an error.
    bool ReadExact(void* buffer, size_t n);
    // Moves the read or write position to an absolute offset.
    bool Seek(int64_t offset);
    // Moves the read position by `delta` bytes from where the next read would start.
    bool Skip(int64_t delta);
    // The offset the next read or write works at, or -1.
    int64_t Tell() const;
    // The current size of the file (pending writes included), or -1.
    int64_t Size();

    bool Write(const void* data, size_t n);
    // Writes the pieces in order straight from where they lie, after anything buffered; for
    // data that is already in memory as many small pieces (the tag bodies of a mapped file).
    bool WriteGather(const struct iovec* pieces, int count);
    // Writes at an absolute offset without moving the append position.
    bool WriteAt(int64_t offset, const void* data, size_t n);
    bool Flush();
    // True when no write, flush or close failed since the file was opened.
    bool Close();
    bool WriteFailed() const { return m_writeFailed; }
    // The system's error number of the first failed write, flush or close (ENOSPC: the disk is
    // full), or 0.
    int WriteError() const { return m_writeError; }

  private:
    bool OpenWith(const std::string& path, int flags);
    bool Reset();
    bool WriteRaw(const void* data, size_t n);
    void NoteWriteFailure(int error);

    static constexpr size_t kBufferSize = 64 * 1024;

    int m_fd = -1;
    bool m_writing = false;
    bool m_writeFailed = false;
    int m_writeError = 0;
    std::unique_ptr<uint8_t[]> m_buffer;
    size_t m_bufUsed = 0;  // writing: bytes pending; reading: bytes held
    size_t m_bufPos = 0;   // reading: next byte to hand out
};

// Copied data goes to a file in one call for many pieces, straight from where it lies (a mapped
// source): pieces are gathered up to 1024 of them or 1 MiB, and anything else written to the
// file first sends what is pending.
class CGatheredWriter {
  public:
    explicit CGatheredWriter(CFile& file) : m_file(file) {}
    ~CGatheredWriter() { Send(); }
    CGatheredWriter(const CGatheredWriter&) = delete;
    CGatheredWriter& operator=(const CGatheredWriter&) = delete;

    void Add(const uint8_t* data, size_t size);
    // The file, with what was pending written.
    CFile& File() {
        Send();
        return m_file;
    }

  private:
    void Send();

    CFile& m_file;
    std::vector<struct iovec> m_pieces;
    size_t m_bytes = 0;
};

// An output file: `file` when it is open (the file its name was claimed with, written through
// as it is), else created at `path`, replacing a file of that name.
bool OpenOutput(CFile& file, const std::string& path);

// Deletes a file; a missing file is not an error.
bool RemoveFile(const std::string& path);

// Renames a file only when nothing exists at the new name (never replaces a file).
bool RenameNoReplace(const std::string& from, const std::string& to);

// Removes a folder when it holds nothing; false otherwise.
bool RemoveFolderIfEmpty(const std::string& path);
// Removes every folder of the tree at `path` that holds nothing (once its own empty folders are
// gone), `path` last; links are not followed and files are never touched.
void RemoveEmptyFolders(const std::string& path);

// Creates a folder; an existing folder is fine.
bool MakeFolder(const std::string& path);

}  // namespace kelvora
