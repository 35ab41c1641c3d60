#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ConversionReport.h"
#include "engine/Records.h"
#include "flv/FlvPlan.h"

namespace kelvora {

// Writes a video's audio track to its element as the plan says, deciding nothing: PCM and MP3
// data copied straight from the mapped file, many tags a call; ADPCM decoded a tag at a time;
// the libavcodec formats decoded, the file made when the first samples come out. A decoded
// track keeps to its first tag's format; the others write every audio tag. The element goes to
// its planned name, claimed create-exclusive and written through that file; one that could not
// be written whole is removed and the report says why. Its figures are the file's, counted as
// it was written.
class CFlvTrackWriter {
  public:
    CFlvTrackWriter(const uint8_t* data, size_t size, const FlvHeader& header,
                    const FlvPlan& plan, ConversionReport& report)
        : m_data(data), m_size(size), m_header(header), m_plan(plan), m_report(report) {}
    // False when no element was written.
    bool Write(OutputItem& element);

  private:
    bool WriteCopied(OutputItem& element);
    bool WriteDecoded(OutputItem& element);
    bool WriteMuxed(OutputItem& element);

    const uint8_t* m_data;
    size_t m_size;
    const FlvHeader& m_header;
    const FlvPlan& m_plan;
    ConversionReport& m_report;
};

}  // namespace kelvora
