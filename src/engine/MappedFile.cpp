#include "engine/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvora {

CMappedFile::~CMappedFile() {
    Close();
}

void CMappedFile::Close() {
    if (m_map) {
        ::munmap(m_map, m_mapSize);
    }
    m_map = nullptr;
    m_mapSize = 0;
    m_data = nullptr;
    m_size = 0;
    m_open = false;
}

bool CMappedFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = OpenDescriptor(fd);
    ::close(fd);
    return ok;
}

bool CMappedFile::OpenDescriptor(int fd) {
    Close();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    if (size > 0) {
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
            return false;
        }
        // The data is read once from start to end.
        ::madvise(map, size, MADV_SEQUENTIAL);
        m_map = map;
        m_mapSize = size;
        m_data = static_cast<const uint8_t*>(map);
    }
    m_size = size;
    m_open = true;
    return true;
}

}  // namespace kelvora
