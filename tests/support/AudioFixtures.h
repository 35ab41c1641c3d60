#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/Bytes.h"

namespace kelvora::test {

// A tone of `frames` sample frames (both channels when stereo, interleaved).
std::vector<int16_t> Tone(uint32_t frames, uint16_t channels, uint32_t rate, double hz = 440.0);

// An MP3 stream made by the program's own encoder from a tone: real frames for tests that
// only copy or count them.
Bytes Mp3Of(uint32_t frames, uint16_t channels, uint32_t rate);

// The payload of an MP3 file (frames only) and the number of frames in it.
struct Mp3Info {
    uint32_t frames = 0;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
};
Mp3Info ScanMp3Frames(const Bytes& mp3);
// The whole frames of an MP3 stream, each on its own (bytes between them left out).
std::vector<Bytes> Mp3FramesOf(const Bytes& mp3);

// A movie with `sounds` short PCM event sounds, written to `path`.
bool WriteSwfWithSounds(const std::string& path, int sounds);

}  // namespace kelvora::test
