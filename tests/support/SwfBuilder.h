#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/Bytes.h"

namespace kelvora::test {

// One SWF tag: short header, or long header when the body has 63 bytes or more or when forced.
Bytes SwfTag(uint16_t code, const Bytes& body, bool longHeader = false);
Bytes SwfEndTag();

// A DefineSprite tag around the given tags; an End tag is added unless `withEnd` is false.
Bytes DefineSprite(uint16_t id, uint16_t frames, const Bytes& tags, bool withEnd = true);

// The packed sound flags: format (4 bits), rate index (2), 16-bit (1), stereo (1).
uint8_t SoundFlags(unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo);

// DefineSound (14). For MP3 (format 2) the 16-bit seek field comes before `data`.
Bytes DefineSound(uint16_t id, unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo,
                  uint32_t sampleCount, const Bytes& data, int16_t mp3Seek = 0);
// SoundStreamHead (18) or SoundStreamHead2 (45).
Bytes SoundStreamHead(unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo,
                      uint16_t samplesPerBlock, bool head2 = false);
// SoundStreamBlock (19) with raw data (PCM, ADPCM).
Bytes SoundStreamBlock(const Bytes& data);
// A SoundStreamHead and SoundStreamBlocks of 16-bit stereo 44.1 kHz PCM, 1/12 s a block (what
// is left of `pcm` after the last whole block is not used).
Bytes PcmStream(const Bytes& pcm);
// ExportAssets (56) or SymbolClass (76): a character id and a name for each.
Bytes LinkageTag(uint16_t code, const std::vector<std::pair<uint16_t, std::string>>& names);
// ShowFrame (1): the end of a frame.
Bytes ShowFrame();
// SoundStreamBlock (19) of an MP3 stream: sample count, seek samples, frames.
Bytes Mp3StreamBlock(uint16_t sampleCount, int16_t seek, const Bytes& frames);

struct SwfMovie {
    uint8_t version = 6;
    bool compressed = false;
    bool lzma = false;  // with `compressed`: LZMA (ZWS) instead of zlib
    // Frame size in twips.
    int32_t xMin = 0, xMax = 11000, yMin = 0, yMax = 8000;
    uint16_t frameRate88 = 12 << 8;  // 8.8 fixed point
    uint16_t frameCount = 1;
    Bytes tags;                   // the tag list; an End tag is not added automatically
    int64_t lengthOverride = -1;  // header file length to write instead of the real one
};

// The RECT with the smallest field width that holds the four values.
Bytes SwfRect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax);

// The whole file: FWS, CWS (zlib level 9 over everything after the 8-byte preamble) or ZWS
// (compressed length, LZMA properties and raw LZMA data after the preamble).
Bytes BuildSwf(const SwfMovie& movie);

// zlib-compresses bytes (the CWS body).
Bytes Deflate(const Bytes& data);

// The ZWS body of a movie body: its compressed length, the five LZMA properties bytes and the
// raw LZMA data, made by liblzma's encoder.
Bytes LzmaBody(const Bytes& data);
// The same movie as ZWS, from an FWS or CWS file.
Bytes ToZws(const Bytes& swf);

}  // namespace kelvora::test
