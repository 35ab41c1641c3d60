#include "swf/SwfPlan.h"

#include <algorithm>

#include "audio/CAdpcmDecoder.h"
#include "audio/CCodecDecoder.h"
#include "audio/CCodecSound.h"
#include "audio/CMp3Encoder.h"
#include "audio/Mp3Frame.h"
#include "engine/BitReader.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"

namespace kelvora {

namespace {

// The most bytes of a linkage name in a file name, and the room a file name has.
constexpr size_t kMostNameBytes = 120;
constexpr size_t kMostFileName = 255;
constexpr size_t kNumberRoom = 11;  // "_" and the digits of any N a taken name leads to

// A linkage name made fit for a file name: no separators or control characters, at most 120
// bytes and at most `room`, cut on a UTF-8 character boundary.
std::string FileNameOf(const std::string& name, size_t room) {
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out.push_back(c == kPathSeparator || u < 0x20 || u == 0x7F ? '_' : c);
    }
    const size_t most = std::min(kMostNameBytes, room);
    if (out.size() > most) {
        size_t cut = most;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;  // never inside a UTF-8 sequence
        }
        out.erase(cut);
    }
    return out;
}

// An author's name for a sound is often the name of the file it came from ("sndHurt.wav"): the
// audio file's extension goes, so that an output's name claims one kind of file only.
std::string WithoutAudioExtension(std::string name) {
    static constexpr std::string_view kAudioExtensions[] = {".wav", ".mp3", ".aif",
                                                            ".aiff", ".au",  ".snd"};
    const std::string ext = LowerAscii(ExtensionPart(kPathSeparator + name));
    for (const std::string_view audio : kAudioExtensions) {
        if (ext == audio) {
            name.erase(name.size() - ext.size());
            break;
        }
    }
    return name;
}

Failure SkipOf(const SwfSound& s, const ConversionOptions& options) {
    const Failure skip =
        FormatSkip(s.format, FormatInfo(s.format).movie.conversion, options.allFormats);
    if (skip != Failure::None) {
        return skip;
    }
    return s.IsStream() && s.samplesPerBlock == 0 ? Failure::EmptyStreamHead : Failure::None;
}

// The decoded sample frames an MP3 sound of `decoded` frames gives when shaped.
uint64_t ShapedFrames(const Mp3ToWavShape& shape, uint64_t decoded) {
    if (shape.keep != UINT64_MAX) {
        return shape.keep;
    }
    uint64_t silences = 0;
    for (const Mp3ToWavShape::Silence& silence : shape.silences) {
        silences += silence.frames;
    }
    return decoded - std::min(decoded, shape.skip) + silences;
}

uint32_t Clamp32(uint64_t frames) {
    return static_cast<uint32_t>(std::min<uint64_t>(frames, UINT32_MAX));
}

class SwfPlanner {
  public:
    SwfPlanner(const uint8_t* bytes, const SwfHeader& header, const ConversionOptions& options,
               bool toMp3)
        : m_bytes(bytes),
          m_header(header),
          m_options(options),
          m_toMp3(toMp3),
          m_timed(options.keepTiming && header.frameRate88 != 0) {}

    SwfSoundPlan Plan(const SwfSound& s) const;

  private:
    // The element's figures and how it is written; `decoded` receives what an MP3 element
    // decodes to (shaped, when it keeps its timing).
    void Event(const SwfSound& s, SwfSoundPlan& p, uint64_t& decoded) const;
    // The same for a stream; returns the sample frames its blocks claim (PCM the head's samples
    // per block for every block, empty ones too; MP3 the blocks' own counts; the others what
    // they hold): a stream that claims none gives no file.
    uint64_t Stream(const SwfSound& s, SwfSoundPlan& p, uint64_t& decoded) const;
    // Whether anything of a libavcodec format's sound decodes.
    bool Decodes(const SwfSound& s, const SwfSoundPlan& p) const;

