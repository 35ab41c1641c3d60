#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/File.h"

struct lame_global_struct;

namespace kelvora {

// One LAME encoder instance writing one MP3 file. The object owns both; the destructor finishes
// the file as Close() does when it is still open.
class CMp3Encoder {
  public:
    // Values of SetMode, as the library numbers them.
    static constexpr int kModeStereo = 0;
    static constexpr int kModeJointStereo = 1;
    static constexpr int kModeMono = 3;
    // Every encode and flush result passes through a buffer of this size.
    static constexpr size_t kMp3BufferSize = 16384;

    CMp3Encoder();
    virtual ~CMp3Encoder();
    CMp3Encoder(const CMp3Encoder&) = delete;
    CMp3Encoder& operator=(const CMp3Encoder&) = delete;

    // Finishes an open file first, then creates `path` (replacing a file of that name; or takes
    // `claimed` when it is open, the file its name was claimed with) and a fresh encoder. False
    // when either cannot be made; the file is then removed.
    bool Open(const std::string& path, CFile claimed = {});

    // Settings before Initialise(); anything not set stays at the library's default.
    void SetChannels(int count);  // limited to 1..2
    void SetInputRate(uint32_t rate);
    void SetWriteVbrTag(bool write);
    void SetMode(int mode);  // 0, 1 or 3; anything else is taken as 0
    // False when the library refuses the settings.
    bool Initialise();
    // The rate the library encodes a sound of `inputRate` to (it takes only MPEG rates: 5512 Hz
    // becomes 8000); 0 when it refuses the rate.
    static uint32_t RateFor(uint32_t inputRate, uint16_t channels);

    // Encodes `count` sample frames of 16-bit samples (`right` unused for one channel) and
    // appends what the library produced. False on an encoding error or a failed write.
    bool Write(const int16_t* left, const int16_t* right, uint32_t count);

    // The MP3's sample rate as the library chose it; 0 before Initialise().
    uint32_t OutputRate() const;

    // Flushes the encoder into the file, closes it and releases the encoder. False when the
    // flush failed or any byte produced since Open() did not reach the file. True when nothing
    // was open.
    bool Close();
    // The error number of the first write of the MP3 file that failed, or 0.
    int WriteError() const { return m_file.WriteError(); }

    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_path; }

  private:
    struct LameCloser {
        void operator()(lame_global_struct* lame) const;
    };

    bool WriteOutput(int produced);

    std::string m_path;
    CFile m_file;
    std::unique_ptr<lame_global_struct, LameCloser> m_lame;
    bool m_initialised = false;
    bool m_failed = false;  // an encode or write error since Open()
    std::unique_ptr<uint8_t[]> m_mp3Buffer;
};

}  // namespace kelvora
