#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/TranscodeMp3ToWav.h"
#include "engine/ConversionOptions.h"
#include "engine/OutputNaming.h"
#include "engine/SoundPlan.h"
#include "swf/SwfSound.h"

namespace kelvora {

// How one recorded sound of a movie becomes its element (the file it is first written to, in the
// form that needs no encoding) and then its output.
struct SwfSoundPlan {
    Failure skip = Failure::None;  // why it gives no output
    bool named = false;            // it takes a name (and a number), output or not
    bool listed = false;           // the listing shows it (a stream without blocks is no sound)
    bool told = false;             // a skip the report tells
    // The element.
    bool elementIsMp3 = false;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint64_t sampleFrames = 0;   // an MP3 element: as its tags claim; a WAV one: what it holds
    uint64_t decodedFrames = 0;  // an MP3 element's frames decode to this many sample frames
    // For a libavcodec format: the rate and channels the decoder is opened with.
    uint32_t codecRate = 0;
    uint16_t codecChannels = 0;
    // MP3 sound that keeps its timing on its way into WAV: how the decoded sound is shaped, and
    // the silence its stream's gaps put in.
    bool shaped = false;
    Mp3ToWavShape shape;
    uint64_t gapFrames = 0;
    size_t listIndex = SIZE_MAX;  // in the plan's list
};

// What a conversion of a movie makes: the list of its sounds and outputs, and how each recorded
// sound (in tag order) is made.
struct SwfPlan {
    SourcePlan list;
    std::vector<SwfSoundPlan> sounds;
};

// Plans a conversion to MP3 (or WAV) of the recorded sounds: what is skipped and why, the
// elements' and outputs' forms, rates, channels and lengths as the data tells them without
// decoding, and the names the outputs take under `outputBase` in the folder as it is.
SwfPlan PlanSwf(const SwfRecords& records, const uint8_t* bytes, const SwfHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase);

// Chooses the names of a movie's elements, in tag order, for a plan and a conversion alike: a
// sound named by the movie (with that option) takes its linkage name, the others the next
// number, and the numbers count every sound.
class CSwfNaming {
  public:
    CSwfNaming(COutputNames& names, const SwfNames& linkage, bool useLinkage)
        : m_names(names), m_linkage(linkage), m_useLinkage(useLinkage) {}
    std::string Element(const SwfSound& sound, std::string_view ext);

  private:
    COutputNames& m_names;
    const SwfNames& m_linkage;
    bool m_useLinkage;
};

// Whole silent frames for the gaps of an MP3 stream that keeps its timing: as many as come
// nearest to the gaps so far, so that rounding never adds up.
class CMp3GapFrames {
  public:
    uint64_t For(uint64_t gapSampleFrames, uint32_t samplesPerFrame);

  private:
    int64_t m_owed = 0;
};

// Calls `block` for every block of a stream in order, after `gap` for the frames of its
// timeline before it that have no block when the timing is kept (`timed`).
void ForEachStreamBlock(const SwfSound& sound, bool timed,
                        const std::function<void(uint64_t fromFrame, uint64_t toFrame)>& gap,
                        const std::function<void(const SwfStreamBlock&)>& block);

// An MP3 stream block's own sample count field; 0 for a block too short to hold it.
uint16_t Mp3BlockCount(const uint8_t* bytes, const SwfStreamBlock& block);

}  // namespace kelvora