    const uint8_t* m_bytes;
    const SwfHeader& m_header;
    const ConversionOptions& m_options;
    bool m_toMp3;
    bool m_timed;
};

SwfSoundPlan SwfPlanner::Plan(const SwfSound& s) const {
    SwfSoundPlan p;
    PlannedSound& sound = p.sound;
    sound.kind = s.IsStream() ? SoundKind::Stream : SoundKind::Event;
    sound.sprite = s.sprite;
    sound.characterId = s.characterId;
    sound.format = s.format;
    sound.skip = SkipOf(s, m_options);
    if (sound.skip == Failure::LibraryMissing) {
        sound.skipDetail = CCodecDecoder::LibraryError();
    }
    p.listed = !s.IsStream() || s.HasBlocks();
    // A stream is told of once it has sound; a head without samples per block is no stream.
    p.told = sound.skip != Failure::None && sound.skip != Failure::EmptyStreamHead && p.listed &&
             !(s.IsStream() && s.samplesPerBlock == 0);
    p.named = sound.skip == Failure::None;
    const SoundFormatInfo& info = FormatInfo(s.format);
    OutputItem& element = sound.element;
    const OutputFormat target = TargetFormat(s.format, m_toMp3, m_options);
    // A sound kept as it is coded (Speex in Ogg) is its own element; MP3 sound is first copied
    // into an MP3 file, the others decoded into a WAV file.
    element.SetFormat(target == OutputFormat::Ogg || target == OutputFormat::M4a ? target
                      : info.coding == SoundCoding::Mp3                       ? OutputFormat::Mp3
                                                                              : OutputFormat::Wav);
    element.sampleRate = info.movie.sampleRate != 0 ? info.movie.sampleRate : SoundRate(s.rateIndex);
    element.channels = info.movie.mono || !s.isStereo ? 1 : 2;
    element.bitsPerSample = s.is16Bit ? 16 : 8;
    if (info.coding == SoundCoding::Libav) {
        p.codecRate = element.sampleRate;
        p.codecChannels = element.channels;
    }
    // Skipped sounds are listed with their figures too.
    uint64_t decoded = 0;
    if (s.IsStream()) {
        // A stream whose blocks say they hold no samples leaves no file; its number is used.
        if (Stream(s, p, decoded) == 0 && sound.skip == Failure::None) {
            sound.skip = Failure::NoSamples;
        }
    } else {
        Event(s, p, decoded);
    }
    // A sound of which nothing decodes leaves no file either, and is told; its number is used.
    if (sound.skip == Failure::None && info.coding == SoundCoding::Libav &&
        element.format == OutputFormat::Wav && !Decodes(s, p)) {
        sound.skip = Failure::NothingDecoded;
        p.told = true;
    }
    // The output: the element, or what the encoder or the decoder makes of it.
    OutputItem& output = sound.output;
    output = element;
    output.SetFormat(target);
    if (target == OutputFormat::Mp3 && !element.isMp3) {
        output.sampleRate = CMp3Encoder::RateFor(element.sampleRate, element.channels);
    } else if (target != OutputFormat::Mp3 && element.isMp3) {
        output.bitsPerSample = 16;
        output.sampleCount = Clamp32(p.shaped ? ShapedFrames(p.shape, decoded) : decoded);
    }
    // Kept in its own coding: MP3 behind an Info frame that tells players what of its frames is
    // sound (an event's SeekSamples and its tag's count, a stream's latency and its blocks'
    // counts), Speex in Ogg.
    if (m_options.ownCoding && m_toMp3 &&
        (target == OutputFormat::Ogg || (target == OutputFormat::Mp3 && element.isMp3))) {
        p.muxed = true;
        MuxedSound& c = p.container;
        c.format = target;
        c.sampleRate = element.sampleRate;
        c.channels = element.channels;
        if (target == OutputFormat::Ogg) {
            c.config = SpeexHeaderFor(element.sampleRate, element.channels, 1);
        } else {
            c.bitRate = p.firstBitRate;
            c.skipStart =
                static_cast<uint64_t>(std::max<int16_t>(s.seekSamples, 0)) + kMp3DecoderDelay;
            const uint64_t heard = s.IsStream() ? p.soundFrames : s.sampleCount;
            c.skipEnd = element.sampleCount -
                        std::min<uint64_t>(element.sampleCount, c.skipStart + heard);
        }
    }
    return p;
}

