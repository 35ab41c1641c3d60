#include "audio/CMp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <climits>
#include <map>
#include <mutex>
#include <utility>

#include "audio/LameLock.h"
#include "audio/WavFile.h"

namespace kelvora {

void CMp3Encoder::LameCloser::operator()(lame_global_struct* lame) const {
    lame_close(lame);
}

CMp3Encoder::CMp3Encoder() : m_mp3Buffer(std::make_unique<uint8_t[]>(kMp3BufferSize)) {}

CMp3Encoder::~CMp3Encoder() {
    Close();
}

bool CMp3Encoder::Open(const std::string& path, CFile claimed) {
    Close();
    m_failed = false;
    m_initialised = false;
    m_file = std::move(claimed);
    if (!m_file.IsOpen() && !m_file.CreateAlways(path)) {
        return false;
    }
    m_path = path;
    {
        std::lock_guard<std::mutex> lock(LameSetupMutex());
        m_lame.reset(lame_init());
    }
    if (!m_lame) {
        // Nothing will ever be written to it: leave no empty MP3 behind.
        m_file.Close();
        RemoveFile(path);
        return false;
    }
    return true;
}

void CMp3Encoder::SetChannels(int count) {
    if (m_lame) {
        lame_set_num_channels(m_lame.get(), std::clamp(count, 1, 2));
    }
}

void CMp3Encoder::SetInputRate(uint32_t rate) {
    if (m_lame) {
        lame_set_in_samplerate(m_lame.get(), static_cast<int>(std::min<uint32_t>(rate, INT32_MAX)));
    }
}

void CMp3Encoder::SetWriteVbrTag(bool write) {
    if (m_lame) {
        lame_set_bWriteVbrTag(m_lame.get(), write ? 1 : 0);
    }
}

void CMp3Encoder::SetMode(int mode) {
    if (m_lame) {
        const bool known = mode == kModeStereo || mode == kModeJointStereo || mode == kModeMono;
        lame_set_mode(m_lame.get(), static_cast<MPEG_mode>(known ? mode : kModeStereo));
    }
}

bool CMp3Encoder::Initialise() {
    std::lock_guard<std::mutex> lock(LameSetupMutex());
    m_initialised = m_lame && lame_init_params(m_lame.get()) != -1;
    return m_initialised;
}

uint32_t CMp3Encoder::RateFor(uint32_t inputRate, uint16_t channels) {
    static std::mutex mutex;
    static std::map<std::pair<uint32_t, uint16_t>, uint32_t> known;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (const auto it = known.find({inputRate, channels}); it != known.end()) {
            return it->second;
        }
    }
    uint32_t rate = 0;
    {
        std::lock_guard<std::mutex> lock(LameSetupMutex());
        if (lame_global_flags* lame = lame_init()) {
            lame_set_num_channels(lame, std::clamp<int>(channels, 1, 2));
            lame_set_in_samplerate(lame,
                                   static_cast<int>(std::min<uint32_t>(inputRate, INT32_MAX)));
            if (channels == 1) {
                lame_set_mode(lame, MONO);
            }
            if (lame_init_params(lame) != -1 && lame_get_out_samplerate(lame) > 0) {
                rate = static_cast<uint32_t>(lame_get_out_samplerate(lame));
            }
            lame_close(lame);
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    known[{inputRate, channels}] = rate;
    return rate;
}

uint32_t CMp3Encoder::OutputRate() const {
    if (!m_initialised) {
        return 0;
    }
    const int rate = lame_get_out_samplerate(m_lame.get());
    return rate > 0 ? static_cast<uint32_t>(rate) : 0;
}

bool CMp3Encoder::WriteOutput(int produced) {
    if (produced < 0) {
        m_failed = true;
        return false;
    }
    if (produced > 0 && !m_file.Write(m_mp3Buffer.get(), static_cast<size_t>(produced))) {
        m_failed = true;
        return false;
    }
    return true;
}

bool CMp3Encoder::Write(const int16_t* left, const int16_t* right, uint32_t count) {
    if (!m_initialised || !m_file.IsOpen() || m_failed) {
        return false;
    }
    // One MPEG-1 frame of input at a time always fits the output buffer.
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, kChunkFrames);
        const int produced =
            lame_encode_buffer(m_lame.get(), left + done, right ? right + done : nullptr,
                               static_cast<int>(n), m_mp3Buffer.get(), kMp3BufferSize);
        if (!WriteOutput(produced)) {
            return false;
        }
        done += n;
    }
    return true;
}

bool CMp3Encoder::Close() {
    if (!m_file.IsOpen()) {
        m_lame.reset();
        m_initialised = false;
        return true;
    }
    bool ok = !m_failed;
    if (m_initialised) {
        const int produced = lame_encode_flush(m_lame.get(), m_mp3Buffer.get(), kMp3BufferSize);
        ok = WriteOutput(produced) && ok;
    }
    ok = m_file.Close() && ok;
    m_lame.reset();
    m_initialised = false;
    return ok;
}

}  // namespace kelvora
