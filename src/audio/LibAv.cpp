#include "audio/LibAv.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/macros.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
}

namespace kelvora {

namespace {

struct LibAvState {
    std::atomic<const LibAv*> ready{nullptr};  // once loaded: decoders ask for it at every call
    std::mutex mutex;
    bool tried = false;
    LibAv av;
    bool loaded = false;
    std::string error;
    LibraryOpener opener;
};

LibAvState& State() {
    static LibAvState state;
    return state;
}

void* OpenLibrary(const char* soname, std::string& error) {
    void* library = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        error = why ? why : std::string(soname) + " cannot be loaded";
    }
    return library;
}

bool Load(LibAvState& state) {
    const char* const sonames[] = {
        "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
        "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
        "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    };
    void* libraries[3] = {};
    for (size_t i = 0; i < 3; ++i) {
        std::string error;
        libraries[i] =
            state.opener ? state.opener(sonames[i], error) : OpenLibrary(sonames[i], error);
        if (!libraries[i]) {
            state.error = error;
            return false;
        }
    }
    // Each function is looked up in the library that defines it; the libraries stay loaded
    // for the life of the process.
    const auto find = [&libraries](const char* name) -> void* {
        for (void* library : libraries) {
            if (void* symbol = ::dlsym(library, name)) {
                return symbol;
            }
        }
        return nullptr;
    };
    LibAv& av = state.av;
#define KELVORA_LIBAV_FIND(name)                                                                 \
    av.name = reinterpret_cast<decltype(&::name)>(find(#name));                                  \
    if (!av.name) {                                                                              \
        state.error = std::string("the symbol " #name " is missing from ") + sonames[0] + ", " + \
                      sonames[1] + " and " + sonames[2];                                         \
        return false;                                                                            \
    }
    KELVORA_LIBAV_FUNCTIONS(KELVORA_LIBAV_FIND)
#undef KELVORA_LIBAV_FIND
    return true;
}

LibAvState& Loaded() {
    LibAvState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.tried) {
        state.tried = true;
        state.loaded = Load(state);
        if (state.loaded) {
            // Broken packets are the library's to report on stderr; the core shows nothing.
            state.av.av_log_set_level(AV_LOG_QUIET);
            state.error.clear();
            state.ready.store(&state.av, std::memory_order_release);
        }
    }
    return state;
}

}  // namespace

const LibAv* LoadedLibAv() {
    if (const LibAv* av = State().ready.load(std::memory_order_acquire)) {
        return av;
    }
    LibAvState& state = Loaded();
    return state.loaded ? &state.av : nullptr;
}

std::string LibAvLoadError() {
    LibAvState& state = Loaded();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.error;
}

namespace {

struct LibAvFormatState {
    std::mutex mutex;
    bool tried = false;
    LibAvFormat format;
    bool loaded = false;
    std::string error;
};

LibAvFormatState& FormatState() {
    static LibAvFormatState state;
    return state;
}

}  // namespace

void ReloadLibAvForTesting(LibraryOpener opener) {
    {
        LibAvState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        state.ready.store(nullptr, std::memory_order_release);
        state.tried = false;
        state.loaded = false;
        state.av = LibAv{};
        state.error.clear();
        state.opener = std::move(opener);
    }
    LibAvFormatState& format = FormatState();
    std::lock_guard<std::mutex> lock(format.mutex);
    format.tried = false;
    format.loaded = false;
    format.format = LibAvFormat{};
    format.error.clear();
}

namespace {

LibAvFormatState& LoadedFormat() {
    LibAvFormatState& state = FormatState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.tried) {
        return state;
    }
    state.tried = true;
    if (!LoadedLibAv()) {
        state.error = LibAvLoadError();
        return state;
    }
    const char* const soname = "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR);
    LibraryOpener opener;
    {
        std::lock_guard<std::mutex> avLock(State().mutex);
        opener = State().opener;
    }
    void* library = opener ? opener(soname, state.error) : OpenLibrary(soname, state.error);
    if (!library) {
        return state;
    }
#define KELVORA_LIBAVFORMAT_FIND(name)                                                 \
    state.format.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name)); \
    if (!state.format.name) {                                                          \
        state.error = std::string("the symbol " #name " is missing from ") + soname;   \
        return state;                                                                  \
    }
    KELVORA_LIBAVFORMAT_FUNCTIONS(KELVORA_LIBAVFORMAT_FIND)
#undef KELVORA_LIBAVFORMAT_FIND
    state.loaded = true;
    return state;
}

}  // namespace

const LibAvFormat* LoadedLibAvFormat() {
    LibAvFormatState& state = LoadedFormat();
    return state.loaded ? &state.format : nullptr;
}

std::string LibAvFormatLoadError() {
    return LoadedFormat().error;
}

}  // namespace kelvora