void SwfPlanner::Event(const SwfSound& s, SwfSoundPlan& p, uint64_t& decoded) const {
    OutputItem& element = p.sound.element;
    const uint8_t* data = m_bytes + s.dataStart;
    const size_t size = s.dataEnd - s.dataStart;
    switch (FormatInfo(s.format).coding) {
        case SoundCoding::Pcm:
            element.sampleCount =
                Clamp32(size / (element.channels * (element.bitsPerSample / 8u)));
            break;
        case SoundCoding::Adpcm:
            // A count is a claim: never more than the tag's data can hold.
            element.sampleCount = CAdpcmDecoder::BoundSampleCount(s.sampleCount, size, s.isStereo);
            break;
        case SoundCoding::Mp3: {
            CMp3FrameCounter frames;
            frames.Add(data, size);
            if (frames.Found()) {
                element.sampleRate = frames.First().sampleRate;
                element.channels = frames.First().channels;
                p.firstBitRate = frames.First().bitRate;
            }
            // What the file holds: its frames, whatever the tag claims.
            element.sampleCount = Clamp32(frames.Samples());
            decoded = frames.DecodedSamples();
            if (m_options.keepTiming) {
                // As WAV it starts where its samples do, after the latency the encoder left
                // and the decoder's own delay, and lasts as long as the tag says: a count is a
                // claim, kept no further than a frame past what the frames hold, so that a
                // lying one cannot make gigabytes of silence.
                p.shaped = true;
                p.shape.skip =
                    static_cast<uint64_t>(std::max<int16_t>(s.seekSamples, 0)) + kMp3DecoderDelay;
                const uint64_t held = decoded - std::min(decoded, p.shape.skip);
                const uint64_t frame = frames.Found() ? frames.First().samplesPerFrame : 1152;
                p.shape.keep = std::min<uint64_t>(s.sampleCount, held + frame);
            }
            break;
        }
        case SoundCoding::Libav:
            element.sampleCount =
                Clamp32(CodecDataFrames(data, size, s.format, element.channels, true));
            break;
        case SoundCoding::None:
            break;
    }
}

