#include "audio/MuxedFile.h"

#include <errno.h>
#include <speex/speex.h>
#include <speex/speex_header.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "audio/LibAv.h"
#include "engine/OutputNaming.h"

namespace kelvora {

namespace {

constexpr int kIoBufferSize = 64 * 1024;

}  // namespace

// libavformat's side of one file: its context, and the I/O it writes through, straight to the
// claimed file's descriptor (the MP3 and MP4 muxers seek back to finish their headers).
struct CMuxedFile::Context {
    const LibAv* av = nullptr;
    const LibAvFormat* format = nullptr;
    AVFormatContext* muxer = nullptr;
    AVIOContext* io = nullptr;
    AVStream* stream = nullptr;
    int fd = -1;
    int error = 0;  // the first write's error number

    ~Context() {
        if (muxer) {
            format->avformat_free_context(muxer);
        }
        if (io) {
            av->av_free(io->buffer);
            format->avio_context_free(&io);
        }
    }

#if LIBAVFORMAT_VERSION_MAJOR >= 61
    static int Write(void* opaque, const uint8_t* data, int size) {
#else
    static int Write(void* opaque, uint8_t* data, int size) {
#endif
        auto* context = static_cast<Context*>(opaque);
        for (int done = 0; done < size;) {
            const ssize_t n = ::write(context->fd, data + done, static_cast<size_t>(size - done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                context->error = n < 0 ? errno : EIO;
                return AVERROR(context->error);
            }
            done += static_cast<int>(n);
        }
        return size;
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* context = static_cast<Context*>(opaque);
        if (whence & AVSEEK_SIZE) {
            struct stat st {};
            return ::fstat(context->fd, &st) == 0 ? st.st_size : AVERROR(errno);
        }
        const off_t at = ::lseek(context->fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : at;
    }
};

CMuxedFile::CMuxedFile() = default;

CMuxedFile::~CMuxedFile() {
    // A file never finished is no file.
    if (m_context && m_file.IsOpen()) {
        m_context.reset();
        m_file.Close();
        RemoveFile(m_path);
    }
}

void CMuxedFile::Fail(Failure why) {
    if (m_failure == Failure::None) {
        m_failure = why;
    }
}

bool CMuxedFile::Open(std::string& path, const MuxedSound& sound) {
    m_sound = sound;
    auto context = std::make_unique<Context>();
    context->av = LoadedLibAv();
    context->format = context->av ? LoadedLibAvFormat() : nullptr;
    if (!context->format) {
        m_detail = context->av ? LibAvFormatLoadError() : LibAvLoadError();
        Fail(Failure::LibraryMissing);
        return false;
    }
    path = ClaimPlannedName(path, m_file);
    if (path.empty()) {
        Fail(Failure::NoWritableFolder);
        return false;
    }
    m_path = path;
    context->fd = m_file.Fd();
    m_context = std::move(context);
    Context& c = *m_context;
    const char* container = sound.format == OutputFormat::Mp3   ? "mp3"
                            : sound.format == OutputFormat::M4a ? "ipod"
                                                                : "ogg";
    if (c.format->avformat_alloc_output_context2(&c.muxer, nullptr, container, nullptr) < 0 ||
        !c.muxer) {
        Fail(Failure::WriteFailed);
        return false;
    }
    // Without it the Ogg muxer draws a random stream serial: two runs would write two files.
    c.muxer->flags |= AVFMT_FLAG_BITEXACT;
    auto* buffer = static_cast<uint8_t*>(c.av->av_malloc(kIoBufferSize));
    c.io = buffer ? c.format->avio_alloc_context(buffer, kIoBufferSize, 1, &c, nullptr,
                                                 &Context::Write, &Context::Seek)
                  : nullptr;
    if (!c.io) {
        c.av->av_free(buffer);
        Fail(Failure::WriteFailed);
        return false;
    }
    c.muxer->pb = c.io;
    c.stream = c.format->avformat_new_stream(c.muxer, nullptr);
    if (!c.stream) {
        Fail(Failure::WriteFailed);
        return false;
    }
    AVCodecParameters* par = c.stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = sound.format == OutputFormat::Mp3   ? AV_CODEC_ID_MP3
                    : sound.format == OutputFormat::M4a ? AV_CODEC_ID_AAC
                                                        : AV_CODEC_ID_SPEEX;
    par->sample_rate = static_cast<int>(sound.sampleRate);
    c.av->av_channel_layout_default(&par->ch_layout, sound.channels);
    par->bit_rate = sound.bitRate;
    if (!sound.config.empty()) {
        par->extradata = static_cast<uint8_t*>(
            c.av->av_mallocz(sound.config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) {
            Fail(Failure::WriteFailed);
            return false;
        }
        std::memcpy(par->extradata, sound.config.data(), sound.config.size());
        par->extradata_size = static_cast<int>(sound.config.size());
    }
    c.stream->time_base = {1, static_cast<int>(sound.sampleRate)};
    for (const auto& [key, value] : {std::pair{"title", &sound.tags.title},
                                     std::pair{"album", &sound.tags.album}}) {
        if (!value->empty()) {
            c.av->av_dict_set(&c.muxer->metadata, key, value->c_str(), 0);
        }
    }
    if (c.format->avformat_write_header(c.muxer, nullptr) < 0) {
        Fail(c.error != 0 ? WriteFailure(c.error) : Failure::WriteFailed);
        return false;
    }
    return true;
}

bool CMuxedFile::Write(const uint8_t* data, size_t size, uint32_t sampleFrames) {
    if (!m_context || m_failure != Failure::None) {
        return false;
    }
    // Held back one packet: the last one carries what players drop at the end.
    if (m_holding && !Send(false)) {
        return false;
    }
    m_held.assign(data, data + size);
    m_heldFrames = sampleFrames;
    m_holding = true;
    return true;
}

bool CMuxedFile::Send(bool last) {
    Context& c = *m_context;
    AVPacket* packet = c.av->av_packet_alloc();
    if (!packet || c.av->av_new_packet(packet, static_cast<int>(m_held.size())) < 0) {
        c.av->av_packet_free(&packet);
        Fail(Failure::WriteFailed);
        return false;
    }
    std::memcpy(packet->data, m_held.data(), m_held.size());
    // Numbered in sample frames, in the stream's own time base once the muxer has chosen it.
    const AVRational base = c.stream->time_base;
    const auto scale = [&](uint64_t frames) {
        return static_cast<int64_t>(static_cast<__int128>(frames) * base.den /
                                    (static_cast<__int128>(base.num) * m_sound.sampleRate));
    };
    packet->pts = packet->dts = scale(m_frames);
    packet->duration = scale(m_frames + m_heldFrames) - packet->pts;
    packet->stream_index = 0;
    const bool first = m_packets == 0;
    if (m_sound.format == OutputFormat::Mp3 && (first || last)) {
        uint8_t* skip = c.av->av_packet_new_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, 10);
        if (skip) {
            std::memset(skip, 0, 10);
            const auto put32 = [](uint8_t* at, uint64_t value) {
                const auto v = static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
                at[0] = static_cast<uint8_t>(v);
                at[1] = static_cast<uint8_t>(v >> 8);
                at[2] = static_cast<uint8_t>(v >> 16);
                at[3] = static_cast<uint8_t>(v >> 24);
            };
            put32(skip, first ? m_sound.skipStart : 0);
            put32(skip + 4, last ? m_sound.skipEnd : 0);
        }
    }
    const int result = c.format->av_write_frame(c.muxer, packet);
    c.av->av_packet_free(&packet);
    m_frames += m_heldFrames;
    ++m_packets;
    m_holding = false;
    if (result < 0) {
        Fail(c.error != 0 ? WriteFailure(c.error) : Failure::WriteFailed);
        return false;
    }
    return true;
}

bool CMuxedFile::Finish() {
    bool ok = m_context && m_failure == Failure::None;
    if (ok && m_holding) {
        ok = Send(true);
    }
    if (ok && m_context->format->av_write_trailer(m_context->muxer) < 0) {
        Fail(m_context->error != 0 ? WriteFailure(m_context->error) : Failure::WriteFailed);
        ok = false;
    }
    ok = ok && m_context->error == 0;
    m_context.reset();
    const bool closed = m_file.Close();
    if (!ok || !closed) {
        Fail(WriteFailure(m_file.WriteError()));
        RemoveFile(m_path);
        return false;
    }
    return true;
}

std::vector<uint8_t> SpeexHeaderFor(uint32_t sampleRate, uint16_t channels,
                                    uint32_t framesPerPacket) {
    SpeexHeader header;
    speex_init_header(&header, static_cast<int>(sampleRate), channels,
                      speex_lib_get_mode(sampleRate > 16000   ? SPEEX_MODEID_UWB
                                         : sampleRate > 8000 ? SPEEX_MODEID_WB
                                                             : SPEEX_MODEID_NB));
    header.frames_per_packet = static_cast<spx_int32_t>(framesPerPacket);
    int size = 0;
    char* packet = speex_header_to_packet(&header, &size);
    std::vector<uint8_t> bytes;
    if (packet) {
        bytes.assign(packet, packet + size);
        speex_header_free(packet);
    }
    return bytes;
}

}  // namespace kelvora
