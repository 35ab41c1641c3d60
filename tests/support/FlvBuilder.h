#pragma once

#include <cstdint>
#include <vector>

#include "support/Bytes.h"

namespace kelvora::test {

// The audio tag header byte: format (4 bits), rate index (2), 16-bit (1), stereo (1).
uint8_t FlvAudioFlags(unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo);

// An FLV file image written tag by tag; each tag is followed by its previous-tag-size field.
class FlvBuilder {
  public:
    explicit FlvBuilder(uint32_t dataOffset = 9, uint8_t version = 1);
    // A tag of any type with the given body.
    FlvBuilder& Tag(uint8_t type, const Bytes& body, uint32_t timestamp = 0);
    // An audio tag: the flags byte followed by the sound data.
    FlvBuilder& Audio(uint8_t flags, const Bytes& data);
    FlvBuilder& Video(size_t bodySize = 20);
    FlvBuilder& Script(size_t bodySize = 30);
    Bytes Build() const { return m_bytes; }

  private:
    Bytes m_bytes;
};

// The audio of an FLV file as a reader hands it to a decoder: the container's format, rate and
// channels, the flags byte of the first audio tag, the AAC sequence header, and the packets
// without their FLV bytes.
struct FlvAudio {
    uint32_t format = 0;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    uint8_t flags = 0;
    Bytes config;
    std::vector<Bytes> packets;
};

// Nellymoser 16 kHz and 8 kHz are mono whatever the flags say, G.711 in FLV is 8 kHz mono,
// Speex wideband mono; AAC takes both from its sequence header.
FlvAudio ReadFlvAudio(const Bytes& flv);

}  // namespace kelvora::test
