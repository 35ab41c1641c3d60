#include "flv/CFlvReader.h"

#include <errno.h>

#include <algorithm>
#include <vector>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/CMp3Decoder.h"
#include "audio/Mp3Frame.h"
#include "audio/TranscodeMp3ToWav.h"
#include "audio/TranscodeWavToMp3.h"
#include "audio/WavFile.h"
#include "engine/OutputNaming.h"
#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

uint32_t LoadBe24(const uint8_t* p) {
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

uint32_t LoadBe32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | LoadBe24(p + 1);
}

// The formats of an FLV track that the every-format option converts.
bool AllFormatsConvertsTrack(uint32_t format) {
    return format == kFormatPcmLittleEndian ||
           (format >= kFormatNellymoser16k && format <= kFormatMulaw) || format == kFormatAac ||
           format == kFormatSpeex || format == kFormatMp38k;
}

// Copied data is gathered up to this many pieces or bytes before it is written.
constexpr size_t kPendingPieces = 1024;
constexpr size_t kPendingBytes = 1 << 20;

}  // namespace

CFlvReader::~CFlvReader() {
    Reset();
}

void CFlvReader::Reset() {
    if (m_output.IsOpen()) {
        // A conversion that never finished leaves no file behind.
        m_output.Close();
        RemoveFile(m_outputPath);
    }
    m_version = 0;
    m_sampleRate = 0;
    m_bitsPerSample = 0;
    m_channels = 0;
    m_sampleCount = 0;
    m_outputPath.clear();
    m_map.Close();
    m_data = nullptr;
    m_size = 0;
    m_firstTagOffset = 0;
    m_bits.Attach(nullptr, 0);
    m_tagStart = m_tagBodyEnd = m_tagSize = 0;
    m_format = -1;
    m_outputIsMp3 = false;
    m_outputBase.clear();
    std::vector<uint8_t>().swap(m_decoded);
    m_pending.clear();
    m_pendingBytes = 0;
    m_report.Clear();
    m_codec.reset();
    m_aacConfig.clear();
}

bool CFlvReader::ParseHeader(const uint8_t* header) {
    if (header[0] != 'F' || header[1] != 'L' || header[2] != 'V') {
        return false;
    }
    m_version = header[3];
    m_firstTagOffset = size_t{LoadBe32(header + 5)} + 4;
    return true;
}

bool CFlvReader::Open(const std::string& path, bool informationMode) {
    Reset();
    if (informationMode) {
        CFile file;
        uint8_t header[kHeaderSize];
        if (!file.OpenRead(path)) {
            m_report.Fail(Failure::Unreadable);
            return false;
        }
        if (!file.ReadExact(header, sizeof header) || !ParseHeader(header)) {
            m_report.Fail(Failure::NotFlv);
            return false;
        }
        const int64_t size = file.Size();
        m_size = size > 0 ? static_cast<size_t>(size) : 0;
        return true;
    }
    // The whole file is mapped, not copied: converting a large video costs no heap.
    if (!m_map.Open(path)) {
        m_report.Fail(Failure::Unreadable);
        return false;
    }
    if (m_map.Size() < kHeaderSize || !ParseHeader(m_map.Data())) {
        const bool cut = m_map.Truncated();
        Reset();
        m_report.Fail(cut ? Failure::SourceChanged : Failure::NotFlv);
        return false;
    }
    m_data = m_map.Data();
    m_size = m_map.Size();
    int32_t unused = 1;
    m_outputBase = MakeOutputBase(path, SourceKind::Flv, unused);
    return true;
}

bool CFlvReader::OpenMemory(const uint8_t* data, size_t size, const std::string& outputBase) {
    Reset();
    if (!data || size < kHeaderSize || !ParseHeader(data)) {
        m_report.Fail(Failure::NotFlv);
        return false;
    }
    m_data = data;
    m_size = size;
    m_outputBase = outputBase;
    return true;
}

