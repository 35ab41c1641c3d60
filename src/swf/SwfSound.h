#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kelvora {

// A SoundStreamBlock with a body: where the body lies in the movie (whose length is 32 bits),
// and the frame of its timeline. Twelve bytes, so that a movie of tiny blocks costs memory in
// proportion to its size, a few times over at most.
struct SwfStreamBlock {
    uint32_t start = 0;
    uint32_t size = 0;
    uint32_t frame = 0;  // 0: the timeline's first frame

    size_t End() const { return size_t{start} + size; }
};

// One sound a movie holds, as its tags give it: an event sound (a DefineSound) or a sound
// stream (a SoundStreamHead or SoundStreamHead2 and the SoundStreamBlocks that follow it on
// the same timeline). Nothing here has been decoded or written.
struct SwfSound {
    enum class Kind : uint8_t { Event, Stream };
    Kind kind = Kind::Event;
    int32_t sprite = -1;       // the DefineSprite whose timeline holds it; -1: the main one
    uint16_t characterId = 0;  // an event's DefineSound id
    // The sound flags.
    uint32_t format = 0;
    uint32_t rateIndex = 0;
    bool is16Bit = false;
    bool isStereo = false;
    uint32_t sampleCount = 0;      // an event's count, as its tag claims it
    uint16_t samplesPerBlock = 0;  // a stream's head
    int16_t seekSamples = 0;       // an MP3 event's SeekSamples; an MP3 head's latency seek
    // An event's sound data (after an MP3 sound's seek field).
    size_t dataStart = 0;
    size_t dataEnd = 0;
    uint32_t headFrame = 0;              // a stream head's frame
    std::vector<SwfStreamBlock> blocks;  // those with a body
    uint32_t emptyBlocks = 0;            // and those without

    bool IsStream() const { return kind == Kind::Stream; }
    bool HasBlocks() const { return !blocks.empty() || emptyBlocks > 0; }
};

// The linkage names a movie gives its characters: ExportAssets (56) names and SymbolClass (76)
// class names, by character id, wherever in the main timeline those tags come.
struct SwfNames {
    std::multimap<uint16_t, std::string> exported;
    std::multimap<uint16_t, std::string> classes;

    // The name a character goes by: its export name, else its class name; empty: none.
    std::string NameOf(uint16_t characterId) const;
    // Every name a character has, export names first.
    std::vector<std::string> AllNamesOf(uint16_t characterId) const;
};

// A DefineBinaryData tag: its character id and where its data lies (a movie, sometimes).
struct SwfBinary {
    uint16_t characterId = 0;
    size_t dataStart = 0;
    size_t dataEnd = 0;
};

// What the walk of a movie records: every sound in tag order (events at their tag, streams at
// their head), the order in which they were complete (the order outputs are listed in), and the
// linkage names.
struct SwfRecords {
    std::vector<SwfSound> sounds;
    std::vector<size_t> completed;  // indexes of `sounds`
    SwfNames names;
    std::vector<SwfBinary> binaries;  // in tag order
};

// What a movie's header says.
struct SwfHeader {
    uint16_t version = 0;
    char signature = 0;  // 'F' (plain), 'C' (zlib) or 'Z' (LZMA)
    int32_t width = 0;   // pixels
    int32_t height = 0;
    int32_t frameRate = 0;     // whole frames per second
    uint16_t frameRate88 = 0;  // the 8.8 fixed-point rate the timing counts with
    int32_t frameCount = 0;
    size_t firstTagOffset = 0;
};

}  // namespace kelvora
