#pragma once

#include <lame/lame.h>

#include <cstdint>
#include <memory>
#include <string>

#include "audio/WavFile.h"
#include "engine/File.h"

namespace kelvora {

// Reads an MP3 file through LAME's decoder and delivers 16-bit PCM one MPEG frame at a time,
// in separate left and right buffers; also estimates the number of samples in the file.
// Every decoder owns its own library decoder, so any number can be open at once; the library's
// tables are shared, so every call into it takes the process-wide decode turn.
class CMp3Decoder {
  public:
    CMp3Decoder() = default;
    virtual ~CMp3Decoder();
    CMp3Decoder(const CMp3Decoder&) = delete;
    CMp3Decoder& operator=(const CMp3Decoder&) = delete;

    // Opens the file and scans it up to its first frame header; false when no header is found.
    bool Open(const std::string& path);
    // Decodes the next frame: `count` sample frames (at most 1152) into `left`, and into
    // `right` in stereo. At the end of the stream `count` is 0 and `endOfFile` is set.
    // False on a decoding error, or when a frame's channel count or sample rate differs
    // from the stream's (the WAV file being written could not hold it).
    bool ReadChunk(int16_t* left, int16_t* right, uint32_t& count, bool& endOfFile);
    void Close();

    uint16_t Channels() const { return static_cast<uint16_t>(m_header.stereo); }
    uint32_t SampleRate() const { return static_cast<uint32_t>(m_header.samplerate); }
    // Samples per channel: from a VBR header when there is one, else estimated from the file
    // size and the bitrate; 0xFFFFFFFF when no estimate could be made.
    uint32_t TotalSamples() const;
    uint32_t TotalFrames() const { return static_cast<uint32_t>(m_header.totalframes); }
    // kbit/s of the first frame; 0 for free format.
    uint32_t Bitrate() const { return static_cast<uint32_t>(m_header.bitrate); }
    // The encoder's delay and padding from a VBR header; -1 without one.
    int EncoderDelay() const { return m_encoderDelay; }
    int EncoderPadding() const { return m_encoderPadding; }
    const std::string& Path() const { return m_path; }

  private:
    struct HipDeleter {
        void operator()(hip_t hip) const;
    };
    using HipHandle = std::unique_ptr<hip_global_flags, HipDeleter>;

    bool NewDecoder();
    bool ScanHeaders();
    bool FindFrameSync(uint8_t window[8], bool& freeFormat);
    // Moves a filled window of `size` bytes on through the file until it starts with a frame
    // header; false at the end of the file.
    bool SlideToFrameHeader(uint8_t* window, size_t size);
    // The header scan's library call on `n` new bytes. Returns its result.
    int DecodeHeaders(uint8_t* data, size_t n);
    // One library call on `n` new bytes (none: take what it holds). Returns its result.
    int Decode(uint8_t* data, size_t n, uint32_t& count);

    std::string m_path;
    mp3data_struct m_header{};
    CFile m_file;
    HipHandle m_hip;
    int m_encoderDelay = -1;
    int m_encoderPadding = -1;
    // Bytes handed to the library since it last gave a frame (see ReadChunk).
    size_t m_bytesWithoutFrame = 0;
    int16_t m_pcmLeft[kChunkFrames] = {};
    int16_t m_pcmRight[kChunkFrames] = {};
};

}  // namespace kelvora
