#pragma once

#include <cstdint>
#include <string>

#include "audio/WavFile.h"
#include "engine/File.h"

namespace kelvora {

// What a file of decoded sound is tagged with, where its format has tags: the title (a sound's
// linkage name, else its output's name) and the album (the source file's name).
struct SoundTags {
    std::string title;
    std::string album;
};

// Where decoded PCM goes: a WAV file or a FLAC file, created at `path` unless the file its name
// was claimed with is handed over, written through it. Samples come as separate left and right
// 16-bit buffers (8-bit sound as 16-bit values of its unsigned bytes' distance from 128).
class CPcmSink {
  public:
    virtual ~CPcmSink() = default;
    // Starts the file; false when it cannot be made.
    virtual bool Start(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate) = 0;
    // `count` sample frames; the right buffer is read only in stereo.
    virtual bool Write(const int16_t* left, const int16_t* right, uint32_t count) = 0;
    // Finishes the file; false when it could not be written whole.
    virtual bool Finish() = 0;
    // The error number of the first write that failed, or 0.
    virtual int Error() const = 0;
};

// Passes sound on to another sink, counting what it was given.
class CCountingSink : public CPcmSink {
  public:
    explicit CCountingSink(CPcmSink& sink) : m_sink(sink) {}
    bool Start(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate) override {
        m_channels = stereo ? 2 : 1;
        m_sampleRate = sampleRate;
        return m_sink.Start(stereo, bitsPerSample, sampleRate);
    }
    bool Write(const int16_t* left, const int16_t* right, uint32_t count) override {
        m_frames += count;
        return m_sink.Write(left, right, count);
    }
    bool Finish() override { return m_sink.Finish(); }
    int Error() const override { return m_sink.Error(); }
    uint64_t Frames() const { return m_frames; }
    uint32_t SampleRate() const { return m_sampleRate; }
    uint16_t Channels() const { return m_channels; }

  private:
    CPcmSink& m_sink;
    uint64_t m_frames = 0;
    uint32_t m_sampleRate = 0;
    uint16_t m_channels = 0;
};

// A WAV file (CWavWriter).
class CWavSink : public CPcmSink {
  public:
    CWavSink(std::string path, CFile claimed);
    bool Start(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate) override;
    bool Write(const int16_t* left, const int16_t* right, uint32_t count) override;
    bool Finish() override;
    int Error() const override { return m_error; }
    bool Started() const { return m_started; }

  private:
    std::string m_path;
    CFile m_claimed;
    CWavWriter m_writer;
    bool m_started = false;
    int m_error = 0;
};

// A FLAC file (libFLAC): the samples losslessly, 8 or 16 bits, with Vorbis comments TITLE and
// ALBUM. Its header's length and checksum are filled in when it is finished.
class CFlacSink : public CPcmSink {
  public:
    CFlacSink(std::string path, CFile claimed, SoundTags tags);
    ~CFlacSink() override;
    CFlacSink(const CFlacSink&) = delete;
    CFlacSink& operator=(const CFlacSink&) = delete;

    bool Start(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate) override;
    bool Write(const int16_t* left, const int16_t* right, uint32_t count) override;
    bool Finish() override;
    int Error() const override { return m_error; }
    struct Encoder;  // libFLAC's, and what its callbacks write to

  private:
    std::string m_path;
    CFile m_file;
    SoundTags m_tags;
    Encoder* m_encoder = nullptr;
    uint16_t m_channels = 0;
    int m_error = 0;
};

// Encodes a finished PCM WAV file (8 or 16 bits) into a new FLAC file, written into `claimed`
// (else created at `flacPath`): the same samples, tagged. `frames` receives the sample frames
// written. On failure no FLAC file is left and `error` (when given) holds the write's error
// number (0: the WAV file could not be read).
bool TranscodeWavToFlac(const std::string& wavPath, const std::string& flacPath, CFile claimed,
                        const SoundTags& tags, uint32_t* frames, int* error = nullptr);

}  // namespace kelvora
