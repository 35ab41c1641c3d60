#include "swf/SwfSoundWriter.h"

#include <errno.h>

#include <algorithm>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/Mp3Frame.h"
#include "audio/MuxedFile.h"
#include "audio/PcmSink.h"
#include "audio/SpeexFrames.h"
#include "audio/TranscodeMp3ToWav.h"
#include "audio/TranscodeWavToMp3.h"
#include "audio/WavFile.h"
#include "engine/File.h"
#include "engine/OutputNaming.h"
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

// The sample frames a WAV file being written holds so far.
uint32_t WavFrames(CFile& file, size_t frameBytes) {
    const int64_t size = file.Size();
    return size <= kWavHeaderSize || frameBytes == 0
               ? 0
               : static_cast<uint32_t>(
                     std::min<uint64_t>((static_cast<uint64_t>(size) - kWavHeaderSize) / frameBytes,
                                        UINT32_MAX));
}

uint32_t Clamp32(uint64_t frames) {
    return static_cast<uint32_t>(std::min<uint64_t>(frames, UINT32_MAX));
}

// An element brought into FLAC: a WAV one's samples as they are, an MP3 one as LAME decodes it
// (shaped when it keeps its timing). `item` receives the figures written.
bool ToFlac(const OutputItem& element, OutputItem& item, CFile claimed, const SoundTags& tags,
            const Mp3ToWavShape* shape, Failure& why) {
    if (!element.isMp3) {
        uint32_t frames = 0;
        int error = 0;
        if (!TranscodeWavToFlac(element.path, item.path, std::move(claimed), tags, &frames,
                                &error)) {
            why = error != 0 ? WriteFailure(error) : Failure::WriteFailed;
            return false;
        }
        item.sampleCount = frames;
        return true;
    }
    CFlacSink sink(item.path, std::move(claimed), tags);
    CCountingSink counted(sink);
    if (!DecodeMp3Into(element.path, counted, &why, shape)) {
        return false;
    }
    item.sampleCount = Clamp32(counted.Frames());
    item.bitsPerSample = 16;
    item.sampleRate = counted.SampleRate();
    item.channels = counted.Channels();
    return true;
}

SkipReason ReasonOf(Failure skip) {
    switch (skip) {
        case Failure::FormatNeedsOption:
            return SkipReason::NeedsOption;
        case Failure::LibraryMissing:
            return SkipReason::LibraryMissing;
        case Failure::TooManyOutputs:
            return SkipReason::TooManyOutputs;
        case Failure::NothingDecoded:
            return SkipReason::NothingDecoded;
        default:
            return SkipReason::Unsupported;
    }
}

}  // namespace

std::vector<OutputItem> CSwfSoundWriter::WriteElements() {
    std::vector<OutputItem> written(m_records.sounds.size());
    for (size_t i = 0; i < m_records.sounds.size(); ++i) {
        written[i] = WriteElement(i, m_plan.sounds[i].sound.element.path);
    }
    std::vector<OutputItem> elements;
    for (const size_t i : m_records.completed) {
        if (!written[i].path.empty()) {
            elements.push_back(std::move(written[i]));
        }
    }
    return elements;
}

std::vector<OutputItem> CSwfSoundWriter::WriteOutputs() {
    // Elements in tag order; one that is its own output goes straight to the output's name.
    std::vector<OutputItem> written(m_records.sounds.size());
    for (size_t i = 0; i < m_records.sounds.size(); ++i) {
        const PlannedSound& sound = m_plan.sounds[i].sound;
        written[i] = WriteElement(i, sound.Transcoded() ? sound.element.path : sound.output.path);
    }
    std::vector<OutputItem> outputs;
    for (const size_t i : m_records.completed) {
        if (written[i].path.empty()) {
            continue;
        }
        const SwfSoundPlan& p = m_plan.sounds[i];
        outputs.push_back(p.sound.Transcoded() ? Transcode(p, written[i]) : written[i]);
        Compare(p.sound, outputs.back());
    }
    return outputs;
}

