#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/MuxedFile.h"
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

// How one recorded sound of a movie is written: the instructions that make its element and its
// output (their names and figures are its PlannedSound's).
struct SwfSoundPlan {
    PlannedSound sound;
    bool named = false;   // it takes a name (and a number), output or not
    bool listed = false;  // the listing shows it (a stream without blocks is no sound)
    bool told = false;    // a skip the report tells
    // For a libavcodec format: the rate and channels the decoder is opened with.
    uint32_t codecRate = 0;
    uint16_t codecChannels = 0;
    StreamTiming timing;  // a stream's: where its blocks fall
    // An MP3 stream that keeps its timing: the frame its silent frames are shaped like (in the
    // block `modelBlock`, `modelOffset` bytes into its frames), and how its decoded sound is
    // shaped into WAV (also an MP3 event's).
    size_t modelBlock = SIZE_MAX;
    size_t modelOffset = 0;
    // Where its silent frames go (an MP3 target): before the byte `offset` of the frames of the
    // block `block`, always between two frames of the stream, never inside one.
    struct SilentFrames {
        size_t block = 0;
        size_t offset = 0;
        uint64_t count = 0;
    };
    std::vector<SilentFrames> silentFrames;
    bool shaped = false;
    Mp3ToWavShape shape;
    // MP3: the first frame's bit rate, and the sample frames its blocks (or tag) say are sound.
    uint32_t firstBitRate = 0;
    uint64_t soundFrames = 0;
    // What a file of its own coding, or a FLAC file, is tagged with.
    SoundTags tags;
    // Written in its own coding through a container libavformat writes (MP3 behind an Info frame,
    // Speex in Ogg), with these figures.
    bool muxed = false;
    MuxedSound container;
};

// What a conversion of a movie makes: how each recorded sound (in tag order) is written, and the
// list of its sounds in the order outputs are listed (copies of those listed).
struct SwfPlan {
    bool toMp3 = true;
    std::vector<SwfSoundPlan> sounds;
    SourcePlan list;
};

// Plans a conversion to MP3 (or WAV) of the recorded sounds: what is skipped and why (a sound of
// a libavcodec format of which nothing decodes too), the elements' and outputs' forms, rates,
// channels and lengths (what the decoders will give included), and the names the elements and
// outputs take under `outputBase` in the folder as it is: every element in tag order, then each
// output brought to the target's form in list order, then a single output's "_001" dropped.
// Past `mostOutputs` outputs (in tag order) the sounds are skipped (TooManyOutputs). Files that
// carry tags name `album` as their album.
SwfPlan PlanSwf(const SwfRecords& records, const uint8_t* bytes, const SwfHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase,
                uint64_t mostOutputs = UINT64_MAX, const std::string& album = {});

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
