#include "FuzzSupport.h"

#include <unistd.h>

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

namespace {

// Where the scratch folder goes: a memory file system when there is one, since a disk file
// system writes back every replaced file (thousands a second here); else $TMPDIR, else /tmp.
std::string ScratchBase() {
    if (::access("/dev/shm", W_OK | X_OK) == 0) {
        return "/dev/shm";
    }
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

}  // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = ScratchBase() + "/kelvora-fuzz-XXXXXX";
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
