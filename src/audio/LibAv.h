#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
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
    X(av_malloc)                    \
    X(av_free)                      \
    X(av_dict_set)                  \
    X(av_new_packet)                \
    X(av_packet_new_side_data)      \
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

// The functions of libavformat the containers of sound kept in its own coding are written with
// (MP3 behind an Info frame, AAC in MP4, Speex in Ogg).
#define KELVORA_LIBAVFORMAT_FUNCTIONS(X) \
    X(avformat_alloc_output_context2)    \
    X(avformat_new_stream)               \
    X(avformat_write_header)             \
    X(av_write_frame)                    \
    X(av_write_trailer)                  \
    X(avformat_free_context)             \
    X(avio_alloc_context)                \
    X(avio_context_free)

struct LibAvFormat {
#define KELVORA_LIBAV_POINTER(name) decltype(&::name) name = nullptr;
    KELVORA_LIBAVFORMAT_FUNCTIONS(KELVORA_LIBAV_POINTER)
#undef KELVORA_LIBAV_POINTER
};

// libavformat, loaded (with the decoding libraries) the first time a container needs it; null
// when it cannot be, and LibAvFormatLoadError() says why.
const LibAvFormat* LoadedLibAvFormat();
std::string LibAvFormatLoadError();

// How a library is opened: a handle, or null with the reason in `error`.
using LibraryOpener = std::function<void*(const char* soname, std::string& error)>;
// Forgets the libraries and opens them with `opener` the next time (null: dlopen) — for tests
// of a machine without them; not while a decoder is open.
void ReloadLibAvForTesting(LibraryOpener opener);

}  // namespace kelvora
