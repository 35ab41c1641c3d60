#include "audio/CMp3Decoder.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "audio/LameLock.h"

namespace kelvora {

namespace {

// The header scan hands the library its data in pieces of this size.
constexpr size_t kScanPiece = 100;
// Bytes the library wants after a frame header before it reads it (room for a VBR header).
constexpr size_t kHeaderLookahead = 194;
// The library keeps every byte it is given until it finds a frame and searches all of them
// again on every call, so a long run of bytes without a frame costs time in the square of its
// length. When this many bytes go by without a frame they are junk, and a fresh library
// decoder is started after them. No real frame comes near it: the largest is 2880 bytes, and
// the header scan needs at most a VBR header frame and the next frame's first 198 bytes.
constexpr size_t kMaxScanBytes = 4 * 1024;
constexpr size_t kMaxBytesWithoutFrame = 8 * 1024;
// ReadChunk feeds the library in pieces of this size.
constexpr size_t kReadPiece = 1024;
// Frames in a row that give no sound, at the end, after which the rest is taken for junk.
constexpr int kMostFramesWithoutSound = 64;

// The library reports resyncs and broken frames on stderr; the core shows nothing.
void Silent(const char*, va_list) {}

// A frame header as the library takes one: the 11-bit sync, a layer, a bitrate index other
// than 15, a sample rate index other than 3 and an emphasis other than 2 (the library skips
// every other 0xFFE sync). Stopping only at such a header keeps the bytes in front of the
// stream away from the library, which would otherwise search them again on every call and
// could take them for bit reservoir data of the first frame.
bool IsFrameHeader(const uint8_t* p) {
    return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x06) != 0 && (p[2] & 0xF0) != 0xF0 &&
           (p[2] & 0x0C) != 0x0C && (p[3] & 0x03) != 0x02;
}

}  // namespace

void CMp3Decoder::HipDeleter::operator()(hip_t hip) const {
    std::lock_guard<std::mutex> turn(LameDecodeMutex());
    hip_decode_exit(hip);
}

CMp3Decoder::~CMp3Decoder() {
    Close();
}

void CMp3Decoder::Close() {
    m_file.Close();
    m_hip.reset();
}

bool CMp3Decoder::NewDecoder() {
    m_hip.reset();
    hip_t hip;
    {
        std::lock_guard<std::mutex> turn(LameDecodeMutex());
        std::lock_guard<std::mutex> lock(LameSetupMutex());
        hip = hip_decode_init();
    }
    m_hip.reset(hip);
    m_bytesWithoutFrame = 0;
    if (!m_hip) {
        return false;
    }
    hip_set_errorf(m_hip.get(), &Silent);
    hip_set_debugf(m_hip.get(), &Silent);
    hip_set_msgf(m_hip.get(), &Silent);
    return true;
}

bool CMp3Decoder::Open(const std::string& path) {
    Close();
    m_path = path;
    m_header = mp3data_struct{};
    m_encoderDelay = m_encoderPadding = -1;
    if (!m_file.OpenRead(path) || !NewDecoder() || !ScanHeaders()) {
        Close();
        m_header = mp3data_struct{};
        m_encoderDelay = m_encoderPadding = -1;
        return false;
    }
    return true;
}

uint32_t CMp3Decoder::TotalSamples() const {
    return static_cast<uint32_t>(std::min<unsigned long>(m_header.nsamp, UINT32_MAX));
}

bool CMp3Decoder::FindFrameSync(uint8_t window[8], bool& freeFormat) {
    if (!m_file.ReadExact(window, 4)) {
        return false;
    }
    if (std::memcmp(window, "ID3", 3) == 0) {
        // ID3v2: the rest of the 10-byte header ends in a size of four 7-bit digits.
        uint8_t rest[6];
        if (!m_file.ReadExact(rest, sizeof rest)) {
            return false;
        }
        const uint32_t size = (uint32_t{rest[2] & 0x7Fu} << 21) |
                              (uint32_t{rest[3] & 0x7Fu} << 14) | (uint32_t{rest[4] & 0x7Fu} << 7) |
                              (rest[5] & 0x7Fu);
        if (!m_file.Skip(size) || !m_file.ReadExact(window, 4)) {
            return false;
        }
    }
    if (std::memcmp(window, "AiD\1", 4) == 0) {
        // Album ID: a little-endian length that counts the six bytes read so far.
        uint8_t length[2];
        if (!m_file.ReadExact(length, sizeof length)) {
            return false;
        }
        const uint32_t total = length[0] | (uint32_t{length[1]} << 8);
        if (total > 6 && !m_file.Skip(total - 6)) {
            return false;
        }
        if (!m_file.ReadExact(window, 4)) {
            return false;
        }
    }
    if (!m_file.ReadExact(window + 4, 4)) {
        return false;
    }
    if (!SlideToFrameHeader(window, 8)) {
        return false;
    }
    freeFormat = (window[2] & 0xF0) == 0;
    return true;
}

bool CMp3Decoder::SlideToFrameHeader(uint8_t* window, size_t size) {
    while (!IsFrameHeader(window)) {
        std::memmove(window, window + 1, size - 1);
        if (!m_file.ReadExact(window + size - 1, 1)) {
            return false;
        }
    }
    return true;
}