uint64_t SwfPlanner::Stream(const SwfSound& s, SwfSoundPlan& p, uint64_t& decoded) const {
    OutputItem& element = p.sound.element;
    const SoundCoding coding = FormatInfo(s.format).coding;
    uint64_t bytes = 0;   // PCM: the blocks' bytes and the silences' in one run
    uint64_t frames = 0;  // the others
    uint64_t claimed = 0;
    uint64_t counted = 0;  // MP3: the blocks' own counts so far, where a silence goes
    CMp3FrameCounter mp3;
    // An MP3 stream's gaps are counted in the rate of its first frame, which its silent frames
    // are shaped like: the first frame found in a block of its own.
    Mp3FrameHeader first;
    if (coding == SoundCoding::Mp3) {
        for (size_t i = 0; i < s.blocks.size(); ++i) {
            const SwfStreamBlock& b = s.blocks[i];
            if (b.size > 4) {
                CMp3FrameCounter probe;
                probe.Add(m_bytes + b.start + 4, b.size - 4);
                if (probe.Found()) {
                    first = probe.First();
                    p.modelBlock = i;
                    p.modelOffset = static_cast<size_t>(probe.FirstOffset());
                    break;
                }
            }
        }
    }
    CMp3GapFrames gapFrames;
    const size_t frameBytes = size_t{element.channels} * (element.bitsPerSample / 8u);
    p.timing = {m_timed, coding == SoundCoding::Mp3 ? first.sampleRate : element.sampleRate,
                m_header.frameRate88};
    // An MP3 target's silent frames, shaped like the stream's first frame; owed until they can go
    // in between two of the stream's frames.
    std::vector<uint8_t> silentFrame;
    if (m_timed && m_toMp3 && p.modelBlock < s.blocks.size()) {
        const SwfStreamBlock& model = s.blocks[p.modelBlock];
        silentFrame = SilentMp3Frame(m_bytes + model.start + 4 + p.modelOffset,
                                     model.size - 4 - p.modelOffset);
    }
    uint64_t owed = 0;
    if (m_timed && coding == SoundCoding::Mp3) {
        // As WAV: the head's latency seek and the decoder's delay are gone, the gaps exact.
        p.shaped = !m_toMp3;
        p.shape.skip =
            static_cast<uint64_t>(std::max<int16_t>(s.seekSamples, 0)) + kMp3DecoderDelay;
    }
    ForEachStreamBlock(
        s, p.timing, [&](const SwfStreamBlock& b) { return StreamBlockFrames(m_bytes, s, b); },
        [&](uint64_t gap) {
            if (coding == SoundCoding::Pcm) {
                bytes += gap * frameBytes;
                claimed += gap;
            } else if (coding == SoundCoding::Mp3 && first.samplesPerFrame != 0) {
                if (m_toMp3) {
                    // Whole silent frames in the element.
                    const uint64_t silent = gapFrames.For(gap, first.samplesPerFrame);
                    owed += silent;
                    claimed += silent * first.samplesPerFrame;
                } else {
                    p.shape.silences.push_back({counted, gap});  // put in exactly when decoded
                }
            } else if (coding != SoundCoding::Mp3) {
                frames += gap;
            }
        },
        [&](const SwfStreamBlock& b) {
            const uint8_t* data = m_bytes + b.start;
            switch (coding) {
                case SoundCoding::Pcm:
                    bytes += b.size;
                    claimed += s.samplesPerBlock;
                    break;
                case SoundCoding::Adpcm:
                    frames +=
                        CAdpcmDecoder::BoundSampleCount(s.samplesPerBlock, b.size, s.isStereo);
                    break;
                case SoundCoding::Mp3:
                    // A block too short for its sample count and seek fields holds no frames.
                    if (b.size >= 4) {
                        const uint8_t* held = data + 4;
                        const size_t size = b.size - 4;
                        size_t at = 0;
                        // Silent frames go in between two frames: the frame in hand ends first.
                        while (owed > 0 && !mp3.AtFrameBoundary() && at < size) {
                            const size_t take = mp3.BytesToBoundary(size - at);
                            mp3.Add(held + at, take);
                            at += take;
                        }
                        if (owed > 0 && mp3.AtFrameBoundary() && !silentFrame.empty()) {
                            p.silentFrames.push_back(
                                {static_cast<size_t>(&b - s.blocks.data()), at, owed});
                            for (; owed > 0; --owed) {
                                mp3.Add(silentFrame.data(), silentFrame.size());
                            }
                        }
                        mp3.Add(held + at, size - at);
                        claimed += Mp3BlockCount(m_bytes, b);
                        counted += Mp3BlockCount(m_bytes, b);
                    }
                    break;
                case SoundCoding::Libav:
                    frames += CodecDataFrames(data, b.size, s.format, element.channels, true);
                    break;
                case SoundCoding::None:
                    break;
            }
        });
    if (coding == SoundCoding::Pcm) {
        element.sampleCount = Clamp32(frameBytes == 0 ? 0 : bytes / frameBytes);
        return claimed + uint64_t{s.samplesPerBlock} * s.emptyBlocks;
    }
    if (coding != SoundCoding::Mp3) {
        element.sampleCount = Clamp32(frames);
        return frames;
    }
    if (mp3.Found()) {
        element.sampleRate = mp3.First().sampleRate;
        element.channels = mp3.First().channels;
        p.firstBitRate = mp3.First().bitRate;
    }
    p.soundFrames = claimed;  // its blocks' own counts, and the silent frames between them
    // What the element holds: the blocks' frames and the silent frames between them.
    element.sampleCount = Clamp32(mp3.Samples());
    decoded = mp3.DecodedSamples();
    return claimed;
}

