#include "audio/LibAv.h"

#include <dlfcn.h>

#include <mutex>

extern "C" {
#include <libavcodec/version.h>
#include <libavutil/macros.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
}

namespace kelvora {

namespace {

bool Load(LibAv& av) {
    void* const libraries[] = {
        ::dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
        ::dlopen("libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
                 RTLD_NOW | RTLD_LOCAL),
        ::dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
    };
    // Each function is looked up in the library that defines it; the libraries stay loaded
    // for the life of the process.
    const auto find = [&libraries](const char* name) -> void* {
        for (void* library : libraries) {
            if (library) {
                if (void* symbol = ::dlsym(library, name)) {
                    return symbol;
                }
            }
        }
        return nullptr;
    };
    bool complete = true;
#define KELVORA_LIBAV_FIND(name)                                \
    av.name = reinterpret_cast<decltype(&::name)>(find(#name)); \
    complete = complete && av.name != nullptr;
    KELVORA_LIBAV_FUNCTIONS(KELVORA_LIBAV_FIND)
#undef KELVORA_LIBAV_FIND
    return complete;
}

}  // namespace

const LibAv* LoadedLibAv() {
    static LibAv av;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        loaded = Load(av);
        if (loaded) {
            // Broken packets are the library's to report on stderr; the core shows nothing.
            av.av_log_set_level(AV_LOG_QUIET);
        }
    });
    return loaded ? &av : nullptr;
}

}  // namespace kelvora
