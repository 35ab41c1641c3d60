// The sound-tag handlers of CSwfReader: every event sound and every sound stream is written at
// once to a file of its own, in the form that needs no encoding.
#include <errno.h>

#include <algorithm>
#include <vector>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/WavFile.h"
#include "engine/OutputNaming.h"
#include "engine/SoundFormat.h"
#include "swf/CSwfReader.h"

namespace kelvora {

// The sound flags byte of DefineSound and the stream heads.
struct SoundFlags {
    uint32_t format;
    uint32_t rateIndex;
    bool is16Bit;
    bool isStereo;
};

namespace {

SoundFlags ReadSoundFlags(BitReader& bits) {
    SoundFlags f;
    f.format = bits.ReadBits(4);
    f.rateIndex = bits.ReadBits(2);
    f.is16Bit = bits.ReadBits(1) != 0;
    f.isStereo = bits.ReadBits(1) != 0;
    return f;
}

OutputItem ElementOf(const SoundFlags& f) {
    OutputItem item;
    item.channels = f.isStereo ? 2 : 1;
    item.bitsPerSample = f.is16Bit ? 16 : 8;
    item.sampleRate = SoundRate(f.rateIndex);
    item.isMp3 = f.format == kFormatMp3 ? 1 : 0;
    return item;
}

bool Supported(uint32_t format) {
    return format <= kFormatPcmLittleEndian;
}

// The rate and channels of a movie's sound of a libavcodec format: the format's own where it
// has them, else the flags'.
void CodecRateAndChannels(const SoundFlags& f, uint32_t& rate, uint16_t& channels) {
    rate = SoundRate(f.rateIndex);
    channels = f.isStereo ? 2 : 1;
    if (f.format == kFormatNellymoser16k || f.format == kFormatSpeex) {
        rate = 16000;
        channels = 1;
    } else if (f.format == kFormatNellymoser8k) {
        rate = 8000;
        channels = 1;
    }
}

// The formats a movie's sounds have that the every-format option converts.
bool AllFormatsConverts(uint32_t format) {
    switch (format) {
        case kFormatNellymoser16k:
        case kFormatNellymoser8k:
        case kFormatNellymoser:
        case kFormatAlaw:
        case kFormatMulaw:
        case kFormatSpeex:
            return true;
        default:
            return false;
    }
}

// Samples (mono) or frames (stereo) decoded at a time: a long ADPCM sound goes to its file in
// pieces of at most 256 KB, whatever its length.
constexpr uint32_t kAdpcmPieceFrames = 64 * 1024;

// Decodes `frames` ADPCM samples (mono) or sample frames (stereo) from the reader's position and
// appends them to `file`, a piece at a time. False when the file could not take them.
bool DecodeAdpcmInto(BitReader& bits, uint32_t frames, const SoundFlags& f, CFile& file,
                     std::vector<uint8_t>& buffer) {
    CAdpcmDecoder decoder(bits);
    bool first = true;
    while (frames > 0) {
        const uint32_t piece = std::min(frames, kAdpcmPieceFrames);
        const size_t bytes = CAdpcmDecoder::OutputBytes(piece, f.isStereo, f.is16Bit);
        buffer.resize(bytes);
        if (first) {
            decoder.DecodeByCount(piece, f.isStereo, f.is16Bit, buffer.data());
            first = false;
        } else {
            decoder.ContinueByCount(piece, buffer.data());
        }
        if (!file.Write(buffer.data(), bytes)) {
            return false;
        }
        frames -= piece;
    }
    return true;
}

}  // namespace

void CSwfReader::OnDefineSound() {
    m_bits.Skip(2);  // sound id
    const SoundFlags f = ReadSoundFlags(m_bits);
    const uint32_t sampleCount = m_bits.ReadU32();
    if (!Supported(f.format)) {
        if (m_options.allFormats && AllFormatsConverts(f.format)) {
            DecodeEventSound(f);
        } else {
            m_report.Skip(f.format, SkipReasonFor(f.format));
        }
        return;
    }
    OutputItem element = ElementOf(f);
    element.sampleCount = sampleCount;
    CFile file;
    // A sound that cannot be written whole leaves no file; the report says why.
    const auto lose = [&](Failure why) {
        if (!element.path.empty()) {
            file.Close();
            RemoveFile(element.path);
        }
        m_report.Lose(why);
    };
    if (f.format == kFormatMp3) {
        m_bits.Skip(2);  // seek samples
        element.path = ClaimSwfName(m_outputBase, m_nameCounter, ".mp3");
        if (element.path.empty()) {
            return lose(Failure::NoWritableFolder);
        }
        if (!file.CreateAlways(element.path)) {
            return lose(WriteFailure(errno));
        }
        const size_t from = std::min(m_bits.Position(), m_tagEnd);
        file.Write(m_bytes + from, m_tagEnd - from);
        if (!file.Close()) {
            return lose(WriteFailure(file.WriteError()));
        }
    } else {
        element.path = ClaimSwfName(m_outputBase, m_nameCounter, ".wav");
        if (element.path.empty()) {
            return lose(Failure::NoWritableFolder);
        }
        if (!CreateWavFile(file, element.path, f.isStereo, element.bitsPerSample,
                           element.sampleRate)) {
            return lose(WriteFailure(errno));
        }
        const size_t from = std::min(m_bits.Position(), m_tagEnd);
        if (f.format == kFormatAdpcm) {
            // A count is a claim: never decode more than the tag's data can hold.
            const uint32_t frames =
                CAdpcmDecoder::BoundSampleCount(sampleCount, m_tagEnd - from, f.isStereo);
            element.sampleCount = frames;
            std::vector<uint8_t> buffer;  // one piece of this sound, freed after it
            DecodeAdpcmInto(m_bits, frames, f, file, buffer);
        } else {
            file.Write(m_bytes + from, m_tagEnd - from);
        }
        if (!FinishWavFile(file)) {
            return lose(WriteFailure(file.WriteError()));
        }
    }
    m_elements.push_back(std::move(element));
}

// An event sound of a libavcodec format: its name is taken now, in tag order, and its data
// decoded as one packet into a WAV file there.
void CSwfReader::DecodeEventSound(const SoundFlags& f) {
    const std::string path = ClaimSwfName(m_outputBase, m_nameCounter, ".wav");
    if (path.empty()) {
        m_report.Lose(Failure::NoWritableFolder);
        return;
    }
    uint32_t rate = 0;
    uint16_t channels = 0;
    CodecRateAndChannels(f, rate, channels);
    CCodecSound sound([&path] { return path; });
    const size_t from = std::min(m_bits.Position(), m_tagEnd);
    if (sound.Open(f.format, rate, channels)) {
        sound.Add(m_bytes + from, m_tagEnd - from);
    }
    if (!sound.Finish()) {
        RemoveFile(path);  // the number stays used
        if (sound.Failed() == Failure::NothingDecoded) {
            m_report.Skip(f.format, SkipReason::NothingDecoded);
        } else {
            m_report.Lose(sound.Failed());
        }
        return;
    }
    m_elements.push_back(CodecElement(sound));
}

OutputItem CSwfReader::CodecElement(const CCodecSound& sound) {
    OutputItem element;
    element.channels = sound.Channels();
    element.bitsPerSample = 16;
    element.sampleRate = sound.SampleRate();
    element.sampleCount = sound.SampleCount();
    element.isMp3 = 0;
    element.path = sound.Path();
    return element;
}

SkipReason CSwfReader::SkipReasonFor(uint32_t format) const {
    return !m_options.allFormats && AllFormatsConverts(format) ? SkipReason::NeedsOption
                                                               : SkipReason::Unsupported;
}

void CSwfReader::OnSoundStreamHead() {
    m_bits.Skip(1);  // playback format
    if (m_stream.open) {
        CloseStream();
    }
    const SoundFlags f = ReadSoundFlags(m_bits);
    m_stream.format = static_cast<int32_t>(f.format);
    m_stream.rateIndex = static_cast<int32_t>(f.rateIndex);
    m_stream.is16Bit = f.is16Bit;
    m_stream.isStereo = f.isStereo;
    m_stream.samplesPerBlock = m_bits.ReadU16();
    const bool decoded = m_options.allFormats && AllFormatsConverts(f.format);
    if (m_stream.samplesPerBlock == 0 || (!Supported(f.format) && !decoded)) {
        return;  // no stream: its blocks write nothing and no number is used
    }
    if (decoded) {
        StartCodecStream(f);
        return;
    }
    // From here the stream's blocks count: a stream that cannot be written is a lost sound.
    m_stream.lostTo = Failure::NoWritableFolder;
    m_stream.record = ElementOf(f);
    m_stream.record.sampleCount = 0;
    OutputItem& record = m_stream.record;
    record.path =
        ClaimSwfName(m_outputBase, m_nameCounter, f.format == kFormatMp3 ? ".mp3" : ".wav");
    if (record.path.empty()) {
        return;
    }
    m_stream.lostTo = Failure::None;
    auto file = std::make_unique<CFile>();
    const bool created = f.format == kFormatMp3
                             ? file->CreateAlways(record.path)
                             : CreateWavFile(*file, record.path, f.isStereo, record.bitsPerSample,
                                             record.sampleRate);
    if (!created) {
        m_stream.lostTo = WriteFailure(errno);
        RemoveFile(record.path);
        return;
    }
    m_stream.file = std::move(file);
    m_stream.open = 1;
}

// A stream of a libavcodec format: its name is taken at its head, and each block is a packet.
void CSwfReader::StartCodecStream(const SoundFlags& f) {
    m_stream.lostTo = Failure::NoWritableFolder;
    const std::string path = ClaimSwfName(m_outputBase, m_nameCounter, ".wav");
    if (path.empty()) {
        return;
    }
    m_stream.lostTo = Failure::None;
    m_stream.record.path = path;
    uint32_t rate = 0;
    uint16_t channels = 0;
    CodecRateAndChannels(f, rate, channels);
    m_stream.codec = std::make_unique<CCodecSound>([path] { return path; });
    m_stream.codec->Open(f.format, rate, channels);
    m_stream.open = 1;
}

void CSwfReader::OnSoundStreamBlock() {
    if (m_stream.blocks++ == 0) {
        // A stream is told of once it has sound: skipped for its format, or lost.
        if (m_stream.samplesPerBlock != 0 && !Supported(static_cast<uint32_t>(m_stream.format)) &&
            !m_stream.codec && m_stream.lostTo == Failure::None) {
            m_report.Skip(static_cast<uint32_t>(m_stream.format),
                          SkipReasonFor(static_cast<uint32_t>(m_stream.format)));
        } else if (m_stream.lostTo != Failure::None) {
            m_report.Lose(m_stream.lostTo);
        }
    }
    CFile* file = m_stream.open ? m_stream.file.get() : nullptr;
    const size_t bodyStart = std::min(m_bits.Position(), m_tagEnd);
    if (m_stream.codec) {
        if (m_stream.codec->IsOpen() && m_tagEnd > bodyStart) {
            m_stream.codec->Add(m_bytes + bodyStart, m_tagEnd - bodyStart);
        }
        return;
    }
    OutputItem& record = m_stream.record;
    switch (m_stream.format) {
        case kFormatPcmNative:
        case kFormatPcmLittleEndian:
            record.sampleCount += static_cast<uint32_t>(m_stream.samplesPerBlock);
            if (file) {
                file->Write(m_bytes + bodyStart, m_tagEnd - bodyStart);
            }
            break;
        case kFormatAdpcm: {
            const SoundFlags f{kFormatAdpcm, static_cast<uint32_t>(m_stream.rateIndex),
                               m_stream.is16Bit != 0, m_stream.isStereo != 0};
            // A block decodes no more than its data can hold: a movie of empty blocks must not
            // write 256 KB of made-up sound for each of them. The total counts what was written.
            const uint32_t frames = CAdpcmDecoder::BoundSampleCount(
                static_cast<uint32_t>(m_stream.samplesPerBlock), m_tagEnd - bodyStart, f.isStereo);
            record.sampleCount += frames;
            if (file) {
                DecodeAdpcmInto(m_bits, frames, f, *file, m_adpcmBuffer);
            }
            break;
        }
        case kFormatMp3: {
            // A block too short for its sample count and seek fields holds no frames.
            if (m_tagEnd - bodyStart < 4) {
                break;
            }
            record.sampleCount += m_bits.ReadU16();
            m_bits.Skip(2);  // seek samples
            if (file) {
                const size_t from = bodyStart + 4;
                file->Write(m_bytes + from, m_tagEnd - from);
            }
            break;
        }
        default:
            break;
    }
}

void CSwfReader::CloseStream() {
    if (m_stream.open && m_stream.codec) {
        CCodecSound& sound = *m_stream.codec;
        if (sound.Finish()) {
            m_elements.push_back(CodecElement(sound));
        } else {
            // A stream without blocks is no sound; one whose blocks give nothing is skipped.
            RemoveFile(m_stream.record.path);
            if (m_stream.blocks > 0) {
                if (sound.Failed() == Failure::NothingDecoded) {
                    m_report.Skip(static_cast<uint32_t>(m_stream.format),
                                  SkipReason::NothingDecoded);
                } else {
                    m_report.Lose(sound.Failed());
                }
            }
        }
    } else if (m_stream.open && m_stream.file) {
        CFile& file = *m_stream.file;
        const bool written = m_stream.format == kFormatMp3 ? file.Close() : FinishWavFile(file);
        if (written && m_stream.record.sampleCount > 0) {
            m_elements.push_back(m_stream.record);
        } else {
            // A stream that received no samples, or could not be written whole, leaves no file;
            // its number stays used.
            if (!written) {
                m_report.Lose(WriteFailure(file.WriteError()));
            }
            RemoveFile(m_stream.record.path);
        }
    }
    m_stream = StreamState{};
}

void CSwfReader::EnterSprite() {
    m_streamStack.push_back(std::move(m_stream));
    m_stream = StreamState{};
}

void CSwfReader::LeaveSprite() {
    if (m_stream.open) {
        CloseStream();
    }
    if (!m_streamStack.empty()) {
        m_stream = std::move(m_streamStack.back());
        m_streamStack.pop_back();
    } else {
        m_stream = StreamState{};
    }
}

}  // namespace kelvora
