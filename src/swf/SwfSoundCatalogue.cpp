// The sound-tag handlers of CSwfReader: the walk records every event sound and every sound
// stream it meets (with where its data lies and in which frame) and the linkage names; nothing
// is decoded or written here.
#include <algorithm>

#include "engine/SoundFormat.h"
#include "engine/TextFormat.h"
#include "swf/CSwfReader.h"

namespace kelvora {

namespace {

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

void CSwfReader::OnDefineSound() {
    SwfSound sound;
    sound.kind = SwfSound::Kind::Event;
    sound.sprite = m_timelines.back().sprite;
    sound.characterId = m_bits.ReadU16();
    ReadSoundFlags(m_bits, sound);
    sound.sampleCount = m_bits.ReadU32();
    if (sound.format == kFormatMp3) {
        sound.seekSamples = static_cast<int16_t>(m_bits.ReadU16());
    }
    sound.dataStart = std::min(m_bits.Position(), m_tagEnd);
    sound.dataEnd = m_tagEnd;
    m_completed.push_back(m_sounds.size());  // an event sound is complete at its tag
    m_sounds.push_back(std::move(sound));
}

void CSwfReader::OnSoundStreamHead() {
    m_bits.Skip(1);  // playback format
    CloseStream();   // a new head ends the stream of this timeline
    SwfSound sound;
    sound.kind = SwfSound::Kind::Stream;
    sound.sprite = m_timelines.back().sprite;
    ReadSoundFlags(m_bits, sound);
    sound.samplesPerBlock = m_bits.ReadU16();
    if (sound.format == kFormatMp3 && m_bits.Position() + 2 <= m_tagEnd) {
        sound.seekSamples = static_cast<int16_t>(m_bits.ReadU16());  // latency seek
    }
    sound.headFrame = m_timelines.back().frame;
    m_timelines.back().stream = m_sounds.size();
    m_sounds.push_back(std::move(sound));
}

void CSwfReader::OnSoundStreamBlock() {
    const size_t stream = m_timelines.back().stream;
    if (stream == kNoStream) {
        return;  // a block before any head of its timeline belongs to no stream
    }
    SwfSound& sound = m_sounds[stream];
    const size_t start = std::min(m_bits.Position(), m_tagEnd);
    if (start == m_tagEnd) {
        ++sound.emptyBlocks;
        return;
    }
    sound.blocks.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(m_tagEnd - start),
                            m_timelines.back().frame});
}

void CSwfReader::OnShowFrame() {
    ++m_timelines.back().frame;
}

void CSwfReader::OnLinkageNames(bool classes) {
    // ExportAssets and SymbolClass: a count, then a character id and a name for each.
    const uint16_t count = m_bits.ReadU16();
    std::multimap<uint16_t, std::string>& table = classes ? m_names.classes : m_names.exported;
    for (uint32_t i = 0; i < count && m_bits.Position() < m_tagEnd; ++i) {
        const uint16_t id = m_bits.ReadU16();
        table.emplace(id, MovieText(ReadString(m_bits, m_tagEnd), m_version));
    }
}

void CSwfReader::CloseStream() {
    if (m_timelines.empty()) {
        return;
    }
    size_t& stream = m_timelines.back().stream;
    if (stream != kNoStream) {
        m_completed.push_back(stream);  // a stream is complete when its timeline moves on
        stream = kNoStream;
    }
}

void CSwfReader::EnterSprite() {
    const int32_t sprite = m_bits.ReadU16();
    m_timelines.push_back({sprite, 0, kNoStream});
}

void CSwfReader::LeaveSprite() {
    CloseStream();
    if (m_timelines.size() > 1) {
        m_timelines.pop_back();
    }
}

}  // namespace kelvora
