#include "swf/CSwfReader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "engine/OutputNaming.h"

namespace kelvora {

namespace {

// zlib cannot inflate to more than about 1032 times its input: a longer claim is a lie.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 4096;
constexpr size_t kHeaderOnlyBytes = 20;  // read after the 8-byte preamble in header-only mode
constexpr size_t kCompressedChunk = 16 * 1024;
// A claimed length up to this is allocated at once; a longer one must first be shown to inflate
// that far, so a lying header costs time, never its claim in memory.
constexpr size_t kTrustedInflateBytes = 16 * 1024 * 1024;

uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

// Where the movie's bytes come from: a file on disk or a file image in memory.
class CSwfReader::Input {
  public:
    virtual ~Input() = default;
    virtual int64_t Read(void* buffer, size_t n) = 0;  // bytes read, 0 at the end, -1 on error
    virtual int64_t Size() = 0;                        // the whole file's size, or -1
};

namespace {

class FileInput final : public CSwfReader::Input {
  public:
    explicit FileInput(CFile& file) : m_file(file) {}
    int64_t Read(void* buffer, size_t n) override { return m_file.Read(buffer, n); }
    int64_t Size() override { return m_file.Size(); }

  private:
    CFile& m_file;
};

class MemoryInput final : public CSwfReader::Input {
  public:
    MemoryInput(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}
    int64_t Read(void* buffer, size_t n) override {
        const size_t take = std::min(n, m_size - m_pos);
        if (take > 0) {
            std::memcpy(buffer, m_data + m_pos, take);
        }
        m_pos += take;
        return static_cast<int64_t>(take);
    }
    int64_t Size() override { return static_cast<int64_t>(m_size); }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Reads until n bytes are held or the input ends; -1 on a read error.
int64_t ReadFully(CSwfReader::Input& input, uint8_t* buffer, size_t n) {
    size_t done = 0;
    while (done < n) {
        const int64_t r = input.Read(buffer + done, n - done);
        if (r < 0) {
            return -1;
        }
        if (r == 0) {
            break;
        }
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
}

// Whether `in` inflates (zlib format) to at least `wanted` bytes; the bytes are not kept.
bool InflatesTo(const uint8_t* in, size_t inSize, size_t wanted) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        return false;
    }
    std::vector<uint8_t> scratch(64 * 1024);
    zs.next_in = const_cast<uint8_t*>(in);
    zs.avail_in = static_cast<uInt>(inSize);
    size_t produced = 0;
    int rc = Z_OK;
    while (produced < wanted && rc == Z_OK) {
        zs.next_out = scratch.data();
        zs.avail_out = static_cast<uInt>(std::min(scratch.size(), wanted - produced));
        const uInt before = zs.avail_out;
        rc = inflate(&zs, Z_SYNC_FLUSH);
        produced += before - zs.avail_out;
        if (before == zs.avail_out && rc == Z_OK) {
            break;  // no progress: the input is used up
        }
    }
    inflateEnd(&zs);
    return produced >= wanted;
}

}  // namespace

CSwfReader::CSwfReader() = default;

CSwfReader::~CSwfReader() {
    Reset();
}

void CSwfReader::Reset() {
    if (m_stream.open) {
        CloseStream();
    }
    // Streams saved by a walk that never came back out of its sprites end here too.
    while (!m_streamStack.empty()) {
        m_stream = std::move(m_streamStack.back());
        m_streamStack.pop_back();
        if (m_stream.open) {
            CloseStream();
        }
    }
    m_stream = StreamState{};
    m_elements.clear();
    std::vector<uint8_t>().swap(m_adpcmBuffer);
    m_nameCounter = 1;
    m_width = m_height = m_frameRate = m_frameCount = 0;
    m_version = 0;
    std::vector<uint8_t>().swap(m_data);
    m_size = 0;
    m_firstTagOffset = 0;
    m_bits.Attach(nullptr, 0);
    m_tagStart = 0;
    m_tagLength = 0;
    m_tagEnd = 0;
    m_outputBase.clear();
}

bool CSwfReader::Open(const std::string& path, bool headerOnly) {
    Reset();
    CFile file;
    if (!file.OpenRead(path)) {
        return false;
    }
    FileInput input(file);
    if (!Load(input, headerOnly)) {
        return false;
    }
    if (!headerOnly) {
        m_outputBase = MakeOutputBase(path, SourceKind::Swf, m_nameCounter);
    }
    return true;
}

bool CSwfReader::OpenMemory(const uint8_t* data, size_t size, bool headerOnly,
                            const std::string& outputBase) {
    Reset();
    MemoryInput input(data, size);
    if (!Load(input, headerOnly)) {
        return false;
    }
    if (!headerOnly) {
        m_outputBase = outputBase;
    }
    return true;
}

bool CSwfReader::Load(Input& input, bool headerOnly) {
    uint8_t preamble[8];
    if (ReadFully(input, preamble, sizeof preamble) != static_cast<int64_t>(sizeof preamble)) {
        return false;
    }
    const bool plain = preamble[0] == 'F';
    if ((preamble[0] != 'F' && preamble[0] != 'C') || preamble[1] != 'W' || preamble[2] != 'S') {
        return false;
    }
    m_version = preamble[3];
    const uint32_t fileLength = LoadLe32(preamble + 4);
    if (fileLength < kMinFileLength) {
        return false;
    }
    const int64_t realSize = input.Size();
    if (realSize < 8) {
        return false;
    }
    // Header-only mode reads the 20 bytes after the preamble, or the whole body of a movie that
    // is shorter than that: a complete 23-byte movie is a movie.
    const size_t wanted = headerOnly ? std::min<size_t>(kHeaderOnlyBytes, size_t{fileLength} - 8)
                                     : size_t{fileLength} - 8;

    if (plain) {
        // Never more than the file really holds: the header's length is only a claim.
        const size_t toRead =
            headerOnly ? wanted : std::min<size_t>(wanted, static_cast<size_t>(realSize - 8));
        m_data.assign(8 + toRead + 2, 0);
        std::memcpy(m_data.data(), preamble, 8);
        const int64_t got = ReadFully(input, m_data.data() + 8, toRead);
        if (got < 0 || (headerOnly && static_cast<size_t>(got) != toRead)) {
            std::vector<uint8_t>().swap(m_data);
            return false;
        }
        m_size = static_cast<uint32_t>(8 + static_cast<size_t>(got));
        // A short read walks up to the real end; the two bytes after it stay zero.
        std::fill(m_data.begin() + m_size, m_data.end(), 0);
    } else {
        const uint64_t compressed = static_cast<uint64_t>(realSize) - 8;
        if (uint64_t{fileLength} - 8 > compressed * kMaxInflateRatio + kInflateSlack) {
            return false;
        }
        std::vector<uint8_t> in;
        if (!headerOnly) {
            in.resize(static_cast<size_t>(compressed));
            if (ReadFully(input, in.data(), in.size()) != static_cast<int64_t>(in.size()) ||
                (wanted > kTrustedInflateBytes && !InflatesTo(in.data(), in.size(), wanted))) {
                return false;
            }
        }
        m_data.assign(8 + wanted + 2, 0);
        z_stream zs{};
        if (inflateInit(&zs) != Z_OK) {
            std::vector<uint8_t>().swap(m_data);
            return false;
        }
        zs.next_out = m_data.data() + 8;
        zs.avail_out = static_cast<uInt>(wanted);
        int rc = Z_OK;
        bool readError = false;
        if (headerOnly) {
            // Only the first bytes are needed: feed the compressed body a piece at a time.
            in.resize(kCompressedChunk);
            while (zs.avail_out > 0 && rc == Z_OK) {
                const int64_t got = ReadFully(input, in.data(), in.size());
                if (got <= 0) {
                    readError = got < 0;
                    break;
                }
                zs.next_in = in.data();
                zs.avail_in = static_cast<uInt>(got);
                rc = inflate(&zs, Z_SYNC_FLUSH);
            }
        } else {
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(in.size());
            rc = inflate(&zs, Z_SYNC_FLUSH);
        }
        const bool complete = !readError && (rc == Z_OK || rc == Z_STREAM_END) && zs.avail_out == 0;
        inflateEnd(&zs);
        if (!complete) {
            std::vector<uint8_t>().swap(m_data);
            return false;
        }
        m_size = static_cast<uint32_t>(8 + wanted);
    }

    ParseHeader();
    if (headerOnly) {
        std::vector<uint8_t>().swap(m_data);
        m_size = 0;
        m_bits.Attach(nullptr, 0);
    }
    return true;
}

bool CSwfReader::ParseHeader() {
    m_bits.Attach(m_data.data(), m_size);
    m_bits.SetPosition(8);
    const unsigned nbits = m_bits.ReadBits(5);
    const int32_t xMin = m_bits.ReadSignedBits(nbits);
    const int32_t xMax = m_bits.ReadSignedBits(nbits);
    const int32_t yMin = m_bits.ReadSignedBits(nbits);
    const int32_t yMax = m_bits.ReadSignedBits(nbits);
    // 31-bit fields: the difference fits in 64 bits, and divided by 20 in 32.
    m_width = static_cast<int32_t>((int64_t{xMax} - xMin) / 20);
    m_height = static_cast<int32_t>((int64_t{yMax} - yMin) / 20);
    m_bits.Align();
    m_bits.Skip(1);  // fractional part of the 8.8 frame rate
    m_frameRate = m_bits.ReadU8();
    m_frameCount = m_bits.ReadU16();
    m_firstTagOffset = m_bits.Position();
    return true;
}

bool CSwfReader::ReadInfo(const std::string& path, SwfMovieInfo* info) {
    if (path.empty() || !info) {
        return false;
    }
    if (!Open(path, true)) {
        return false;
    }
    info->width = m_width;
    info->height = m_height;
    info->frameRate = static_cast<uint32_t>(m_frameRate);
    info->frameCount = static_cast<uint32_t>(m_frameCount);
    info->version = m_version;
    return true;
}

void CSwfReader::CallHandler(uint16_t code, size_t bodyStart, size_t bodyEnd, size_t depth) {
    if (m_visitor) {
        m_visitor(code, bodyStart, bodyEnd, depth);
    }
    // The handler sees the body through a view that ends with the tag: what it reads past the
    // end reads as zero instead of the next tag's bytes.
    m_bits.Attach(m_data.data(), bodyEnd);
    m_bits.SetPosition(bodyStart);
    switch (code) {
        case kTagDefineSound:
            OnDefineSound();
            break;
        case kTagSoundStreamHead:
        case kTagSoundStreamHead2:
            OnSoundStreamHead();
            break;
        case kTagSoundStreamBlock:
            OnSoundStreamBlock();
            break;
        default:
            break;
    }
    m_bits.Attach(m_data.data(), m_size);
}

bool CSwfReader::WalkTags(bool inSprite) {
    if (m_data.empty()) {
        return true;
    }
    struct Level {
        size_t limit;     // the walk of this level ends here
        size_t resumeAt;  // where the enclosing level goes on (the DefineSprite's end)
    };
    std::vector<Level> levels;
    const size_t start = inSprite ? m_bits.Position() + 4 : m_firstTagOffset;
    levels.push_back({inSprite ? std::min<size_t>(m_tagEnd, m_size) : m_size, 0});
    size_t pos = start;

    while (!levels.empty()) {
        const size_t limit = levels.back().limit;
        bool levelDone = pos >= limit;
        size_t tagEnd = 0;
        uint16_t code = 0;
        size_t bodyStart = 0;
        if (!levelDone) {
            // The header must lie wholly inside this level, like the body.
            if (limit - pos < 2) {
                levelDone = true;
            } else {
                m_bits.Attach(m_data.data(), m_size);
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
                if (!levelDone && bodyStart + length > limit) {
                    levelDone = true;  // a tag running past the data ends this level's walk
                }
                if (!levelDone) {
                    tagEnd = static_cast<size_t>(bodyStart + length);
                    m_tagStart = pos;
                    m_tagLength = static_cast<uint32_t>(length);
                    m_tagEnd = tagEnd;
                }
            }
        }
        if (!levelDone) {
            const size_t depth = levels.size() - 1;
            if (code == kTagEnd) {
                if (m_visitor) {
                    m_visitor(code, bodyStart, tagEnd, depth);
                }
                levelDone = true;
            } else if (code == kTagDefineSprite && levels.size() <= kMaxSpriteDepth) {
                if (m_visitor) {
                    m_visitor(code, bodyStart, tagEnd, depth);
                }
                m_bits.Attach(m_data.data(), m_size);
                m_bits.SetPosition(bodyStart);
                EnterSprite();
                levels.push_back({tagEnd, tagEnd});
                pos = bodyStart + 4;  // sprite id and frame count
                continue;
            } else {
                CallHandler(code, bodyStart, tagEnd, depth);
                pos = tagEnd;
                continue;
            }
        }
        // This level is over: a sprite hands back to its parent right after the sprite tag.
        const Level done = levels.back();
        levels.pop_back();
        if (!levels.empty()) {
            LeaveSprite();
            pos = done.resumeAt;
        }
    }
    m_bits.Attach(m_data.data(), m_size);
    return true;
}

}  // namespace kelvora
