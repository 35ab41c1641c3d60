#include "audio/CCodecDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/SoundFormat.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/Md5.h"

namespace kelvora {
namespace {

using namespace test;

struct Decoded {
    bool opened = false;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    uint64_t frames = 0;
    size_t rejected = 0;
    size_t largestChunk = 0;
    Bytes s16le;
};

Decoded Decode(const FlvAudio& audio, const std::vector<Bytes>& packets) {
    Decoded out;
    CCodecDecoder decoder;
    out.opened = decoder.Open(audio.format, audio.sampleRate, audio.channels, audio.config.data(),
                              audio.config.size());
    if (!out.opened) {
        return out;
    }
    const DecodedSink sink = [&](const int16_t* samples, uint32_t frames, uint32_t rate,
                                 uint16_t channels) {
        if (out.frames == 0) {
            out.sampleRate = rate, out.channels = channels;
        }
        EXPECT_EQ(rate, out.sampleRate);
        EXPECT_EQ(channels, out.channels);
        out.frames += frames;
        out.largestChunk = std::max<size_t>(out.largestChunk, frames);
        for (size_t i = 0; i < size_t{frames} * channels; ++i) {
            out.s16le.push_back(static_cast<uint8_t>(samples[i] & 0xFF));
            out.s16le.push_back(static_cast<uint8_t>((samples[i] >> 8) & 0xFF));
        }
        return true;
    };
    for (const Bytes& packet : packets) {
        out.rejected += decoder.Decode(packet.data(), packet.size(), sink) ? 0 : 1;
    }
    EXPECT_TRUE(decoder.Flush(sink));
    EXPECT_EQ(decoder.FramesDecoded(), out.frames);
    return out;
}

FlvAudio ReadFixture(const std::string& name) {
    return ReadFlvAudio(ReadFileBytes(TestDataDir() + "/codecs/" + name));
}

// Every fixture decodes to exactly what the ffmpeg program decodes from it, with all of them
// decoding on threads of their own at once.
TEST(CodecDecoder, DecodesAsFfmpegDoes) {
    const auto refs = ReadTsv(TestDataDir() + "/codecs/refs.tsv");
    ASSERT_EQ(refs.size(), 9u);
    std::vector<FlvAudio> audios(refs.size());
    std::vector<Decoded> results(refs.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < refs.size(); ++i) {
        audios[i] = ReadFixture(refs[i].at("file"));
        threads.emplace_back([&, i] { results[i] = Decode(audios[i], audios[i].packets); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (size_t i = 0; i < refs.size(); ++i) {
        SCOPED_TRACE(refs[i].at("file"));
        const Decoded& got = results[i];
        ASSERT_TRUE(got.opened) << "format " << audios[i].format;
        EXPECT_EQ(got.rejected, 0u);
        EXPECT_EQ(std::to_string(got.sampleRate), refs[i].at("rate"));
        EXPECT_EQ(std::to_string(got.channels), refs[i].at("channels"));
        EXPECT_EQ(std::to_string(got.frames), refs[i].at("frames"));
        EXPECT_EQ(Md5Hex(got.s16le), refs[i].at("md5"));
    }
}

// A packet far larger than the codec's own decodes exactly as its packets one by one, in
// pieces of bounded size, ignoring bytes short of a block at its end as the library does;
// packets the decoder rejects in between (empty, or short of a block) change nothing.
TEST(CodecDecoder, OversizedAndRejectedPacketsKeepTheDecode) {
    for (const char* name : {"nelly22k.flv", "mulaw8k.flv"}) {
        SCOPED_TRACE(name);
        const FlvAudio audio = ReadFixture(name);
        const bool nelly = audio.format == 6;
        std::vector<Bytes> packets;
        Bytes whole;
        for (uint32_t repeat = 0; repeat < 8; ++repeat) {
            for (const Bytes& packet : audio.packets) {
                packets.push_back(packet);
                whole.insert(whole.end(), packet.begin(), packet.end());
            }
            packets.push_back(Noise(nelly ? 63 : 0, repeat));
        }
        const Decoded oneByOne = Decode(audio, packets);
        EXPECT_EQ(oneByOne.rejected, 8u);
        // Whole pieces of 64 blocks, then the bytes short of a block.
        ASSERT_TRUE(whole.size() > 20000 && (!nelly || whole.size() % 4096 == 0));
        whole.resize(whole.size() + (nelly ? 10 : 0), 0x5A);
        const Decoded big = Decode(audio, {whole});
        EXPECT_EQ(big.rejected, 0u);
        EXPECT_LE(big.largestChunk, 16384u);
        EXPECT_EQ(big.frames, oneByOne.frames);
        EXPECT_TRUE(big.s16le == oneByOne.s16le);
    }
}

// Hostile input never crashes or yields nonsense, and formats outside the library's fail.
TEST(CodecDecoder, HostileInput) {
    for (uint32_t format = 0; format < 16; ++format) {
        EXPECT_EQ(CCodecDecoder::Decodes(format), ((0xDF0u >> format) & 1) != 0) << format;
    }
    CCodecDecoder decoder;
    EXPECT_FALSE(decoder.Open(2, 44100, 2));
    EXPECT_FALSE(decoder.Open(12, 44100, 2));
    EXPECT_FALSE(decoder.Open(6, 0, 1));
    EXPECT_FALSE(decoder.Open(10, 44100, 2));
    const uint8_t garbage[] = {0x00, 0x00, 0xFF};  // audio object type 0
    EXPECT_FALSE(decoder.Open(10, 44100, 2, garbage, sizeof garbage));
    EXPECT_FALSE(decoder.IsOpen());
    const uint8_t byte = 0;
    EXPECT_FALSE(decoder.Decode(&byte, 1,
                                [](const int16_t*, uint32_t, uint32_t, uint16_t) { return true; }));

    const Bytes aacConfig = ReadFixture("aac44k_stereo.flv").config;
    struct Case {
        uint32_t format, rate;
        uint16_t channels;
    };
    for (const Case& c : {Case{4, 16000, 1}, Case{5, 8000, 1}, Case{6, 5512, 1}, Case{7, 8000, 2},
                          Case{8, 8000, 1}, Case{10, 0, 0}, Case{11, 16000, 1}}) {
        SCOPED_TRACE(c.format);
        ASSERT_TRUE(decoder.Open(c.format, c.rate, c.channels, aacConfig.data(), aacConfig.size()));
        uint64_t frames = 0;
        const DecodedSink sink = [&](const int16_t* samples, uint32_t n, uint32_t rate,
                                     uint16_t channels) {
            EXPECT_TRUE(samples != nullptr && n > 0 && n <= 16384) << n;
            EXPECT_TRUE(rate == c.rate || (c.format == 10 && rate > 0)) << rate;
            EXPECT_TRUE(channels == c.channels || (c.format == 10 && channels == 2));
            frames += n;
            return true;
        };
        EXPECT_FALSE(decoder.Decode(nullptr, 0, sink));
        EXPECT_FALSE(decoder.Decode(&byte, 0, sink));
        uint32_t seed = 99;
        for (size_t size : {1, 2, 3, 63, 64, 65, 100, 333, 1000, 4097, 70000, 300001}) {
            const Bytes noise = Noise(size, seed++);
            decoder.Decode(noise.data(), noise.size(), sink);
        }
        EXPECT_TRUE(decoder.Flush(sink));
        EXPECT_EQ(decoder.FramesDecoded(), frames);
    }

    // A sink that refuses stops an oversized packet after its first piece.
    ASSERT_TRUE(decoder.Open(5, 8000, 1));
    const Bytes big = Noise(64 * 1000, 5);
    int calls = 0;
    EXPECT_FALSE(
        decoder.Decode(big.data(), big.size(), [&](const int16_t*, uint32_t, uint32_t, uint16_t) {
            ++calls;
            return false;
        }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(decoder.FramesDecoded(), 0u);
}

}  // namespace
}  // namespace kelvora
