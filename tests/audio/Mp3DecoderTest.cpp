#include "audio/CMp3Decoder.h"
#include "audio/Mp3Frame.h"

#include <gtest/gtest.h>
#include <lame/lame.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "audio/TranscodeMp3ToWav.h"
#include "audio/WavFile.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"

namespace kelvora {
namespace {

using namespace test;

// Made by the lame program and ffmpeg; see tests/data/mp3/README.md.
std::string Vector(const std::string& name) {
    return TestDataDir() + "/mp3/" + name;
}

struct Pcm {
    uint16_t channels = 0;
    uint32_t rate = 0;
    std::vector<int16_t> samples;  // interleaved
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
};

Pcm ReadWav(const std::string& path) {
    Pcm pcm;
    CWavReader reader;
    if (!reader.Open(path) || reader.BitsPerSample() != 16) {
        ADD_FAILURE() << "cannot read " << path;
        return pcm;
    }
    pcm.channels = reader.Channels();
    pcm.rate = reader.SampleRate();
    int16_t left[kChunkFrames], right[kChunkFrames];
    uint32_t count = 0;
    bool end = false;
    while (reader.ReadChunk(left, right, count, end) && !end) {
        for (uint32_t i = 0; i < count; ++i) {
            pcm.samples.push_back(left[i]);
            if (pcm.channels == 2) {
                pcm.samples.push_back(right[i]);
            }
        }
    }
    return pcm;
}

Pcm Transcode(const std::string& mp3, const TempDir& dir) {
    const std::string wav = dir.File("out.wav");
    EXPECT_TRUE(TranscodeMp3ToWav(mp3, wav)) << mp3;
    Pcm pcm = ReadWav(wav);
    RemoveFile(wav);
    return pcm;
}

Bytes Repeated(const Bytes& unit, size_t size) {
    Bytes out;
    while (out.size() < size) {
        out.insert(out.end(), unit.begin(), unit.end());
    }
    out.resize(size);
    return out;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

TEST(Mp3Decoder, GivesTheLameProgramsSamplesWithItsDelayAndPaddingLeftIn) {
    TempDir dir;
    const auto rows = ReadTsv(Vector("lame_decode.tsv"));
    ASSERT_EQ(rows.size(), 7u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.at("file"));
        const std::string base = row.at("file").substr(0, row.at("file").size() - 4);
        const Pcm ours = Transcode(Vector(row.at("file")), dir);
        const Pcm lame = ReadWav(Vector(base + ".lame.wav"));
        ASSERT_GT(lame.Frames(), 0u);
        EXPECT_EQ(ours.channels, lame.channels);
        EXPECT_EQ(ours.rate, lame.rate);

        // The lame program drops the decoder's delay of 529 samples, and with an Info header
        // also the encoder's delay at the start and its padding less 529 at the end.
        CMp3Decoder d;
        ASSERT_TRUE(d.Open(Vector(row.at("file"))));
        const size_t skipStart = std::stoul(row.at("skip_start"));
        const size_t skipEnd = std::stoul(row.at("skip_end"));
        if (d.EncoderDelay() >= 0) {
            EXPECT_EQ(skipStart, 529u + d.EncoderDelay());
            EXPECT_EQ(skipEnd, d.EncoderPadding() - 529u);
            EXPECT_EQ(d.TotalSamples(), ours.Frames());  // the header's count, not an estimate
        } else {
            EXPECT_EQ(skipStart, 529u);
            EXPECT_EQ(skipEnd, 0u);
        }
        ASSERT_EQ(ours.Frames(), skipStart + lame.Frames() + skipEnd);
        const std::vector<int16_t> middle(ours.samples.begin() + skipStart * ours.channels,
                                          ours.samples.end() - skipEnd * ours.channels);
        EXPECT_TRUE(middle == lame.samples);
    }
}

// The sample frames LAME's decoder gives for `frames`, handed to it one frame at a time and each
// decoded to the end.
size_t LibrarySamples(const std::vector<Bytes>& frames) {
    hip_t hip = hip_decode_init();
    std::vector<short> left(1152 * 8), right(1152 * 8);
    mp3data_struct header{};
    size_t total = 0;
    for (Bytes frame : frames) {
        for (int got = hip_decode1_headers(hip, frame.data(), frame.size(), left.data(),
                                           right.data(), &header);
             got > 0; got = hip_decode1_headers(hip, nullptr, 0, left.data(), right.data(),
                                                &header)) {
            total += static_cast<size_t>(got);
        }
    }
    hip_decode_exit(hip);
    return total;
}

// The decoder gives all the library decodes, and what a plan counts for MP3 sound is that,
// however the bytes come in pieces: an Info frame gives nothing, nor does a frame whose bit
// reservoir reaches back before the first frame (a sound cut after its first frame). Cut
// deeper, a frame decodes from whatever the reservoir holds and the count may differ (the
// report then says so): there only the decoder is held to the library.
TEST(Mp3Decoder, TheFrameCounterTellsWhatTheDecoderGivesInPiecesOfAnySize) {
    TempDir dir;
    // (Free-format frames carry no length: the frame walk never takes them.)
    for (const char* name : {"m11_16_notag", "m22_32", "m44_64_notag", "s44_128_info",
                             "s44_128_notag", "s48_vbr_ffmpeg"}) {
        const Bytes whole = ReadFileBytes(Vector(std::string(name) + ".mp3"));
        const std::vector<Bytes> frames = Mp3FramesOf(whole);
        ASSERT_GT(frames.size(), 4u) << name;
        for (size_t cut = 0; cut < 3; ++cut) {
            SCOPED_TRACE(std::string(name) + " from frame " + std::to_string(cut));
            const std::vector<Bytes> kept(frames.begin() + cut, frames.end());
            const Bytes mp3 = Concat(kept);
            ASSERT_TRUE(WriteFileBytes(dir.File("cut.mp3"), mp3));
            const size_t decoded = Transcode(dir.File("cut.mp3"), dir).Frames();
            EXPECT_EQ(decoded, LibrarySamples(kept));
            if (cut == 2) {
                continue;
            }
            for (size_t piece : {size_t{1}, size_t{3}, size_t{418}, size_t{1441}, mp3.size()}) {
                CMp3FrameCounter counter;
                for (size_t at = 0; at < mp3.size(); at += piece) {
                    counter.Add(mp3.data() + at, std::min(piece, mp3.size() - at));
                }
                EXPECT_EQ(counter.Frames(), kept.size()) << piece;
                EXPECT_EQ(counter.DecodedSamples(), decoded) << piece;
            }
        }
    }
}

TEST(Mp3Decoder, SkipsTagsAndJunkInFrontOfTheFirstFrame) {
    TempDir dir;
    const Bytes stream = ReadFileBytes(Vector("s44_128_notag.mp3"));
    const Pcm bare = Transcode(Vector("s44_128_notag.mp3"), dir);
    // Frames of another stream inside a tag would be taken if the tag were not skipped.
    const Bytes other = ReadFileBytes(Vector("m22_32.mp3"));
    const Bytes decoy(other.begin(), other.begin() + 1000);
    const Bytes id3Header = {'I', 'D', '3', 3, 0, 0, 0, 0, 7, 0x68};  // 7 * 128 + 104 = 1000
    const Bytes id3 = Concat({id3Header, decoy, stream});
    const Bytes aid = Concat({Bytes{'A', 'i', 'D', 1, 0xEE, 0x03}, decoy, stream});  // 1006
    // False syncs: no layer, bitrate index 15, sample rate index 3, emphasis 2.
    const Bytes junk = Concat({Bytes{'j', 0xFF, 0xE0, 0x90, 0x00, 0xFF, 0xFB, 0xF0, 0x00, 0xFF,
                                     0xFB, 0x9C, 0x00, 0xFF, 0xFB, 0x90, 0x02},
                               stream});
    for (const Bytes* file : {&id3, &aid, &junk}) {
        const std::string path = dir.File("in.mp3");
        ASSERT_TRUE(WriteFileBytes(path, *file));
        CMp3Decoder d;
        ASSERT_TRUE(d.Open(path));
        EXPECT_EQ(d.Channels(), 2);
        EXPECT_EQ(d.SampleRate(), 44100u);
        EXPECT_EQ(d.Bitrate(), 128u);
        d.Close();
        EXPECT_TRUE(Transcode(path, dir).samples == bare.samples);
    }
}

TEST(Mp3Decoder, EstimatesTheLengthFromTheFileSizeWithoutAVbrHeader) {
    TempDir dir;
    const std::string path = dir.File("in.mp3");
    struct Case {
        const char* vector;
        size_t size;
        uint32_t samples, frames;
    };
    CMp3Decoder d;  // one decoder serves every file
    for (const Case& c :
         {Case{"s44_128_notag.mp3", 160000, 441000, 382}, Case{"m44_64_notag.mp3", 7999, 0, 0},
          Case{"m44_64_notag.mp3", 8000, 44100, 38}}) {
        ASSERT_TRUE(WriteFileBytes(path, Repeated(ReadFileBytes(Vector(c.vector)), c.size)));
        ASSERT_TRUE(d.Open(path));
        EXPECT_EQ(d.TotalSamples(), c.samples) << c.vector << " " << c.size;
        EXPECT_EQ(d.TotalFrames(), c.frames);
    }
    // Free format: the bitrate is unknown at the first header, and nothing is estimated.
    ASSERT_TRUE(d.Open(Vector("s44_free_notag.mp3")));
    EXPECT_EQ(d.Bitrate(), 0u);
    EXPECT_EQ(d.TotalSamples(), 0u);
}

TEST(Mp3Decoder, InputWithoutAFrameFailsAndWritesNoFile) {
    TempDir dir;
    const Bytes stream = ReadFileBytes(Vector("m44_64_notag.mp3"));
    const Bytes id3Only = Concat({Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 7, 0x68}, Bytes(1000, 0)});
    const Bytes id3PastEnd =
        Concat({Bytes{'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, stream});
    // Syncs the library rejects, over and over.
    const Bytes syncJunk = Repeated(Concat({Bytes{0xFF, 0xE0, 0, 0}, Bytes(508, 0)}), 1 << 20);
    const std::vector<Bytes> inputs = {
        {},
        Bytes(3, 0xFF),
        Repeated(ByteWriter().Append("no frames here ").take(), 100000),
        Bytes(100000, 0xFF),
        syncJunk,
        id3Only,
        id3PastEnd};
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string mp3 = dir.File("in.mp3");
        ASSERT_TRUE(WriteFileBytes(mp3, inputs[i]));
        CMp3Decoder d;
        EXPECT_FALSE(d.Open(mp3)) << i;
        EXPECT_EQ(d.Channels(), 0);
        EXPECT_FALSE(TranscodeMp3ToWav(mp3, dir.File("out.wav"))) << i;
        EXPECT_EQ(dir.List(), std::vector<std::string>{"in.mp3"}) << i;
    }
    EXPECT_FALSE(TranscodeMp3ToWav(dir.File("missing.mp3"), dir.File("out.wav")));
    EXPECT_FALSE(TranscodeMp3ToWav(dir.path(), dir.File("out.wav")));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"in.mp3"});
}

TEST(Mp3Decoder, ResyncsAfterJunkAndStopsAtAFrameOfAnotherLayout) {
    TempDir dir;
    const Bytes stereo = ReadFileBytes(Vector("s44_128_notag.mp3"));
    const Bytes mono = ReadFileBytes(Vector("m22_32.mp3"));
    const Pcm stereoPcm = Transcode(Vector("s44_128_notag.mp3"), dir);
    const Pcm monoPcm = Transcode(Vector("m22_32.mp3"), dir);
    const std::string path = dir.File("in.mp3");

    // Long junk between two streams: the second one decodes as if on its own.
    ASSERT_TRUE(WriteFileBytes(path, Concat({stereo, Bytes(256 * 1024, 0), stereo})));
    std::vector<int16_t> twice = stereoPcm.samples;
    twice.insert(twice.end(), stereoPcm.samples.begin(), stereoPcm.samples.end());
    EXPECT_TRUE(Transcode(path, dir).samples == twice);
    ASSERT_TRUE(WriteFileBytes(path, Concat({stereo, Bytes(256 * 1024, 0xFF)})));
    EXPECT_TRUE(Transcode(path, dir).samples == stereoPcm.samples);

    // After junk, frames of another layout than the first frame's end the stream: the file
    // being written cannot hold them. What came before stays.
    ASSERT_TRUE(WriteFileBytes(path, Concat({stereo, Bytes(64 * 1024, 0), mono})));
    const Pcm a = Transcode(path, dir);
    EXPECT_EQ(a.channels, 2);
    EXPECT_TRUE(a.samples == stereoPcm.samples);
    ASSERT_TRUE(WriteFileBytes(path, Concat({mono, Bytes(64 * 1024, 0), stereo})));
    const Pcm b = Transcode(path, dir);
    EXPECT_EQ(b.channels, 1);
    EXPECT_EQ(b.rate, 22050u);
    EXPECT_TRUE(b.samples == monoPcm.samples);
}

TEST(Mp3Decoder, DecodesAStreamOfOneSmallFrame) {
    TempDir dir;
    const Bytes whole = ReadFileBytes(Vector("m11_16_notag.mp3"));
    // MPEG-2.5 at 16 kbit/s, no padding bit: 72 * 16000 / 11025 = 104 bytes.
    ASSERT_EQ(whole[2] & 0xF2, 0x20);
    const std::string path = dir.File("one.mp3");
    ASSERT_TRUE(WriteFileBytes(path, Bytes(whole.begin(), whole.begin() + 104)));
    const Pcm one = Transcode(path, dir);
    const Pcm all = Transcode(Vector("m11_16_notag.mp3"), dir);
    ASSERT_EQ(one.Frames(), 576u);
    EXPECT_TRUE(std::equal(one.samples.begin(), one.samples.end(), all.samples.begin()));
}

TEST(Mp3Decoder, TwoOpenDecodersDoNotShareState) {
    TempDir dir;
    const std::string names[2] = {"s44_128_info.mp3", "m22_32.mp3"};
    const Pcm alone[2] = {Transcode(Vector(names[0]), dir), Transcode(Vector(names[1]), dir)};
    CMp3Decoder d[2];
    ASSERT_TRUE(d[0].Open(Vector(names[0])));
    ASSERT_TRUE(d[1].Open(Vector(names[1])));
    std::vector<int16_t> got[2];
    bool end[2] = {false, false};
    int16_t left[kChunkFrames], right[kChunkFrames];
    while (!end[0] || !end[1]) {
        for (int k = 0; k < 2; ++k) {
            uint32_t count = 0;
            ASSERT_TRUE(d[k].ReadChunk(left, right, count, end[k]));
            ASSERT_LE(count, kChunkFrames);
            for (uint32_t i = 0; i < count; ++i) {
                got[k].push_back(left[i]);
                if (d[k].Channels() == 2) {
                    got[k].push_back(right[i]);
                }
            }
            EXPECT_TRUE(count > 0 || end[k]);
        }
    }
    for (int k = 0; k < 2; ++k) {
        EXPECT_TRUE(got[k] == alone[k].samples) << names[k];
    }
}

TEST(Mp3Decoder, AWavFileThatCannotBeWrittenWholeFailsAndIsRemoved) {
    TempDir dir;
    const std::string out = dir.File("out.wav");
    if (Exists("/dev/full")) {
        ASSERT_EQ(::symlink("/dev/full", out.c_str()), 0);
        EXPECT_FALSE(TranscodeMp3ToWav(Vector("s44_128_info.mp3"), out));
        EXPECT_FALSE(Exists(out));
        EXPECT_TRUE(Exists("/dev/full"));  // the device itself is left alone
    }
    // A file size limit stops the writes part way as a full disk would.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 16 * 1024;
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = TranscodeMp3ToWav(Vector("s44_128_info.mp3"), out);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(Exists(out));
}

// The MP3 tracks of the corpus's FLV videos: every frame is decoded, the single 104-byte frame
// of one of them too. The expected counts are the frames in the tags times their samples.
TEST(Mp3Decoder, DecodesEveryFrameOfTheCorpusFlvTracks) {
    KELVORA_REQUIRE_CORPUS();
    TempDir dir;
    int tracks = 0;
    for (const auto& row : ReadTsv(CorpusFile("SOUNDS.tsv"))) {
        if (row.at("container") != "FLV" || row.at("format") != "2") {
            continue;
        }
        SCOPED_TRACE(row.at("file"));
        const Bytes flv = ReadFileBytes(CorpusFile(row.at("file")));
        ASSERT_GE(flv.size(), 9u);
        Bytes mp3;
        size_t pos = ((flv[5] << 24) | (flv[6] << 16) | (flv[7] << 8) | flv[8]) + 4;
        while (pos + 11 <= flv.size()) {
            const size_t size = (flv[pos + 1] << 16) | (flv[pos + 2] << 8) | flv[pos + 3];
            if (flv[pos] == 8 && size > 1 && pos + 11 + size <= flv.size()) {
                mp3.insert(mp3.end(), flv.begin() + pos + 12, flv.begin() + pos + 11 + size);
            }
            pos += 11 + size + 4;
        }
        ASSERT_EQ(mp3.size(), std::stoul(row.at("data_bytes")));
        ASSERT_TRUE(WriteFileBytes(dir.File("track.mp3"), mp3));
        const Pcm pcm = Transcode(dir.File("track.mp3"), dir);
        EXPECT_EQ(pcm.Frames(), std::stoul(row.at("data_samples")));
        EXPECT_EQ(pcm.channels, std::stoul(row.at("mp3_channels")));
        EXPECT_EQ(pcm.rate, std::stoul(row.at("mp3_rates")));
        ++tracks;
    }
    EXPECT_EQ(tracks, 5);
}

}  // namespace
}  // namespace kelvora
