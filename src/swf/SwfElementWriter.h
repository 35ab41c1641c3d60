#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/BitReader.h"
#include "engine/ConversionReport.h"
#include "engine/OutputNaming.h"
#include "engine/Records.h"
#include "swf/SwfPlan.h"

namespace kelvora {

// One written element: the file a sound was first written to, in the form that needs no
// encoding, and how an MP3 element that keeps its timing becomes a WAV file.
struct SwfElement {
    OutputItem item;
    bool shaped = false;
    Mp3ToWavShape shape;
};

// Writes the elements of a movie's sounds as its plan says, in tag order, each to a file of its
// own claimed as it is chosen: MP3 frames copied, PCM copied under a WAV header, ADPCM and the
// libavcodec formats decoded into 16-bit WAV files. A sound that cannot be written whole leaves
// no file, and the report says why; a skipped sound is reported by its format.
class CSwfElementWriter {
  public:
    CSwfElementWriter(const SwfRecords& records, const SwfPlan& plan, const uint8_t* bytes,
                      const ConversionOptions& options, bool forMp3, COutputNames& names,
                      ConversionReport& report);
    // The elements, in list order.
    std::vector<SwfElement> Write();

  private:
    bool WriteEvent(const SwfSound& s, const SwfSoundPlan& p, SwfElement& element);
    bool WriteStream(const SwfSound& s, const SwfSoundPlan& p, SwfElement& element);
    bool WriteCodecSound(const SwfSound& s, const SwfSoundPlan& p, SwfElement& element);

    const SwfRecords& m_records;
    const SwfPlan& m_plan;
    const uint8_t* m_bytes;
    bool m_forMp3;
    CSwfNaming m_naming;
    ConversionReport& m_report;
    BitReader m_bits;
    std::vector<uint8_t> m_adpcmBuffer;  // one decoded piece
};

}  // namespace kelvora
