#include "support/Faults.h"

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kelvora::test {

SmallDisk::SmallDisk(const std::string& folder, const std::string& size) : m_folder(folder) {
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (m_mounted) {
        ::umount2(m_folder.c_str(), MNT_DETACH);
    }
}

int RunUnprivileged(const std::function<int()>& body) {
    if (::geteuid() != 0) {
        return body();
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            std::_Exit(255);
        }
        std::_Exit(body() & 0xFF);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

}  // namespace kelvora::test
