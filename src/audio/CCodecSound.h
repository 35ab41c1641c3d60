#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/CCodecDecoder.h"
#include "engine/ConversionReport.h"
#include "engine/File.h"
#include "engine/SoundFormat.h"

namespace kelvora {

// Why a container's sound of a format gives no output under its rule (`FormatUnsupported`,
// `FormatNeedsOption`, or `LibraryMissing` when its decoding libraries cannot be loaded), or
// None.
Failure FormatSkip(uint32_t format, Conversion rule, bool allFormats);

// The sample frames a libavcodec format's data decodes to, counted without decoding: 256 per
// 64-byte Nellymoser block, one per G.711 sample, 320 per Speex frame as the decoder takes them
// (`movieData`: a movie's data, each padded frame a packet; else one video packet).
uint64_t CodecDataFrames(const uint8_t* data, size_t size, uint32_t format, uint16_t channels,
                         bool movieData);

// One sound of a libavcodec format on its way into a 16-bit WAV file: packets go in, and the
// file is made when the first samples come out, with their rate and channels (samples of
// another rate or channel count are dropped). A sound of which nothing decodes makes no file.
class CCodecSound {
  public:
    // `name` gives the file's path when the first samples come (empty: no file can be made),
    // and the file its name was claimed with, to be written through.
    explicit CCodecSound(std::function<std::string(CFile& claimed)> name);
    ~CCodecSound();
    CCodecSound(const CCodecSound&) = delete;
    CCodecSound& operator=(const CCodecSound&) = delete;

    // Opens the decoder; see CCodecDecoder::Open. When its libraries cannot be loaded, the sound
    // fails with LibraryMissing.
    bool Open(uint32_t format, uint32_t sampleRate, uint16_t channels,
              const uint8_t* config = nullptr, size_t configSize = 0);
    bool IsOpen() const { return m_decoder.IsOpen(); }
    // Decodes one packet into the file. A packet the decoder rejects is skipped; false only when
    // the file could not be made or written, which ends the sound.
    bool Add(const uint8_t* data, size_t size);
    // The same for the data of a movie's sound or stream block: Speex frames, each padded to a
    // whole byte, go to the decoder one by one (as one packet only the first would decode).
    bool AddMovieData(const uint8_t* data, size_t size);
    // Silence of `frames` sample frames at `rate`, in the sound's own rate (known once samples
    // come; until then it waits).
    bool AddSilence(uint64_t frames, uint32_t rate);
    // Drains the decoder and finishes the file. False when nothing decoded or the file could
    // not be written whole; the file is then removed and Failed() says why.
    bool Finish();

    const std::string& Path() const { return m_path; }
    uint32_t SampleRate() const { return m_sampleRate; }
    uint16_t Channels() const { return m_channels; }
    uint32_t SampleCount() const { return m_frames; }
    Failure Failed() const { return m_failure; }
    // With Failed() == LibraryMissing: what the loader said.
    const std::string& LibraryError() const { return m_library; }

  private:
    bool Take(const int16_t* samples, uint32_t frames, uint32_t sampleRate, uint16_t channels);
    bool WriteSilence(uint64_t frames);

    struct Silence {
        uint64_t frames;
        uint32_t rate;
    };
    std::vector<Silence> m_pendingSilence;  // asked for before the first samples
    std::function<std::string(CFile&)> m_name;
    uint32_t m_format = 0;
    CCodecDecoder m_decoder;
    DecodedSink m_sink;
    CFile m_file;
    std::string m_path;
    std::vector<uint8_t> m_bytes;  // one piece of samples, little-endian
    uint32_t m_sampleRate = 0;
    uint16_t m_channels = 0;
    uint32_t m_frames = 0;
    Failure m_failure = Failure::None;
    std::string m_library;
};

}  // namespace kelvora
