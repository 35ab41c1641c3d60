#include "swf/CSwfContainer.h"

#include <errno.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/BitReader.h"
#include "engine/File.h"

namespace kelvora {

namespace {

// zlib cannot inflate to more than about 1032 times its input: a longer claim is a lie.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 4096;
constexpr size_t kHeaderOnlyBytes = 20;  // read after the 8-byte preamble in header-only mode
// A claimed length up to this is inflated into the heap at once; a longer one goes to a scratch
// file that grows only as far as the data really inflates, so neither a lying header nor a huge
// movie costs its length in memory.
constexpr size_t kTrustedInflateBytes = 16 * 1024 * 1024;
constexpr size_t kInflateWindow = 1024 * 1024;
constexpr size_t kMaxLzmaDict = 64 * 1024 * 1024;
// LZMA packs long runs many thousand to one, so nothing in its data bounds a claim: a movie may
// claim no more than this many times its data, as archives' members may inflate, lest a small
// file make a scratch file of gigabytes. Real movies inflate a few times over.
constexpr uint64_t kMostLzmaRatio = 1100;

// A compressed body held in memory, inflated a window at a time.
class Unpacker {
  public:
    enum class Step { More, End, Broken };
    virtual ~Unpacker() = default;
    // Inflates into `out` up to `room` bytes; `got` tells how many came out.
    virtual Step Next(uint8_t* out, size_t room, size_t& got) = 0;
};

class ZlibUnpacker : public Unpacker {
  public:
    ZlibUnpacker(const uint8_t* in, size_t size) : m_in(in), m_left(size) {
        m_ready = inflateInit(&m_zs) == Z_OK;
    }
    ~ZlibUnpacker() override {
        if (m_ready) {
            inflateEnd(&m_zs);
        }
    }
    Step Next(uint8_t* out, size_t room, size_t& got) override {
        got = 0;
        if (!m_ready) {
            return Step::Broken;
        }
        // zlib counts in 32 bits: a larger input is fed a gigabyte at a time.
        if (m_zs.avail_in == 0 && m_left > 0) {
            const size_t take = std::min<size_t>(m_left, size_t{1} << 30);
            m_zs.next_in = const_cast<uint8_t*>(m_in);
            m_zs.avail_in = static_cast<uInt>(take);
            m_in += take;
            m_left -= take;
        }
        m_zs.next_out = out;
        m_zs.avail_out = static_cast<uInt>(std::min<size_t>(room, size_t{1} << 30));
        const uInt before = m_zs.avail_out;
        const int rc = inflate(&m_zs, Z_SYNC_FLUSH);
        got = before - m_zs.avail_out;
        if (rc == Z_STREAM_END) {
            return Step::End;
        }
        if (rc != Z_OK) {
            return Step::Broken;
        }
        // No progress with all input used up: the data ends here.
        return got == 0 && m_zs.avail_in == 0 && m_left == 0 ? Step::End : Step::More;
    }

  private:
    z_stream m_zs{};
    const uint8_t* m_in;
    size_t m_left;
    bool m_ready = false;
};

// Raw LZMA data whose five properties bytes come apart from it, as LZMA-compressed movies
// hold them.
class LzmaUnpacker : public Unpacker {
  public:
    // `wanted`: the most the data is to give.
    LzmaUnpacker(const uint8_t* properties, const uint8_t* in, size_t size, size_t wanted) {
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_properties_decode(&filters[0], nullptr, properties, 5) != LZMA_OK) {
            return;
        }
        // The dictionary is allocated at the size the properties give, up to 4 GiB: a movie
        // never refers further back than it is long, nor (being written by real encoders)
        // further than 64 MiB.
        auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
        const size_t most = std::max<size_t>(LZMA_DICT_SIZE_MIN, std::min(wanted, kMaxLzmaDict));
        options->dict_size = static_cast<uint32_t>(std::min<size_t>(options->dict_size, most));
        m_ready = lzma_raw_decoder(&m_stream, filters) == LZMA_OK;
        free(filters[0].options);  // the decoder keeps its own copy
        m_stream.next_in = in;
        m_stream.avail_in = size;
    }
    ~LzmaUnpacker() override { lzma_end(&m_stream); }
    Step Next(uint8_t* out, size_t room, size_t& got) override {
        got = 0;
        if (!m_ready) {
            return Step::Broken;
        }
        m_stream.next_out = out;
        m_stream.avail_out = room;
        const lzma_ret rc = lzma_code(&m_stream, m_stream.avail_in > 0 ? LZMA_RUN : LZMA_FINISH);
        got = room - m_stream.avail_out;
        if (rc == LZMA_STREAM_END) {
            return Step::End;
        }
        if (rc != LZMA_OK) {
            return Step::Broken;
        }
        return got == 0 && m_stream.avail_in == 0 ? Step::End : Step::More;
    }

