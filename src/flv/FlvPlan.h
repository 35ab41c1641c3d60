#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/SoundPlan.h"
#include "flv/FlvWalk.h"

namespace kelvora {

// How a video's audio track becomes its element (the file it is first written to, in the form
// that needs no encoding) and then its output. The first audio tag decides the track's format.
struct FlvTrackPlan {
    bool hasAudio = false;
    uint32_t format = 0;
    Failure skip = Failure::None;  // why it gives no output
    std::string skipDetail;        // with LibraryMissing: what the loader said
    bool elementIsMp3 = false;
    bool decoded = false;  // a libavcodec format
    // The element's figures; for a libavcodec format the rate and channels its decoder is
    // opened with (AAC: 0, its sequence header tells).
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint64_t sampleFrames = 0;  // counted only when asked
};

struct FlvPlan {
    SourcePlan list;  // the track, when the video has audio
    FlvTrackPlan track;
};

// Plans a conversion of a video's track to MP3 (or WAV), writing nothing. With `count` every
// audio tag is read for the track's length (and an MP3 or AAC track's real rate and channels:
// AAC with SBR comes out at twice the rate its header gives, which only decoding its first frame
// tells); without it only the first tag, all a conversion needs before it writes.
FlvPlan PlanFlv(const uint8_t* data, size_t size, const FlvHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase,
                bool count);

}  // namespace kelvora
