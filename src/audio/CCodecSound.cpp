#include "audio/CCodecSound.h"

#include <errno.h>

#include <algorithm>
#include <bit>

#include "audio/SpeexFrames.h"
#include "audio/WavFile.h"
#include "engine/SoundFormat.h"

namespace kelvora {

Failure FormatSkip(uint32_t format, Conversion rule, bool allFormats) {
    if (rule == Conversion::Never) {
        return Failure::FormatUnsupported;
    }
    if (rule == Conversion::WithOption && !allFormats) {
        return Failure::FormatNeedsOption;
    }
    if (FormatInfo(format).coding == SoundCoding::Libav && !CCodecDecoder::Available()) {
        return Failure::LibraryMissing;
    }
    return Failure::None;
}

uint64_t CodecDataFrames(const uint8_t* data, size_t size, uint32_t format, uint16_t channels,
                         bool movieData) {
    switch (FormatInfo(format).frameSamples) {
        case 256:
            return size / 64 * 256;
        case 320: {
            if (!movieData) {
                return uint64_t{SpeexPacketFrames(data, size)} * 320;
            }
            uint64_t frames = 0;
            for (const SpeexPacket& packet : SpeexMoviePackets(data, size)) {
                frames += packet.frames;
            }
            return frames * 320;
        }
        default:
            return size / std::max<uint16_t>(channels, 1);
    }
}

CCodecSound::CCodecSound(std::function<std::string(CFile&)> name) : m_name(std::move(name)) {
    m_sink = [this](const int16_t* samples, uint32_t frames, uint32_t rate, uint16_t channels) {
        return Take(samples, frames, rate, channels);
    };
}

CCodecSound::~CCodecSound() {
    // A sound never finished leaves no file.
    if (m_file.IsOpen()) {
        m_file.Close();
        RemoveFile(m_path);
    }
}

bool CCodecSound::Open(uint32_t format, uint32_t sampleRate, uint16_t channels,
                       const uint8_t* config, size_t configSize) {
    m_format = format;
    if (m_decoder.Open(format, sampleRate, channels, config, configSize)) {
        return true;
    }
    if (!CCodecDecoder::Available()) {
        m_failure = Failure::LibraryMissing;
        m_library = CCodecDecoder::LibraryError();
    }
    return false;
}

bool CCodecSound::AddMovieData(const uint8_t* data, size_t size) {
    if (m_format != kFormatSpeex) {
        return Add(data, size);
    }
    for (const SpeexPacket& packet : SpeexMoviePackets(data, size)) {
        if (!Add(data + packet.start, packet.end - packet.start)) {
            return false;
        }
    }
    return m_failure == Failure::None;
}

bool CCodecSound::Add(const uint8_t* data, size_t size) {
    if (m_failure != Failure::None) {
        return false;
    }
    m_decoder.Decode(data, size, m_sink);
    return m_failure == Failure::None;
}

bool CCodecSound::Take(const int16_t* samples, uint32_t frames, uint32_t rate, uint16_t channels) {
    if (!m_file.IsOpen()) {
        m_path = m_name(m_file);
        if (m_path.empty()) {
            m_failure = Failure::NoWritableFolder;
            return false;
        }
        if (!CreateWavFile(m_file, m_path, channels == 2, 16, rate)) {
            m_failure = WriteFailure(errno);
            RemoveFile(m_path);
            return false;
        }
        m_sampleRate = rate;
        m_channels = channels;
        for (const Silence& silence : m_pendingSilence) {
            if (!AddSilence(silence.frames, silence.rate)) {
                return false;
            }
        }
        m_pendingSilence.clear();
    }
    if (rate != m_sampleRate || channels != m_channels) {
        return true;  // the file cannot change its rate or channels midway
    }
    const size_t count = size_t{frames} * channels;
    const void* bytes = samples;
    if constexpr (std::endian::native != std::endian::little) {
        // WAV samples are little-endian.
        m_bytes.resize(count * 2);
        for (size_t i = 0; i < count; ++i) {
            const auto v = static_cast<uint16_t>(samples[i]);
            m_bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
            m_bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        bytes = m_bytes.data();
    }
    if (!m_file.Write(bytes, count * 2)) {
        m_failure = WriteFailure(m_file.WriteError());
        return false;
    }
    m_frames = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{m_frames} + frames, UINT32_MAX));
    return true;
}

bool CCodecSound::AddSilence(uint64_t frames, uint32_t rate) {
    if (m_failure != Failure::None) {
        return false;
    }
    if (!m_file.IsOpen()) {
        m_pendingSilence.push_back({frames, rate});
        return true;
    }
    if (rate == 0 || rate == m_sampleRate) {
        return WriteSilence(frames);
    }
    return WriteSilence(static_cast<uint64_t>(static_cast<unsigned __int128>(frames) * m_sampleRate /
                                              rate));
}

bool CCodecSound::WriteSilence(uint64_t frames) {
    const std::vector<uint8_t> zeros(size_t{4096} * m_channels * 2, 0);
    while (frames > 0) {
        const uint64_t n = std::min<uint64_t>(frames, 4096);
        if (!m_file.Write(zeros.data(), static_cast<size_t>(n) * m_channels * 2)) {
            m_failure = WriteFailure(m_file.WriteError());
            return false;
        }
        m_frames = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{m_frames} + n, UINT32_MAX));
        frames -= n;
    }
    return true;
}

bool CCodecSound::Finish() {
    if (m_decoder.IsOpen() && m_failure == Failure::None) {
        m_decoder.Flush(m_sink);
    }
    m_decoder.Close();
    if (!m_file.IsOpen()) {
        if (m_failure == Failure::None) {
            m_failure = Failure::NothingDecoded;
        }
        return false;
    }
    if (!FinishWavFile(m_file) || m_failure != Failure::None) {
        if (m_failure == Failure::None) {
            m_failure = WriteFailure(m_file.WriteError());
        }
        m_file.Close();
        RemoveFile(m_path);
        return false;
    }
    return true;
}

}  // namespace kelvora
