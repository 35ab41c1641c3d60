#include "swf/SwfWalk.h"

#include <algorithm>
#include <vector>

#include "engine/BitReader.h"
#include "engine/SoundFormat.h"
#include "engine/TextFormat.h"

namespace kelvora {

namespace {

constexpr size_t kNoStream = SIZE_MAX;

void ReadSoundFlags(BitReader& bits, SwfSound& sound) {
    sound.format = bits.ReadBits(4);
    sound.rateIndex = bits.ReadBits(2);
    sound.is16Bit = Is16BitSound(sound.format, bits.ReadBits(1) != 0);
    sound.isStereo = bits.ReadBits(1) != 0;
}

// A NUL-terminated string of the tag, bounded by the tag's end.
std::string ReadString(BitReader& bits, size_t end) {
    std::string text;
    while (bits.Position() < end) {
        const uint8_t c = bits.ReadU8();
        if (c == 0) {
            break;
        }
        text.push_back(static_cast<char>(c));
    }
    return text;
}

class SwfWalker {
  public:
    SwfWalker(const uint8_t* bytes, size_t size, uint16_t version, const SwfTagVisitor& visitor)
        : m_bytes(bytes), m_size(size), m_version(version), m_visitor(visitor) {}

    SwfRecords Walk(size_t firstTagOffset);

  private:
    struct Timeline {
        int32_t sprite;  // -1: the main timeline
        uint32_t frame;  // frames shown so far
        size_t stream;   // the sound of its current stream head, or kNoStream
    };

    void Handle(uint16_t code, size_t bodyStart, size_t bodyEnd, size_t depth);
    void OnDefineSound(size_t end);
    void OnSoundStreamHead(size_t end);
    void OnSoundStreamBlock(size_t end);
    void OnLinkageNames(bool classes, size_t end);
    // Ends the current timeline's stream: it is complete.
    void CloseStream();

