#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// Movies nest inside movies this deep at most.
inline constexpr int kMostNesting = 8;

// What one source file may cause, whatever it holds, so that a small file cannot keep a
// conversion busy for hours or write a million files; real files stay far below. The outputs
// and the bytes that movies inside the file inflate to grow with the file's own size.
struct WorkBudget {
    static constexpr uint64_t kMostEmbeddedMovies = 10000;
    static constexpr uint64_t kMostOutputs = 100000;
    static constexpr uint64_t kOutputsPerFileByte = 64;  // one more output per so many bytes
    static constexpr uint64_t kMostInflated = uint64_t{1} << 30;
    static constexpr uint64_t kInflatedPerFileByte = 64;

    explicit WorkBudget(uint64_t fileBytes)
        : outputsLeft(kMostOutputs + fileBytes / kOutputsPerFileByte),
          inflatedLeft(kMostInflated + fileBytes * kInflatedPerFileByte) {}

    uint64_t moviesLeft = kMostEmbeddedMovies;  // movies embedded in movies
    uint64_t outputsLeft;
    uint64_t inflatedLeft;  // bytes compressed movies inside the file inflate to
};

// Why a file did not convert, or why some of its sounds were not written.
enum class Failure : uint8_t {
    None,
    Unreadable,         // the file is gone or cannot be read
    NotSwf,             // not a SWF movie
    NotFlv,             // not an FLV video
    NotSwfOrFlv,        // a file whose name is neither a movie's nor a video's
    BrokenCompression,  // a compressed movie whose data does not inflate
    LzmaNeedsOption,    // an LZMA-compressed movie, read only with the every-format option
    SourceChanged,      // the file was cut short while it was read
    NoAudioTrack,       // a video without audio
    FormatNeedsOption,  // a sound format converted only with the every-format option
    FormatUnsupported,  // a sound format that is never converted
    NothingDecoded,     // a sound of which no packet decodes
    EmptyStreamHead,    // a stream head that gives no samples per block
    NoWritableFolder,   // no output folder takes a new file
    DiskFull,           // a write failed for want of space
    WriteFailed,        // a write failed otherwise
    EncoderFailed,      // the MP3 encoder failed
    DecoderFailed,      // the MP3 decoder found no sound it could decode
    LibraryMissing,     // the libraries that decode a sound format cannot be loaded
    NoSamples,          // a stream whose blocks hold no samples
    NoMovieInside,      // a projector or an archive without a movie or video in it
    ArchiveUnreadable,  // an archive the reader cannot read
    EmbedsItself,       // a movie that holds itself
    NestedTooDeep,      // movies inside movies more than kMostNesting deep
    InflatesTooFar,     // data that inflates (or claims to) past any real compression
    SameMovie,          // a movie embedded again with the same bytes: read once (detail: where)
    TooMuchWork,        // past what one file may cause (detail: which limit)
    TooManyOutputs,     // a sound past the outputs one file may write
};

// Why sounds of a movie were skipped.
enum class SkipReason : uint8_t {
    NeedsOption,
    Unsupported,
    NothingDecoded,
    LibraryMissing,
    TooManyOutputs,  // past the outputs one file may write
};

// What one conversion has to tell beyond its status: the reason it failed, the sounds it
// skipped for their format, and the sounds it could not write.
struct ConversionReport {
    struct Skipped {
        uint32_t format = 0;
        SkipReason why = SkipReason::NeedsOption;
        uint32_t count = 0;
    };

    Failure failure = Failure::None;
    uint32_t format = 0;  // the sound format the failure names
    // What a library said of the failure: the loader's words for LibraryMissing, the archive
    // reader's for ArchiveUnreadable.
    std::string detail;
    std::vector<Skipped> skipped;
    Failure lost = Failure::None;  // why sounds were not written (the first reason met)
    uint32_t lostCount = 0;
    // Sounds written shorter than their tags claim.
    struct Shortfall {
        uint32_t format = 0;
        uint32_t claimed = 0;  // sample frames
        uint32_t written = 0;
    };
    std::vector<Shortfall> shortfalls;
    // Sounds written with another length than the listing gave them (a packet their decoder
    // rejected, say): the file's figure stands, and this says why it differs.
    struct Difference {
        uint32_t format = 0;
        uint32_t planned = 0;  // sample frames
        uint32_t written = 0;
    };
    std::vector<Difference> differences;
    // What the movies and videos inside it (embedded, or an archive's members) had to tell, by
    // where they are ("game.swf#bin5", "sub/b.swf"); each one's own report.
    std::vector<std::pair<std::string, std::shared_ptr<const ConversionReport>>> inner;

    void Clear() { *this = ConversionReport{}; }
    // Records the failure of the whole file; the first one recorded stands.
    void Fail(Failure why, uint32_t soundFormat = 0);
    // The source was cut short while it was read: that explains whatever failed after it, so
    // it stands over any earlier failure.
    void Cut();
    void Skip(uint32_t soundFormat, SkipReason why);
    void Lose(Failure why);
    void Short(uint32_t soundFormat, uint32_t claimed, uint32_t written);
    void Differs(uint32_t soundFormat, uint32_t planned, uint32_t written);
};

// Whether converting the file again may give more than this conversion did: it failed, or lost
// or skipped sounds, for a reason of the machine or the moment rather than of the file (the
// file unreadable or changed while read, no folder or disk that took the output, a library
// missing), here or in a movie or video inside it.
bool MayGiveMoreLater(const ConversionReport& report);

// Failure from a write's error number: the disk full (or the quota used up), or another error.
Failure WriteFailure(int error);

// The text of one failure, naming `format` where the failure names a sound format, the
// every-format option as `optionName`, and what the loader said of missing libraries.
std::string FailureText(Failure why, uint32_t format, const std::string& optionName,
                        const std::string& detail = {});

// What the report tells, one line each, for a user who turns the every-format option on by
// `optionName` ("--all-formats"). Empty when there is nothing to tell.
std::vector<std::string> DescribeReport(const ConversionReport& report,
                                        const std::string& optionName);
// Of those, only why movies and videos inside it gave nothing (or were read once): what a
// listing, whose lines show every sound's own reason, has to tell besides.
std::vector<std::string> DescribeInnerFailures(const ConversionReport& report,
                                               const std::string& optionName);

}  // namespace kelvora