OutputItem CSwfSoundWriter::WriteElement(size_t i, const std::string& planned) {
    const SwfSound& s = m_records.sounds[i];
    const SwfSoundPlan& p = m_plan.sounds[i];
    if (p.told) {
        if (p.sound.skip == Failure::LibraryMissing) {
            m_report.detail = p.sound.skipDetail;
        }
        m_report.Skip(s.format, ReasonOf(p.sound.skip));
    }
    OutputItem item;
    if (!p.sound.Converted()) {
        return item;  // a number used without a file, or no number at all
    }
    if (planned.empty()) {
        m_report.Lose(Failure::NoWritableFolder);
        return item;
    }
    item = p.sound.element;
    if (p.muxed) {
        item.path = planned;
        if (!WriteMuxed(s, p, item)) {
            item.path.clear();
        }
        return item;
    }
    if (FormatInfo(s.format).coding == SoundCoding::Libav) {
        item.path = planned;
        if (!WriteCodecSound(s, p, item)) {
            item.path.clear();
        }
        return item;
    }
    CFile file;
    item.path = ClaimPlannedName(planned, file);
    const bool created = !item.path.empty() &&
                         (item.isMp3 || CreateWavFile(file, item.path, item.channels == 2,
                                                      item.bitsPerSample, item.sampleRate));
    const int error = item.path.empty() ? errno : file.WriteError();
    if (!created || !(s.IsStream() ? WriteStream(s, p, file, item) : WriteEvent(s, p, file, item))) {
        // A sound that cannot be written whole leaves no file; the report says why.
        const int why = created ? file.WriteError() : error;
        file.Close();
        if (!item.path.empty()) {
            RemoveFile(item.path);
        }
        m_report.Lose(WriteFailure(why));
        item.path.clear();
    }
    return item;
}

bool CSwfSoundWriter::WriteEvent(const SwfSound& s, const SwfSoundPlan& p, CFile& file,
                                 OutputItem& item) {
    const uint8_t* data = m_bytes + s.dataStart;
    const size_t size = s.dataEnd - s.dataStart;
    if (s.format == kFormatAdpcm) {
        m_bits.Attach(m_bytes, s.dataEnd);
        m_bits.SetPosition(s.dataStart);
        std::vector<uint8_t> buffer;  // one piece of this sound, freed after it
        DecodeAdpcmInto(m_bits, p.sound.element.sampleCount, s.isStereo, file, buffer);
    } else {
        file.Write(data, size);
    }
    if (item.isMp3) {
        CMp3FrameCounter frames;
        frames.Add(data, size);
        item.sampleCount = Clamp32(frames.Samples());
        return file.Close();
    }
    const size_t frameBytes = size_t{item.channels} * (item.bitsPerSample / 8u);
    item.sampleCount = WavFrames(file, frameBytes);
    return FinishWavFile(file);
}