bool CMp3Decoder::ScanHeaders() {
    // Every pass reads the file further on, so the passes end at its end at the latest.
    for (;;) {
        m_header = mp3data_struct{};
        m_encoderDelay = m_encoderPadding = -1;
        uint8_t window[8];
        bool freeFormat = false;
        if (!FindFrameSync(window, freeFormat)) {
            return false;
        }
        if (DecodeHeaders(window, sizeof window) < 0) {
            return false;
        }
        size_t fed = sizeof window;
        bool padded = false;
        bool junk = false;
        while (!m_header.header_parsed) {
            if (fed >= kMaxScanBytes) {
                junk = true;
                break;
            }
            uint8_t piece[kScanPiece + kHeaderLookahead] = {};
            const int64_t got = m_file.Read(piece, kScanPiece);
            size_t n = kScanPiece;
            if (got != static_cast<int64_t>(kScanPiece)) {
                if (got < 0 || padded) {
                    return false;
                }
                // The file ends before the library has seen enough to read the header: a
                // stream of a frame or two. Zeros after its end let the library read it; to
                // the decoding that follows they are a few bytes of junk after the last frame.
                n = static_cast<size_t>(got) + kHeaderLookahead;
                padded = true;
            }
            if (DecodeHeaders(piece, n) < 0) {
                return false;
            }
            fed += n;
        }
        // Junk where a frame should follow, or a free-format header where the sync's own
        // bitrate said otherwise: search again from here with a fresh library decoder.
        if (junk || (m_header.bitrate == 0 && !freeFormat)) {
            if (!NewDecoder()) {
                return false;
            }
            continue;
        }
        break;
    }
    m_bytesWithoutFrame = 0;

    if (m_header.totalframes > 0 || m_header.bitrate <= 0) {
        return true;
    }
    // No VBR header: estimate from the file size at the first frame's bitrate.
    m_header.nsamp = UINT32_MAX;
    const int64_t size = m_file.Size();
    if (size < 0) {
        return true;
    }
    const uint64_t seconds =
        static_cast<uint64_t>(size) * 8 / (static_cast<uint64_t>(m_header.bitrate) * 1000);
    const uint64_t total =
        std::min<uint64_t>(seconds * static_cast<uint64_t>(m_header.samplerate), UINT32_MAX);
    m_header.nsamp = static_cast<unsigned long>(total);
    m_header.totalframes = m_header.framesize > 0
                               ? static_cast<int>(total / static_cast<uint64_t>(m_header.framesize))
                               : 0;
    return true;
}

int CMp3Decoder::DecodeHeaders(uint8_t* data, size_t n) {
    std::lock_guard<std::mutex> turn(LameDecodeMutex());
    return hip_decode1_headersB(m_hip.get(), data, n, m_pcmLeft, m_pcmRight, &m_header,
                                &m_encoderDelay, &m_encoderPadding);
}

int CMp3Decoder::Decode(uint8_t* data, size_t n, uint32_t& count) {
    count = 0;
    mp3data_struct frame{};
    int r;
    {
        std::lock_guard<std::mutex> turn(LameDecodeMutex());
        r = hip_decode1_headers(m_hip.get(), data, n, m_pcmLeft, m_pcmRight, &frame);
    }
    if (r > 0) {
        m_bytesWithoutFrame = 0;
        // A frame of another layout than the stream's first cannot go into the same WAV file.
        if (frame.stereo != m_header.stereo || frame.samplerate != m_header.samplerate) {
            return -1;
        }
        count = static_cast<uint32_t>(std::min<int>(r, static_cast<int>(kChunkFrames)));
    }
    return r;
}

bool CMp3Decoder::ReadChunk(int16_t* left, int16_t* right, uint32_t& count, bool& endOfFile) {
    count = 0;
    if (!m_hip || !m_file.IsOpen()) {
        endOfFile = true;
        return false;
    }
    uint32_t n = 0;
    int r = Decode(nullptr, 0, n);  // a frame the library still holds
    while (r == 0) {
        if (m_bytesWithoutFrame >= kMaxBytesWithoutFrame) {
            // The library holds only junk: drop it and go on at the next frame header. A fresh
            // library decoder must be given that header first, as junk in front of its first
            // header would be taken for bit reservoir data.
            if (!NewDecoder()) {
                endOfFile = true;
                return false;
            }
            uint8_t header[4];
            if (!m_file.ReadExact(header, sizeof header) ||
                !SlideToFrameHeader(header, sizeof header)) {
                endOfFile = true;
                return true;
            }
            m_bytesWithoutFrame = sizeof header;
            r = Decode(header, sizeof header, n);
            continue;
        }
        uint8_t piece[kReadPiece];
        const int64_t got = m_file.Read(piece, sizeof piece);
        if (got < 0) {
            endOfFile = true;
            return false;
        }
        if (got == 0) {
            // The file has ended, and the library may still hold whole frames: it decodes one
            // a call, and a frame that gives nothing (its bit reservoir reaches back before the
            // data, or it is broken) can stand before frames that give sound.
            r = Decode(nullptr, 0, n);
            for (int left = kMostFramesWithoutSound; r == 0 && left > 0; --left) {
                r = Decode(nullptr, 0, n);
            }
            if (r <= 0) {
                endOfFile = true;
                return r == 0;
            }
            break;
        }
        m_bytesWithoutFrame += static_cast<size_t>(got);
        r = Decode(piece, static_cast<size_t>(got), n);
    }
    if (r < 0) {
        return false;
    }
    std::memcpy(left, m_pcmLeft, n * sizeof(int16_t));
    if (m_header.stereo == 2 && right) {
        std::memcpy(right, m_pcmRight, n * sizeof(int16_t));
    }
    count = n;
    return true;
}

}  // namespace kelvora
