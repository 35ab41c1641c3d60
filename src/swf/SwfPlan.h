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

// How a stream's blocks fall on its timeline when its timing is kept: each block starts where
// the sound before it ends; only after frames without a block, and only when the sound so far
// ends before the block's frame, does silence come first, up to that frame. So a stream ahead of
// its frames (blocks that hold more than a frame's sound, some frames left without one, as other
// tools write them) plays on without a break, and a stream with a block in every frame has no
// silence at all.
struct StreamTiming {
    bool timed = false;
    uint32_t sampleRate = 0;  // of the blocks' sample frames and the silences
    uint32_t frameRate88 = 0;
};

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
    StreamTiming timing;  // a stream's: where its blocks fall
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
// Past `mostOutputs` outputs (in tag order) the sounds are skipped (TooManyOutputs).
SwfPlan PlanSwf(const SwfRecords& records, const uint8_t* bytes, const SwfHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase,
                uint64_t mostOutputs = UINT64_MAX);

// Chooses the names of a movie's elements, in tag order, for a plan and a conversion alike: a
// sound named by the movie (with that option) takes its linkage name, the others the next
// number, and the numbers count every sound.
class CSwfNaming {
  public:
    CSwfNaming(COutputNames& names, const SwfNames& linkage, bool useLinkage)
        : m_names(names), m_linkage(linkage), m_useLinkage(useLinkage) {}
    std::string Element(const SwfSound& sound, std::string_view ext);
    COutputNames& Names() { return m_names; }

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

// Calls `block` for every block of a stream in order, after `gap` with the sample frames of
// silence that come before it when the timing is kept; `blockFrames` tells the sample frames a
// block holds.
void ForEachStreamBlock(const SwfSound& sound, const StreamTiming& timing,
                        const std::function<uint64_t(const SwfStreamBlock&)>& blockFrames,
                        const std::function<void(uint64_t silentFrames)>& gap,
                        const std::function<void(const SwfStreamBlock&)>& block);

// The sample frames a stream block holds, as its writer gives them: PCM what its bytes hold,
// ADPCM its head's count within what the data can hold, MP3 the block's own count, the
// libavcodec formats what their data decodes to.
uint64_t StreamBlockFrames(const uint8_t* bytes, const SwfSound& sound, const SwfStreamBlock& block);

// An MP3 stream block's own sample count field; 0 for a block too short to hold it.
uint16_t Mp3BlockCount(const uint8_t* bytes, const SwfStreamBlock& block);

}  // namespace kelvora