bool CFlvReader::WalkTags() {
    size_t pos = m_firstTagOffset;
    while (m_data && pos < m_size) {
        if (m_size - pos < kTagHeaderSize) {
            break;
        }
        const uint8_t type = m_data[pos];
        const size_t bodySize = LoadBe24(m_data + pos + 1);
        const size_t bodyStart = pos + kTagHeaderSize;
        const size_t bodyEnd = bodyStart + bodySize;
        if (bodyEnd > m_size) {
            break;  // a truncated last tag is dropped whole
        }
        m_tagStart = pos;
        m_tagBodyEnd = bodyEnd;
        m_tagSize = kTagHeaderSize + bodySize;
        if (type == kTagAudio) {
            m_bits.Attach(m_data, m_size);
            m_bits.SetPosition(bodyStart);
            if (!OnAudioTag()) {
                break;
            }
        }
        pos = bodyEnd + 4;  // the previous-tag-size field
    }
    FinishOutput();
    return true;
}

bool CFlvReader::OnAudioTag() {
    if (m_bits.Position() >= m_tagBodyEnd) {
        return true;  // an empty audio tag is stepped over
    }
    const uint32_t format = m_bits.ReadBits(4);
    const uint32_t rateIndex = m_bits.ReadBits(2);
    const uint32_t sizeBit = m_bits.ReadBits(1);
    const uint32_t typeBit = m_bits.ReadBits(1);
    if (m_format < 0) {
        // The first audio tag decides the format of the whole track.
        m_format = static_cast<int32_t>(format);
        m_sampleRate = SoundRate(rateIndex);
        m_bitsPerSample = Is16BitSound(format, sizeBit != 0) ? 16 : 8;
        m_channels = typeBit ? 2 : 1;
        // With the every-format option, little-endian PCM is copied as PCM is, and MP3 at 8 kHz
        // as MP3 is.
        const bool wide = m_options.allFormats;
        const bool pcm = format == kFormatPcmNative || format == kFormatAdpcm ||
                         (wide && format == kFormatPcmLittleEndian);
        const bool mp3 = format == kFormatMp3 || (wide && format == kFormatMp38k);
        if (format == kFormatMp38k) {
            m_sampleRate = 8000;
        }
        if (wide && CCodecDecoder::Decodes(format)) {
            if (!StartCodecTrack(format, rateIndex, typeBit != 0)) {
                return false;
            }
        } else if (pcm) {
            m_outputIsMp3 = false;
            m_outputPath = ClaimFlvName(m_outputBase, ".wav");
        } else if (mp3) {
            m_outputIsMp3 = true;
            m_outputPath = ClaimFlvName(m_outputBase, ".mp3");
        } else {
            m_report.Fail(!wide && AllFormatsConvertsTrack(format) ? Failure::FormatNeedsOption
                                                                   : Failure::FormatUnsupported,
                          format);
            return false;
        }
        if (m_codec) {
            // The file is made when the first samples come out.
        } else if (m_outputPath.empty()) {
            m_report.Fail(Failure::NoWritableFolder);
            return false;
        }
        const bool created = m_codec || pcm
                                 ? m_codec || CreateWavFile(m_output, m_outputPath, m_channels == 2,
                                                            m_bitsPerSample, m_sampleRate)
                                 : m_output.CreateAlways(m_outputPath);
        if (!created) {
            m_report.Fail(WriteFailure(errno));
            RemoveFile(m_outputPath);
            m_outputPath.clear();
            return false;
        }
    }
    const size_t from = m_bits.Position();
    const uint8_t* data = m_data + from;
    const size_t length = m_tagBodyEnd - from;
    if (m_codec) {
        return OnCodecTag(format, data, length);
    }
    if (m_format == static_cast<int32_t>(kFormatAdpcm)) {
        m_decoded.resize(CAdpcmDecoder::RangeOutputBound(length, m_bitsPerSample == 16));
        CAdpcmDecoder decoder(m_bits);
        const size_t produced =
            decoder.DecodeByRange(m_tagBodyEnd, m_channels == 2, m_bitsPerSample == 16,
                                  m_decoded.data(), m_decoded.size());
        m_output.Write(m_decoded.data(), produced);
    } else if (length > 0) {
        // Copied data is written straight from the file's image, many tags in one call.
        m_pending.push_back({const_cast<uint8_t*>(data), length});
        m_pendingBytes += length;
        if (m_pending.size() >= kPendingPieces || m_pendingBytes >= kPendingBytes) {
            WritePending();
        }
    }
    // A full disk stops the walk: the file is incomplete and will be removed.
    return !m_output.WriteFailed();
}

