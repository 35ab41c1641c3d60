// What a movie holds, by name and in time: the listing, linkage names, streams that keep their
// timeline's silences, and MP3 sound that loses its latency on its way into WAV.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/Mp3Frame.h"
#include "audio/TranscodeWavToMp3.h"
#include "convert/SoundInventory.h"
#include "engine/File.h"
#include "engine/PathUtil.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;

std::vector<int16_t> WavSamples(const std::string& path) {
    return Samples16(ReadFileBytes(path));
}

// The sample frames at 11025 Hz from the start of a 12 fps timeline to its frame `k`.
uint64_t At(uint64_t k) {
    return k * 11025 / 12;
}

// A stream of 30 frames at 12 fps: blocks in frames 0-9 and 20-29, none in 10-19. `block`
// makes the block of frame k.
Bytes GappyStream(const Bytes& head, const std::function<Bytes(uint64_t)>& block) {
    Bytes tags = head;
    for (uint64_t k = 0; k < 30; ++k) {
        if (k < 10 || k >= 20) {
            tags = Concat({tags, block(k)});
        }
        tags = Concat({tags, ShowFrame()});
    }
    return tags;
}

struct Extracted {
    bool ok = false;
    std::vector<OutputItem> elements;
};

Extracted Convert(const TempDir& dir, const Bytes& tags, const ConversionOptions& options,
                  bool toMp3) {
    SwfMovie movie;
    movie.tags = Concat({tags, SwfEndTag()});
    const std::string path = dir.File("clip.swf");
    EXPECT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
    CSwfReader reader;
    reader.SetOptions(options);
    Extracted out;
    out.ok = reader.Convert(path, toMp3);
    out.elements = reader.Elements();
    return out;
}

TEST(SwfTiming, StreamsKeepTheSilencesOfTheirTimelineSampleExact) {
    const ConversionOptions timed{.keepTiming = true};
    // PCM: each block holds exactly its frame's share of the running total.
    const auto pcmBlock = [](uint64_t k) {
        return SoundStreamBlock(Pcm16(std::vector<int16_t>(At(k + 1) - At(k), 1000)));
    };
    const Bytes pcm = GappyStream(SoundStreamHead(3, 1, true, false, 919), pcmBlock);
    for (const bool keep : {false, true}) {
        TempDir dir;
        const Extracted got = Convert(dir, pcm, keep ? timed : ConversionOptions{}, false);
        ASSERT_TRUE(got.ok);
        ASSERT_EQ(got.elements.size(), 1u);
        const std::vector<int16_t> samples = WavSamples(got.elements[0].path);
        const uint64_t sound = At(10) + (At(30) - At(20));
        ASSERT_EQ(samples.size(), keep ? At(30) : sound);
        if (keep) {
            EXPECT_EQ(got.elements[0].sampleCount, At(30));  // what the file holds
            for (uint64_t i : {uint64_t{0}, At(10) - 1, At(20), At(30) - 1}) {
                EXPECT_EQ(samples[i], 1000) << i;
            }
            EXPECT_TRUE(std::all_of(samples.begin() + At(10), samples.begin() + At(20),
                                    [](int16_t v) { return v == 0; }));
        }
    }

    // MP3 at 11025 Hz (576 sample frames a frame), two frames a block: more than a frame of the
    // timeline holds, so the stream runs ahead of its frames and the gap is what is left of the
    // frames without a block once the sound so far has played. To MP3 the frames stay untouched
    // and the gap becomes whole silent frames; to WAV the gap is exact.
    const Bytes mp3 = Mp3Of(576 * 40, 1, 11025);
    const std::vector<Bytes> frames = Mp3FramesOf(mp3);
    ASSERT_EQ(Concat(frames), mp3);  // every byte in a frame
    size_t next = 0;
    const auto mp3Block = [&](uint64_t) {
        const Bytes two =
            Concat({frames.at(next % frames.size()), frames.at((next + 1) % frames.size())});
        next += 2;
        return Mp3StreamBlock(1152, 0, two);
    };
    const Bytes stream = GappyStream(SoundStreamHead(2, 1, true, false, 1152), mp3Block);
    TempDir dir;
    Extracted got = Convert(dir, stream, timed, true);
    ASSERT_TRUE(got.ok);
    const Bytes written = ReadFileBytes(got.elements.at(0).path);
    const uint64_t gap = At(20) - 10 * 1152;  // the first ten blocks end there
    const uint64_t silentFrames = (gap + 288) / 576;
    EXPECT_EQ(ScanMp3Frames(written).frames, 40u + silentFrames);
    Bytes firstHalf;
    for (size_t i = 0; i < 20; ++i) {
        firstHalf = Concat({firstHalf, frames[i]});
    }
    EXPECT_TRUE(std::equal(firstHalf.begin(), firstHalf.end(), written.begin()));
    EXPECT_EQ(got.elements[0].sampleCount, 40u * 576 + silentFrames * 576);

    TempDir wavDir;
    next = 0;
    got = Convert(wavDir, GappyStream(SoundStreamHead(2, 1, true, false, 1152), mp3Block), timed,
                  false);
    ASSERT_TRUE(got.ok);
    const std::vector<int16_t> decoded = WavSamples(got.elements.at(0).path);
    // The decoder's delay is gone from the start, so the first half's sound ends where its
    // samples do, and the gap follows it.
    EXPECT_EQ(decoded.size(), 40u * 576 - kMp3DecoderDelay + gap);
    const size_t gapStart = 20 * 576;
    EXPECT_TRUE(std::all_of(decoded.begin() + gapStart, decoded.begin() + gapStart + gap,
                            [](int16_t v) { return v == 0; }));
    EXPECT_NE(decoded[gapStart - 1], 0);

    // A last block of nothing but its count and seek fields, after a gap: the stream is written
    // whole all the same, here and in a real movie.
    for (const bool toMp3 : {true, false}) {
        TempDir lastDir;
        next = 0;
        got = Convert(lastDir,
                      Concat({GappyStream(SoundStreamHead(2, 1, true, false, 1152), mp3Block),
                              ShowFrame(), Mp3StreamBlock(0, 0, {})}),
                      timed, toMp3);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.elements.size(), 1u) << toMp3;
    }
    KELVORA_REQUIRE_CORPUS();
    for (const bool toMp3 : {true, false}) {
        TempDir corpusDir;
        CSwfReader reader;
        reader.SetOptions(timed);
        ASSERT_TRUE(
            reader.Convert(LinkCorpusFile("jpexs_test_sounds.swf", corpusDir.path()), toMp3));
        EXPECT_EQ(reader.Elements().size(), 2u) << toMp3;
        EXPECT_EQ(reader.Report().lostCount, 0u);
    }
}