  private:
    lzma_stream m_stream = LZMA_STREAM_INIT;
    bool m_ready = false;
};

using UnpackerMaker = std::function<std::unique_ptr<Unpacker>()>;

struct Unpacked {
    size_t produced = 0;
    bool broken = false;  // the data broke (rather than ended) before `wanted` bytes
    bool drained = true;  // `drain` took every window
};

// Inflates until `wanted` bytes came out or the data ends, through `window`: `drain` takes the
// window's bytes each time. With `fill` the window is the whole destination, each step written
// after the last (an unpacker gives at most a gigabyte a step).
Unpacked Unpack(Unpacker& unpacker, size_t wanted, uint8_t* window, size_t windowSize,
                const std::function<bool(const uint8_t*, size_t)>& drain, bool fill = false) {
    Unpacked result;
    while (result.produced < wanted) {
        uint8_t* const out = fill ? window + result.produced : window;
        const size_t room = fill ? windowSize - result.produced : windowSize;
        size_t got = 0;
        const Unpacker::Step step =
            unpacker.Next(out, std::min(room, wanted - result.produced), got);
        result.produced += got;
        if (got > 0 && !drain(out, got)) {
            result.drained = false;
            break;
        }
        if (step != Unpacker::Step::More) {
            result.broken = step == Unpacker::Step::Broken;
            break;
        }
    }
    return result;
}

enum class ScratchResult { Done, BadData, NoScratch };

// Inflates a movie's body behind its preamble into a scratch file and maps it: a large movie
// then costs page cache that the system can reclaim, not heap. `produced` tells how much of the
// body came out.
ScratchResult InflateToScratch(const uint8_t* preamble, Unpacker& unpacker, size_t wanted,
                               bool shortIsBad, CMappedFile* map, size_t& produced,
                               int& writeError) {
    CFile scratch;
    if (!scratch.CreateScratch()) {
        writeError = errno;
        return ScratchResult::NoScratch;
    }
    const auto put = [&scratch](const uint8_t* data, size_t size) {
        return scratch.Write(data, size);
    };
    std::vector<uint8_t> window(kInflateWindow);
    ScratchResult result = ScratchResult::Done;
    const Unpacked unpacked = put(preamble, 8)
                                  ? Unpack(unpacker, wanted, window.data(), window.size(), put)
                                  : Unpacked{0, false, false};
    produced = unpacked.produced;
    if (!unpacked.drained) {
        result = ScratchResult::NoScratch;
    } else if (unpacked.produced == 0 || (shortIsBad && unpacked.produced < wanted)) {
        result = ScratchResult::BadData;
    } else if (!scratch.Flush() || !map->OpenDescriptor(scratch.Fd())) {
        result = ScratchResult::NoScratch;
    }
    writeError = scratch.WriteError();
    return result;
}

}  // namespace

void CSwfContainer::DropData() {
    std::vector<uint8_t>().swap(m_data);
    m_file.Close();
    m_scratch.Close();
    m_bytes = nullptr;
    m_size = 0;
}

void CSwfContainer::Close() {
    DropData();
    m_header = SwfHeader{};
}

