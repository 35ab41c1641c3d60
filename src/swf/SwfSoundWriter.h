#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/BitReader.h"
#include "engine/ConversionReport.h"
#include "engine/Records.h"
#include "swf/SwfPlan.h"

namespace kelvora {

// Writes a movie's sounds as its plan says, deciding nothing: each sound's element in tag order
// (MP3 frames copied, PCM copied under a WAV header, ADPCM and the libavcodec formats decoded
// into 16-bit WAV files, with the silences and silent frames the plan puts in), then each
// element the plan brings to another form encoded or decoded into its output in list order.
// Every file goes to its planned name, claimed create-exclusive and written through that very
// file; a name taken meanwhile by another program moves on to the next free one. A sound that
// cannot be written whole leaves no file, and the report says why; an output whose transcoding
// fails leaves its element. What is written carries the figures of the file, counted as it
// was written; where they differ from the plan's, the report says so.
class CSwfSoundWriter {
  public:
    CSwfSoundWriter(const SwfRecords& records, const SwfPlan& plan, const uint8_t* bytes,
                    ConversionReport& report)
        : m_records(records), m_plan(plan), m_bytes(bytes), m_report(report) {}
    // The elements alone, under their element names, in list order.
    std::vector<OutputItem> WriteElements();
    // The outputs (or, where a transcoding failed, the element), in list order.
    std::vector<OutputItem> WriteOutputs();

  private:
    // Writes sound `i`'s element to `path`; its figures as written, or no path when it failed.
    OutputItem WriteElement(size_t i, const std::string& path);
    bool WriteEvent(const SwfSound& s, const SwfSoundPlan& p, CFile& file, OutputItem& item);
    bool WriteStream(const SwfSound& s, const SwfSoundPlan& p, CFile& file, OutputItem& item);
    bool WriteCodecSound(const SwfSound& s, const SwfSoundPlan& p, OutputItem& item);
    bool WriteMuxed(const SwfSound& s, const SwfSoundPlan& p, OutputItem& item);
    // The silent frame a timed MP3 stream's gaps are filled with, shaped like the frame the plan
    // chose; empty when the plan puts none in.
    std::vector<uint8_t> PlannedSilentFrame(const SwfSound& s, const SwfSoundPlan& p) const;
    // Brings an element to its output; the output as written, or the element when it failed.
    OutputItem Transcode(const SwfSoundPlan& p, const OutputItem& element);
    // Tells where a written output's length differs from the plan's.
    void Compare(const PlannedSound& planned, const OutputItem& written);

    const SwfRecords& m_records;
    const SwfPlan& m_plan;
    const uint8_t* m_bytes;
    ConversionReport& m_report;
    BitReader m_bits;
    std::vector<uint8_t> m_adpcmBuffer;  // one decoded piece
};

}  // namespace kelvora
