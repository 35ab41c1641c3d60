#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "engine/File.h"

namespace kelvora::fuzz {

ScratchFolder& ScratchFolder::Get() {
    static ScratchFolder folder;
    return folder;
}

ScratchFolder::ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kelvora-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        Fail("cannot make a scratch folder");
    }
    m_path = buf.data();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void ScratchFolder::Clear() const {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(m_path, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code removeError;
        std::filesystem::remove_all(it->path(), removeError);
    }
}

std::string ScratchFolder::Write(const std::string& name, const uint8_t* data, size_t size) const {
    const std::string path = File(name);
    CFile file;
    if (!file.CreateAlways(path) || !file.Write(data, size) || !file.Close()) {
        return {};
    }
    return path;
}

void Fail(const char* what) {
    std::fprintf(stderr, "kelvora fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace kelvora::fuzz
