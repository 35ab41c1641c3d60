#pragma once

#include <cstdint>
#include <string>

#include "engine/File.h"

namespace kelvora {

inline constexpr uint32_t kWavHeaderSize = 44;
// Sample frames per chunk between decoders and sinks: one MPEG-1 Layer III frame.
inline constexpr uint32_t kChunkFrames = 1152;

// The "fmt " chunk of a PCM WAV file.
struct WavFormat {
    uint16_t formatTag = 1;  // PCM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;

    static WavFormat Pcm(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate);
};

// Creates a WAV file (replacing an existing one) unless `file` is open already (the file its
// name was claimed with, written as it is), writes its 44-byte header with size placeholders
// and leaves `file` open after it for the caller's sample bytes.
bool CreateWavFile(CFile& file, const std::string& path, bool stereo, uint16_t bitsPerSample,
                   uint32_t sampleRate);

// Patches the RIFF and data sizes from the file's size and closes it. False when any write to
// the file failed since it was created (a full disk): the file is then not a whole WAV file.
// A file that is not open is left alone (true).
bool FinishWavFile(CFile& file);

// Writes 16-bit PCM from separate left and right buffers.
class CWavWriter {
  public:
    CWavWriter() = default;
    virtual ~CWavWriter();
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    // Creates `path`, or writes into `claimed` when it is open (the file its name was claimed
    // with).
    bool Open(const std::string& path, bool stereo, uint16_t bitsPerSample, uint32_t sampleRate,
              CFile claimed = {});
    // `count` sample frames; the right buffer is read only in stereo.
    bool Write(const int16_t* left, const int16_t* right, uint32_t count);
    // Finishes the file; false when it could not be written whole.
    bool Close();
    // The error number of the first write that failed, or 0.
    int WriteError() const { return m_file.WriteError(); }

    const WavFormat& Format() const { return m_format; }

  private:
    CFile m_file;
    WavFormat m_format;
};

// Reads a PCM WAV file in chunks of up to 1152 sample frames.
class CWavReader {
  public:
    CWavReader() = default;
    virtual ~CWavReader();
    CWavReader(const CWavReader&) = delete;
    CWavReader& operator=(const CWavReader&) = delete;

    // Opens the file and parses its header; the stream is left at the first sample byte.
    bool Open(const std::string& path);
    // 16-bit files: up to 1152 frames into `left` (and `right` in stereo).
    bool ReadChunk(int16_t* left, int16_t* right, uint32_t& count, bool& endOfFile);
    // 8-bit files: up to 1152 frames of unsigned bytes.
    bool ReadChunk(uint8_t* left, uint8_t* right, uint32_t& count, bool& endOfFile);
    void Close();

    uint16_t Channels() const { return m_format.channels; }
    uint32_t SampleRate() const { return m_format.sampleRate; }
    uint16_t BitsPerSample() const { return m_format.bitsPerSample; }
    // Whole sample frames in the data chunk, never more than the file holds.
    uint32_t FrameCount() const { return m_frameCount; }
    const std::string& Path() const { return m_path; }

  private:
    // Reads up to `frames` whole frames of raw sample bytes into m_raw; returns the frames read.
    uint32_t ReadFrames(uint32_t frames);
    template <typename Sample>
    bool ReadChunkOf(Sample* left, Sample* right, uint32_t& count, bool& endOfFile);

    std::string m_path;
    CFile m_file;
    WavFormat m_format;
    uint32_t m_frameCount = 0;
    uint8_t m_raw[kChunkFrames * 4] = {};
};

}  // namespace kelvora
