#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/PcmSink.h"
#include "engine/ConversionReport.h"
#include "engine/File.h"
#include "engine/Records.h"

namespace kelvora {

// What a sound kept in its own coding is stored as: its container, its coding's figures and
// the configuration its decoder needs.
struct MuxedSound {
    OutputFormat format = OutputFormat::Mp3;  // Mp3, M4a or Ogg
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    // AAC: its AudioSpecificConfig; Speex: its header packet (SpeexHeaderFor).
    std::vector<uint8_t> config;
    uint32_t bitRate = 0;  // MP3: the Info frame's (of the first frame)
    // MP3: the sample frames the decoder gives that are no sound, at the start (the encoder's
    // delay and the decoder's own 529) and at the end, for players to drop: the Info frame
    // tells them, so that the sound plays gaplessly and shows its true length.
    uint64_t skipStart = 0;
    uint64_t skipEnd = 0;
    SoundTags tags;
};

// A sound file whose container libavformat writes (loaded when first needed, as libavcodec
// is): its packets copied as they are, numbered by the sample frames each holds, with the tags
// players and music libraries read (ID3v2, MP4 tags, Vorbis comments). Written through the
// file its name is claimed with; one not finished leaves nothing.
class CMuxedFile {
  public:
    CMuxedFile();
    ~CMuxedFile();
    CMuxedFile(const CMuxedFile&) = delete;
    CMuxedFile& operator=(const CMuxedFile&) = delete;

    // Claims the name a plan chose, `path` (set to the name claimed: ClaimPlannedName), once the
    // libraries are loaded. False when they cannot be (Failed() == LibraryMissing: no file is
    // made) or no file can be made (NoWritableFolder; `path` is then empty).
    bool Open(std::string& path, const MuxedSound& sound);
    // One packet of `sampleFrames` sample frames.
    bool Write(const uint8_t* data, size_t size, uint32_t sampleFrames);
    // Writes what is held and the container's end; false when the file is not whole (it is
    // then removed).
    bool Finish();

    Failure Failed() const { return m_failure; }
    const std::string& Detail() const { return m_detail; }
    uint64_t SampleFrames() const { return m_frames; }
    uint64_t Packets() const { return m_packets; }

  private:
    struct Context;
    bool Send(bool last);
    void Fail(Failure why);

    std::unique_ptr<Context> m_context;
    std::string m_path;
    CFile m_file;
    MuxedSound m_sound;
    std::vector<uint8_t> m_held;  // the last packet, held until the next comes or the end
    uint32_t m_heldFrames = 0;
    bool m_holding = false;
    uint64_t m_frames = 0;
    uint64_t m_packets = 0;
    Failure m_failure = Failure::None;
    std::string m_detail;
};

// The header packet of an Ogg Speex stream, as libspeex makes it: wideband (16 kHz) mono with
// `framesPerPacket` frames in each packet.
std::vector<uint8_t> SpeexHeaderFor(uint32_t sampleRate, uint16_t channels,
                                    uint32_t framesPerPacket);

}  // namespace kelvora
