#include "support/Bytes.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kelvora::test {

ByteWriter& ByteWriter::U8(uint32_t v) {
    m_bytes.push_back(static_cast<uint8_t>(v));
    return *this;
}
ByteWriter& ByteWriter::U16(uint32_t v) {
    return U8(v).U8(v >> 8);
}
ByteWriter& ByteWriter::U32(uint32_t v) {
    return U16(v).U16(v >> 16);
}
ByteWriter& ByteWriter::U16BE(uint32_t v) {
    return U8(v >> 8).U8(v);
}
ByteWriter& ByteWriter::U24BE(uint32_t v) {
    return U8(v >> 16).U16BE(v);
}
ByteWriter& ByteWriter::U32BE(uint32_t v) {
    return U16BE(v >> 16).U16BE(v);
}
ByteWriter& ByteWriter::Append(const Bytes& b) {
    m_bytes.insert(m_bytes.end(), b.begin(), b.end());
    return *this;
}
ByteWriter& ByteWriter::Append(const std::string& text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
}

BitWriter& BitWriter::Bits(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
        m_acc = (m_acc << 1) | ((value >> i) & 1u);
        if (++m_accBits == 8) {
            m_bytes.push_back(static_cast<uint8_t>(m_acc));
            m_acc = 0;
            m_accBits = 0;
        }
    }
    return *this;
}

BitWriter& BitWriter::SignedBits(int32_t value, unsigned count) {
    return Bits(static_cast<uint32_t>(value), count);
}

Bytes BitWriter::Finish() {
    if (m_accBits > 0) {
        m_bytes.push_back(static_cast<uint8_t>(m_acc << (8 - m_accBits)));
        m_acc = 0;
        m_accBits = 0;
    }
    return std::move(m_bytes);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    return Concat(std::vector<Bytes>(parts));
}

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes Noise(size_t size, uint32_t seed) {
    Bytes b(size);
    for (uint8_t& v : b) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<uint8_t>(seed >> 16);
    }
    return b;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kelvora-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make folders read-only to force the fallback; give the bits back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::string> TempDir::List() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace kelvora::test

namespace kelvora::test {

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
        m_had = true;
        m_old = old;
    }
    if (value) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (m_had) {
        ::setenv(m_name.c_str(), m_old.c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

}  // namespace kelvora::test
