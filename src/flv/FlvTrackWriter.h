#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/CCodecSound.h"
#include "engine/BitReader.h"
#include "engine/ConversionReport.h"
#include "engine/File.h"
#include "engine/OutputNaming.h"
#include "flv/FlvPlan.h"

namespace kelvora {

// What a video's track was written to: the element, in the form that needs no encoding.
struct FlvElement {
    std::string path;
    bool isMp3 = false;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint64_t sampleFrames = 0;
};

// Writes a video's audio track to its element as the plan says: PCM and MP3 data copied
// straight from the mapped file, many tags a call; ADPCM decoded a tag at a time; the libavcodec
// formats decoded, the file made when the first samples come out. A decoded track keeps to its
// first tag's format; the others write every audio tag. An element that could not be written
// whole is removed and the report says why.
class CFlvTrackWriter {
  public:
    CFlvTrackWriter(const uint8_t* data, size_t size, const FlvHeader& header,
                    const FlvTrackPlan& plan, COutputNames& names, ConversionReport& report)
        : m_data(data),
          m_size(size),
          m_header(header),
          m_plan(plan),
          m_names(names),
          m_report(report) {}
    // False when no element was written.
    bool Write(FlvElement& element);

  private:
    bool WriteCopied(FlvElement& element);
    bool WriteDecoded(FlvElement& element);

    const uint8_t* m_data;
    size_t m_size;
    const FlvHeader& m_header;
    const FlvTrackPlan& m_plan;
    COutputNames& m_names;
    ConversionReport& m_report;
};

}  // namespace kelvora
