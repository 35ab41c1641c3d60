#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/OutputNaming.h"
#include "engine/Records.h"
#include "engine/SoundPlan.h"
#include "swf/CSwfContainer.h"
#include "swf/SwfPlan.h"
#include "swf/SwfWalk.h"

namespace kelvora {

// Reads SWF movies: their header for the source list, and their sounds for a listing or a
// conversion. Each step is a part of its own: the container loads the movie, the walk records
// its sounds, the plan says what a conversion makes of them, the element writer writes each
// sound to a file of its own, and the transcoder brings the files to the target's form. One
// reader serves a whole batch; every open resets it.
class CSwfReader {
  public:
    CSwfReader() = default;
    CSwfReader(const CSwfReader&) = delete;
    CSwfReader& operator=(const CSwfReader&) = delete;

    // Loads a movie and parses its header. Full mode keeps the body and settles the output base.
    bool Open(const std::string& path, bool headerOnly);
    // The same on a file image held in memory; full mode takes `outputBase` as the output base
    // (empty: no element file can be made).
    bool OpenMemory(const uint8_t* data, size_t size, bool headerOnly,
                    const std::string& outputBase = {});
    // Plans and converts a movie held in memory (inside another file), whose bytes outlive the
    // reader's use of them, with its outputs named after `outputBase`.
    bool PlanMemory(const uint8_t* data, size_t size, const std::string& outputBase, bool toMp3);
    bool ConvertMemory(const uint8_t* data, size_t size, const std::string& outputBase, bool toMp3);
    // Opens the header only and copies it into `info`.
    bool ReadInfo(const std::string& path, SwfMovieInfo* info);
    // Walks the opened movie and records its sounds. Always true.
    bool WalkTags();

    // What a conversion to MP3 (or WAV) would make of the movie, writing nothing: Planned().
    bool Plan(const std::string& path, bool toMp3);
    // Converts one movie: the plan made, and every sound written as it says (its element, then
    // its output in the target's form). Elements() are the outputs written.
    bool Convert(const std::string& path, bool toMp3);
    // The first half of a conversion: every sound element written in its own form (MP3 copied,
    // PCM and decoded sound in WAV files), listed, numbered from 001. `forMp3` says which target
    // the elements are for (only timed MP3 streams are written differently for the two).
    bool ExtractElements(const std::string& path, bool forMp3 = true);
    // Plans and writes the elements of the walked movie, as ExtractElements does.
    void WriteElements(bool forMp3 = true);

    // Frees everything and returns to the state of a new reader; the options stay.
    void Reset();
    void SetOptions(const ConversionOptions& options) { m_options = options; }
    // What the next movie may cause: the outputs it may give, and (one held in memory) the bytes
    // it may inflate to. Both stay until set again.
    void SetLimits(uint64_t mostOutputs, uint64_t mostInflated) {
        m_mostOutputs = mostOutputs;
        m_mostInflated = mostInflated;
    }
    // The album the tagged files of a movie held in memory name (the source file's name); a
    // movie opened from its path names its own file.
    void SetAlbum(std::string album) { m_album = std::move(album); }
    const ConversionOptions& Options() const { return m_options; }
    // Why the last read or conversion failed, and what it skipped or could not write.
    const ConversionReport& Report() const { return m_report; }

    const SwfRecords& Records() const { return m_records; }
    const SourcePlan& Planned() const { return m_plan.list; }
    const std::vector<OutputItem>& Elements() const { return m_outputs; }

    const SwfHeader& Header() const { return m_container.Header(); }
    int32_t Width() const { return Header().width; }
    int32_t Height() const { return Header().height; }
    int32_t FrameRate() const { return Header().frameRate; }
    int32_t FrameCount() const { return Header().frameCount; }
    uint16_t Version() const { return Header().version; }
    char Signature() const { return Header().signature; }
    uint32_t DataSize() const { return m_container.Size(); }
    const uint8_t* Bytes() const { return m_container.Bytes(); }
    const std::string& OutputBase() const { return m_outputBase; }

    // Called for every tag the walk reaches, before it is handled (tests and tools use it).
    void SetTagVisitor(SwfTagVisitor visitor) { m_visitor = std::move(visitor); }

  private:
    // Opens a movie whose bytes the caller keeps (one inside another file) and walks it, its
    // outputs named from `outputBase`.
    bool WalkBorrowed(const uint8_t* data, size_t size, const std::string& outputBase);
    // Plans the walked movie's conversion with its outputs named from `outputBase`.
    void PlanWalked(const std::string& outputBase, bool toMp3);
    // Writes the planned sounds: their outputs, or (`elementsOnly`) their elements.
    void WritePlanned(bool elementsOnly);
    // The file was cut short while it was read: what was written of it goes, and it failed.
    bool Cut();

    CSwfContainer m_container;
    std::string m_outputBase;
    ConversionOptions m_options;
    ConversionReport m_report;
    SwfTagVisitor m_visitor;
    uint64_t m_mostOutputs = UINT64_MAX;
    uint64_t m_mostInflated = UINT64_MAX;
    std::string m_album;
    SwfRecords m_records;
    SwfPlan m_plan;
    std::vector<OutputItem> m_outputs;
};

}  // namespace kelvora