TEST(SwfTiming, AStreamAheadOfItsFramesPlaysOnWithoutBreaks) {
    // As ffmpeg's muxer writes a stream: at 60 fps and 44.1 kHz a block of one MPEG-1 frame (1152
    // sample frames, more than the 735 of a movie frame) goes into a frame only when the sound so
    // far ends within it, so a third of the frames have none, though the stream never falls
    // behind its frames: nothing of the timeline is silence.
    const Bytes mp3 = Mp3Of(1152 * 160, 1, 44100);
    const std::vector<Bytes> frames = Mp3FramesOf(mp3);
    ASSERT_EQ(Concat(frames), mp3);  // every byte in a frame
    Bytes tags = SoundStreamHead(2, 3, true, false, 735);
    size_t blocks = 0;
    for (uint64_t frame = 0; frame < 240; ++frame) {
        if (blocks * 1152 < (frame + 1) * 735) {
            tags = Concat({tags, Mp3StreamBlock(1152, 0, frames.at(blocks++))});
        }
        tags = Concat({tags, ShowFrame()});
    }
    ASSERT_EQ(blocks, 154u);
    SwfMovie movie;
    movie.frameRate88 = 60 << 8;
    movie.tags = Concat({tags, SwfEndTag()});
    const ConversionOptions timed{.keepTiming = true};
    for (const bool toMp3 : {true, false}) {
        TempDir dir;
        const std::string path = dir.File("clip.swf");
        ASSERT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
        const FileListing listing = ListSounds(path, timed, toMp3);
        CSwfReader reader;
        reader.SetOptions(timed);
        ASSERT_TRUE(reader.Convert(path, toMp3));
        ASSERT_EQ(reader.Elements().size(), 1u);
        const OutputItem& out = reader.Elements()[0];
        if (toMp3) {
            EXPECT_EQ(ScanMp3Frames(ReadFileBytes(out.path)).frames, 154u);
            EXPECT_EQ(out.sampleCount, 154u * 1152);
        } else {
            EXPECT_EQ(WavSamples(out.path).size(), out.sampleCount);
            EXPECT_EQ(out.sampleCount, 154u * 1152 - kMp3DecoderDelay);
        }
        ASSERT_EQ(listing.sounds.size(), 1u);
        EXPECT_EQ(listing.sounds[0].output.sampleCount, out.sampleCount) << toMp3;
    }
}

