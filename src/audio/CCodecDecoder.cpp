#include "audio/CCodecDecoder.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "audio/LibAv.h"
#include "audio/QuietStderr.h"
#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

// A Nellymoser block: 64 bytes that decode to 256 samples, one after another.
constexpr size_t kNellymoserBlockBytes = 64;
// Packets of Nellymoser and G.711 are handed to the library in pieces of at most 16384 sample
// frames: the library decodes a whole packet into one frame, so an oversized packet would
// otherwise cost memory in proportion to its size (and overflow the library's sample count).
// The pieces decode exactly as the whole packet does.
constexpr size_t kNellymoserBlocksPerPiece = 64;
constexpr size_t kG711FramesPerPiece = 16384;
// An AAC packet is one frame of at most a few kilobytes; larger ones are not frames.
constexpr size_t kMaxWholePacketBytes = 64 * 1024;
// A Speex packet holds any number of frames (a movie's event sound is one packet); the library
// copies it whole, so it is bounded all the same.
constexpr size_t kMaxSpeexPacketBytes = 16 * 1024 * 1024;
// An AudioSpecificConfig is a few bytes, or a few hundred with a channel element table.
constexpr size_t kMaxConfigBytes = 4096;
// What FLV and SWF headers can express, with room to spare.
constexpr uint32_t kMaxSampleRate = 192000;

AVCodecID CodecFor(uint32_t format) {
    switch (format) {
        case kFormatNellymoser16k:
        case kFormatNellymoser8k:
        case kFormatNellymoser:
            return AV_CODEC_ID_NELLYMOSER;
        case kFormatAlaw:
            return AV_CODEC_ID_PCM_ALAW;
        case kFormatMulaw:
            return AV_CODEC_ID_PCM_MULAW;
        case kFormatAac:
            return AV_CODEC_ID_AAC;
        case kFormatSpeex:
            return AV_CODEC_ID_SPEEX;
        default:
            return AV_CODEC_ID_NONE;
    }
}

// The libraries, once a decoder has opened (objects of theirs exist only after that).
const LibAv& Av() {
    return *LoadedLibAv();
}

}  // namespace

void CCodecDecoder::ContextDeleter::operator()(AVCodecContext* context) const {
    Av().avcodec_free_context(&context);
}

void CCodecDecoder::FrameDeleter::operator()(AVFrame* frame) const {
    Av().av_frame_free(&frame);
}

void CCodecDecoder::PacketDeleter::operator()(AVPacket* packet) const {
    Av().av_packet_free(&packet);
}

void CCodecDecoder::SwrDeleter::operator()(SwrContext* swr) const {
    Av().swr_free(&swr);
}

CCodecDecoder::CCodecDecoder() = default;

CCodecDecoder::~CCodecDecoder() = default;

bool CCodecDecoder::Decodes(uint32_t format) {
    return CodecFor(format) != AV_CODEC_ID_NONE;
}

bool CCodecDecoder::Available() {
    return LoadedLibAv() != nullptr;
}

std::string CCodecDecoder::LibraryError() {
    return LibAvLoadError();
}

bool CCodecDecoder::Probe(uint32_t format, uint32_t sampleRate, uint16_t channels,
                          const std::vector<uint8_t>& config,
                          const std::vector<std::vector<uint8_t>>& packets, Probed& probed) {
    probed = Probed{};
    CCodecDecoder decoder;
    if (!decoder.Open(format, sampleRate, channels, config.data(), config.size())) {
        return false;
    }
    uint32_t frames = 0;
    const DecodedSink sink = [&](const int16_t*, uint32_t n, uint32_t rate, uint16_t ch) {
        if (probed.sampleRate == 0) {
            probed.sampleRate = rate;
            probed.channels = ch;
        }
        frames += n;
        return true;
    };
    for (const std::vector<uint8_t>& packet : packets) {
        frames = 0;
        decoder.Decode(packet.data(), packet.size(), sink);
        if (frames > 0) {
            probed.framesPerPacket = frames;
            break;
        }
    }
    return probed.sampleRate != 0;
}

void CCodecDecoder::Close() {
    m_swr.reset();
    m_packet.reset();
    m_frame.reset();
    m_context.reset();
    m_swrFormat = -1;
    m_padded = {};
    m_samples = {};
    m_unitBytes = 0;
    m_pieceBytes = 0;
    m_sinkRefused = false;
    m_sampleRate = 0;
    m_channels = 0;
    m_sourceChannels = 0;
}

