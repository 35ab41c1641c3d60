// The sound elements of a movie, written from the sounds its walk recorded: each event sound
// and each stream to a file of its own, in the form that needs no encoding, numbered in the
// order of their tags (or named after their linkage names), and listed in the order in which
// they were complete.
#include <errno.h>
#include <sys/uio.h>

#include <algorithm>
#include <set>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/Mp3Frame.h"
#include "audio/WavFile.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"
#include "swf/CSwfReader.h"

namespace kelvora {

namespace {

bool Supported(uint32_t format) {
    return format <= kFormatPcmLittleEndian;
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

// The rate and channels of a movie's sound of a libavcodec format: the format's own where it
// has them, else the flags'.
void CodecRateAndChannels(const SwfSound& s, uint32_t& rate, uint16_t& channels) {
    rate = SoundRate(s.rateIndex);
    channels = s.isStereo ? 2 : 1;
    if (s.format == kFormatNellymoser16k || s.format == kFormatSpeex) {
        rate = 16000;
        channels = 1;
    } else if (s.format == kFormatNellymoser8k) {
        rate = 8000;
        channels = 1;
    }
}

OutputItem ElementOf(const SwfSound& s) {
    OutputItem item;
    item.channels = s.isStereo ? 2 : 1;
    item.bitsPerSample = s.is16Bit ? 16 : 8;
    item.sampleRate = SoundRate(s.rateIndex);
    item.isMp3 = s.format == kFormatMp3 ? 1 : 0;
    return item;
}

// Samples (mono) or frames (stereo) decoded at a time: a long ADPCM sound goes to its file in
// pieces of at most 256 KB, whatever its length.
constexpr uint32_t kAdpcmPieceFrames = 64 * 1024;

// Decodes `frames` ADPCM samples (mono) or sample frames (stereo) from the reader's position and
// appends them to `file`, a piece at a time. False when the file could not take them.
bool DecodeAdpcmInto(BitReader& bits, uint32_t frames, const SwfSound& s, CFile& file,
                     std::vector<uint8_t>& buffer) {
    CAdpcmDecoder decoder(bits);
    bool first = true;
    while (frames > 0) {
        const uint32_t piece = std::min(frames, kAdpcmPieceFrames);
        const size_t bytes = CAdpcmDecoder::OutputBytes(piece, s.isStereo, s.is16Bit);
        buffer.resize(bytes);
        if (first) {
            decoder.DecodeByCount(piece, s.isStereo, s.is16Bit, buffer.data());
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
bool WritePcmSilence(CFile& file, uint64_t frames, const SwfSound& s) {
    const size_t frameBytes = (s.isStereo ? 2 : 1) * (s.is16Bit ? 2 : 1);
    const std::vector<uint8_t> silence(4096 * frameBytes, s.is16Bit ? 0 : 0x80);
    while (frames > 0) {
        const uint64_t n = std::min<uint64_t>(frames, 4096);
        if (!file.Write(silence.data(), static_cast<size_t>(n) * frameBytes)) {
            return false;
        }
        frames -= n;
    }
    return true;
}

// A linkage name made fit for a file name: no separators or control characters, at most 120
// bytes, and at most `room` bytes, cut on a UTF-8 character boundary.
std::string FileNameOf(const std::string& name, size_t room) {
    constexpr size_t kMostBytes = 120;
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out.push_back(c == kPathSeparator || u < 0x20 || u == 0x7F ? '_' : c);
    }
    if (out.size() > std::min(kMostBytes, room)) {
        size_t cut = std::min(kMostBytes, room);
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;  // never inside a UTF-8 sequence
        }
        out.erase(cut);
    }
    return out;
}

uint16_t Mp3BlockCount(const uint8_t* bytes, const SwfStreamBlock& block) {
    return block.size < 4
               ? 0
               : static_cast<uint16_t>(bytes[block.start] | (bytes[block.start + 1] << 8));
}

// Sound data copied from the movie goes out in one call for many blocks, straight from where
// it lies; anything else written to the file first sends what is pending.
class PieceWriter {
  public:
    explicit PieceWriter(CFile& file) : m_file(file) {}
    void Add(const uint8_t* data, size_t size) {
        m_pieces.push_back({const_cast<uint8_t*>(data), size});
        m_bytes += size;
        if (m_pieces.size() >= 1024 || m_bytes >= (size_t{1} << 20)) {
            Send();
        }
    }
    CFile& File() {
        Send();
        return m_file;
    }

  private:
    void Send() {
        if (!m_pieces.empty()) {
            m_file.WriteGather(m_pieces.data(), static_cast<int>(m_pieces.size()));
        }
        m_pieces.clear();
        m_bytes = 0;
    }

    CFile& m_file;
    std::vector<iovec> m_pieces;
    size_t m_bytes = 0;
};

}  // namespace

Failure CSwfReader::SkipOf(const SwfSound& s) const {
    if (!Supported(s.format) && !(m_options.allFormats && AllFormatsConverts(s.format))) {
        return !m_options.allFormats && AllFormatsConverts(s.format) ? Failure::FormatNeedsOption
                                                                     : Failure::FormatUnsupported;
    }
    if (!Supported(s.format) && !CCodecDecoder::Available()) {
        return Failure::LibraryMissing;
    }
    return s.IsStream() && s.samplesPerBlock == 0 ? Failure::EmptyStreamHead : Failure::None;
}

SkipReason CSwfReader::SkipReasonFor(uint32_t format) const {
    return !m_options.allFormats && AllFormatsConverts(format) ? SkipReason::NeedsOption
                                                               : SkipReason::Unsupported;
}

std::string CSwfReader::NameFor(const SwfSound& s, std::string_view ext, bool claim,
                                const std::function<bool(const std::string&)>& taken) {
    std::string name;
    if (m_options.linkageNames) {
        // A stream takes the name of the sprite it plays in.
        name = s.IsStream() ? (s.sprite >= 0 ? m_names.NameOf(static_cast<uint16_t>(s.sprite))
                                             : std::string())
                            : m_names.NameOf(s.characterId);
    }
    if (name.empty() || m_outputBase.empty()) {
        return claim ? ClaimSwfName(m_outputBase, m_nameCounter, ext)
                     : NextSwfName(m_outputBase, m_nameCounter, ext, taken);
    }
    // The whole file name, movie's name + "_" + name + "_N" + extension, must fit the file
    // system's 255 bytes whatever N a taken name leads to; where nothing of the name fits, the
    // sound keeps its number.
    constexpr size_t kMostFileName = 255;
    constexpr size_t kNumberRoom = 11;  // "_" and the digits of any N
    const size_t used = FileNamePart(m_outputBase).size() + 1 + ext.size() + kNumberRoom;
    const std::string fitted = FileNameOf(name, used < kMostFileName ? kMostFileName - used : 0);
    if (fitted.empty()) {
        return claim ? ClaimSwfName(m_outputBase, m_nameCounter, ext)
                     : NextSwfName(m_outputBase, m_nameCounter, ext, taken);
    }
    ++m_nameCounter;  // numbers keep counting every sound, named or not
    const std::string base = m_outputBase + "_" + fitted;
    return claim ? ClaimFlvName(base, ext) : NextFlvName(base, ext, taken);
}

uint64_t CSwfReader::SilenceFrames(uint64_t from, uint64_t to, uint32_t rate) const {
    return SamplesAtFrame(to, rate, m_frameRate88) - SamplesAtFrame(from, rate, m_frameRate88);
}

void CSwfReader::WriteElements(bool forMp3) {
    std::vector<size_t> elementOf(m_sounds.size(), SIZE_MAX);
    std::vector<OutputItem> written;
    std::vector<Mp3Shape> shapes;
    for (size_t i = 0; i < m_sounds.size(); ++i) {
        const SwfSound& s = m_sounds[i];
        const Failure skip = SkipOf(s);
        if (skip != Failure::None) {
            // A stream is told of once it has sound; a head without samples per block is no
            // stream at all.
            if (skip != Failure::EmptyStreamHead &&
                !(s.IsStream() && (!s.HasBlocks() || s.samplesPerBlock == 0))) {
                if (skip == Failure::LibraryMissing) {
                    m_report.library = CCodecDecoder::LibraryError();
                }
                m_report.Skip(s.format, skip == Failure::LibraryMissing ? SkipReason::LibraryMissing
                                                                        : SkipReasonFor(s.format));
            }
            continue;
        }
        OutputItem element;
        Mp3Shape shape;
        const bool ok = !Supported(s.format)
                            ? WriteCodecSound(s, element)
                            : (s.IsStream() ? WriteStream(s, forMp3, element, shape)
                                            : WriteEvent(s, element, shape));
        if (ok) {
            elementOf[i] = written.size();
            written.push_back(std::move(element));
            shapes.push_back(std::move(shape));
        }
    }
    for (const size_t i : m_completed) {
        if (i < elementOf.size() && elementOf[i] != SIZE_MAX) {
            m_elements.push_back(written[elementOf[i]]);
            m_shapes.push_back(shapes[elementOf[i]]);
        }
    }
}

bool CSwfReader::WriteEvent(const SwfSound& s, OutputItem& element, Mp3Shape& shape) {
    element = ElementOf(s);
    element.sampleCount = s.sampleCount;
    CFile file;
    // A sound that cannot be written whole leaves no file; the report says why.
    const auto lose = [&](Failure why) {
        if (!element.path.empty()) {
            file.Close();
            RemoveFile(element.path);
        }
        m_report.Lose(why);
        return false;
    };
    const bool mp3 = s.format == kFormatMp3;
    element.path = NameFor(s, mp3 ? ".mp3" : ".wav", true);
    if (element.path.empty()) {
        return lose(Failure::NoWritableFolder);
    }
    const bool created = mp3 ? file.CreateAlways(element.path)
                             : CreateWavFile(file, element.path, s.isStereo, element.bitsPerSample,
                                             element.sampleRate);
    if (!created) {
        return lose(WriteFailure(errno));
    }
    if (s.format == kFormatAdpcm) {
        // A count is a claim: never decode more than the tag's data can hold.
        const uint32_t frames =
            CAdpcmDecoder::BoundSampleCount(s.sampleCount, s.dataEnd - s.dataStart, s.isStereo);
        element.sampleCount = frames;
        m_bits.Attach(m_bytes, s.dataEnd);
        m_bits.SetPosition(s.dataStart);
        std::vector<uint8_t> buffer;  // one piece of this sound, freed after it
        DecodeAdpcmInto(m_bits, frames, s, file, buffer);
        m_bits.Attach(m_bytes, m_size);
    } else {
        file.Write(m_bytes + s.dataStart, s.dataEnd - s.dataStart);
    }
    if (!(mp3 ? file.Close() : FinishWavFile(file))) {
        return lose(WriteFailure(file.WriteError()));
    }
    if (mp3 && m_options.keepTiming) {
        // As WAV, the sound starts where its samples do: after the latency the encoder left
        // and the decoder's own delay, and lasts as long as the tag says.
        shape.shaped = true;
        shape.shape.skip =
            static_cast<uint64_t>(std::max<int16_t>(s.seekSamples, 0)) + kMp3DecoderDelay;
        shape.shape.keep = s.sampleCount;
    }
    return true;
}

bool CSwfReader::WriteStream(const SwfSound& s, bool forMp3, OutputItem& element, Mp3Shape& shape) {
    const bool mp3 = s.format == kFormatMp3;
    element = ElementOf(s);
    element.sampleCount = 0;
    element.path = NameFor(s, mp3 ? ".mp3" : ".wav", true);
    // A stream whose file cannot be made is a lost sound once it has blocks.
    if (element.path.empty()) {
        if (s.HasBlocks()) {
            m_report.Lose(Failure::NoWritableFolder);
        }
        return false;
    }
    CFile file;
    const bool created = mp3 ? file.CreateAlways(element.path)
                             : CreateWavFile(file, element.path, s.isStereo, element.bitsPerSample,
                                             element.sampleRate);
    if (!created) {
        if (s.HasBlocks()) {
            m_report.Lose(WriteFailure(errno));
        }
        RemoveFile(element.path);
        return false;
    }
    // With the timing kept, frames of the timeline without a block are silence.
    const bool timed = m_options.keepTiming && m_frameRate88 != 0;
    std::vector<uint8_t> silentFrame;
    Mp3FrameHeader mp3Header;
    int64_t owed = 0;  // MP3 silence still to give, in sample frames
    if (timed && mp3) {
        for (const SwfStreamBlock& b : s.blocks) {
            if (b.size > 4 && ParseMp3FrameHeader(m_bytes + b.start + 4, b.size - 4, mp3Header)) {
                silentFrame = SilentMp3Frame(m_bytes + b.start + 4, b.size - 4);
                break;
            }
        }
        shape.shaped = true;
        shape.shape.skip =
            static_cast<uint64_t>(std::max<int16_t>(s.seekSamples, 0)) + kMp3DecoderDelay;
    }
    uint64_t nextFrame = 0;  // of the timeline after the head, the first not yet given
    uint64_t written = 0;    // sample frames in the element
    PieceWriter out(file);
    for (const SwfStreamBlock& b : s.blocks) {
        const uint64_t frame = b.frame >= s.headFrame ? b.frame - s.headFrame : 0;
        if (timed && frame > nextFrame) {
            if (!mp3) {
                const uint64_t gap = SilenceFrames(nextFrame, frame, element.sampleRate);
                WritePcmSilence(out.File(), gap, s);
                written += gap;
            } else if (!silentFrame.empty()) {
                const uint64_t gap = SilenceFrames(nextFrame, frame, mp3Header.sampleRate);
                if (forMp3) {
                    // Whole silent frames, as many as come nearest to the gaps so far.
                    owed += static_cast<int64_t>(gap);
                    const int64_t spf = mp3Header.samplesPerFrame;
                    for (; owed * 2 >= spf; owed -= spf) {
                        out.File().Write(silentFrame.data(), silentFrame.size());
                        written += static_cast<uint64_t>(spf);
                    }
                } else {
                    shape.shape.silences.push_back({written, gap});
                }
            }
        }
        nextFrame = std::max(nextFrame, frame + 1);
        if (mp3) {
            // A block too short for its sample count and seek fields holds no frames.
            if (b.size >= 4) {
                written += Mp3BlockCount(m_bytes, b);
                out.Add(m_bytes + b.start + 4, b.size - 4);
            }
        } else if (s.format == kFormatAdpcm) {
            // A block decodes no more than its data can hold: a movie of empty blocks must not
            // write 256 KB of made-up sound for each of them.
            const uint32_t frames =
                CAdpcmDecoder::BoundSampleCount(s.samplesPerBlock, b.size, s.isStereo);
            m_bits.Attach(m_bytes, b.End());
            m_bits.SetPosition(b.start);
            DecodeAdpcmInto(m_bits, frames, s, out.File(), m_adpcmBuffer);
            m_bits.Attach(m_bytes, m_size);
            written += frames;
        } else {
            written += s.samplesPerBlock;
            out.Add(m_bytes + b.start, b.size);
        }
    }
    out.File();  // what is pending
    if (!mp3 && s.format != kFormatAdpcm) {
        // PCM counts the head's samples per block for every block, empty ones too.
        written += uint64_t{s.samplesPerBlock} * s.emptyBlocks;
    }
    element.sampleCount = static_cast<uint32_t>(std::min<uint64_t>(written, UINT32_MAX));
    const bool finished = mp3 ? file.Close() : FinishWavFile(file);
    if (finished && element.sampleCount > 0) {
        return true;
    }
    // A stream that received no samples, or could not be written whole, leaves no file; its
    // number stays used.
    if (!finished) {
        m_report.Lose(WriteFailure(file.WriteError()));
    }
    RemoveFile(element.path);
    return false;
}

// A sound of a libavcodec format: its name is taken in tag order, and its data decoded into a
// WAV file there, an event sound as one packet, a stream a packet per block.
bool CSwfReader::WriteCodecSound(const SwfSound& s, OutputItem& element) {
    const std::string path = NameFor(s, ".wav", true);
    if (path.empty()) {
        if (!s.IsStream() || s.HasBlocks()) {
            m_report.Lose(Failure::NoWritableFolder);
        }
        return false;
    }
    uint32_t rate = 0;
    uint16_t channels = 0;
    CodecRateAndChannels(s, rate, channels);
    CCodecSound sound([&path] { return path; });
    if (sound.Open(s.format, rate, channels)) {
        if (!s.IsStream()) {
            sound.AddMovieData(m_bytes + s.dataStart, s.dataEnd - s.dataStart);
        }
        const bool timed = m_options.keepTiming && m_frameRate88 != 0;
        uint64_t nextFrame = 0;
        for (const SwfStreamBlock& b : s.blocks) {
            const uint64_t frame = b.frame >= s.headFrame ? b.frame - s.headFrame : 0;
            if (timed && frame > nextFrame) {
                sound.AddSilence(nextFrame, frame, m_frameRate88);
            }
            nextFrame = std::max(nextFrame, frame + 1);
            if (b.size > 0) {
                sound.AddMovieData(m_bytes + b.start, b.size);
            }
        }
    }
    if (!sound.Finish()) {
        RemoveFile(path);  // the number stays used
        // A stream without blocks is no sound; one whose blocks give nothing is skipped.
        if (!s.IsStream() || s.HasBlocks()) {
            if (sound.Failed() == Failure::NothingDecoded) {
                m_report.Skip(s.format, SkipReason::NothingDecoded);
            } else {
                m_report.Lose(sound.Failed());
            }
        }
        return false;
    }
    element.channels = sound.Channels();
    element.bitsPerSample = 16;
    element.sampleRate = sound.SampleRate();
    element.sampleCount = sound.SampleCount();
    // An event sound that decodes to less than its tag claims, by more than a frame, is told.
    if (!s.IsStream() &&
        s.sampleCount > uint64_t{element.sampleCount} + CodecFrameSamples(s.format)) {
        m_report.Short(s.format, s.sampleCount, element.sampleCount);
    }
    element.isMp3 = 0;
    element.path = sound.Path();
    return true;
}

uint32_t CSwfReader::PlannedSampleRate(const SwfSound& s) const {
    uint32_t rate = SoundRate(s.rateIndex);
    uint16_t channels = 0;
    if (!Supported(s.format)) {
        CodecRateAndChannels(s, rate, channels);
    }
    return rate;
}

uint32_t CSwfReader::PlannedSampleCount(const SwfSound& s) const {
    if (!s.IsStream()) {
        return s.format == kFormatAdpcm ? CAdpcmDecoder::BoundSampleCount(
                                              s.sampleCount, s.dataEnd - s.dataStart, s.isStereo)
                                        : s.sampleCount;
    }
    const uint32_t rate = PlannedSampleRate(s);
    const bool timed = m_options.keepTiming && m_frameRate88 != 0;
    uint64_t total = 0;
    uint64_t nextFrame = 0;
    for (const SwfStreamBlock& b : s.blocks) {
        const uint64_t frame = b.frame >= s.headFrame ? b.frame - s.headFrame : 0;
        if (timed && frame > nextFrame) {
            total += SilenceFrames(nextFrame, frame, rate);
        }
        nextFrame = std::max(nextFrame, frame + 1);
        if (s.format == kFormatMp3) {
            total += Mp3BlockCount(m_bytes, b);
        } else if (s.format == kFormatAdpcm) {
            total += CAdpcmDecoder::BoundSampleCount(s.samplesPerBlock, b.size, s.isStereo);
        } else {
            total += s.samplesPerBlock;
        }
    }
    if (s.format != kFormatMp3 && s.format != kFormatAdpcm) {
        total += uint64_t{s.samplesPerBlock} * s.emptyBlocks;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
}

std::vector<std::string> CSwfReader::PlannedNames(bool toMp3) {
    std::vector<std::string> paths(m_sounds.size());
    std::set<std::string> planned;
    const auto taken = [&planned](const std::string& name) { return planned.count(name) > 0; };
    const int32_t counter = m_nameCounter;
    m_nameCounter = 1;
    // The names the elements are written under, in tag order.
    for (size_t i = 0; i < m_sounds.size(); ++i) {
        const SwfSound& s = m_sounds[i];
        if (SkipOf(s) != Failure::None) {
            continue;
        }
        const std::string path = NameFor(s, s.format == kFormatMp3 ? ".mp3" : ".wav", false, taken);
        if (!s.IsStream() || PlannedSampleCount(s) > 0) {  // an empty stream leaves no file
            planned.insert(path);
            paths[i] = path;
        }
    }
    // Brought to the target format: the same name, or the next number when it is taken.
    for (const size_t i : m_completed) {
        std::string& path = paths[i];
        const std::string ext = ExtensionPart(path);
        if (path.empty() || ext == (toMp3 ? ".mp3" : ".wav")) {
            continue;
        }
        const std::string target =
            path.substr(0, path.size() - ext.size()) + (toMp3 ? ".mp3" : ".wav");
        path = !NameTaken(target) && !taken(target)
                   ? target
                   : NextSwfName(m_outputBase, m_nameCounter, toMp3 ? ".mp3" : ".wav", taken);
        planned.insert(path);
    }
    // A single element drops its "_001" when the shorter name is free.
    const auto named =
        std::count_if(paths.begin(), paths.end(), [](const std::string& p) { return !p.empty(); });
    for (std::string& path : paths) {
        if (named == 1 && path.size() >= 8 && path.compare(path.size() - 8, 4, "_001") == 0) {
            const std::string plain =
                path.substr(0, path.size() - 8) + path.substr(path.size() - 4);
            if (!NameTaken(plain)) {
                path = plain;
            }
        }
        // The name without its folder and extension.
        const std::string ext = ExtensionPart(path);
        path = FileNamePart(path.substr(0, path.size() - ext.size()));
    }
    m_nameCounter = counter;
    return paths;
}

}  // namespace kelvora
