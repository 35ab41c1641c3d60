#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "swf/SwfSound.h"

namespace kelvora {

// Tag codes the walk acts on.
inline constexpr uint16_t kSwfTagEnd = 0;
inline constexpr uint16_t kSwfTagShowFrame = 1;
inline constexpr uint16_t kSwfTagDefineSound = 14;
inline constexpr uint16_t kSwfTagSoundStreamHead = 18;
inline constexpr uint16_t kSwfTagSoundStreamBlock = 19;
inline constexpr uint16_t kSwfTagDefineSprite = 39;
inline constexpr uint16_t kSwfTagSoundStreamHead2 = 45;
inline constexpr uint16_t kSwfTagExportAssets = 56;
inline constexpr uint16_t kSwfTagSymbolClass = 76;
inline constexpr uint16_t kSwfTagDefineBinaryData = 87;

// Sprites nested deeper than this are stepped over like any other tag: every level walked keeps
// a saved stream state, and a movie of nothing but sprite headers must not turn each 10 bytes of
// file into a hundred bytes of memory. Movies nest sprites a level or two.
inline constexpr size_t kMaxSpriteDepth = 1024;

// Called for every tag the walk reaches, before it is handled (tests and tools use it): its
// code, where its body lies, and how deep in sprites it is.
using SwfTagVisitor =
    std::function<void(uint16_t code, size_t bodyStart, size_t bodyEnd, size_t depth)>;

// Walks a movie's tags, in the main timeline and in every sprite (on a stack of its own, up to
// kMaxSpriteDepth levels), and records its sounds and linkage names. `bytes` is the movie from
// its preamble on; every field is read within its tag, and a tag running past the data ends the
// walk of its timeline. Reads nothing else, writes nothing, takes no options.
SwfRecords WalkSwf(const uint8_t* bytes, size_t size, size_t firstTagOffset, uint16_t version,
                   const SwfTagVisitor& visitor = {});

}  // namespace kelvora