TEST(SwfTiming, Mp3EventSoundsLoseTheirLatencyOnTheWayToWav) {
    // Noise encoded by LAME, whose encoder delay is 576 sample frames, recorded as SeekSamples.
    constexpr uint32_t kFrames = 44100;
    const Bytes noise = Noise(kFrames * 2, 9);
    TempDir dir;
    WavSpec spec;
    spec.channels = 1;
    spec.sampleRate = 44100;
    spec.data = noise;
    ASSERT_TRUE(WriteFileBytes(dir.File("in.wav"), BuildWav(spec)));
    const std::vector<int16_t> pcm = Samples16(ReadFileBytes(dir.File("in.wav")));
    ASSERT_EQ(pcm.size(), kFrames);
    ASSERT_TRUE(TranscodeWavToMp3(dir.File("in.wav"), dir.File("in.mp3"), nullptr, nullptr));
    const Bytes mp3 = ReadFileBytes(dir.File("in.mp3"));
    const Bytes tags = DefineSound(1, 2, 3, true, false, kFrames, mp3, 576);
    for (const bool keep : {false, true}) {
        const Extracted got = Convert(dir, tags, ConversionOptions{.keepTiming = keep}, false);
        ASSERT_TRUE(got.ok);
        const std::vector<int16_t> wav = WavSamples(got.elements.at(0).path);
        RemoveFile(got.elements[0].path);
        // Where the original lines up best, within 1200 sample frames either way.
        int best = 0;
        double bestError = 1e300;
        for (int offset = -1200; offset <= 1200; ++offset) {
            double error = 0;
            for (size_t i = 2000; i < 6000; ++i) {
                const double d = double(pcm[i]) - double(wav.at(i + offset));
                error += d * d;
            }
            if (error < bestError) {
                bestError = error;
                best = offset;
            }
        }
        if (keep) {
            EXPECT_LE(std::abs(best), 2);
            EXPECT_EQ(wav.size(), kFrames);
        } else {
            EXPECT_EQ(best, 576 + int(kMp3DecoderDelay));
        }
    }
    // A count that claims far more than the frames hold is kept no further than a frame past
    // them, in the file and in the listing.
    const Bytes lying = DefineSound(1, 2, 3, true, false, 4000000, mp3, 576);
    const Extracted got = Convert(dir, lying, ConversionOptions{.keepTiming = true}, false);
    ASSERT_TRUE(got.ok);
    const size_t held = WavSamples(got.elements.at(0).path).size();
    EXPECT_GT(held, kFrames);
    EXPECT_LE(held, kFrames + 1152 + 1152);
    EXPECT_EQ(got.elements[0].sampleCount, held);
    RemoveFile(got.elements[0].path);
    CSwfReader listing;
    listing.SetOptions(ConversionOptions{.keepTiming = true});
    ASSERT_TRUE(listing.Plan(dir.File("clip.swf"), false));
    EXPECT_EQ(listing.Planned().sounds.at(0).output.sampleCount, held);
}

TEST(SwfNames, SoundsTakeTheirLinkageNamesAndTheOthersKeepTheirNumbers) {
    const Bytes pcm = Pcm16(Tone(500, 1, 22050));
    const auto sound = [&](uint16_t id) { return DefineSound(id, 3, 2, true, false, 500, pcm); };
    const Bytes sprite = DefineSprite(
        10, 1, Concat({SoundStreamHead(3, 2, true, false, 250), SoundStreamBlock(pcm)}));
    const Bytes tags =
        Concat({LinkageTag(56, {{1, "Explosion"}}), sound(1), sound(2), sound(3), sound(4), sprite,
                sound(5),
                LinkageTag(76, {{3, "sfx/Door"}, {5, "Explosion"}, {2, "sndRollOver.mp3"},
                                {4, "sndHurt5.WAV"}}),
                LinkageTag(56, {{10, "Music"}})});
    for (const bool linkage : {false, true}) {
        TempDir dir;
        const Extracted got = Convert(dir, tags, ConversionOptions{.linkageNames = linkage}, false);
        ASSERT_TRUE(got.ok);
        std::vector<std::string> names;
        for (const OutputItem& e : got.elements) {
            names.push_back(FileNamePart(e.path));
        }
        // A name that is an audio file's name loses its extension.
        const std::vector<std::string> named = {
            "clip_Explosion.wav", "clip_sndRollOver.wav", "clip_sfx_Door.wav",
            "clip_sndHurt5.wav",  "clip_Music.wav",       "clip_Explosion_1.wav"};
        const std::vector<std::string> numbered = {"clip_001.wav", "clip_002.wav", "clip_003.wav",
                                                   "clip_004.wav", "clip_005.wav", "clip_006.wav"};
        EXPECT_EQ(names, linkage ? named : numbered);
        // The listing tells the same names before anything is written.
        for (const OutputItem& e : got.elements) {
            RemoveFile(e.path);
        }
        const FileListing listing =
            ListSounds(dir.File("clip.swf"), ConversionOptions{.linkageNames = linkage}, false);
        ASSERT_EQ(listing.sounds.size(), names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(OutputNameText(listing.sounds[i]) + ".wav", names[i]);
        }
        EXPECT_EQ(listing.sounds[2].names, std::vector<std::string>{"sfx/Door"});
        EXPECT_EQ(TimelineText(listing.sounds[4]), "sprite 10");
        EXPECT_EQ(listing.sounds[4].names, std::vector<std::string>{"Music"});
    }
}