bool SwfPlanner::Decodes(const SwfSound& s, const SwfSoundPlan& p) const {
    // Packets go to a decoder until the first samples come out: a sound that decodes stops at
    // its first packet, one that never does is read through once.
    bool decodes = false;
    CCodecSound probe([&decodes](CFile&) {
        decodes = true;
        return std::string();  // no file: the sound ends at its first samples
    });
    if (!probe.Open(s.format, p.codecRate, p.codecChannels)) {
        return false;
    }
    if (!s.IsStream()) {
        probe.AddMovieData(m_bytes + s.dataStart, s.dataEnd - s.dataStart);
    }
    for (const SwfStreamBlock& b : s.blocks) {
        if (decodes || !probe.AddMovieData(m_bytes + b.start, b.size)) {
            break;
        }
    }
    if (!decodes) {
        probe.Finish();
    }
    return decodes;
}

}  // namespace

std::string CSwfNaming::Element(const SwfSound& s, std::string_view ext) {
    std::string name;
    if (m_useLinkage) {
        // A stream takes the name of the sprite it plays in.
        name = s.IsStream() ? (s.sprite >= 0 ? m_linkage.NameOf(static_cast<uint16_t>(s.sprite))
                                             : std::string())
                            : m_linkage.NameOf(s.characterId);
    }
    if (!name.empty() && !m_names.Base().empty()) {
        // The whole file name, movie's name + "_" + name + "_N" + extension, must fit the file
        // system's 255 bytes; where nothing of the name fits, the sound keeps its number.
        const size_t used = FileNamePart(m_names.Base()).size() + 1 + ext.size() + kNumberRoom;
        const std::string fitted = FileNameOf(WithoutAudioExtension(name),
                                              used < kMostFileName ? kMostFileName - used : 0);
        if (!fitted.empty()) {
            m_names.SkipNumber();  // numbers keep counting every sound, named or not
            return m_names.Plain(m_names.Base() + "_" + fitted, ext);
        }
    }
    return m_names.Numbered(ext);
}

uint64_t CMp3GapFrames::For(uint64_t gapSampleFrames, uint32_t samplesPerFrame) {
    m_owed += static_cast<int64_t>(gapSampleFrames);
    uint64_t frames = 0;
    const auto spf = static_cast<int64_t>(samplesPerFrame);
    for (; spf > 0 && m_owed * 2 >= spf; m_owed -= spf) {
        ++frames;
    }
    return frames;
}

void ForEachStreamBlock(const SwfSound& sound, const StreamTiming& timing,
                        const std::function<uint64_t(const SwfStreamBlock&)>& blockFrames,
                        const std::function<void(uint64_t silentFrames)>& gap,
                        const std::function<void(const SwfStreamBlock&)>& block) {
    uint64_t nextFrame = 0;  // of the timeline after the head, the first not yet given
    uint64_t played = 0;     // sample frames so far, silences included
    for (const SwfStreamBlock& b : sound.blocks) {
        const uint64_t frame = b.frame >= sound.headFrame ? b.frame - sound.headFrame : 0;
        if (timing.timed && frame > nextFrame) {
            const uint64_t due = SamplesAtFrame(frame, timing.sampleRate, timing.frameRate88);
            if (due > played) {
                gap(due - played);
                played = due;
            }
        }
        nextFrame = std::max(nextFrame, frame + 1);
        block(b);
        if (timing.timed) {
            played += blockFrames(b);
        }
    }
}

