#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <functional>
#include <string>

namespace kelvora {

// The functions of libavcodec, libavutil and libswresample the decoders use.
#define KELVORA_LIBAV_FUNCTIONS(X)  \
    X(avcodec_alloc_context3)       \
    X(avcodec_find_decoder)         \
    X(avcodec_find_decoder_by_name) \
    X(avcodec_flush_buffers)        \
    X(avcodec_free_context)         \
    X(avcodec_open2)                \
    X(avcodec_receive_frame)        \
    X(avcodec_send_packet)          \
    X(av_packet_alloc)              \
    X(av_packet_free)               \
    X(av_packet_unref)              \
    X(av_frame_alloc)               \
    X(av_frame_free)                \
    X(av_frame_unref)               \
    X(av_channel_layout_copy)       \
    X(av_channel_layout_default)    \
    X(av_channel_layout_uninit)     \
    X(av_log_set_level)             \
    X(av_mallocz)                   \
    X(swr_alloc_set_opts2)          \
    X(swr_convert)                  \
    X(swr_free)                     \
    X(swr_init)

struct LibAv {
#define KELVORA_LIBAV_POINTER(name) decltype(&::name) name = nullptr;
    KELVORA_LIBAV_FUNCTIONS(KELVORA_LIBAV_POINTER)
#undef KELVORA_LIBAV_POINTER
};

// The libraries, loaded the first time a sound needs them (their versions are the ones the
// program was built with), with their logging silenced; null when they cannot be loaded. They
// bring dozens of libraries with them, so a program that never meets such a sound starts
// without any of them.
const LibAv* LoadedLibAv();
// Why they could not be loaded, in the loader's words (which library, or which symbol is
// missing from them); empty when they are loaded. Loads them if that has not been tried yet.
std::string LibAvLoadError();

// How a library is opened: a handle, or null with the reason in `error`.
using LibraryOpener = std::function<void*(const char* soname, std::string& error)>;
// Forgets the libraries and opens them with `opener` the next time (null: dlopen) — for tests
// of a machine without them; not while a decoder is open.
void ReloadLibAvForTesting(LibraryOpener opener);

}  // namespace kelvora
