#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/TranscodeMp3ToWav.h"
#include "engine/BitReader.h"
#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/File.h"
#include "engine/MappedFile.h"
#include "engine/Records.h"
#include "swf/SwfSound.h"

namespace kelvora {

// Reads a SWF movie, plain (FWS), zlib-compressed (CWS) or, with the every-format option,
// LZMA-compressed (ZWS), and walks its tags and sprites, recording the sounds it holds; then
// writes each sound to a file of its own.
// The whole uncompressed body is held in memory; the sound-tag handlers read their fields through
// the bit reader and write every sound they find to a file of its own.
class CSwfReader {
  public:
    // Tag codes the walk acts on.
    static constexpr uint16_t kTagEnd = 0;
    static constexpr uint16_t kTagShowFrame = 1;
    static constexpr uint16_t kTagDefineSound = 14;
    static constexpr uint16_t kTagSoundStreamHead = 18;
    static constexpr uint16_t kTagSoundStreamBlock = 19;
    static constexpr uint16_t kTagDefineSprite = 39;
    static constexpr uint16_t kTagSoundStreamHead2 = 45;
    static constexpr uint16_t kTagExportAssets = 56;
    static constexpr uint16_t kTagSymbolClass = 76;

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
    // Reads a movie and walks it, recording its sounds, without writing anything: the output base
    // is where the outputs would go. For listing what a movie holds.
    bool Inspect(const std::string& path);
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
    // The first half of a conversion: the walk records the movie's sounds, then every sound
    // element is written in its own form (MP3 copied, PCM and decoded sound in WAV files) and
    // listed, numbered from 001. `forMp3` says which target the elements are for (only timed
    // MP3 streams are written differently for the two).
    bool ExtractElements(const std::string& path, bool forMp3 = true);
    // Writes the elements of the sounds the last walk recorded (after CloseStream for the main
    // timeline's last stream), as ExtractElements does.
    void WriteElements(bool forMp3 = true);

    // What the last walk found: the sounds in tag order (events at their tag, streams at their
    // head), the order in which they were complete (the element list's order), the names.
    const std::vector<SwfSound>& Sounds() const { return m_sounds; }
    const std::vector<size_t>& CompletionOrder() const { return m_completed; }
    const SwfNames& Names() const { return m_names; }
    // Why a recorded sound is not converted (a format the options leave out, a stream head
    // without samples per block), or Failure::None when it is.
    Failure SkipOf(const SwfSound& sound) const;
    // The sample frames a sound's element will hold, as far as the tags tell without decoding.
    uint32_t PlannedSampleCount(const SwfSound& sound) const;
    // The rate a sound's element will have, as far as the tags tell.
    uint32_t PlannedSampleRate(const SwfSound& sound) const;
    // The names the elements of the recorded sounds will take in the output folder as it is
    // now, by sound (empty for a sound that gives no element), without their extension:
    // nothing is created.
    std::vector<std::string> PlannedNames(bool toMp3);

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t FrameRate() const { return m_frameRate; }
    uint16_t FrameRate88() const { return m_frameRate88; }
    int32_t FrameCount() const { return m_frameCount; }
    uint16_t Version() const { return m_version; }
    // 'F' (plain), 'C' (zlib) or 'Z' (LZMA): the first byte of the signature.
    char Signature() const { return m_signature; }
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

    // Tag handlers, called by the walk with the bit reader at the body start.
    void OnDefineSound();
    void OnSoundStreamHead();
    void OnSoundStreamBlock();
    void OnShowFrame();
    void OnLinkageNames(bool classes);
    void EnterSprite();
    void LeaveSprite();
    // Ends the current timeline's stream: it is complete.
    void CloseStream();

  private:
    // How an MP3 element is to become a WAV file when the timing is kept.
    struct Mp3Shape {
        bool shaped = false;
        Mp3ToWavShape shape;
    };

    bool Load(const uint8_t* file, size_t fileSize, bool headerOnly);
    void DropData();
    bool ParseHeader();
    void CallHandler(uint16_t code, size_t bodyStart, size_t bodyEnd, size_t depth);
    // The element of one recorded sound; false when it gave none (its reason is reported).
    bool WriteEvent(const SwfSound& sound, OutputItem& element, Mp3Shape& shape);
    bool WriteStream(const SwfSound& sound, bool forMp3, OutputItem& element, Mp3Shape& shape);
    bool WriteCodecSound(const SwfSound& sound, OutputItem& element);
    // The next name for a sound's element: after its linkage name with that option, else the
    // next number. `claim` creates it; otherwise `taken` tells the names already planned.
    std::string NameFor(const SwfSound& sound, std::string_view ext, bool claim,
                        const std::function<bool(const std::string&)>& taken = {});
    // Sample frames of silence for the movie frames [from, to) after a stream's head, at `rate`:
    // a running total, so that the rounding of each frame never adds up.
    uint64_t SilenceFrames(uint64_t from, uint64_t to, uint32_t rate) const;
    // The target pass: every element brought to the batch's format.
    void TranscodeElements(bool toMp3);
    std::string ClaimTranscodedName(const std::string& elementPath, std::string_view ext);
    // How a sound of this format that is not converted is reported.
    SkipReason SkipReasonFor(uint32_t format) const;
    // A movie with a single element drops "_001" from its name when the shorter name is free.
    void DropSingleNumber();

    // Header.
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_frameRate = 0;
    uint16_t m_frameRate88 = 0;  // the 8.8 fixed-point rate the timing counts with
    int32_t m_frameCount = 0;
    uint16_t m_version = 0;
    char m_signature = 0;

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
    bool m_inspecting = false;  // an Open that must not create anything
    TagVisitor m_visitor;

    // What the walk records.
    static constexpr size_t kNoStream = SIZE_MAX;
    struct Timeline {
        int32_t sprite;  // -1: the main timeline
        uint32_t frame;  // frames shown so far
        size_t stream;   // the sound of its current stream head, or kNoStream
    };
    std::vector<Timeline> m_timelines;
    std::vector<SwfSound> m_sounds;
    std::vector<size_t> m_completed;
    SwfNames m_names;

    // What the writing makes.
    std::vector<OutputItem> m_elements;
    std::vector<Mp3Shape> m_shapes;  // by element
    ConversionOptions m_options;
    ConversionReport m_report;
    std::vector<uint8_t> m_adpcmBuffer;  // one decoded block
    int32_t m_nameCounter = 1;
};

}  // namespace kelvora
