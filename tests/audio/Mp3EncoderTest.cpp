#include <lame/lame.h>
#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>

#include <gtest/gtest.h>

#include "audio/CMp3Encoder.h"
#include "audio/CSampleConverter.h"
#include "audio/TranscodeWavToMp3.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/WavBuilder.h"

namespace kelvora {
namespace {

using namespace test;

// Samples LAME puts in front of the sound (its encoder delay), the decoder's own delay, and the
// least silence LAME pads the end with (enough to carry the last samples through the decoder).
constexpr size_t kEncoderDelay = 576;
constexpr size_t kDecoderDelay = 529;
constexpr size_t kMinPadding = 576;

struct Decoded {
    bool ok = false;
    int channels = 0, rate = 0, mode = -1, framesize = 0;
    std::vector<int16_t> left, right;
};

// Decodes a whole MP3 with the library's own decoder, frame by frame.
Decoded DecodeMp3(const Bytes& mp3) {
    std::unique_ptr<hip_global_flags, int (*)(hip_t)> hip(hip_decode_init(), hip_decode_exit);
    Decoded d;
    short l[1152 * 2], r[1152 * 2];
    mp3data_struct info{};
    Bytes data = mp3;
    // The first call may only take the bytes in; each later one hands out a frame.
    int n = hip_decode1_headers(hip.get(), data.data(), data.size(), l, r, &info);
    if (n == 0) {
        n = hip_decode1_headers(hip.get(), data.data(), 0, l, r, &info);
    }
    for (; n > 0; n = hip_decode1_headers(hip.get(), data.data(), 0, l, r, &info)) {
        d.left.insert(d.left.end(), l, l + n);
        d.right.insert(d.right.end(), r, r + n);
    }
    d.ok = n == 0 && info.header_parsed == 1;
    d.channels = info.stereo;
    d.rate = info.samplerate;
    d.mode = info.mode;
    d.framesize = info.framesize;
    return d;
}

// A tone per channel (a different one in each) with a little noise.
std::vector<int16_t> Tones(int channels, uint32_t rate, uint32_t frames) {
    std::vector<int16_t> s;
    for (uint32_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double v = 12000 * std::sin(2 * std::numbers::pi * (300 + 400 * c) * i / rate);
            s.push_back(static_cast<int16_t>(v + static_cast<int>(i * 7919 % 61) - 30));
        }
    }
    return s;
}

WavSpec Spec(uint16_t channels, uint32_t rate, uint16_t bits, Bytes data) {
    WavSpec spec;
    spec.channels = channels;
    spec.sampleRate = rate;
    spec.bitsPerSample = bits;
    spec.data = std::move(data);
    return spec;
}

std::string WriteWav(const TempDir& dir, const std::string& name, const WavSpec& spec) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteFileBytes(path, BuildWav(spec)));
    return path;
}

// Signal-to-error ratio of one channel of the source against the decoded sound, aligned.
double SignalToError(const std::vector<int16_t>& src, int channels, int channel,
                     const std::vector<int16_t>& decoded) {
    double signal = 0, error = 0;
    for (size_t i = 0; i < src.size() / channels; ++i) {
        const double x = src[i * channels + channel];
        const double y = decoded[i + kEncoderDelay + kDecoderDelay];
        signal += x * x;
        error += (x - y) * (x - y);
    }
    return 10 * std::log10(signal / std::max(error, 1.0));
}

TEST(Mp3Encoder, EncodesByteForByteAsTheLameProgram) {
    const std::string dir = TestDataDir() + "/mp3enc/";
    const auto rows = ReadTsv(dir + "vectors.tsv");
    ASSERT_EQ(rows.size(), 5u);
    TempDir out;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.at("wav"));
        const Bytes wav = ReadFileBytes(dir + row.at("wav"));
        uint32_t frames = 99, rate = 0;
        ASSERT_TRUE(TranscodeWavToMp3(dir + row.at("wav"), out.File("o.mp3"), &frames, &rate));
        EXPECT_EQ(ReadFileBytes(out.File("o.mp3")), ReadFileBytes(dir + row.at("mp3")));
        EXPECT_EQ(frames, std::stoul(row.at("frames")));
        EXPECT_EQ(rate, std::stoul(row.at("mp3_rate")));
        EXPECT_EQ(ReadFileBytes(dir + row.at("wav")), wav);  // the source is untouched
    }
}