uint64_t StreamBlockFrames(const uint8_t* bytes, const SwfSound& s, const SwfStreamBlock& b) {
    const SoundFormatInfo& info = FormatInfo(s.format);
    const uint16_t channels = info.movie.mono || !s.isStereo ? 1 : 2;
    switch (info.coding) {
        case SoundCoding::Pcm:
            return b.size / (size_t{channels} * (s.is16Bit ? 2u : 1u));
        case SoundCoding::Adpcm:
            return CAdpcmDecoder::BoundSampleCount(s.samplesPerBlock, b.size, s.isStereo);
        case SoundCoding::Mp3:
            return Mp3BlockCount(bytes, b);
        case SoundCoding::Libav:
            return CodecDataFrames(bytes + b.start, b.size, s.format, channels, true);
        case SoundCoding::None:
            break;
    }
    return 0;
}

uint16_t Mp3BlockCount(const uint8_t* bytes, const SwfStreamBlock& block) {
    return block.size < 4 ? 0 : LoadLe16(bytes + block.start);
}

SwfPlan PlanSwf(const SwfRecords& records, const uint8_t* bytes, const SwfHeader& header,
                const ConversionOptions& options, bool toMp3, const std::string& outputBase,
                uint64_t mostOutputs, const std::string& album) {
    SwfPlan plan;
    plan.toMp3 = toMp3;
    const SwfPlanner planner(bytes, header, options, toMp3);
    uint64_t given = 0;  // outputs so far, in tag order
    for (const SwfSound& s : records.sounds) {
        SwfSoundPlan p = planner.Plan(s);
        if (p.sound.skip == Failure::None && ++given > mostOutputs) {
            p.sound.skip = Failure::TooManyOutputs;
            p.named = false;
            p.told = p.listed;
        }
        if (!s.IsStream() || s.sprite >= 0) {
            p.sound.names = records.names.AllNamesOf(
                s.IsStream() ? static_cast<uint16_t>(s.sprite) : s.characterId);
        }
        plan.sounds.push_back(std::move(p));
    }
    // The names: every element in tag order (a number is used by every sound named, output or
    // not), then each output brought to the target's form in list order, then a single
    // output's "_001" dropped.
    COutputNames names(outputBase);
    CSwfNaming naming(names, records.names, options.linkageNames);
    for (size_t i = 0; i < records.sounds.size(); ++i) {
        PlannedSound& sound = plan.sounds[i].sound;
        if (plan.sounds[i].named) {
            const std::string path =
                naming.Element(records.sounds[i], OutputExtension(sound.element.format));
            if (sound.Converted()) {
                sound.element.path = path;
            }
        }
    }
    PlannedSound* single = nullptr;
    size_t outputs = 0;
    for (const size_t i : records.completed) {
        PlannedSound& sound = plan.sounds[i].sound;
        if (!sound.element.path.empty()) {
            sound.output.path =
                sound.Transcoded()
                    ? names.Renamed(sound.element.path, OutputExtension(sound.output.format))
                    : sound.element.path;
        }
        if (!sound.output.path.empty()) {
            single = &sound;
            ++outputs;
        }
    }
    if (outputs == 1) {
        single->output.path = names.WithoutSingleNumber(single->output.path);
    }
    // Tags: the title is the sound's linkage name (named so), else its output's name.
    for (size_t i = 0; i < records.sounds.size(); ++i) {
        SwfSoundPlan& p = plan.sounds[i];
        const SwfSound& s = records.sounds[i];
        const std::string linkage =
            !options.linkageNames                ? std::string()
            : !s.IsStream()                      ? records.names.NameOf(s.characterId)
            : s.sprite >= 0                      ? records.names.NameOf(static_cast<uint16_t>(s.sprite))
                                                 : std::string();
        const std::string& path = p.sound.output.path;
        const std::string stem = FileNamePart(path.substr(0, path.size() - ExtensionPart(path).size()));
        p.tags = {linkage.empty() ? stem : linkage, album};
        p.container.tags = p.tags;
    }
    for (const size_t i : records.completed) {
        if (plan.sounds[i].listed) {
            plan.list.sounds.push_back(plan.sounds[i].sound);
        }
    }
    return plan;
}

}  // namespace kelvora