bool CCodecDecoder::Open(uint32_t format, uint32_t sampleRate, uint16_t channels,
                         const uint8_t* config, size_t configSize) {
    Close();
    m_framesDecoded = 0;
    m_framesSkipped = 0;
    if (!LoadedLibAv()) {
        return false;
    }
    const AVCodecID id = CodecFor(format);
    // Speex goes to libspeex where the library has it: it decodes every frame a packet holds,
    // as players do, where the built-in decoder takes only the first.
    const AVCodec* codec =
        id == AV_CODEC_ID_SPEEX ? Av().avcodec_find_decoder_by_name("libspeex") : nullptr;
    if (codec == nullptr && id != AV_CODEC_ID_NONE) {
        codec = Av().avcodec_find_decoder(id);
    }
    if (codec == nullptr) {
        return false;
    }
    m_context.reset(Av().avcodec_alloc_context3(codec));
    if (!m_context) {
        return false;
    }
    AVCodecContext* context = m_context.get();
    if (format == kFormatAac) {
        // Without its AudioSpecificConfig the decoder would wait for ADTS headers that FLV
        // packets never have.
        if (config == nullptr || configSize == 0 || configSize > kMaxConfigBytes) {
            Close();
            return false;
        }
        // The context owns and frees its extradata.
        context->extradata =
            static_cast<uint8_t*>(Av().av_mallocz(configSize + AV_INPUT_BUFFER_PADDING_SIZE));
        if (context->extradata == nullptr) {
            Close();
            return false;
        }
        std::memcpy(context->extradata, config, configSize);
        context->extradata_size = static_cast<int>(configSize);
    } else {
        if (sampleRate == 0 || sampleRate > kMaxSampleRate || channels == 0 || channels > 2) {
            Close();
            return false;
        }
        context->sample_rate = static_cast<int>(sampleRate);
        Av().av_channel_layout_default(&context->ch_layout, channels);
    }
    // None of these decoders has threads of its own to gain from.
    context->thread_count = 1;
    m_frame.reset(Av().av_frame_alloc());
    m_packet.reset(Av().av_packet_alloc());
    if (!m_frame || !m_packet || Av().avcodec_open2(context, codec, nullptr) < 0) {
        Close();
        return false;
    }
    if (id == AV_CODEC_ID_NELLYMOSER) {
        m_unitBytes = kNellymoserBlockBytes;
        m_pieceBytes = kNellymoserBlockBytes * kNellymoserBlocksPerPiece;
    } else if (id == AV_CODEC_ID_PCM_ALAW || id == AV_CODEC_ID_PCM_MULAW) {
        m_unitBytes = channels;  // one byte per sample
        m_pieceBytes = m_unitBytes * kG711FramesPerPiece;
    }
    return true;
}

bool CCodecDecoder::Decode(const uint8_t* data, size_t size, const DecodedSink& sink) {
    m_sinkRefused = false;
    // An empty packet would tell the library that the sound has ended.
    if (!IsOpen() || data == nullptr || size == 0) {
        return false;
    }
    if (m_unitBytes == 0) {
        const size_t most =
            m_context->codec_id == AV_CODEC_ID_SPEEX ? kMaxSpeexPacketBytes : kMaxWholePacketBytes;
        return size <= most && DecodePiece(data, size, sink);
    }
    const size_t pieceBytes = m_pieceBytes;
    if (size <= pieceBytes) {
        return DecodePiece(data, size, sink);
    }
    // Bytes after the last whole unit are ignored, as the library ignores them in a packet.
    const size_t whole = size - size % m_unitBytes;
    bool accepted = true;
    for (size_t pos = 0; pos < whole; pos += pieceBytes) {
        if (!DecodePiece(data + pos, std::min(pieceBytes, whole - pos), sink)) {
            if (m_sinkRefused) {
                return false;
            }
            accepted = false;
        }
    }
    return accepted;
}

