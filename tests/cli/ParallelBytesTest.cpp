#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "audio/Mp3Frame.h"
#include "cli/Cli.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/Md5.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"

namespace kelvora {
namespace {

using namespace test;
using Sources = std::map<std::string, Bytes>;

// Long enough that several decodes overlap: the file's frames `times` over.
Bytes Repeat(const Bytes& data, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

// Every file the run wrote, by name, as its digest.
std::map<std::string, std::string> Convert(const Sources& sources, unsigned jobs,
                                           const std::vector<std::string>& options) {
    TempDir dir;
    std::vector<std::string> args = {"-j", std::to_string(jobs)};
    args.insert(args.end(), options.begin(), options.end());
    for (const auto& [name, bytes] : sources) {
        WriteFileBytes(dir.File(name), bytes);
        args.push_back(dir.File(name));
    }
    std::ostringstream out, err;
    RunCli(args, out, err);
    std::map<std::string, std::string> written;
    for (const std::string& name : dir.List()) {
        if (!sources.count(name)) {
            written[name] = Md5Hex(ReadFileBytes(dir.File(name)));
        }
    }
    return written;
}

void ExpectParallelEqualsSequential(const Sources& sources, const std::vector<std::string>& options,
                                    size_t expectedOutputs) {
    const auto sequential = Convert(sources, 1, options);
    std::string names;
    for (const auto& [name, digest] : sequential) {
        names += name + " ";
    }
    ASSERT_EQ(sequential.size(), expectedOutputs) << names;
    for (int run = 0; run < 4; ++run) {
        ASSERT_EQ(Convert(sources, 4, options), sequential) << options.back() << ", run " << run;
    }
}

// Parallel conversions share the process: whatever one decoder or encoder keeps process-wide
// must not reach another's samples. Every output of four at once is byte for byte that of one
// after another.
TEST(ParallelBytes, EveryDecoderAndTheEncoderWriteTheBytesOfOneAfterAnother) {
    const std::string mp3Dir = TestDataDir() + "/mp3/";
    Sources mp3;
    int n = 0;
    for (const char* name : {"s44_128_notag", "m22_32", "m44_64_notag", "s48_vbr_ffmpeg"}) {
        const Bytes frames = Repeat(ReadFileBytes(mp3Dir + name + ".mp3"), 12);
        const std::vector<Bytes> each = Mp3FramesOf(frames);
        Mp3FrameHeader first;
        ASSERT_TRUE(ParseMp3FrameHeader(each[0].data(), each[0].size(), first));
        const unsigned rateIndex = first.sampleRate >= 44100 ? 3 : 2;
        mp3["v" + std::to_string(n) + ".flv"] =
            FlvBuilder()
                .Audio(FlvAudioFlags(2, rateIndex, true, first.channels == 2), frames)
                .Build();
        // The same frames as a movie's event sound and as its stream, a few frames a block.
        Bytes tags =
            DefineSound(1, 2, rateIndex, true, first.channels == 2,
                        static_cast<uint32_t>(each.size()) * first.samplesPerFrame, frames);
        tags = Concat({tags, SoundStreamHead(2, rateIndex, true, first.channels == 2,
                                             static_cast<uint16_t>(first.samplesPerFrame * 4))});
        for (size_t i = 0; i < each.size(); i += 4) {
            Bytes block;
            for (size_t k = i; k < std::min(each.size(), i + 4); ++k) {
                block = Concat({block, each[k]});
            }
            tags = Concat(
                {tags, Mp3StreamBlock(static_cast<uint16_t>(first.samplesPerFrame * 4), 0, block),
                 ShowFrame()});
        }
        SwfMovie movie;
        movie.tags = Concat({tags, SwfEndTag()});
        mp3["m" + std::to_string(n) + ".swf"] = BuildSwf(movie);
        ++n;
    }
    size_t mp3Outputs = 4 + 4 * 2;
    if (!CorpusDir().empty()) {
        for (const char* name : {"gnash_square.flv", "jpexs_frames_wide.flv", "shumway_race.swf",
                                 "ruffle_avm1_sound.swf"}) {
            mp3[name] = ReadFileBytes(CorpusFile(name));
        }
        mp3Outputs += 1 + 1 + 2 + 2;
    }
    ExpectParallelEqualsSequential(mp3, {"--to", "wav"}, mp3Outputs);

    // ADPCM, libavcodec's decoders, and PCM: to WAV, through the encoder to MP3, and each in its
    // own coding (the copies' containers, the rest FLAC).
    Sources others;
    for (const char* name : {"mono22k", "stereo44k", "stereo11k_long"}) {
        others[std::string("a_") + name + ".flv"] =
            ReadFileBytes(TestDataDir() + "/adpcm/" + name + ".flv");
    }
    for (const char* name :
         {"nelly8k", "nelly22k", "speex16k_3fpp", "aac44k_stereo", "alaw8k", "mulaw8k"}) {
        others[std::string("c_") + name + ".flv"] =
            ReadFileBytes(TestDataDir() + "/codecs/" + name + ".flv");
    }
    others["p.flv"] =
        FlvBuilder().Audio(FlvAudioFlags(3, 3, true, true), Pcm16(Tone(44100, 2, 44100))).Build();
    for (const char* target : {"wav", "mp3", "original"}) {
        ExpectParallelEqualsSequential(others, {"--all-formats", "--to", target}, others.size());
    }
}

}  // namespace
}  // namespace kelvora
