#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/MuxedFile.h"
#include "engine/ConversionOptions.h"
#include "engine/SoundPlan.h"
#include "flv/FlvWalk.h"

namespace kelvora {

// How a video's audio track is written: the instructions for its element (the file it is first
// written to, in the form that needs no encoding); its names and figures are its PlannedSound's.
// The first audio tag decides the track's format.
struct FlvTrackPlan {
    bool hasAudio = false;
    uint32_t format = 0;
    bool decoded = false;  // a libavcodec format
    // For a libavcodec format: the rate and channels its decoder is opened with (AAC: 0, its
    // sequence header tells).
    uint32_t codecRate = 0;
    uint16_t codecChannels = 0;
    bool counted = false;  // every tag was read for the track's length
    // What a file of its own coding, or a FLAC file, is tagged with.
    SoundTags tags;
    // Written in its own coding through a container libavformat writes (MP3 behind an Info
    // frame, AAC in MP4, Speex in Ogg), with these figures, each packet holding
    // `framesPerPacket` sample frames (AAC; Speex and MP3 packets tell their own).
    bool muxed = false;
    MuxedSound container;
    uint32_t framesPerPacket = 0;
};

struct FlvPlan {
    FlvTrackPlan track;
    PlannedSound sound;  // the track (skipped with NoAudioTrack when there is none)
    SourcePlan list;     // the track, when the video has audio
};

// Plans a conversion of a video's track to MP3 (or WAV), writing nothing: the element's and the
// output's forms, figures and names (the element's "BASE.mp3" or "BASE.wav", then the output's
// in the target's form). With `count` every audio tag is read for the track's length, what its
// decoder will give, and an MP3 or AAC track's real rate and channels (AAC with SBR comes out at
// twice the rate its header gives, which only decoding its first frame tells); a track of which
// nothing decodes is skipped. Without it only the first tag is read, all a conversion needs
// before it writes.
FlvPlan PlanFlv(const uint8_t* data, size_t size, const FlvHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase,
                bool count, const std::string& album = {});

}  // namespace kelvora
