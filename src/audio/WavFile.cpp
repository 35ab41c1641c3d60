#include "audio/WavFile.h"

#include <errno.h>

#include <algorithm>
#include <cstring>

#include "audio/PcmSink.h"
#include "engine/BitReader.h"

namespace kelvora {

namespace {

void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

// One sample of a file: signed 16-bit little-endian, or unsigned 8-bit.
template <typename Sample>
Sample LoadSample(const uint8_t* p);
template <>
int16_t LoadSample<int16_t>(const uint8_t* p) {
    return static_cast<int16_t>(LoadLe16(p));
}
template <>
uint8_t LoadSample<uint8_t>(const uint8_t* p) {
    return *p;
}

// Placeholders until the file is finished: small and non-zero.
constexpr uint32_t kRiffPlaceholder = 36;
constexpr uint32_t kDataPlaceholder = 2;

void BuildHeader(uint8_t* h, const WavFormat& f, uint32_t riffSize, uint32_t dataSize) {
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, riffSize);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, f.formatTag);
    PutLe16(h + 22, f.channels);
    PutLe32(h + 24, f.sampleRate);
    PutLe32(h + 28, f.bytesPerSecond);
    PutLe16(h + 32, f.blockAlign);
    PutLe16(h + 34, f.bitsPerSample);
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, dataSize);
}

// A size field holds 32 bits; a larger file keeps the largest value rather than a wrapped one.
uint32_t ClampSize(int64_t v) {
    return v < 0 ? 0 : v > int64_t{UINT32_MAX} ? UINT32_MAX : static_cast<uint32_t>(v);
}

}  // namespace

WavFormat WavFormat::Pcm(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate) {
    WavFormat f;
    f.formatTag = 1;
    f.channels = stereo ? 2 : 1;
    f.sampleRate = sampleRate;
    f.bitsPerSample = bitsPerSample;
    f.bytesPerSecond =
        static_cast<uint32_t>((uint64_t{f.channels} * bitsPerSample * sampleRate) >> 3);
    f.blockAlign = static_cast<uint16_t>(f.channels * bitsPerSample / 8);
    f.extraSize = 0;
    return f;
}

bool CreateWavFile(CFile& file, const std::string& path, bool stereo, uint16_t bitsPerSample,
                   uint32_t sampleRate) {
    if (!file.IsOpen() && !file.CreateAlways(path)) {
        return false;
    }
    uint8_t header[kWavHeaderSize];
    BuildHeader(header, WavFormat::Pcm(stereo, bitsPerSample, sampleRate), kRiffPlaceholder,
                kDataPlaceholder);
    return file.Write(header, sizeof header);
}

bool FinishWavFile(CFile& file) {
    if (!file.IsOpen()) {
        return true;
    }
    const int64_t size = file.Size();  // flushes first
    uint8_t riff[4], data[4];
    PutLe32(riff, ClampSize(size - 8));
    PutLe32(data, ClampSize(size - kWavHeaderSize));
    const bool patched =
        size >= kWavHeaderSize && file.WriteAt(4, riff, 4) && file.WriteAt(40, data, 4);
    const bool closed = file.Close();
    return patched && closed;
}

CWavWriter::~CWavWriter() {
    Close();
}

bool CWavWriter::Open(const std::string& path, bool stereo, uint16_t bitsPerSample,
                      uint32_t sampleRate, CFile claimed) {
    Close();
    m_file = std::move(claimed);
    m_format = WavFormat::Pcm(stereo, bitsPerSample, sampleRate);
    return CreateWavFile(m_file, path, stereo, bitsPerSample, sampleRate);
}

bool CWavWriter::Write(const int16_t* left, const int16_t* right, uint32_t count) {
    if (!m_file.IsOpen() || count == 0 || !left) {
        return true;
    }
    if (m_format.channels == 2 && right) {
        uint8_t buf[kChunkFrames * 4];
        uint32_t done = 0;
        while (done < count) {
            const uint32_t n = std::min(count - done, kChunkFrames);
            for (uint32_t i = 0; i < n; ++i) {
                PutLe16(buf + 4 * i, static_cast<uint16_t>(left[done + i]));
                PutLe16(buf + 4 * i + 2, static_cast<uint16_t>(right[done + i]));
            }
            m_file.Write(buf, n * 4);
            done += n;
        }
    } else {
        uint8_t buf[kChunkFrames * 2];
        uint32_t done = 0;
        while (done < count) {
            const uint32_t n = std::min(count - done, kChunkFrames);
            for (uint32_t i = 0; i < n; ++i) {
                PutLe16(buf + 2 * i, static_cast<uint16_t>(left[done + i]));
            }
            m_file.Write(buf, n * 2);
            done += n;
        }
    }
    // Write errors are remembered by the file and reported when it is finished.
    return true;
}

bool CWavWriter::Close() {
    return FinishWavFile(m_file);
}

CWavReader::~CWavReader() {
    Close();
}

void CWavReader::Close() {
    m_file.Close();
}