bool CFlvReader::StartCodecTrack(uint32_t format, uint32_t rateIndex, bool stereo) {
    // The rate and channels each format has in a video, whatever its flags say but where they
    // are the format's own (AAC takes them from its sequence header).
    uint32_t rate = 0;
    uint16_t channels = 1;
    switch (format) {
        case kFormatNellymoser16k:
        case kFormatSpeex:
            rate = 16000;
            break;
        case kFormatNellymoser8k:
        case kFormatAlaw:
        case kFormatMulaw:
            rate = 8000;
            break;
        case kFormatNellymoser:
            rate = SoundRate(rateIndex);
            channels = stereo ? 2 : 1;
            break;
        default:
            break;
    }
    m_outputIsMp3 = false;
    m_codec = std::make_unique<CCodecSound>([this] { return ClaimFlvName(m_outputBase, ".wav"); });
    if (format != kFormatAac && !m_codec->Open(format, rate, channels)) {
        m_report.library = m_codec->LibraryError();
        m_report.Fail(m_codec->Failed() == Failure::LibraryMissing ? Failure::LibraryMissing
                                                                   : Failure::FormatUnsupported,
                      format);
        m_codec.reset();
        return false;
    }
    return true;
}

bool CFlvReader::OnCodecTag(uint32_t format, const uint8_t* data, size_t length) {
    // A track keeps the format of its first tag: a tag of another format is not its sound.
    if (format != static_cast<uint32_t>(m_format) || length == 0) {
        return true;
    }
    if (format == kFormatAac) {
        // AACPacketType: 0 carries the AudioSpecificConfig, 1 a raw frame.
        if (data[0] == 0) {
            const std::vector<uint8_t> config(data + 1, data + length);
            if (!m_codec->IsOpen() || config != m_aacConfig) {
                m_aacConfig = config;
                m_codec->Open(format, 0, 0, config.data(), config.size());
            }
            return true;
        }
        if (data[0] != 1 || !m_codec->IsOpen()) {
            return true;  // a frame before any usable configuration is no sound
        }
        ++data;
        --length;
    }
    return m_codec->Add(data, length);
}

bool CFlvReader::WritePending() {
    const bool ok = m_pending.empty() ||
                    m_output.WriteGather(m_pending.data(), static_cast<int>(m_pending.size()));
    m_pending.clear();
    m_pendingBytes = 0;
    return ok;
}

void CFlvReader::FinishOutput() {
    if (m_codec) {
        if (m_codec->Finish()) {
            m_outputPath = m_codec->Path();
            m_sampleRate = m_codec->SampleRate();
            m_channels = m_codec->Channels();
            m_bitsPerSample = 16;
        } else {
            m_report.library = m_codec->LibraryError();
            m_report.Fail(m_codec->Failed(), static_cast<uint32_t>(m_format));
            m_outputPath.clear();
        }
        m_codec.reset();
        return;
    }
    if (!m_output.IsOpen()) {
        return;
    }
    WritePending();
    const bool written = m_outputIsMp3 ? m_output.Close() : FinishWavFile(m_output);
    if (!written) {
        m_report.Fail(WriteFailure(m_output.WriteError()));
        RemoveFile(m_outputPath);
        m_outputPath.clear();
    }
}