bool CCodecDecoder::DecodePiece(const uint8_t* data, size_t size, const DecodedSink& sink) {
    if (size > static_cast<size_t>(INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) {
        return false;
    }
    if (m_padded.size() < size + AV_INPUT_BUFFER_PADDING_SIZE) {
        m_padded.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
    }
    std::memcpy(m_padded.data(), data, size);
    std::memset(m_padded.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    AVPacket* packet = m_packet.get();
    Av().av_packet_unref(packet);
    const CQuietStderr quiet;  // libspeex tells of broken packets on stderr
    packet->data = m_padded.data();
    packet->size = static_cast<int>(size);
    int result = Av().avcodec_send_packet(m_context.get(), packet);
    if (result == AVERROR(EAGAIN)) {
        // Frames of an earlier packet still wait: pass them on first.
        if (!ReceiveFrames(sink)) {
            return false;
        }
        result = Av().avcodec_send_packet(m_context.get(), packet);
    }
    Av().av_packet_unref(packet);
    const bool received = ReceiveFrames(sink);
    return result >= 0 && received;
}

bool CCodecDecoder::Flush(const DecodedSink& sink) {
    m_sinkRefused = false;
    if (!IsOpen()) {
        return false;
    }
    // What is left of a broken packet may fail to decode at the end; that only ends the sound.
    const CQuietStderr quiet;
    Av().avcodec_send_packet(m_context.get(), nullptr);
    ReceiveFrames(sink);
    // Packets after the end start a new sound, which fixes its own rate and channels.
    Av().avcodec_flush_buffers(m_context.get());
    m_sampleRate = 0;
    m_channels = 0;
    m_sourceChannels = 0;
    m_swr.reset();  // the next sound's layout may differ
    m_swrFormat = -1;
    return !m_sinkRefused;
}

bool CCodecDecoder::ReceiveFrames(const DecodedSink& sink) {
    AVFrame* frame = m_frame.get();
    for (;;) {
        const int result = Av().avcodec_receive_frame(m_context.get(), frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return true;
        }
        if (result < 0) {
            return false;
        }
        const bool handed = HandOn(*frame, sink);
        Av().av_frame_unref(frame);
        if (!handed) {
            return false;
        }
    }
}

bool CCodecDecoder::HandOn(const AVFrame& frame, const DecodedSink& sink) {
    const int channels = frame.ch_layout.nb_channels;
    if (frame.nb_samples <= 0) {
        return true;
    }
    const uint32_t frames = static_cast<uint32_t>(frame.nb_samples);
    if (channels <= 0 || channels > UINT16_MAX || frame.sample_rate <= 0) {
        m_framesSkipped += frames;
        return true;
    }
    if (m_sampleRate == 0) {
        m_sampleRate = static_cast<uint32_t>(frame.sample_rate);
        m_sourceChannels = static_cast<uint16_t>(channels);
        // A sound file holds one or two channels: more (a surround AAC track) are mixed down.
        m_channels = static_cast<uint16_t>(std::min(channels, 2));
    } else if (static_cast<uint32_t>(frame.sample_rate) != m_sampleRate ||
               channels != m_sourceChannels) {
        m_framesSkipped += frames;
        return true;
    }
    const int16_t* samples = nullptr;
    if (frame.format == AV_SAMPLE_FMT_S16 && channels <= 2) {
        samples = reinterpret_cast<const int16_t*>(frame.data[0]);
    } else {
        if (!m_swr || m_swrFormat != frame.format) {
            // Same rate in and out, and the same layout unless it is mixed down to stereo:
            // only the sample format changes, rounded and clipped as the ffmpeg program does.
            AVChannelLayout layout{};
            if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
                Av().av_channel_layout_default(&layout, channels);
            } else if (Av().av_channel_layout_copy(&layout, &frame.ch_layout) < 0) {
                return false;
            }
            AVChannelLayout outLayout{};
            if (channels > 2) {
                Av().av_channel_layout_default(&outLayout, 2);
            } else if (Av().av_channel_layout_copy(&outLayout, &layout) < 0) {
                Av().av_channel_layout_uninit(&layout);
                return false;
            }
            SwrContext* swr = nullptr;
            const int made = Av().swr_alloc_set_opts2(
                &swr, &outLayout, AV_SAMPLE_FMT_S16, frame.sample_rate, &layout,
                static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
            Av().av_channel_layout_uninit(&layout);
            Av().av_channel_layout_uninit(&outLayout);
            m_swr.reset(swr);
            m_swrFormat = -1;
            if (made < 0 || Av().swr_init(swr) < 0) {
                m_swr.reset();
                return false;
            }
            m_swrFormat = frame.format;
        }
        m_samples.resize(static_cast<size_t>(frames) * m_channels);
        uint8_t* out = reinterpret_cast<uint8_t*>(m_samples.data());
        const int converted =
            Av().swr_convert(m_swr.get(), &out, frame.nb_samples,
                             const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
        if (converted != frame.nb_samples) {
            return false;
        }
        samples = m_samples.data();
    }
    if (!sink(samples, frames, m_sampleRate, m_channels)) {
        m_sinkRefused = true;
        return false;
    }
    m_framesDecoded += frames;
    return true;
}

}  // namespace kelvora
