#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sys/uio.h>

#include "audio/CCodecSound.h"
#include "engine/BitReader.h"
#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/File.h"
#include "engine/MappedFile.h"

namespace kelvora {

// What one FLV conversion produced: the one output file and its sound.
struct FlvAudioResult {
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint32_t sampleRate = 0;
    uint32_t sampleCount = 0;  // sample frames
    std::string path;
    bool isMp3 = false;
};

// What a video's audio track holds, as its tags tell without decoding it.
struct FlvTrackInfo {
    bool hasAudio = false;
    uint32_t format = 0;  // of the first audio tag, which decides the track's
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint16_t channels = 0;
    uint64_t sampleFrames = 0;
};

// Reads FLV videos far enough to find their audio, and converts their audio track to one MP3 or
// WAV file. In conversion mode the file is mapped read-only, so a large video costs no heap.
class CFlvReader {
  public:
    static constexpr uint8_t kTagAudio = 8;
    static constexpr uint32_t kHeaderSize = 9;
    static constexpr uint32_t kTagHeaderSize = 11;

    CFlvReader() = default;
    virtual ~CFlvReader();
    CFlvReader(const CFlvReader&) = delete;
    CFlvReader& operator=(const CFlvReader&) = delete;

    // Information mode reads the 9-byte header only; conversion mode maps the whole file and
    // settles the output base name.
    bool Open(const std::string& path, bool informationMode);
    // Conversion mode over a file image in memory; output files go to `outputBase` + extension
    // (empty: none can be created).
    bool OpenMemory(const uint8_t* data, size_t size, const std::string& outputBase = {});
    // Walks the tags, hands every audio tag to the audio handler and finishes the output file.
    bool WalkTags();
    // Walks a video's audio tags and tells what its track holds, writing nothing. False when the
    // file is no FLV video or cannot be read (Report() says which).
    bool Inspect(const std::string& path, FlvTrackInfo& info);
    // Converts the audio track of one video; on failure no output file of it is left.
    bool Convert(const std::string& path, bool toMp3, FlvAudioResult* result);

    // What the next conversions do beyond the plain ones.
    void SetOptions(const ConversionOptions& options) { m_options = options; }
    // Why the last read or conversion failed.
    const ConversionReport& Report() const { return m_report; }

    uint8_t Version() const { return m_version; }
    uint32_t SampleRate() const { return m_sampleRate; }
    uint16_t BitsPerSample() const { return m_bitsPerSample; }
    uint16_t Channels() const { return m_channels; }
    uint32_t SampleCount() const { return m_sampleCount; }
    const std::string& OutputPath() const { return m_outputPath; }
    bool OutputIsMp3() const { return m_outputIsMp3; }
    const std::string& OutputBase() const { return m_outputBase; }

  private:
    void Reset();
    bool ParseHeader(const uint8_t* header);
    // The audio tag handler: false stops the walk (no output could be opened).
    bool OnAudioTag();
    // A track of a libavcodec format: its decoder and the file it fills.
    bool StartCodecTrack(uint32_t format, uint32_t rateIndex, bool stereo);
    bool OnCodecTag(uint32_t format, const uint8_t* data, size_t length);
    // Writes the pending pieces; false when the file did not take them.
    bool WritePending();
    // Finishes the output file; a file that could not be written whole is removed.
    void FinishOutput();
    // Brings the first output to the target format and measures its length.
    bool FinishConversion(bool toMp3);

    uint8_t m_version = 0;
    // The audio of the output.
    uint32_t m_sampleRate = 0;
    uint16_t m_bitsPerSample = 0;
    uint16_t m_channels = 0;
    uint32_t m_sampleCount = 0;
    std::string m_outputPath;

    CMappedFile m_map;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_firstTagOffset = 0;
    BitReader m_bits;

    // The tag being handled.
    size_t m_tagStart = 0;
    size_t m_tagBodyEnd = 0;
    size_t m_tagSize = 0;

    ConversionOptions m_options;
    ConversionReport m_report;
    int32_t m_format = -1;  // sound format of the first audio tag, -1 before it
    bool m_outputIsMp3 = false;
    CFile m_output;
    std::string m_outputBase;
    std::vector<uint8_t> m_decoded;  // one decoded ADPCM tag
    std::unique_ptr<CCodecSound> m_codec;
    std::vector<uint8_t> m_aacConfig;
    // Copied sound data waiting to be written: pieces of the mapped file, written in one call.
    std::vector<iovec> m_pending;
    size_t m_pendingBytes = 0;
};

}  // namespace kelvora