bool CFlvReader::FinishConversion(bool toMp3) {
    if (m_outputIsMp3 && toMp3) {
        CMp3Decoder decoder;
        const bool opened = decoder.Open(m_outputPath);
        const uint32_t total = opened ? decoder.TotalSamples() : 0;
        // An all-ones count means the decoder could not estimate the length.
        m_sampleCount = total == UINT32_MAX ? 0 : total;
        return true;
    }
    if (m_outputIsMp3) {
        const std::string wav = ClaimFlvName(m_outputBase, ".wav");
        Failure why = Failure::NoWritableFolder;
        const bool ok = !wav.empty() && TranscodeMp3ToWav(m_outputPath, wav, &why);
        RemoveFile(m_outputPath);
        if (!ok) {
            m_report.Fail(why);
            RemoveFile(wav);
            m_outputPath.clear();
            return false;
        }
        m_outputPath = wav;
        m_outputIsMp3 = false;
        m_bitsPerSample = 16;
        CWavReader reader;
        m_sampleCount = reader.Open(wav) ? reader.FrameCount() : 0;
        return true;
    }
    if (!toMp3) {
        CWavReader reader;
        m_sampleCount = reader.Open(m_outputPath) ? reader.FrameCount() : 0;
        return true;
    }
    const std::string mp3 = ClaimFlvName(m_outputBase, ".mp3");
    uint32_t frames = 0;
    uint32_t rate = 0;
    Failure why = Failure::NoWritableFolder;
    const bool ok = !mp3.empty() && TranscodeWavToMp3(m_outputPath, mp3, &frames, &rate, &why);
    RemoveFile(m_outputPath);
    if (!ok) {
        m_report.Fail(why);
        RemoveFile(mp3);
        m_outputPath.clear();
        return false;
    }
    m_outputPath = mp3;
    m_outputIsMp3 = true;
    m_sampleRate = rate;
    m_sampleCount = frames;
    return true;
}

bool CFlvReader::Convert(const std::string& path, bool toMp3, FlvAudioResult* result) {
    if (!Open(path, false)) {
        return false;
    }
    WalkTags();
    if (m_map.Truncated()) {
        // The file was cut short while it was read: its track is not what it held.
        if (!m_outputPath.empty()) {
            RemoveFile(m_outputPath);
            m_outputPath.clear();
        }
        m_report.failure = Failure::SourceChanged;
    }
    if (m_format < 0) {
        m_report.Fail(Failure::NoAudioTrack);
    }
    const bool ok = !m_outputPath.empty() && FinishConversion(toMp3);
    m_map.Close();  // the source is not needed any more
    m_data = nullptr;
    m_size = 0;
    if (!ok) {
        return false;
    }
    if (result) {
        result->channels = m_channels;
        result->bitsPerSample = m_bitsPerSample;
        result->sampleRate = m_sampleRate;
        result->sampleCount = m_sampleCount;
        result->path = m_outputPath;
        result->isMp3 = m_outputIsMp3;
    }
    return true;
}

