#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/CCodecSound.h"
#include "engine/BitReader.h"
#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/File.h"
#include "engine/MappedFile.h"
#include "engine/Records.h"

namespace kelvora {

struct SoundFlags;

// Reads a SWF movie, plain (FWS), zlib-compressed (CWS) or, with the every-format option,
// LZMA-compressed (ZWS), and walks its tags and sprites.
// The whole uncompressed body is held in memory; the sound-tag handlers read their fields through
// the bit reader and write every sound they find to a file of its own.
class CSwfReader {
  public:
    // Tag codes the walk acts on.
    static constexpr uint16_t kTagEnd = 0;
    static constexpr uint16_t kTagDefineSound = 14;
    static constexpr uint16_t kTagSoundStreamHead = 18;
    static constexpr uint16_t kTagSoundStreamBlock = 19;
    static constexpr uint16_t kTagDefineSprite = 39;
    static constexpr uint16_t kTagSoundStreamHead2 = 45;

    // The smallest header length a movie can have: 8 bytes, a 1-byte RECT and 4 more bytes,
    // rounded as the format's writers do.
    static constexpr uint32_t kMinFileLength = 21;

    // Sprites nested deeper than this are stepped over like any other tag: every level walked
    // keeps a saved stream state, and a movie of nothing but sprite headers must not turn each
    // 10 bytes of file into a hundred bytes of memory. Movies nest sprites a level or two.
    static constexpr size_t kMaxSpriteDepth = 1024;

    // Called for every tag the walk reaches, before it is handled (tests and tools use it).
    using TagVisitor =
        std::function<void(uint16_t code, size_t bodyStart, size_t bodyEnd, size_t depth)>;

    CSwfReader();
    ~CSwfReader();
    CSwfReader(const CSwfReader&) = delete;
    CSwfReader& operator=(const CSwfReader&) = delete;

    // Loads a movie and parses its header. Full mode keeps the body and settles the output base.
    bool Open(const std::string& path, bool headerOnly);
    // The same on a file image held in memory; full mode takes `outputBase` as the output base
    // (empty: no element file can be made).
    bool OpenMemory(const uint8_t* data, size_t size, bool headerOnly,
                    const std::string& outputBase = {});
    // Opens the header only and copies it into `info`.
    bool ReadInfo(const std::string& path, SwfMovieInfo* info);

    // Walks the tags from the first one, or (inSprite) from the current position + 4 up to the
    // end of the DefineSprite tag being handled. Nested sprites are walked on an explicit stack,
    // up to kMaxSpriteDepth levels. Always true.
    bool WalkTags(bool inSprite);

    // Frees everything and returns to the state of a new reader; the options stay.
    void Reset();

    // What the next reads and conversions do beyond the plain ones.
    void SetOptions(const ConversionOptions& options) { m_options = options; }
    const ConversionOptions& Options() const { return m_options; }
    // Why the last read or conversion failed, and what it skipped or could not write.
    const ConversionReport& Report() const { return m_report; }

    // Converts one movie: every sound element is written and brought to the target format.
    bool Convert(const std::string& path, bool toMp3);
    // The first half of a conversion: every sound element written in its own form (MP3 copied,
    // PCM and decoded ADPCM in WAV files) and listed, numbered from 001.
    bool ExtractElements(const std::string& path);

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t FrameRate() const { return m_frameRate; }
    int32_t FrameCount() const { return m_frameCount; }
    uint16_t Version() const { return m_version; }
    uint32_t DataSize() const { return m_size; }
    size_t FirstTagOffset() const { return m_firstTagOffset; }
    const std::string& OutputBase() const { return m_outputBase; }
    const std::vector<OutputItem>& Elements() const { return m_elements; }

    BitReader& Bits() { return m_bits; }
    // The tag being handled: its start, body length and end offset (body start + length).
    size_t TagStart() const { return m_tagStart; }
    uint32_t TagLength() const { return m_tagLength; }
    size_t TagEnd() const { return m_tagEnd; }

    void SetTagVisitor(TagVisitor visitor) { m_visitor = std::move(visitor); }

    // Sound-tag handlers, called by the walk with the bit reader at the body start.
    void OnDefineSound();
    void OnSoundStreamHead();
    void OnSoundStreamBlock();
    void EnterSprite();
    void LeaveSprite();
    // Finishes the current stream: lists it when it received samples, else deletes its file.
    void CloseStream();

    // Where a movie's bytes come from: a file or a file image in memory.
  private:
    bool Load(const uint8_t* file, size_t fileSize, bool headerOnly);
    void DropData();
    bool ParseHeader();
    void CallHandler(uint16_t code, size_t bodyStart, size_t bodyEnd, size_t depth);
    // The target pass: every element brought to the batch's format.
    void TranscodeElements(bool toMp3);
    std::string ClaimTranscodedName(const std::string& elementPath, std::string_view ext);
    // Sounds of the libavcodec formats, with the every-format option.
    void DecodeEventSound(const SoundFlags& flags);
    void StartCodecStream(const SoundFlags& flags);
    static OutputItem CodecElement(const CCodecSound& sound);
    // How a sound of this format that is not converted is reported.
    SkipReason SkipReasonFor(uint32_t format) const;
    // A movie with a single element drops "_001" from its name when the shorter name is free.
    void DropSingleNumber();

    // Header.
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_frameRate = 0;
    int32_t m_frameCount = 0;
    uint16_t m_version = 0;

    // The movie, preamble first; a compressed movie's body inflated.
    const uint8_t* m_bytes = nullptr;  // the movie: in m_file, m_scratch or m_data
    uint32_t m_size = 0;               // its valid bytes
    CMappedFile m_file;                // the movie file, while it is walked where it lies
    CMappedFile m_scratch;             // a large movie's inflated body
    std::vector<uint8_t> m_data;
    size_t m_firstTagOffset = 0;
    BitReader m_bits;

    // The tag being handled.
    size_t m_tagStart = 0;
    uint32_t m_tagLength = 0;
    size_t m_tagEnd = 0;
    std::string m_outputBase;
    TagVisitor m_visitor;

    // Sound catalogue.
    struct StreamState {
        int32_t format = 0;
        int32_t rateIndex = 0;
        int32_t is16Bit = 0;
        int32_t isStereo = 0;
        int32_t samplesPerBlock = 0;
        int32_t open = 0;
        uint32_t blocks = 0;                 // blocks received
        Failure lostTo = Failure::None;      // why a stream with sound could not be written
        std::unique_ptr<CFile> file;         // the open element file, or none
        std::unique_ptr<CCodecSound> codec;  // a libavcodec format's decoder and file, or none
        OutputItem record;
    };
    std::vector<OutputItem> m_elements;
    ConversionOptions m_options;
    ConversionReport m_report;
    StreamState m_stream;
    std::vector<StreamState> m_streamStack;
    std::vector<uint8_t> m_adpcmBuffer;  // one decoded stream block
    int32_t m_nameCounter = 1;
};

}  // namespace kelvora
