#include "engine/MappedFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace kelvora {

namespace {

// The mappings a bus error may hit, readable from the signal handler without a lock. A slot's
// start and end change only under an odd sequence number (a sequence lock): the handler takes
// them as one pair only when the number was even and the same before and after it read them, so
// a slot released and taken again meanwhile never pairs one mapping's start with another's end.
struct Guard {
    std::atomic<uint64_t> sequence{0};
    std::atomic<uintptr_t> start{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> cut{false};
    std::atomic<bool> taken{false};

    // The slot's mapping as one consistent pair; false while it changes or when it is free.
    bool Read(uintptr_t& from, uintptr_t& to) const {
        const uint64_t before = sequence.load(std::memory_order_acquire);
        if (before & 1) {
            return false;
        }
        from = start.load(std::memory_order_relaxed);
        to = end.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        return from != 0 && sequence.load(std::memory_order_relaxed) == before;
    }
    void Write(uintptr_t from, uintptr_t to) {
        sequence.fetch_add(1, std::memory_order_relaxed);  // odd: changing
        std::atomic_thread_fence(std::memory_order_release);
        start.store(from, std::memory_order_relaxed);
        end.store(to, std::memory_order_relaxed);
        sequence.fetch_add(1, std::memory_order_release);  // even: whole again
    }
};
// Every worker maps a file or two at a time; more mappings than this go unguarded.
constexpr int kGuards = 4096;
Guard g_guards[kGuards];
uintptr_t g_pageSize = 4096;
struct sigaction g_previousBusAction {};

// A read of a page that the file no longer holds: that page and the rest of the mapping become
// zeros, so the read goes on, and the mapping is marked cut. A bus error anywhere else is not
// ours and goes to whoever handled it before.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Guard& guard : g_guards) {
        uintptr_t start = 0;
        uintptr_t mappedEnd = 0;
        if (!guard.Read(start, mappedEnd) || address < start || address >= mappedEnd) {
            continue;
        }
        const uintptr_t page = address & ~(g_pageSize - 1);
        const uintptr_t end = (mappedEnd + g_pageSize - 1) & ~(g_pageSize - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                             MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (zeros != MAP_FAILED) {
            guard.cut.store(true);
            return;
        }
        break;
    }
    if ((g_previousBusAction.sa_flags & SA_SIGINFO) && g_previousBusAction.sa_sigaction) {
        g_previousBusAction.sa_sigaction(signal, info, context);
    } else if (g_previousBusAction.sa_handler != SIG_DFL &&
               g_previousBusAction.sa_handler != SIG_IGN) {
        g_previousBusAction.sa_handler(signal);
    } else {
        // The default action, taken when the faulting read runs again.
        ::signal(SIGBUS, SIG_DFL);
    }
}

void InstallBusErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previousBusAction);
    });
}

int TakeGuard(const void* map, size_t size) {
    InstallBusErrorHandler();
    for (int i = 0; i < kGuards; ++i) {
        bool expected = false;
        if (g_guards[i].taken.compare_exchange_strong(expected, true)) {
            const auto start = reinterpret_cast<uintptr_t>(map);
            g_guards[i].cut.store(false);
            g_guards[i].Write(start, start + size);
            return i;
        }
    }
    return -1;
}

void ReleaseGuard(int slot) {
    g_guards[slot].Write(0, 0);
    g_guards[slot].taken.store(false);
}

}  // namespace

CMappedFile::~CMappedFile() {
    Close();
}

bool CMappedFile::Truncated() const {
    if (m_guard >= 0 && g_guards[m_guard].cut.load()) {
        return true;
    }
    // The kernel's own reads of the mapping (a write straight from it) meet no bus error but
    // fail: whether the file is now shorter than what was mapped tells the same.
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && static_cast<size_t>(st.st_size) < m_mapSize;
}

void CMappedFile::Close() {
    if (m_guard >= 0) {
        ReleaseGuard(m_guard);
        m_guard = -1;
    }
    if (m_map) {
        ::munmap(m_map, m_mapSize);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_map = nullptr;
    m_mapSize = 0;
    m_data = nullptr;
    m_size = 0;
    m_open = false;
}

bool CMappedFile::Open(const std::string& path) {
    Close();
    // Not blocking: a named pipe is refused below rather than waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // The descriptor is the mapping's own from here on: kept to see whether the file was cut.
    const bool ok = Map(fd, fd);
    if (m_fd != fd) {
        ::close(fd);
    }
    return ok;
}

bool CMappedFile::OpenDescriptor(int fd) {
    Close();
    return Map(fd, -1);
}

bool CMappedFile::Map(int fd, int ownFd) {
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
        m_fd = ownFd >= 0 ? ownFd : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        m_guard = TakeGuard(map, size);
        m_data = static_cast<const uint8_t*>(map);
    }
    m_size = size;
    m_open = true;
    return true;
}

}  // namespace kelvora