bool CSwfSoundWriter::WriteStream(const SwfSound& s, const SwfSoundPlan& p, CFile& file,
                                  OutputItem& item) {
    const bool mp3 = item.isMp3 != 0;
    // The silent frames the plan puts in, where it says.
    const std::vector<uint8_t> silentFrame = PlannedSilentFrame(s, p);
    auto silent = p.silentFrames.begin();
    const size_t frameBytes = size_t{item.channels} * (item.bitsPerSample / 8u);
    CMp3FrameCounter frames;  // MP3: what is written
    CGatheredWriter out(file);
    ForEachStreamBlock(
        s, p.timing, [&](const SwfStreamBlock& b) { return StreamBlockFrames(m_bytes, s, b); },
        [&](uint64_t gap) {
            if (!mp3) {
                // PCM and ADPCM alike: the element is PCM.
                WritePcmSilence(out.File(), gap, frameBytes, item.bitsPerSample == 16);
            }
        },
        [&](const SwfStreamBlock& b) {
            if (mp3) {
                // A block too short for its sample count and seek fields holds no frames.
                if (b.size < 4) {
                    return;
                }
                const uint8_t* held = m_bytes + b.start + 4;
                const size_t size = b.size - 4;
                size_t at = 0;
                if (silent != p.silentFrames.end() && silent->block == size_t(&b - s.blocks.data())) {
                    at = std::min(silent->offset, size);
                    out.Add(held, at);
                    frames.Add(held, at);
                    for (uint64_t n = silent->count; n > 0; --n) {
                        out.Add(silentFrame.data(), silentFrame.size());
                        frames.Add(silentFrame.data(), silentFrame.size());
                    }
                    ++silent;
                }
                out.Add(held + at, size - at);
                frames.Add(held + at, size - at);
            } else if (s.format == kFormatAdpcm) {
                // A block decodes no more than its data can hold: a movie of empty blocks must
                // not write 256 KB of made-up sound for each of them.
                const uint32_t count =
                    CAdpcmDecoder::BoundSampleCount(s.samplesPerBlock, b.size, s.isStereo);
                m_bits.Attach(m_bytes, b.End());
                m_bits.SetPosition(b.start);
                DecodeAdpcmInto(m_bits, count, s.isStereo, out.File(), m_adpcmBuffer);
            } else {
                out.Add(m_bytes + b.start, b.size);
            }
        });
    out.File();  // what is pending
    if (mp3) {
        item.sampleCount = Clamp32(frames.Samples());
        return file.Close();
    }
    item.sampleCount = WavFrames(file, frameBytes);
    return FinishWavFile(file);
}

// A sound of a libavcodec format: its data decoded into a WAV file, an event sound as its
// packets, a stream a block at a time.
bool CSwfSoundWriter::WriteCodecSound(const SwfSound& s, const SwfSoundPlan& p, OutputItem& item) {
    const std::string planned = item.path;
    CCodecSound sound([&planned](CFile& claimed) { return ClaimPlannedName(planned, claimed); });
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
        if (sound.Failed() == Failure::LibraryMissing) {
            m_report.detail = sound.LibraryError();
            m_report.Skip(s.format, SkipReason::LibraryMissing);
        } else {
            m_report.Lose(sound.Failed());
        }
        return false;
    }
    item.path = sound.Path();
    item.channels = sound.Channels();
    item.bitsPerSample = 16;
    item.sampleRate = sound.SampleRate();
    item.sampleCount = sound.SampleCount();
    item.SetFormat(OutputFormat::Wav);
    // An event sound that decodes to less than its tag claims, by more than a frame, is told.
    if (!s.IsStream() &&
        s.sampleCount > uint64_t{item.sampleCount} + FormatInfo(s.format).frameSamples) {
        m_report.Short(s.format, s.sampleCount, item.sampleCount);
    }
    return true;
}

std::vector<uint8_t> CSwfSoundWriter::PlannedSilentFrame(const SwfSound& s,
                                                         const SwfSoundPlan& p) const {
    if (p.silentFrames.empty()) {
        return {};
    }
    const SwfStreamBlock& model = s.blocks[p.modelBlock];
    return SilentMp3Frame(m_bytes + model.start + 4 + p.modelOffset,
                          model.size - 4 - p.modelOffset);
}

