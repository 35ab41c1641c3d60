#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvora {

// What an added file is, chosen from its extension when it is added: a SWF movie, an FLV video,
// and (with the option that reads movies inside other files) a projector, a program with a
// movie appended to it, or a SWC or ZIP archive of movies and videos.
enum class SourceKind : int32_t { Swf = 0, Flv = 1, Projector = 2, Archive = 3 };

// The kind of a file by its name: ".swf", ".flv"; with `wrappers`, ".exe" or no extension (a
// projector) and ".swc" or ".zip". False for any other name.
bool SourceKindOf(const std::string& path, bool wrappers, SourceKind& kind);

// The coding and container of a sound file: MP3 and WAV, and with the options that write each
// sound in its own coding, FLAC, AAC in MP4 (".m4a") and Speex in Ogg (".ogg").
enum class OutputFormat : uint8_t { Wav, Mp3, Flac, M4a, Ogg };
// Its name as lists show it ("MP3"), and its files' extension (".mp3").
const char* OutputFormatName(OutputFormat format);
const char* OutputExtension(OutputFormat format);

// One sound file written by a conversion.
struct OutputItem {
    uint16_t channels = 0;       // 1 = mono, 2 = stereo
    uint16_t bitsPerSample = 0;  // 8 or 16
    uint32_t sampleRate = 0;     // Hz; for an encoded MP3 the rate the encoder chose
    uint32_t sampleCount = 0;    // sample frames (samples per channel)
    uint32_t isMp3 = 0;          // 1 = MP3 file, 0 = another (a WAV file, unless `format` says)
    std::string path;            // full path of the written file
    OutputFormat format = OutputFormat::Wav;

    void SetFormat(OutputFormat f) {
        format = f;
        isMp3 = f == OutputFormat::Mp3 ? 1 : 0;
    }
    // The file's format, the MP3 flag first (records made with the flag alone are MP3 or WAV).
    OutputFormat FileFormat() const { return isMp3 != 0 ? OutputFormat::Mp3 : format; }
};

// One SWF or FLV file in the source list; owns the outputs of its last conversion.
struct SourceItem {
    SourceItem(SourceKind k, std::string p) : kind(k), path(std::move(p)) {}

    SourceKind kind;
    std::string path;  // full path as added
    std::vector<OutputItem> outputs;
    // The folder its last conversion made for its outputs (an archive's), removed again when
    // nothing is left in it.
    std::string outputFolder;
};

// The header information of a SWF movie, used to fill its source row.
struct SwfMovieInfo {
    int32_t width = 0;       // pixels
    int32_t height = 0;      // pixels
    uint32_t frameRate = 0;  // whole frames per second
    uint32_t frameCount = 0;
    uint16_t version = 0;
};

using SourceList = std::vector<std::unique_ptr<SourceItem>>;

// The first item whose path names the same file as `path` (see SamePath), or null.
SourceItem* FindSourceByPath(const SourceList& items, const std::string& path);

}  // namespace kelvora