// The listing of every corpus movie agrees with the independent walker's table, and names what
// a conversion then writes.
TEST(SwfInventory, ListingsAgreeWithTheCorpusAndWithWhatIsWritten) {
    KELVORA_REQUIRE_CORPUS();
    std::map<std::string, std::vector<std::map<std::string, std::string>>> sounds;
    for (auto& row : ReadTsv(CorpusDir() + "/SOUNDS.tsv")) {
        if (row["container"] == "SWF" && (row["kind"] == "event" || row["blocks"] != "0")) {
            sounds[row["file"]].push_back(row);
        }
    }
    int movies = 0;
    for (auto& movie : ReadTsv(CorpusDir() + "/MANIFEST.tsv")) {
        const std::string& name = movie["file"];
        if (movie["container"] != "SWF" || movie["expected"].rfind("refused", 0) == 0) {
            continue;
        }
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string path = LinkCorpusFile(name, dir.path());
        const FileListing listing = ListSounds(path, {}, true);
        ASSERT_TRUE(listing.read);
        auto& want = sounds[name];
        std::sort(want.begin(), want.end(),
                  [](auto& a, auto& b) { return std::stoi(a["index"]) < std::stoi(b["index"]); });
        ASSERT_EQ(listing.sounds.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            const PlannedSound& got = listing.sounds[i];
            EXPECT_EQ(KindText(got), want[i]["kind"]);
            std::string where = TimelineText(got);
            where.erase(std::remove(where.begin(), where.end(), ' '), where.end());
            EXPECT_EQ(where, want[i]["where"]);
            EXPECT_EQ(CharacterIdText(got), want[i]["id"].empty() ? "-" : want[i]["id"]);
            // As the output will have it: LAME takes no 5512 Hz and encodes such sound at 8000.
            EXPECT_EQ(got.output.sampleRate, want[i]["rate"] == "5512" && got.Converted()
                                                 ? 8000u
                                                 : std::stoul(want[i]["rate"]));
            EXPECT_EQ(std::to_string(got.output.channels), want[i]["channels"]);
            EXPECT_EQ(got.Converted(), want[i]["extractable"] == "yes");
        }
        // The names listed are those the conversion writes, in its order; the lengths those of
        // the sounds as they come out of the movie.
        std::vector<std::string> listed, written;
        std::vector<uint64_t> listedFrames, extractedFrames;
        for (const PlannedSound& s : listing.sounds) {
            if (s.Converted()) {
                listed.push_back(OutputNameText(s));
                listedFrames.push_back(s.output.sampleCount);
            }
        }
        CSwfReader reader;
        ASSERT_TRUE(reader.ExtractElements(path));
        for (const OutputItem& e : reader.Elements()) {
            extractedFrames.push_back(e.sampleCount);
            RemoveFile(e.path);
        }
        ASSERT_TRUE(reader.Convert(path, true));
        for (const OutputItem& e : reader.Elements()) {
            written.push_back(FileNamePart(e.path.substr(0, e.path.size() - 4)));
        }
        EXPECT_EQ(listed, written);
        EXPECT_EQ(listedFrames, extractedFrames);
        ++movies;
    }
    EXPECT_GE(movies, 45);
}

}  // namespace
}  // namespace kelvora
