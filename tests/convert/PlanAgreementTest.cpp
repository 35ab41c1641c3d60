// What the listing says, what a conversion writes and what its report tells agree, for every
// movie and video of the corpus and the test data, and for movies and videos built to catch the
// cases where a plan and a writer could part, under each option and for both targets: the same
// names, the same rate and channels, and the sample frames the files hold (WAV outputs, and MP3
// outputs copied from MP3 sound).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "audio/Mp3Frame.h"
#include "audio/WavFile.h"
#include "cli/Cli.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"

namespace kelvora {
namespace {

using namespace test;
using Json = nlohmann::json;

Json RunJson(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    RunCli(args, out, err);
    return Json::parse(out.str());
}

std::vector<Bytes> Mp3Frames(const Bytes& mp3) {
    std::vector<Bytes> frames;
    Mp3FrameHeader h;
    for (size_t pos = 0; ParseMp3FrameHeader(mp3.data() + pos, mp3.size() - pos, h);
         pos += h.frameBytes) {
        frames.emplace_back(mp3.begin() + pos, mp3.begin() + pos + h.frameBytes);
    }
    return frames;
}

Bytes Movie(const Bytes& tags) {
    SwfMovie movie;
    movie.tags = Concat({tags, SwfEndTag()});
    return BuildSwf(movie);
}

// Movies and videos where a plan and its writer could part, in `folder`.
std::vector<std::string> BuiltSources(const TempDir& folder) {
    const std::vector<Bytes> frames = Mp3Frames(Mp3Of(44100, 1, 44100));
    // An Info frame, as an encoder writes it in front of an MP3 file: a frame's header, side
    // information of zeros and the tag.
    Bytes info(frames[0].size(), 0);
    std::copy(frames[0].begin(), frames[0].begin() + 4, info.begin());
    info[1] |= 1;  // no CRC
    std::copy_n("Info", 4, info.begin() + 4 + 17);
    Bytes whole, cut;  // cut: out of a longer MP3, its first frame's main data begins before it
    for (size_t i = 0; i < frames.size(); ++i) {
        whole.insert(whole.end(), frames[i].begin(), frames[i].end());
        if (i >= 3) {
            cut.insert(cut.end(), frames[i].begin(), frames[i].end());
        }
    }
    // A stream whose blocks begin anywhere in a frame, with frames of its timeline left empty.
    Bytes stream = SoundStreamHead(2, 3, true, false, 3675);
    for (size_t at = 0, frame = 0; at < whole.size(); at += 900, ++frame) {
        const Bytes piece(whole.begin() + at, whole.begin() + std::min(whole.size(), at + 900));
        stream = Concat({stream, Mp3StreamBlock(3675, 0, piece), ShowFrame()});
        if (frame % 4 == 3) {
            stream = Concat({stream, ShowFrame(), ShowFrame()});
        }
    }
    // One PCM sound, and one Nellymoser sound of which nothing decodes (less than a block).
    const Bytes pcm = Pcm16(Tone(2000, 1, 22050));
    const std::vector<std::pair<std::string, Bytes>> movies = {
        {"built_info.swf", Movie(DefineSound(1, 2, 3, true, false, 44100, Concat({info, whole})))},
        {"built_cut.swf", Movie(DefineSound(1, 2, 3, true, false, 40000, cut))},
        {"built_blocks.swf", Movie(stream)},
        {"built_nothing.swf", Movie(Concat({DefineSound(1, 3, 2, true, false, 2000, pcm),
                                            DefineSound(2, 6, 2, true, false, 256, Bytes(10, 7))}))},
        {"built_embeds.swf",
         Movie(Concat({DefineSound(3, 3, 2, true, false, 2000, pcm),
                       SwfTag(87, Concat({Bytes{9, 0, 0, 0, 0, 0},
                                          Movie(DefineSound(1, 2, 3, true, false, 44100,
                                                            Concat({info, whole})))}),
                              true)}))}};
    std::vector<std::string> paths;
    for (const auto& [name, bytes] : movies) {
        EXPECT_TRUE(WriteFileBytes(folder.File(name), bytes));
        paths.push_back(folder.File(name));
    }
    // AAC whose sequence header comes after some raw frames: a decoder has nothing to take them.
    const FlvAudio aac = ReadFlvAudio(ReadFileBytes(TestDataDir() + "/codecs/aac44k_stereo.flv"));
    FlvBuilder late;
    for (size_t i = 0; i < aac.packets.size(); ++i) {
        if (i == 3) {
            late.Audio(aac.flags, Concat({Bytes{0}, aac.config}));
        }
        late.Audio(aac.flags, Concat({Bytes{1}, aac.packets[i]}));
    }
    EXPECT_TRUE(WriteFileBytes(folder.File("built_late_aac.flv"), late.Build()));
    paths.push_back(folder.File("built_late_aac.flv"));
    return paths;
}

TEST(PlanAgreement, TheListingTheFilesWrittenAndTheReportAgree) {
    const TempDir built;
    std::vector<std::string> sources = BuiltSources(built);
    if (!CorpusDir().empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
            const std::string ext = entry.path().extension();
            if (ext == ".swf" || ext == ".flv") {
                sources.push_back(entry.path());
            }
        }
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TestDataDir())) {
        if (entry.path().extension() == ".flv") {
            sources.push_back(entry.path());
        }
    }
    const std::map<std::string, std::vector<std::string>> optionSets = {
        {"none", {}},
        {"every format", {"--all-formats"}},
        {"timing", {"--all-formats", "--keep-timing"}},
        {"linkage names", {"--all-formats", "--names", "linkage"}},
        {"embedded", {"--all-formats", "--embedded"}}};
    size_t outputs = 0;
    for (const auto& [setName, options] : optionSets) {
        // Each sound in its own coding, or FLAC, with every format.
        std::vector<const char*> targets = {"mp3", "wav"};
        if (setName == "every format") {
            targets.insert(targets.end(), {"flac", "original"});
        }
        for (const char* target : targets) {
            SCOPED_TRACE(setName + std::string(", ") + target);
            TempDir dir;
            std::set<std::string> names;
            std::vector<std::string> args = options;
            args.insert(args.end(), {"--to", target});
            for (const std::string& source : sources) {
                const std::string name = std::filesystem::path(source).filename();
                if (names.insert(name).second) {
                    ASSERT_EQ(::symlink(source.c_str(), dir.File(name).c_str()), 0);
                    args.push_back(dir.File(name));
                }
            }
            std::vector<std::string> listArgs = {"--list", "--json"};
            listArgs.insert(listArgs.end(), args.begin(), args.end());
            const Json listing = RunJson(listArgs);
            std::vector<std::string> convertArgs = {"--json", "-j", "2"};
            convertArgs.insert(convertArgs.end(), args.begin(), args.end());
            const Json report = RunJson(convertArgs);
            ASSERT_EQ(listing.size(), report.size());
            std::set<std::string> written;  // every file the conversions made
            for (const std::string& file : dir.List()) {
                if (!names.count(file)) {
                    written.insert(file);
                }
            }
            std::set<std::string> listed, reported;
            for (size_t i = 0; i < listing.size(); ++i) {
                SCOPED_TRACE(listing[i]["file"].get<std::string>());
                std::map<std::string, Json> planned;
                for (const Json& sound : listing[i]["sounds"]) {
                    if (!sound["outputFile"].is_null()) {
                        const std::string file = sound["outputFile"];
                        planned[file] = sound;
                        listed.insert(file);
                    }
                }
                for (const Json& output : report[i]["outputs"]) {
                    const std::string file = output["file"];
                    reported.insert(file);
                    ASSERT_TRUE(planned.count(file)) << file;
                    const Json& plan = planned[file];
                    EXPECT_EQ(plan["sampleRate"], output["sampleRate"]) << file;
                    EXPECT_EQ(plan["channels"], output["channels"]) << file;
                    EXPECT_EQ(plan["outputFormat"], output["format"]) << file;
                    if (std::string(target) == "mp3" && plan["format"] == "MP3") {
                        // Copied: the frames it holds.
                        const Mp3Info held = ScanMp3Frames(ReadFileBytes(output["path"]));
                        EXPECT_EQ(plan["sampleFrames"],
                                  held.frames * (held.sampleRate >= 32000 ? 1152 : 576))
                            << file;
                        EXPECT_EQ(plan["sampleFrames"], output["sampleFrames"]) << file;
                    }
                    if (std::string(target) == "wav") {
                        CWavReader wav;
                        ASSERT_TRUE(wav.Open(output["path"])) << file;
                        EXPECT_EQ(plan["sampleFrames"], output["sampleFrames"]) << file;
                        EXPECT_EQ(output["sampleFrames"], wav.FrameCount()) << file;
                        EXPECT_EQ(output["sampleRate"], wav.SampleRate()) << file;
                        EXPECT_EQ(output["channels"], wav.Channels()) << file;
                    }
                    ++outputs;
                }
            }
            EXPECT_EQ(listed, reported);
            EXPECT_EQ(reported, written);
        }
    }
    EXPECT_GT(outputs, 100u);
}

}  // namespace
}  // namespace kelvora
