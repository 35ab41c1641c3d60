#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/MappedFile.h"
#include "engine/Records.h"
#include "engine/SoundPlan.h"
#include "swf/SwfSound.h"

namespace kelvora {

class CSwfReader;
class CFlvReader;

// Whether data begins like a movie: a signature (FWS, CWS; ZWS with `allowLzma`), a version, a
// length a movie can have (a plain movie's within the data), a zlib header after a CWS one.
bool LooksLikeMovie(const uint8_t* data, size_t size, bool allowLzma);

// Where a projector's movie lies: a footer in the last 8 bytes (56 34 12 FA, then the movie's
// length, 32 bits little-endian) puts it just before the footer; without one, the first place
// that looks like a movie is taken. False when none is found.
bool FindProjectorMovie(const uint8_t* data, size_t size, bool allowLzma, size_t& start,
                        size_t& length);
// Maps a projector and finds its movie; on failure the report says why (a file cut while it was
// read is told as such).
bool MapProjectorMovie(const std::string& path, bool allowLzma, CMappedFile& file, size_t& start,
                       size_t& length, ConversionReport& report);

// What a source of any kind gives, for a listing or a conversion alike: its own movie or video,
// then, with the option that reads movies inside other files, every movie it embeds (named as
// a file "BASE_bin<ID>.swf" beside it would be) and, for an archive, every SWF and FLV member,
// whose outputs go to a folder made beside the archive and named after it (a folder that is
// there already is never written into), mirroring the members' folders.
class CSourceRun {
  public:
    // `convert`: files are written (else nothing is, and the names are those planned).
    CSourceRun(CSwfReader& swf, CFlvReader& flv, const ConversionOptions& options, bool toMp3,
               bool convert);
    ~CSourceRun();
    CSourceRun(const CSourceRun&) = delete;
    CSourceRun& operator=(const CSourceRun&) = delete;

    // False when the source itself could not be read or converted (the report says why).
    bool Run(const std::string& path, SourceKind kind);

    // A conversion's outputs, in order.
    const std::vector<OutputItem>& Outputs() const { return m_outputs; }
    // A listing's sounds, each with where it comes from ("" for the source's own).
    const std::vector<PlannedSound>& Planned() const { return m_planned; }
    const ConversionReport& Report() const { return m_report; }
    // The folder made for an archive's outputs, when one was.
    const std::string& OutputFolder() const { return m_outputFolder; }
    // The source's own header: a movie's (a projector's movie too), a video's version.
    bool HasMovie() const { return m_hasMovie; }
    const SwfHeader& MovieHeader() const { return m_header; }

  private:
    struct Ancestor {
        const uint8_t* bytes;
        size_t size;
    };
    // A movie in memory (whose bytes outlive the run of it), its embedded movies after it.
    // `where` names its own sounds ("" for the source's), `label` its embedded movies'.
    bool Movie(const uint8_t* data, size_t size, const std::string& base, const std::string& where,
               const std::string& label, ConversionReport& report);
    bool Video(const uint8_t* data, size_t size, const std::string& base, const std::string& where,
               ConversionReport& report);
    // The movies the movie `reader` has open embeds, and theirs.
    void Embedded(CSwfReader& reader, const std::string& base, const std::string& where,
                  ConversionReport& report);
    bool Archive(const std::string& path);
    void Take(CSwfReader& reader, const std::string& where);
    void Take(CFlvReader& reader, const std::string& where);
    // Counts a movie's outputs against the budget.
    void TakeOutputs(const CSwfReader& reader);

    CSwfReader& m_swf;
    CFlvReader& m_flv;
    ConversionOptions m_options;
    bool m_toMp3;
    bool m_convert;
    // Reads a movie in memory with what is left of the budget, and takes what it used.
    bool ReadMovie(CSwfReader& reader, const uint8_t* data, size_t size, const std::string& base);

    std::vector<Ancestor> m_ancestors;
    WorkBudget m_budget{0};
    // The embedded movies read so far, by their size and a hash of their bytes: where each was.
    std::map<std::pair<size_t, size_t>, std::string> m_embedded;
    bool m_stopped = false;
    std::string m_album;  // what files tagged with one name as their album: the source's name  // the budget ran out: no more movies inside are read
    std::vector<OutputItem> m_outputs;
    std::vector<PlannedSound> m_planned;
    ConversionReport m_report;
    std::string m_outputFolder;
    bool m_hasMovie = false;
    SwfHeader m_header;
};

}  // namespace kelvora
