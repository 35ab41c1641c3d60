#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace kelvora {

// What a decoder hands on: `frames` sample frames of interleaved 16-bit samples at `sampleRate`
// with `channels` channels. False from the sink stops the sound (its file could not take them).
using DecodedSink = std::function<bool(const int16_t* samples, uint32_t frames, uint32_t sampleRate,
                                       uint16_t channels)>;

// Decodes the packets of one sound in a format that libavcodec knows (Nellymoser, G.711, AAC,
// Speex) into interleaved 16-bit samples, converted from the decoder's own sample format as the
// ffmpeg program converts them. Every object owns its library decoder and buffers, so objects
// on different threads are independent, and memory does not grow with the length of a sound.
//
// The first decoded frame fixes the sound's rate and channel count; a later frame that differs
// (an AAC stream may switch) is skipped, since the file being written cannot change them. A
// sound of more than two channels (a surround AAC track) is mixed down to stereo.
class CCodecDecoder {
  public:
    CCodecDecoder();
    ~CCodecDecoder();
    CCodecDecoder(const CCodecDecoder&) = delete;
    CCodecDecoder& operator=(const CCodecDecoder&) = delete;

    // True for the Flash sound formats this class decodes: 4, 5, 6 (Nellymoser 16 kHz, 8 kHz,
    // any rate), 7 (G.711 A-law), 8 (G.711 mu-law), 10 (AAC), 11 (Speex).
    static bool Decodes(uint32_t format);
    // Whether the libraries that decode them can be loaded (they are, if they can), and why not,
    // in the loader's words.
    static bool Available();
    static std::string LibraryError();

    // Opens a decoder for Flash sound format `format` with the rate and channels the container
    // gives for it (the caller applies the container's rules). AAC takes its rate and channels
    // from `config`, the AudioSpecificConfig of its sequence header, and fails to open without
    // one or with one the library refuses. False for other formats or when the library refuses.
    bool Open(uint32_t format, uint32_t sampleRate, uint16_t channels,
              const uint8_t* config = nullptr, size_t configSize = 0);
    // What the first packets of a sound decode to, with a decoder of their own: AAC with SBR
    // comes out at twice the rate its configuration gives, which only its frames tell. False
    // when nothing decodes.
    struct Probed {
        uint32_t sampleRate = 0;
        uint16_t channels = 0;
        uint32_t framesPerPacket = 0;  // of the first packet that gave any
    };
    static bool Probe(uint32_t format, uint32_t sampleRate, uint16_t channels,
                      const std::vector<uint8_t>& config,
                      const std::vector<std::vector<uint8_t>>& packets, Probed& probed);
    // Decodes one packet (an audio tag body after its FLV bytes) and hands what it yields to
    // `sink`. False when the decoder rejected the packet (the caller skips it and goes on) or
    // the sink refused (the caller knows, and stops).
    bool Decode(const uint8_t* data, size_t size, const DecodedSink& sink);
    // Hands on what the decoder still holds at the end of the sound; false only when the sink
    // refused it. Packets decoded after it start a new sound.
    bool Flush(const DecodedSink& sink);
    void Close();

    bool IsOpen() const { return m_context != nullptr; }
    // Frames handed on so far.
    uint64_t FramesDecoded() const { return m_framesDecoded; }
    // Frames dropped because their rate or channel count differed from the first frame's.
    uint64_t FramesSkipped() const { return m_framesSkipped; }

  private:
    struct ContextDeleter {
        void operator()(AVCodecContext* context) const;
    };
    struct FrameDeleter {
        void operator()(AVFrame* frame) const;
    };
    struct PacketDeleter {
        void operator()(AVPacket* packet) const;
    };
    struct SwrDeleter {
        void operator()(SwrContext* swr) const;
    };

    // Hands `size` bytes to the library as one packet and passes on the frames it yields.
    bool DecodePiece(const uint8_t* data, size_t size, const DecodedSink& sink);
    // Passes on every frame the library has ready. False on a decoding error or a refusal.
    bool ReceiveFrames(const DecodedSink& sink);
    bool HandOn(const AVFrame& frame, const DecodedSink& sink);

    std::unique_ptr<AVCodecContext, ContextDeleter> m_context;
    std::unique_ptr<AVFrame, FrameDeleter> m_frame;
    std::unique_ptr<AVPacket, PacketDeleter> m_packet;
    std::unique_ptr<SwrContext, SwrDeleter> m_swr;
    // The sample format m_swr converts from (-1: none yet).
    int m_swrFormat = -1;
    // Packet bytes followed by the zeroed padding the library may read past the end.
    std::vector<uint8_t> m_padded;
    std::vector<int16_t> m_samples;
    // Bytes of one unit for codecs whose packets can be cut between units (a Nellymoser
    // block, a G.711 sample frame), and of the largest piece handed on; 0 for codecs whose
    // packets go whole.
    size_t m_unitBytes = 0;
    size_t m_pieceBytes = 0;
    bool m_sinkRefused = false;
    uint32_t m_sampleRate = 0;
    uint16_t m_channels = 0;        // handed on: one or two
    uint16_t m_sourceChannels = 0;  // decoded: more are mixed down to two
    uint64_t m_framesDecoded = 0;
    uint64_t m_framesSkipped = 0;
};

}  // namespace kelvora
