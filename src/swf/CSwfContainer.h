#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ConversionReport.h"
#include "engine/MappedFile.h"
#include "engine/Records.h"
#include "swf/SwfSound.h"

namespace kelvora {

// What a movie's header shows in its source row.
inline SwfMovieInfo MovieInfoOf(const SwfHeader& h) {
    return {h.width, h.height, static_cast<uint32_t>(h.frameRate),
            static_cast<uint32_t>(h.frameCount), h.version};
}

// A SWF movie's bytes, preamble first: plain (FWS) where the file lies, zlib-compressed (CWS)
// or, when allowed, LZMA-compressed (ZWS) inflated into the heap or, for a large body, into a
// scratch file. The header's length is only a claim: a plain movie is held as far as the file
// goes, a compressed one as far as it really inflates (a claim zlib cannot reach is refused).
class CSwfContainer {
  public:
    // The smallest header length a movie can have: 8 bytes, a 1-byte RECT and 4 more bytes,
    // rounded as the format's writers do.
    static constexpr uint32_t kMinFileLength = 21;

    CSwfContainer() = default;
    CSwfContainer(const CSwfContainer&) = delete;
    CSwfContainer& operator=(const CSwfContainer&) = delete;

    // Loads the movie at `path`; header-only reads no more than the header needs. False with
    // the reason in `report`.
    bool Open(const std::string& path, bool headerOnly, bool allowLzma, ConversionReport& report);
    // The same on a file image in memory, which need not outlive the call unless `borrow`
    // says it does (a plain movie is then read where it lies, as a mapped file is). A compressed
    // movie that claims to inflate past `mostInflated` bytes is refused (TooMuchWork).
    bool OpenMemory(const uint8_t* data, size_t size, bool headerOnly, bool allowLzma,
                    ConversionReport& report, bool borrow = false,
                    uint64_t mostInflated = UINT64_MAX);
    void Close();

    const SwfHeader& Header() const { return m_header; }
    // The movie from its preamble on, and its valid bytes; null after a header-only open.
    const uint8_t* Bytes() const { return m_bytes; }
    uint32_t Size() const { return m_size; }
    // The file was cut short while it was read: what was read past the cut is not the movie.
    bool Truncated() const { return m_file.Truncated(); }

  private:
    bool Load(const uint8_t* file, size_t fileSize, bool headerOnly, bool allowLzma,
              ConversionReport& report, uint64_t mostInflated);
    void ParseHeader();
    void DropData();

    SwfHeader m_header;
    const uint8_t* m_bytes = nullptr;  // in m_file, m_scratch or m_data
    uint32_t m_size = 0;
    CMappedFile m_file;     // the movie file, while it is walked where it lies
    CMappedFile m_scratch;  // a large movie's inflated body
    std::vector<uint8_t> m_data;
};

}  // namespace kelvora