    const uint8_t* m_bytes;
    size_t m_size;
    uint16_t m_version;
    const SwfTagVisitor& m_visitor;
    BitReader m_bits;
    std::vector<Timeline> m_timelines;
    SwfRecords m_records;
};

SwfRecords SwfWalker::Walk(size_t firstTagOffset) {
    m_timelines.assign(1, Timeline{-1, 0, kNoStream});
    if (!m_bytes) {
        return {};
    }
    struct Level {
        size_t limit;     // the walk of this level ends here
        size_t resumeAt;  // where the enclosing level goes on (the DefineSprite's end)
    };
    std::vector<Level> levels{{m_size, 0}};
    size_t pos = firstTagOffset;
    while (!levels.empty()) {
        const size_t limit = levels.back().limit;
        bool levelDone = pos >= limit || limit - pos < 2;
        size_t bodyStart = 0;
        size_t tagEnd = 0;
        uint16_t code = 0;
        if (!levelDone) {
            // The header must lie wholly inside this level, like the body.
            m_bits.Attach(m_bytes, m_size);
            m_bits.SetPosition(pos);
            const uint16_t header = m_bits.ReadU16();
            code = static_cast<uint16_t>(header >> 6);
            uint64_t length = header & 0x3F;
            if (length == 0x3F) {
                if (limit - pos < 6) {
                    levelDone = true;
                } else {
                    length = m_bits.ReadU32();
                }
            }
            bodyStart = m_bits.Position();
            // A tag running past the data ends this level's walk.
            levelDone = levelDone || bodyStart + length > limit;
            tagEnd = static_cast<size_t>(bodyStart + length);
        }
        if (!levelDone) {
            const size_t depth = levels.size() - 1;
            if (code == kSwfTagDefineSprite && levels.size() <= kMaxSpriteDepth) {
                if (m_visitor) {
                    m_visitor(code, bodyStart, tagEnd, depth);
                }
                m_bits.Attach(m_bytes, tagEnd);
                m_bits.SetPosition(bodyStart);
                m_timelines.push_back({m_bits.ReadU16(), 0, kNoStream});
                levels.push_back({tagEnd, tagEnd});
                pos = bodyStart + 4;  // sprite id and frame count
                continue;
            }
            Handle(code, bodyStart, tagEnd, depth);
            if (code != kSwfTagEnd) {
                pos = tagEnd;
                continue;
            }
        }
        // This level is over: a sprite hands back to its parent right after the sprite tag.
        const Level done = levels.back();
        levels.pop_back();
        CloseStream();
        if (!levels.empty() && m_timelines.size() > 1) {
            m_timelines.pop_back();
        }
        pos = done.resumeAt;
    }
    return std::move(m_records);
}

void SwfWalker::Handle(uint16_t code, size_t bodyStart, size_t bodyEnd, size_t depth) {
    if (m_visitor) {
        m_visitor(code, bodyStart, bodyEnd, depth);
    }
    // The handler sees the body through a view that ends with the tag: what it reads past the
    // end reads as zero instead of the next tag's bytes.
    m_bits.Attach(m_bytes, bodyEnd);
    m_bits.SetPosition(bodyStart);
    switch (code) {
        case kSwfTagDefineSound:
            OnDefineSound(bodyEnd);
            break;
        case kSwfTagSoundStreamHead:
        case kSwfTagSoundStreamHead2:
            OnSoundStreamHead(bodyEnd);
            break;
        case kSwfTagSoundStreamBlock:
            OnSoundStreamBlock(bodyEnd);
            break;
        case kSwfTagShowFrame:
            ++m_timelines.back().frame;
            break;
        case kSwfTagExportAssets:
        case kSwfTagSymbolClass:
            OnLinkageNames(code == kSwfTagSymbolClass, bodyEnd);
            break;
        case kSwfTagDefineBinaryData:
            // A character id, four reserved bytes, then the data.
            if (bodyEnd - bodyStart > 6) {
                m_records.binaries.push_back({m_bits.ReadU16(), bodyStart + 6, bodyEnd});
            }
            break;
        default:
            break;
    }
}

void SwfWalker::OnDefineSound(size_t end) {
    SwfSound sound;
    sound.kind = SwfSound::Kind::Event;
    sound.sprite = m_timelines.back().sprite;
    sound.characterId = m_bits.ReadU16();
    ReadSoundFlags(m_bits, sound);
    sound.sampleCount = m_bits.ReadU32();
    if (sound.format == kFormatMp3) {
        sound.seekSamples = static_cast<int16_t>(m_bits.ReadU16());
    }
    sound.dataStart = std::min(m_bits.Position(), end);
    sound.dataEnd = end;
    // An event sound is complete at its tag.
    m_records.completed.push_back(m_records.sounds.size());
    m_records.sounds.push_back(std::move(sound));
}

void SwfWalker::OnSoundStreamHead(size_t end) {
    m_bits.Skip(1);  // playback format
    CloseStream();   // a new head ends the stream of this timeline
    SwfSound sound;
    sound.kind = SwfSound::Kind::Stream;
    sound.sprite = m_timelines.back().sprite;
    ReadSoundFlags(m_bits, sound);
    sound.samplesPerBlock = m_bits.ReadU16();
    if (sound.format == kFormatMp3 && m_bits.Position() + 2 <= end) {
        sound.seekSamples = static_cast<int16_t>(m_bits.ReadU16());  // latency seek
    }
    sound.headFrame = m_timelines.back().frame;
    m_timelines.back().stream = m_records.sounds.size();
    m_records.sounds.push_back(std::move(sound));
}

void SwfWalker::OnSoundStreamBlock(size_t end) {
    const size_t stream = m_timelines.back().stream;
    if (stream == kNoStream) {
        return;  // a block before any head of its timeline belongs to no stream
    }
    SwfSound& sound = m_records.sounds[stream];
    const size_t start = std::min(m_bits.Position(), end);
    if (start == end) {
        ++sound.emptyBlocks;
        return;
    }
    sound.blocks.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(end - start),
                            m_timelines.back().frame});
}

void SwfWalker::OnLinkageNames(bool classes, size_t end) {
    // ExportAssets and SymbolClass: a count, then a character id and a name for each.
    const uint16_t count = m_bits.ReadU16();
    auto& table = classes ? m_records.names.classes : m_records.names.exported;
    for (uint32_t i = 0; i < count && m_bits.Position() < end; ++i) {
        const uint16_t id = m_bits.ReadU16();
        table.emplace(id, MovieText(ReadString(m_bits, end), m_version));
    }
}

void SwfWalker::CloseStream() {
    size_t& stream = m_timelines.back().stream;
    if (stream != kNoStream) {
        m_records.completed.push_back(stream);  // a stream is complete when its timeline moves on
        stream = kNoStream;
    }
}

}  // namespace

std::string SwfNames::NameOf(uint16_t characterId) const {
    const std::vector<std::string> names = AllNamesOf(characterId);
    return names.empty() ? std::string() : names.front();
}

std::vector<std::string> SwfNames::AllNamesOf(uint16_t characterId) const {
    std::vector<std::string> names;
    for (const auto* table : {&exported, &classes}) {
        const auto [first, last] = table->equal_range(characterId);
        for (auto it = first; it != last; ++it) {
            if (!it->second.empty() &&
                std::find(names.begin(), names.end(), it->second) == names.end()) {
                names.push_back(it->second);
            }
        }
    }
    return names;
}

SwfRecords WalkSwf(const uint8_t* bytes, size_t size, size_t firstTagOffset, uint16_t version,
                   const SwfTagVisitor& visitor) {
    return SwfWalker(bytes, size, version, visitor).Walk(firstTagOffset);
}

}  // namespace kelvora
