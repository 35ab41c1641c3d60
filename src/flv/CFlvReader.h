#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/MappedFile.h"
#include "engine/Records.h"
#include "engine/SoundPlan.h"
#include "flv/FlvPlan.h"
#include "flv/FlvTrackWriter.h"
#include "flv/FlvWalk.h"

namespace kelvora {

// What one FLV conversion produced: the one output file and its sound.
using FlvAudioResult = OutputItem;

// Reads FLV videos: their header for the source list, and their audio track for a listing or a
// conversion, in the same parts as a movie: the file is mapped read-only (a large video costs
// no heap), the walk finds its audio tags, the plan says what a conversion makes of the track,
// the track writer writes its element, and the element is brought to the target's form.
class CFlvReader {
  public:
    CFlvReader() = default;
    virtual ~CFlvReader() = default;
    CFlvReader(const CFlvReader&) = delete;
    CFlvReader& operator=(const CFlvReader&) = delete;

    // Information mode reads the 9-byte header only; conversion mode maps the whole file and
    // settles the output base name.
    bool Open(const std::string& path, bool informationMode);
    // Conversion mode over a file image in memory; output files go to `outputBase` + extension
    // (empty: none can be created).
    bool OpenMemory(const uint8_t* data, size_t size, const std::string& outputBase = {});
    // Writes the opened video's track to its element: OutputPath() and the figures tell it.
    bool WalkTags();
    // What a conversion to MP3 (or WAV) would make of the track, writing nothing: Planned().
    bool Plan(const std::string& path, bool toMp3);
    // Converts the audio track of one video; on failure no output file of it is left.
    bool Convert(const std::string& path, bool toMp3, FlvAudioResult* result);
    // The same for a video held in memory (inside another file), whose bytes outlive the
    // reader's use of them, its output named after `outputBase`.
    bool PlanMemory(const uint8_t* data, size_t size, const std::string& outputBase, bool toMp3);
    bool ConvertMemory(const uint8_t* data, size_t size, const std::string& outputBase, bool toMp3,
                       FlvAudioResult* result);

    void SetOptions(const ConversionOptions& options) { m_options = options; }
    // The album the tagged files of a video held in memory name (the source file's name); a
    // video opened from its path names its own file.
    void SetAlbum(std::string album) { m_album = std::move(album); }
    // Why the last read or conversion failed.
    const ConversionReport& Report() const { return m_report; }
    const SourcePlan& Planned() const { return m_plan.list; }

    uint8_t Version() const { return m_header.version; }
    uint32_t SampleRate() const { return m_element.sampleRate; }
    uint16_t BitsPerSample() const { return m_element.bitsPerSample; }
    uint16_t Channels() const { return m_element.channels; }
    uint32_t SampleCount() const { return m_element.sampleCount; }
    const std::string& OutputPath() const { return m_element.path; }
    bool OutputIsMp3() const { return m_element.isMp3 != 0; }
    const std::string& OutputBase() const { return m_outputBase; }

  private:
    void Reset();
    // Maps the whole video and parses its header; on failure the report says why (a file cut
    // while it was read is told as such) and nothing stays mapped.
    bool MapVideo(const std::string& path);
    // Writes the planned track's element; the report says why none was.
    bool WriteElement();
    // Brings the element to the output's planned form; its figures become the file's.
    bool FinishConversion();
    // Walks the opened video, brings its track to the target and tells the result.
    bool ConvertOpened(bool toMp3, FlvAudioResult* result);

    FlvHeader m_header;
    CMappedFile m_map;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    std::string m_outputBase;
    ConversionOptions m_options;
    std::string m_album;
    ConversionReport m_report;
    FlvPlan m_plan;
    OutputItem m_element;  // the element, then the output
};

}  // namespace kelvora
