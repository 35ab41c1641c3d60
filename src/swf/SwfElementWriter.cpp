#include "swf/SwfElementWriter.h"

#include <errno.h>

#include <algorithm>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/Mp3Frame.h"
#include "audio/WavFile.h"
#include "engine/File.h"
#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

// Samples (mono) or frames (stereo) decoded at a time: a long ADPCM sound goes to its file in
// pieces of at most 256 KB, whatever its length.
constexpr uint32_t kAdpcmPieceFrames = 64 * 1024;

// Decodes `frames` ADPCM samples (mono) or sample frames (stereo) from the reader's position and
// appends them to `file`, a piece at a time. False when the file could not take them.
bool DecodeAdpcmInto(BitReader& bits, uint32_t frames, bool stereo, CFile& file,
                     std::vector<uint8_t>& buffer) {
    CAdpcmDecoder decoder(bits);
    bool first = true;
    while (frames > 0) {
        const uint32_t piece = std::min(frames, kAdpcmPieceFrames);
        const size_t bytes = CAdpcmDecoder::OutputBytes(piece, stereo, true);
        buffer.resize(bytes);
        if (first) {
            decoder.DecodeByCount(piece, stereo, true, buffer.data());
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

// Writes `frames` sample frames of silence in the sound's own PCM form (8-bit samples are
// unsigned, so their silence is 128).
bool WritePcmSilence(CFile& file, uint64_t frames, size_t frameBytes, bool is16Bit) {
    const std::vector<uint8_t> silence(4096 * frameBytes, is16Bit ? 0 : 0x80);
    while (frames > 0) {
        const uint64_t n = std::min<uint64_t>(frames, 4096);
        if (!file.Write(silence.data(), static_cast<size_t>(n) * frameBytes)) {
            return false;
        }
        frames -= n;
    }
    return true;
}

// The element's form and figures as the plan gives them; the writing sets its length.
OutputItem ItemOf(const SwfSoundPlan& p) {
    OutputItem item;
    item.channels = p.channels;
    item.bitsPerSample = p.bitsPerSample;
    item.sampleRate = p.sampleRate;
    item.isMp3 = p.elementIsMp3 ? 1 : 0;
    item.sampleCount = static_cast<uint32_t>(std::min<uint64_t>(p.sampleFrames, UINT32_MAX));
    return item;
}

}  // namespace

CSwfElementWriter::CSwfElementWriter(const SwfRecords& records, const SwfPlan& plan,
                                     const uint8_t* bytes, const ConversionOptions& options,
                                     bool forMp3,
                                     COutputNames& names, ConversionReport& report)
    : m_records(records),
      m_plan(plan),
      m_bytes(bytes),
      m_forMp3(forMp3),
      m_naming(names, records.names, options.linkageNames),
      m_report(report) {}

std::vector<SwfElement> CSwfElementWriter::Write() {
    std::vector<SwfElement> written(m_records.sounds.size());
    std::vector<bool> made(m_records.sounds.size(), false);
    for (size_t i = 0; i < m_records.sounds.size(); ++i) {
        const SwfSound& s = m_records.sounds[i];
        const SwfSoundPlan& p = m_plan.sounds[i];
        if (p.told) {
            if (p.skip == Failure::LibraryMissing) {
                m_report.detail = CCodecDecoder::LibraryError();
            }
            m_report.Skip(s.format, p.skip == Failure::FormatNeedsOption ? SkipReason::NeedsOption
                                    : p.skip == Failure::LibraryMissing ? SkipReason::LibraryMissing
                                    : p.skip == Failure::TooManyOutputs ? SkipReason::TooManyOutputs
                                                                        : SkipReason::Unsupported);
        }
        if (!p.named) {
            continue;
        }
        SwfElement& element = written[i];
        element.item = ItemOf(p);
        element.item.path = m_naming.Element(s, p.elementIsMp3 ? ".mp3" : ".wav");
        if (element.item.path.empty()) {
            if (p.listed) {
                m_report.Lose(Failure::NoWritableFolder);
            }
            continue;
        }
        if (p.skip == Failure::NoSamples) {
            m_naming.Names().Abandon(element.item.path);  // no file, but its number used
            continue;
        }
        made[i] = FormatInfo(s.format).coding == SoundCoding::Libav
                      ? WriteCodecSound(s, p, element)
                      : (s.IsStream() ? WriteStream(s, p, element) : WriteEvent(s, p, element));
    }
    std::vector<SwfElement> elements;
    for (const size_t i : m_records.completed) {
        if (made[i]) {
            elements.push_back(std::move(written[i]));
        }
    }
    return elements;
}

bool CSwfElementWriter::WriteEvent(const SwfSound& s, const SwfSoundPlan& p, SwfElement& element) {
    OutputItem& item = element.item;
    CFile file = m_naming.Names().TakeFile(item.path);
    const bool created = p.elementIsMp3 ? OpenOutput(file, item.path)
                                        : CreateWavFile(file, item.path, p.channels == 2,
                                                        p.bitsPerSample, p.sampleRate);
    if (created) {
        if (s.format == kFormatAdpcm) {
            m_bits.Attach(m_bytes, s.dataEnd);
            m_bits.SetPosition(s.dataStart);
            std::vector<uint8_t> buffer;  // one piece of this sound, freed after it
            DecodeAdpcmInto(m_bits, item.sampleCount, s.isStereo, file, buffer);
        } else {
            file.Write(m_bytes + s.dataStart, s.dataEnd - s.dataStart);
        }
    }
    const int error = created ? file.WriteError() : errno;
    if (!created || !(p.elementIsMp3 ? file.Close() : FinishWavFile(file))) {
        // A sound that cannot be written whole leaves no file; the report says why.
        file.Close();
        RemoveFile(item.path);
        m_report.Lose(WriteFailure(created ? file.WriteError() : error));
        return false;
    }
    element.shaped = p.shaped;
    element.shape = p.shape;
    return true;
}

bool CSwfElementWriter::WriteStream(const SwfSound& s, const SwfSoundPlan& p, SwfElement& element) {
    OutputItem& item = element.item;
    const bool mp3 = p.elementIsMp3;
    CFile file = m_naming.Names().TakeFile(item.path);
    const bool created =
        mp3 ? OpenOutput(file, item.path)
            : CreateWavFile(file, item.path, p.channels == 2, p.bitsPerSample, p.sampleRate);
    if (!created) {
        m_report.Lose(WriteFailure(errno));
        RemoveFile(item.path);
        return false;
    }
    // With the timing kept, frames of the timeline without a block are silence: whole silent
    // frames of the stream's own shape in an MP3 element, exact silence in a WAV one.
    std::vector<uint8_t> silentFrame;
    Mp3FrameHeader mp3Header;
    if (p.timing.timed && mp3) {
        for (const SwfStreamBlock& b : s.blocks) {
            if (b.size > 4 && ParseMp3FrameHeader(m_bytes + b.start + 4, b.size - 4, mp3Header)) {
                silentFrame = SilentMp3Frame(m_bytes + b.start + 4, b.size - 4);
                break;
            }
        }
        element.shaped = true;
        element.shape = p.shape;
    }
    const size_t frameBytes = size_t{p.channels} * (p.bitsPerSample / 8u);
    uint64_t counted = 0;  // MP3: the blocks' own sample counts, where silences go
    CMp3GapFrames gapFrames;
    CGatheredWriter out(file);
    ForEachStreamBlock(
        s, p.timing, [&](const SwfStreamBlock& b) { return StreamBlockFrames(m_bytes, s, b); },
        [&](uint64_t gap) {
            if (!mp3) {
                // PCM and ADPCM alike: the element is PCM.
                WritePcmSilence(out.File(), gap, frameBytes, p.bitsPerSample == 16);
            } else if (!silentFrame.empty()) {
                if (m_forMp3) {
                    for (uint64_t n = gapFrames.For(gap, mp3Header.samplesPerFrame); n > 0; --n) {
                        out.File().Write(silentFrame.data(), silentFrame.size());
                    }
                } else {
                    element.shape.silences.push_back({counted, gap});
                }
            }
        },
        [&](const SwfStreamBlock& b) {
            if (mp3) {
                // A block too short for its sample count and seek fields holds no frames.
                if (b.size >= 4) {
                    counted += Mp3BlockCount(m_bytes, b);
                    out.Add(m_bytes + b.start + 4, b.size - 4);
                }
            } else if (s.format == kFormatAdpcm) {
                // A block decodes no more than its data can hold: a movie of empty blocks must
                // not write 256 KB of made-up sound for each of them.
                const uint32_t frames =
                    CAdpcmDecoder::BoundSampleCount(s.samplesPerBlock, b.size, s.isStereo);
                m_bits.Attach(m_bytes, b.End());
                m_bits.SetPosition(b.start);
                DecodeAdpcmInto(m_bits, frames, s.isStereo, out.File(), m_adpcmBuffer);
            } else {
                out.Add(m_bytes + b.start, b.size);
            }
        });
    out.File();  // what is pending
    if (!(mp3 ? file.Close() : FinishWavFile(file))) {
        // A stream that could not be written whole leaves no file; its number stays used.
        m_report.Lose(WriteFailure(file.WriteError()));
        RemoveFile(item.path);
        return false;
    }
    return true;
}

// A sound of a libavcodec format: its data decoded into a WAV file, an event sound as its
// packets, a stream a block at a time.
bool CSwfElementWriter::WriteCodecSound(const SwfSound& s, const SwfSoundPlan& p,
                                        SwfElement& element) {
    OutputItem& item = element.item;
    const std::string path = item.path;
    CCodecSound sound([&](CFile& claimed) {
        claimed = m_naming.Names().TakeFile(path);
        return path;
    });
    if (sound.Open(s.format, p.codecRate, p.codecChannels)) {
        if (!s.IsStream()) {
            sound.AddMovieData(m_bytes + s.dataStart, s.dataEnd - s.dataStart);
        }
        ForEachStreamBlock(
            s, p.timing,
            [&](const SwfStreamBlock& b) { return StreamBlockFrames(m_bytes, s, b); },
            [&](uint64_t gap) { sound.AddSilence(gap, p.timing.sampleRate); },
            [&](const SwfStreamBlock& b) { sound.AddMovieData(m_bytes + b.start, b.size); });
    }
    if (!sound.Finish()) {
        m_naming.Names().Abandon(path);  // the number stays used
        if (sound.Failed() == Failure::NothingDecoded) {
            m_report.Skip(s.format, SkipReason::NothingDecoded);
        } else if (sound.Failed() == Failure::LibraryMissing) {
            m_report.detail = sound.LibraryError();
            m_report.Skip(s.format, SkipReason::LibraryMissing);
        } else {
            m_report.Lose(sound.Failed());
        }
        return false;
    }
    item.channels = sound.Channels();
    item.bitsPerSample = 16;
    item.sampleRate = sound.SampleRate();
    item.sampleCount = sound.SampleCount();
    item.isMp3 = 0;
    // An event sound that decodes to less than its tag claims, by more than a frame, is told.
    if (!s.IsStream() &&
        s.sampleCount > uint64_t{item.sampleCount} + FormatInfo(s.format).frameSamples) {
        m_report.Short(s.format, s.sampleCount, item.sampleCount);
    }
    return true;
}

}  // namespace kelvora