// A sound kept in its own coding: MP3 frames (and the silent frames the plan puts in) or Speex
// packets, each a packet of the container libavformat writes.
bool CSwfSoundWriter::WriteMuxed(const SwfSound& s, const SwfSoundPlan& p, OutputItem& item) {
    CMuxedFile file;
    if (!file.Open(item.path, p.container)) {
        if (!file.Detail().empty()) {
            m_report.detail = file.Detail();
        }
        m_report.Lose(file.Failed());
        return false;
    }
    const auto dataOf = [&](size_t start, size_t end, const std::function<void(const uint8_t*,
                                                                                size_t)>& take) {
        take(m_bytes + start, end - start);
    };
    if (item.format == OutputFormat::Ogg) {
        // Each of a movie's Speex frames, padded to a whole byte, is a packet of its own.
        const auto packets = [&](const uint8_t* data, size_t size) {
            for (const SpeexPacket& packet : SpeexMoviePackets(data, size)) {
                file.Write(data + packet.start, packet.end - packet.start, 320 * packet.frames);
            }
        };
        if (!s.IsStream()) {
            dataOf(s.dataStart, s.dataEnd, packets);
        }
        for (const SwfStreamBlock& b : s.blocks) {
            dataOf(b.start, b.End(), packets);
        }
    } else {
        CMp3FrameSplitter splitter;
        const auto frames = [&](const uint8_t* data, size_t size) {
            splitter.Add(data, size, [&file](const uint8_t* frame, const Mp3FrameHeader& h) {
                file.Write(frame, h.frameBytes, h.samplesPerFrame);
            });
        };
        if (!s.IsStream()) {
            dataOf(s.dataStart, s.dataEnd, frames);
        }
        const std::vector<uint8_t> silentFrame = PlannedSilentFrame(s, p);
        auto silent = p.silentFrames.begin();
        for (size_t i = 0; i < s.blocks.size(); ++i) {
            const SwfStreamBlock& b = s.blocks[i];
            if (b.size < 4) {
                continue;
            }
            size_t at = 0;
            if (silent != p.silentFrames.end() && silent->block == i) {
                at = std::min<size_t>(silent->offset, b.size - 4);
                frames(m_bytes + b.start + 4, at);
                for (uint64_t n = silent->count; n > 0; --n) {
                    frames(silentFrame.data(), silentFrame.size());
                }
                ++silent;
            }
            frames(m_bytes + b.start + 4 + at, b.size - 4 - at);
        }
    }
    if (!file.Finish()) {
        m_report.Lose(file.Failed());
        return false;
    }
    item.sampleCount = Clamp32(file.SampleFrames());
    return true;
}

OutputItem CSwfSoundWriter::Transcode(const SwfSoundPlan& p, const OutputItem& element) {
    OutputItem item = p.sound.output;
    CFile claimed;
    item.path = ClaimPlannedName(item.path, claimed);
    if (item.path.empty()) {
        m_report.Lose(Failure::NoWritableFolder);
        return element;
    }
    Failure why = Failure::None;
    bool ok = false;
    if (item.format == OutputFormat::Flac) {
        ok = ToFlac(element, item, std::move(claimed), p.tags, p.shaped ? &p.shape : nullptr,
                    why);
    } else if (item.isMp3) {
        uint32_t frames = 0;
        uint32_t rate = 0;
        ok = TranscodeWavToMp3(element.path, item.path, &frames, &rate, &why, std::move(claimed));
        item.sampleRate = rate;
        item.sampleCount = frames;
        item.channels = element.channels;
        item.bitsPerSample = element.bitsPerSample;
    } else {
        CWavReader wav;
        ok = TranscodeMp3ToWav(element.path, item.path, &why, p.shaped ? &p.shape : nullptr,
                               std::move(claimed)) &&
             wav.Open(item.path);
        if (ok) {
            // What the decoder gave, as the file holds it.
            item.sampleRate = wav.SampleRate();
            item.channels = wav.Channels();
            item.bitsPerSample = 16;
            item.sampleCount = wav.FrameCount();
        }
    }
    if (!ok) {
        // The element stays as it is; the report says why.
        m_report.Lose(why == Failure::None ? Failure::WriteFailed : why);
        RemoveFile(item.path);
        return element;
    }
    RemoveFile(element.path);
    return item;
}

void CSwfSoundWriter::Compare(const PlannedSound& planned, const OutputItem& written) {
    const OutputItem& meant =
        written.format == planned.output.format ? planned.output : planned.element;
    if (written.sampleCount != meant.sampleCount) {
        m_report.Differs(planned.format, meant.sampleCount, written.sampleCount);
    }
}

}  // namespace kelvora
