#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora::test {

using Bytes = std::vector<uint8_t>;

// Appends little- and big-endian integers and raw bytes.
class ByteWriter {
  public:
    ByteWriter& U8(uint32_t v);
    ByteWriter& U16(uint32_t v);
    ByteWriter& U32(uint32_t v);
    ByteWriter& U16BE(uint32_t v);
    ByteWriter& U24BE(uint32_t v);
    ByteWriter& U32BE(uint32_t v);
    ByteWriter& Append(const Bytes& b);
    ByteWriter& Append(const std::string& text);
    const Bytes& bytes() const { return m_bytes; }
    Bytes take() { return std::move(m_bytes); }

  private:
    Bytes m_bytes;
};

// Packs bit fields most significant bit first; Finish() pads the last byte with zeros.
class BitWriter {
  public:
    BitWriter& Bits(uint32_t value, unsigned count);
    BitWriter& SignedBits(int32_t value, unsigned count);
    Bytes Finish();

  private:
    Bytes m_bytes;
    uint32_t m_acc = 0;
    unsigned m_accBits = 0;
};

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Concat(const std::vector<Bytes>& parts);

// Pseudo-random bytes: data that zlib cannot shrink and codes that move a decoder everywhere.
Bytes Noise(size_t size, uint32_t seed = 1);

// Files on disk.
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::string& path);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // The names in the folder, sorted.
    std::vector<std::string> List() const;

  private:
    std::string m_path;
};

}  // namespace kelvora::test

namespace kelvora::test {

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);  // value null: unset
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

}  // namespace kelvora::test
