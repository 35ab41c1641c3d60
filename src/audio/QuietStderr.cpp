#include "audio/QuietStderr.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace kelvora {

namespace {

thread_local int t_quiet = 0;

// Writes what other threads write through to the stderr descriptor, unbuffered, as stderr is.
ssize_t WriteThrough(void*, const char* data, size_t size) {
    if (t_quiet > 0) {
        return static_cast<ssize_t>(size);
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(STDERR_FILENO, data + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

void InstallFilter() {
    cookie_io_functions_t io{};
    io.write = &WriteThrough;
    if (FILE* filtered = ::fopencookie(nullptr, "w", io)) {
        std::setvbuf(filtered, nullptr, _IONBF, 0);
        std::fflush(stderr);
        stderr = filtered;  // the C library's stream stays open behind it, unused
    }
}

std::once_flag g_installed;

// The stream is put in front of stderr as the program starts, while it has one thread: done by
// a decoder's first use it would swap the pointer under threads that are writing through it.
const struct InstallAtStart {
    InstallAtStart() { std::call_once(g_installed, InstallFilter); }
} g_installAtStart;

}  // namespace

CQuietStderr::CQuietStderr() {
    std::call_once(g_installed, InstallFilter);  // a use from another static object's start
    ++t_quiet;
}

CQuietStderr::~CQuietStderr() {
    --t_quiet;
}

}  // namespace kelvora