bool CWavReader::Open(const std::string& path) {
    Close();
    m_path = path;
    m_format = WavFormat{};
    m_frameCount = 0;
    if (!m_file.OpenRead(path)) {
        return false;
    }
    uint8_t b[16];
    if (!m_file.ReadExact(b, 8) || std::memcmp(b, "RIFF", 4) != 0) {
        Close();
        return false;
    }
    if (!m_file.ReadExact(b, 4) || std::memcmp(b, "WAVE", 4) != 0) {
        Close();
        return false;
    }
    if (!m_file.ReadExact(b, 8) || std::memcmp(b, "fmt ", 4) != 0) {
        Close();
        return false;
    }
    const uint32_t fmtSize = LoadLe32(b + 4);
    if (fmtSize < 16 || !m_file.ReadExact(b, 16)) {
        Close();
        return false;
    }
    m_format.formatTag = LoadLe16(b);
    m_format.channels = LoadLe16(b + 2);
    m_format.sampleRate = LoadLe32(b + 4);
    m_format.bytesPerSecond = LoadLe32(b + 8);
    m_format.blockAlign = LoadLe16(b + 12);
    m_format.bitsPerSample = LoadLe16(b + 14);
    m_format.extraSize = 0;
    // Only what the program writes and encodes: 8- or 16-bit PCM, mono or stereo.
    if (m_format.formatTag != 1 || (m_format.channels != 1 && m_format.channels != 2) ||
        (m_format.bitsPerSample != 8 && m_format.bitsPerSample != 16)) {
        Close();
        return false;
    }
    if (fmtSize > 16 && !m_file.Skip(fmtSize - 16)) {
        Close();
        return false;
    }
    if (!m_file.ReadExact(b, 8)) {
        Close();
        return false;
    }
    if (std::memcmp(b, "fact", 4) == 0) {
        if (!m_file.Skip(LoadLe32(b + 4)) || !m_file.ReadExact(b, 8)) {
            Close();
            return false;
        }
    }
    if (std::memcmp(b, "data", 4) != 0) {
        Close();
        return false;
    }
    const uint32_t dataSize = LoadLe32(b + 4);
    const uint32_t frameBytes = m_format.channels * ((m_format.bitsPerSample + 7u) / 8u);
    // The data chunk's size is a claim: count no more frames than the file holds after it.
    uint64_t held = dataSize;
    const int64_t fileSize = m_file.Size();
    const int64_t dataStart = m_file.Tell();
    if (fileSize >= 0 && dataStart >= 0) {
        held = std::min<uint64_t>(
            held, static_cast<uint64_t>(std::max<int64_t>(0, fileSize - dataStart)));
    }
    m_frameCount = static_cast<uint32_t>(held / frameBytes);
    return true;
}

uint32_t CWavReader::ReadFrames(uint32_t frames) {
    const uint32_t frameBytes = m_format.channels * (m_format.bitsPerSample / 8u);
    const int64_t got = m_file.Read(m_raw, size_t{frames} * frameBytes);
    return got <= 0 ? 0 : static_cast<uint32_t>(static_cast<uint64_t>(got) / frameBytes);
}

template <typename Sample>
bool CWavReader::ReadChunkOf(Sample* left, Sample* right, uint32_t& count, bool& endOfFile) {
    count = 0;
    if (!m_file.IsOpen() || m_format.bitsPerSample != 8 * sizeof(Sample)) {
        endOfFile = true;
        return true;
    }
    const uint32_t n = ReadFrames(kChunkFrames);
    const bool stereo = m_format.channels == 2;
    const size_t frameBytes = sizeof(Sample) * m_format.channels;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* p = m_raw + i * frameBytes;
        left[i] = LoadSample<Sample>(p);
        if (stereo && right) {
            right[i] = LoadSample<Sample>(p + sizeof(Sample));
        }
    }
    count = n;
    if (n == 0) {
        endOfFile = true;
    }
    return true;
}

bool CWavReader::ReadChunk(int16_t* left, int16_t* right, uint32_t& count, bool& endOfFile) {
    return ReadChunkOf(left, right, count, endOfFile);
}

bool CWavReader::ReadChunk(uint8_t* left, uint8_t* right, uint32_t& count, bool& endOfFile) {
    return ReadChunkOf(left, right, count, endOfFile);
}

CWavSink::CWavSink(std::string path, CFile claimed)
    : m_path(std::move(path)), m_claimed(std::move(claimed)) {}

bool CWavSink::Start(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate) {
    m_started = m_writer.Open(m_path, stereo, bitsPerSample, sampleRate, std::move(m_claimed));
    if (!m_started) {
        m_error = errno;
    }
    return m_started;
}

bool CWavSink::Write(const int16_t* left, const int16_t* right, uint32_t count) {
    return m_writer.Write(left, right, count);
}

bool CWavSink::Finish() {
    if (!m_writer.Close()) {
        m_error = m_writer.WriteError();
        return false;
    }
    return true;
}

}  // namespace kelvora