bool CSwfContainer::Open(const std::string& path, bool headerOnly, bool allowLzma,
                         ConversionReport& report) {
    Close();
    // The file is mapped, not read: a plain movie is walked where it lies, a compressed one is
    // inflated straight from it.
    if (!m_file.Open(path)) {
        report.Fail(Failure::Unreadable);
        return false;
    }
    // A file cut short while it was read is not the movie: what was read past the cut is zeros.
    const bool loaded =
        Load(m_file.Data(), m_file.Size(), headerOnly, allowLzma, report, UINT64_MAX);
    if (!loaded || m_file.Truncated()) {
        if (m_file.Truncated()) {
            report.Cut();
        }
        DropData();
        return false;
    }
    if (m_bytes != m_file.Data()) {
        m_file.Close();
    }
    return true;
}

bool CSwfContainer::OpenMemory(const uint8_t* data, size_t size, bool headerOnly, bool allowLzma,
                               ConversionReport& report, bool borrow, uint64_t mostInflated) {
    Close();
    if (!data || !Load(data, size, headerOnly, allowLzma, report, mostInflated)) {
        DropData();
        return false;
    }
    if (m_bytes == data && !borrow) {
        m_data.assign(data, data + m_size);
        m_bytes = m_data.data();
    }
    return true;
}