TEST(Mp3Encoder, DecodesToTheSourceChannelsLengthAndSound) {
    TempDir dir;
    struct Shape {
        uint16_t channels;
        uint32_t rate;
    };
    for (const Shape s : {Shape{2, 44100}, Shape{1, 22050}, Shape{2, 11025}, Shape{1, 44100}}) {
        for (uint32_t n : {0u, 1152u, 1153u, 6000u}) {
            SCOPED_TRACE(testing::Message() << s.channels << " ch " << s.rate << " Hz " << n);
            const std::vector<int16_t> src = Tones(s.channels, s.rate, n);
            const std::string wav =
                WriteWav(dir, "in.wav", Spec(s.channels, s.rate, 16, Pcm16(src)));
            uint32_t frames = 99, rate = 0;
            ASSERT_TRUE(TranscodeWavToMp3(wav, dir.File("out.mp3"), &frames, &rate));
            EXPECT_EQ(frames, n);
            const Bytes mp3 = ReadFileBytes(dir.File("out.mp3"));
            // No VBR/Info frame in front of the sound.
            const std::string text(mp3.begin(), mp3.end());
            EXPECT_EQ(text.find("Xing"), std::string::npos);
            EXPECT_EQ(text.find("Info"), std::string::npos);
            const Decoded d = DecodeMp3(mp3);
            ASSERT_TRUE(d.ok);
            EXPECT_EQ(d.channels, s.channels);
            EXPECT_EQ(d.mode, s.channels == 1 ? MONO : JOINT_STEREO);
            EXPECT_EQ(d.rate, static_cast<int>(s.rate));
            EXPECT_EQ(rate, s.rate);
            // The delay in front, the sound, then padding up to whole frames.
            ASSERT_GE(d.left.size(), n + kEncoderDelay + kMinPadding);
            EXPECT_LT(d.left.size(), n + kEncoderDelay + kMinPadding + d.framesize);
            if (n == 6000) {
                for (int c = 0; c < s.channels; ++c) {
                    EXPECT_GT(SignalToError(src, s.channels, c, c == 0 ? d.left : d.right), 15.0);
                }
            }
        }
    }
}

TEST(Mp3Encoder, EightBitSamplesAreWidenedBeforeEncoding) {
    CSampleConverter converter;
    EXPECT_FALSE(converter.Configure({2, 22050, 16}, {2, 22050, 16}));
    EXPECT_FALSE(converter.Configure({2, 22050, 8}, {1, 22050, 16}));
    const uint8_t in[] = {128, 0, 255, 1, 127};
    int16_t out[5] = {7, 7, 7, 7, 7};
    converter.Convert(in, out, 5);
    EXPECT_EQ(out[0], 7);  // not configured: nothing is written
    ASSERT_TRUE(converter.Configure({2, 22050, 8}, {2, 22050, 16}));
    converter.Convert(in, out, 5);
    EXPECT_EQ(std::vector<int16_t>(out, out + 5),
              (std::vector<int16_t>{0, -32768, 32512, -32512, -256}));

    // An 8-bit file encodes exactly as the 16-bit file of its widened samples, per channel.
    TempDir dir;
    for (uint16_t channels : {2, 1}) {
        SCOPED_TRACE(channels);
        Bytes bytes8;
        std::vector<int16_t> samples16;
        for (uint32_t i = 0; i < 3000u * channels; ++i) {
            const uint8_t b = static_cast<uint8_t>((i % 2 ? i * 3 : i / 5) & 0xFF);
            bytes8.push_back(b);
            samples16.push_back(static_cast<int16_t>((b - 128) * 256));
        }
        const std::string wav8 = WriteWav(dir, "8.wav", Spec(channels, 44100, 8, bytes8));
        const std::string wav16 =
            WriteWav(dir, "16.wav", Spec(channels, 44100, 16, Pcm16(samples16)));
        uint32_t frames = 0;
        ASSERT_TRUE(TranscodeWavToMp3(wav8, dir.File("8.mp3"), &frames, nullptr));
        EXPECT_EQ(frames, 3000u);
        ASSERT_TRUE(TranscodeWavToMp3(wav16, dir.File("16.mp3"), nullptr, nullptr));
        EXPECT_EQ(ReadFileBytes(dir.File("8.mp3")), ReadFileBytes(dir.File("16.mp3")));
    }
}