bool CFlvReader::Inspect(const std::string& path, FlvTrackInfo& info) {
    info = FlvTrackInfo{};
    Reset();
    if (!m_map.Open(path)) {
        m_report.Fail(Failure::Unreadable);
        return false;
    }
    if (m_map.Size() < kHeaderSize || !ParseHeader(m_map.Data())) {
        m_report.Fail(Failure::NotFlv);
        m_map.Close();
        return false;
    }
    const uint8_t* data = m_map.Data();
    const size_t size = m_map.Size();
    uint64_t mp3Skip = 0;  // bytes of a frame that began in an earlier tag
    for (size_t pos = m_firstTagOffset; size - std::min(pos, size) >= kTagHeaderSize;) {
        const size_t bodyStart = pos + kTagHeaderSize;
        const size_t bodyEnd = bodyStart + LoadBe24(data + pos + 1);
        if (bodyEnd > size) {
            break;  // a truncated last tag is dropped whole, as the conversion drops it
        }
        const uint8_t type = data[pos];
        pos = bodyEnd + 4;
        if (type != kTagAudio || bodyEnd == bodyStart) {
            continue;
        }
        const uint8_t flags = data[bodyStart];
        const uint32_t format = flags >> 4;
        if (!info.hasAudio) {
            info.hasAudio = true;
            info.format = format;
            info.sampleRate = SoundRate((flags >> 2) & 3);
            info.bitsPerSample = Is16BitSound(format, (flags & 2) != 0) ? 16 : 8;
            info.channels = (flags & 1) ? 2 : 1;
            if (CCodecDecoder::Decodes(format) || format == kFormatMp38k) {
                // The rates and channels a video's tracks of these formats have.
                const bool sixteen = format == kFormatNellymoser16k || format == kFormatSpeex;
                info.sampleRate = sixteen                       ? 16000
                                  : format == kFormatNellymoser ? info.sampleRate
                                                                : 8000;
                info.channels = 1;
                info.bitsPerSample = 16;
            }
        }
        if (format != info.format) {
            continue;
        }
        const uint8_t* body = data + bodyStart + 1;
        const size_t length = bodyEnd - bodyStart - 1;
        const uint32_t frameBytes = info.channels * (info.bitsPerSample / 8);
        switch (format) {
            case kFormatPcmNative:
            case kFormatPcmLittleEndian:
                info.sampleFrames += length / frameBytes;
                break;
            case kFormatAdpcm:
                info.sampleFrames += CAdpcmDecoder::RangeFrameCount(
                    body, length, info.channels == 2, info.bitsPerSample == 16);
                break;
            case kFormatMp3:
            case kFormatMp38k: {
                // Frames as their headers give them, across the tags they are cut into.
                size_t at = static_cast<size_t>(std::min<uint64_t>(mp3Skip, length));
                mp3Skip -= at;
                Mp3FrameHeader header;
                while (at < length && ParseMp3FrameHeader(body + at, length - at, header)) {
                    info.sampleFrames += header.samplesPerFrame;
                    info.sampleRate = header.sampleRate;
                    info.channels = header.channels;
                    mp3Skip = at + header.frameBytes > length ? at + header.frameBytes - length : 0;
                    at += header.frameBytes;
                }
                break;
            }
            case kFormatNellymoser16k:
            case kFormatNellymoser8k:
            case kFormatNellymoser:
                info.sampleFrames += length / 64 * 256;
                break;
            case kFormatAlaw:
            case kFormatMulaw:
                info.sampleFrames += length;
                break;
            case kFormatAac:
                if (length > 0 && body[0] == 1) {
                    info.sampleFrames += 1024;  // a raw frame of AAC-LC
                } else if (length > 2 && body[0] == 0) {
                    // The AudioSpecificConfig: object type (5 bits), rate index (4), channels
                    // (4); an escaped object type or an explicit rate is left as it is.
                    static constexpr uint32_t kAacRates[13] = {96000, 88200, 64000, 48000, 44100,
                                                               32000, 24000, 22050, 16000, 12000,
                                                               11025, 8000,  7350};
                    const uint32_t objectType = body[1] >> 3;
                    const uint32_t rateIndex = ((body[1] & 7) << 1) | (body[2] >> 7);
                    const uint32_t channels = (body[2] >> 3) & 15;
                    if (objectType != 31 && rateIndex < 13) {
                        info.sampleRate = kAacRates[rateIndex];
                        info.channels = channels == 1 ? 1 : 2;
                    }
                }
                break;
            case kFormatSpeex:
                info.sampleFrames += 320;  // a wideband frame a packet, as Flash writes them
                break;
            default:
                break;
        }
    }
    const bool cut = m_map.Truncated();
    m_map.Close();
    if (cut) {
        m_report.Fail(Failure::SourceChanged);
        return false;
    }
    return true;
}

}  // namespace kelvora