bool CSwfContainer::Load(const uint8_t* file, size_t fileSize, bool headerOnly, bool allowLzma,
                         ConversionReport& report, uint64_t mostInflated) {
    if (fileSize < 8) {
        report.Fail(Failure::NotSwf);
        return false;
    }
    const uint8_t* preamble = file;
    const bool plain = preamble[0] == 'F';
    const bool lzma = preamble[0] == 'Z';
    if ((preamble[0] != 'F' && preamble[0] != 'C' && preamble[0] != 'Z') || preamble[1] != 'W' ||
        preamble[2] != 'S') {
        report.Fail(Failure::NotSwf);
        return false;
    }
    if (lzma && !allowLzma) {
        report.Fail(Failure::LzmaNeedsOption);
        return false;
    }
    m_header.version = preamble[3];
    m_header.signature = static_cast<char>(preamble[0]);
    const uint32_t fileLength = LoadLe32(preamble + 4);
    if (fileLength < kMinFileLength) {
        report.Fail(Failure::NotSwf);
        return false;
    }
    // Header-only mode reads the 20 bytes after the preamble, or the whole body of a movie that
    // is shorter than that: a complete 23-byte movie is a movie.
    const size_t wanted = headerOnly ? std::min<size_t>(kHeaderOnlyBytes, size_t{fileLength} - 8)
                                     : size_t{fileLength} - 8;
    const uint8_t* body = file + 8;
    const size_t bodySize = fileSize - 8;

    if (plain) {
        // Never more than the file really holds: the header's length is only a claim. A short
        // file is walked up to its real end.
        const size_t held = std::min(wanted, bodySize);
        if (headerOnly && held != wanted) {
            report.Fail(Failure::NotSwf);
            return false;
        }
        m_bytes = file;
        m_size = static_cast<uint32_t>(8 + held);
    } else {
        // zlib cannot inflate to more than about 1032 times its input: a longer claim is a lie.
        // LZMA has no such bound, so its claim is believed only as far as its data goes.
        if (!lzma &&
            uint64_t{fileLength} - 8 > uint64_t{bodySize} * kMaxInflateRatio + kInflateSlack) {
            report.Fail(Failure::BrokenCompression);
            return false;
        }
        if (lzma && uint64_t{fileLength} - 8 > uint64_t{bodySize} * kMostLzmaRatio + kInflateSlack) {
            report.Fail(Failure::InflatesTooFar);
            return false;
        }
        if (uint64_t{fileLength} - 8 > mostInflated) {
            report.detail = "the movies inside the file inflate to more than one file may";
            report.Fail(Failure::TooMuchWork);
            return false;
        }
        // An LZMA body: its compressed length (a claim, not used), five properties bytes, then
        // the raw LZMA data.
        constexpr size_t kLzmaHead = 4 + 5;
        if (lzma && bodySize < kLzmaHead) {
            report.Fail(Failure::BrokenCompression);
            return false;
        }
        const UnpackerMaker makeUnpacker = [&]() -> std::unique_ptr<Unpacker> {
            if (lzma) {
                return std::make_unique<LzmaUnpacker>(body + 4, body + kLzmaHead,
                                                      bodySize - kLzmaHead, wanted);
            }
            return std::make_unique<ZlibUnpacker>(body, bodySize);
        };
        // A zlib body that ends early is refused; an LZMA body that ends or breaks early is
        // walked as far as it came out, once its header is whole.
        const bool shortIsBad = !lzma || headerOnly;
        const auto bad = [&](const Unpacked& u) {
            return u.produced == 0 || (shortIsBad && u.produced < wanted);
        };
        size_t produced = 0;
        int scratchError = 0;
        ScratchResult scratch = ScratchResult::NoScratch;
        if (!headerOnly && wanted > kTrustedInflateBytes) {
            const std::unique_ptr<Unpacker> unpacker = makeUnpacker();
            scratch = InflateToScratch(preamble, *unpacker, wanted, shortIsBad, &m_scratch,
                                       produced, scratchError);
        }
        if (scratch == ScratchResult::BadData) {
            report.Fail(Failure::BrokenCompression);
            return false;
        }
        if (scratch == ScratchResult::Done) {
            m_bytes = m_scratch.Data();
        } else {
            // Without a scratch file a long claim must first be shown to inflate that far, so
            // that a lying header costs time, never its claim in memory.
            const auto keepNothing = [](const uint8_t*, size_t) { return true; };
            size_t room = wanted;
            if (wanted > kTrustedInflateBytes) {
                std::vector<uint8_t> probe(64 * 1024);
                const std::unique_ptr<Unpacker> unpacker = makeUnpacker();
                const Unpacked probed =
                    Unpack(*unpacker, wanted, probe.data(), probe.size(), keepNothing);
                if (bad(probed)) {
                    report.Fail(Failure::BrokenCompression);
                    return false;
                }
                room = probed.produced;
            }
            m_data.assign(8 + room, 0);
            std::memcpy(m_data.data(), preamble, 8);
            const std::unique_ptr<Unpacker> unpacker = makeUnpacker();
            const Unpacked unpacked =
                Unpack(*unpacker, room, m_data.data() + 8, room, keepNothing, true);
            if (bad(unpacked)) {
                report.Fail(Failure::BrokenCompression);
                return false;
            }
            produced = unpacked.produced;
            m_bytes = m_data.data();
        }
        m_size = static_cast<uint32_t>(8 + produced);
    }

    ParseHeader();
    if (headerOnly) {
        DropData();
    }
    return true;
}

void CSwfContainer::ParseHeader() {
    BitReader bits(m_bytes, m_size);
    bits.SetPosition(8);
    const unsigned nbits = bits.ReadBits(5);
    const int32_t xMin = bits.ReadSignedBits(nbits);
    const int32_t xMax = bits.ReadSignedBits(nbits);
    const int32_t yMin = bits.ReadSignedBits(nbits);
    const int32_t yMax = bits.ReadSignedBits(nbits);
    // 31-bit fields: the difference fits in 64 bits, and divided by 20 in 32.
    m_header.width = static_cast<int32_t>((int64_t{xMax} - xMin) / 20);
    m_header.height = static_cast<int32_t>((int64_t{yMax} - yMin) / 20);
    bits.Align();
    const uint8_t fraction = bits.ReadU8();  // of the 8.8 frame rate
    m_header.frameRate = bits.ReadU8();
    m_header.frameRate88 = static_cast<uint16_t>((m_header.frameRate << 8) | fraction);
    m_header.frameCount = bits.ReadU16();
    m_header.firstTagOffset = bits.Position();
}

}  // namespace kelvora