TEST(Mp3Encoder, FailedTranscodingLeavesNoMp3) {
    TempDir dir;
    const WavSpec good3000 = Spec(2, 44100, 16, Pcm16(Tones(2, 44100, 3000)));
    const std::string good = WriteWav(dir, "good.wav", good3000);
    const std::string longer =
        WriteWav(dir, "long.wav", Spec(2, 44100, 16, Pcm16(Tones(2, 44100, 44100 * 6))));
    const std::string mp3 = dir.File("out.mp3");
    uint32_t frames = 7, rate = 7;

    // Sources the encoder cannot take.
    WavSpec floats = good3000;
    floats.formatTag = 3;
    WriteWav(dir, "float.wav", floats);
    WavSpec list = good3000;
    list.extraChunks = RiffChunk("LIST", Bytes(4, 0));
    WriteWav(dir, "list.wav", list);
    // At 1 Hz every chunk grows past what one encoding call may produce: a library error.
    WriteWav(dir, "slow.wav", Spec(1, 1, 16, Bytes(4000, 0)));
    for (const char* name : {"missing.wav", "float.wav", "list.wav", "slow.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(TranscodeWavToMp3(dir.File(name), mp3, &frames, &rate));
        EXPECT_FALSE(std::filesystem::exists(mp3));
    }
    EXPECT_EQ(frames, 7u);
    EXPECT_EQ(rate, 7u);

    EXPECT_FALSE(TranscodeWavToMp3(good, dir.File("no/such/folder/out.mp3"), nullptr, nullptr));
    const Bytes source = ReadFileBytes(good);
    EXPECT_FALSE(TranscodeWavToMp3(good, dir.path() + "/./good.wav", nullptr, nullptr));
    EXPECT_EQ(ReadFileBytes(good), source);

    // A full disk, whether it shows while encoding (long) or only at the last bytes (short).
    for (const std::string& wav : {good, longer}) {
        EXPECT_FALSE(TranscodeWavToMp3(wav, "/dev/full", nullptr, nullptr));
    }
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // a device is not removed
    // A regular file on a disk that fills up after 1000 bytes.
    for (const std::string& wav : {good, longer}) {
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 1000;
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool full = TranscodeWavToMp3(wav, mp3, nullptr, nullptr);
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(full);
        EXPECT_FALSE(std::filesystem::exists(mp3));
    }
}

TEST(Mp3Encoder, EncoderLimitsItsSettingsAndFinishesItsFile) {
    TempDir dir;
    const std::vector<int16_t> left(4000, 1000), right(4000, -1000);
    struct Case {
        int channels, mode, wantChannels, wantMode;
    };
    for (const Case c : {Case{5, 7, 2, STEREO}, Case{2, 1, 2, JOINT_STEREO}, Case{0, 1, 1, MONO}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " " << c.mode);
        const std::string path = dir.File("e.mp3");
        {
            CMp3Encoder encoder;
            ASSERT_TRUE(encoder.Open(path));
            encoder.SetChannels(c.channels);
            encoder.SetInputRate(44100);
            encoder.SetWriteVbrTag(false);
            encoder.SetMode(c.mode);
            EXPECT_FALSE(encoder.Write(left.data(), right.data(), 100));  // not initialised
            ASSERT_TRUE(encoder.Initialise());
            // More than one chunk in one call.
            ASSERT_TRUE(encoder.Write(left.data(), right.data(), 4000));
            // The destructor finishes the file.
        }
        const Decoded d = DecodeMp3(ReadFileBytes(path));
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.channels, c.wantChannels);
        EXPECT_EQ(d.mode, c.wantMode);
        EXPECT_GE(d.left.size(), 4000 + kEncoderDelay + kDecoderDelay);
    }

    // Opening again finishes the first file.
    CMp3Encoder encoder;
    ASSERT_TRUE(encoder.Open(dir.File("a.mp3")));
    encoder.SetChannels(2);
    ASSERT_TRUE(encoder.Initialise());
    ASSERT_TRUE(encoder.Write(left.data(), right.data(), 4000));
    ASSERT_TRUE(encoder.Open(dir.File("b.mp3")));
    EXPECT_GE(DecodeMp3(ReadFileBytes(dir.File("a.mp3"))).left.size(), 4000u);
    EXPECT_TRUE(encoder.Close());
    EXPECT_TRUE(encoder.Close());
}

}  // namespace
}  // namespace kelvora
