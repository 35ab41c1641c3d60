#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "audio/CCodecDecoder.h"
#include "audio/LibAv.h"
#include "cli/Cli.h"
#include "engine/PathUtil.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"

namespace kelvora {
namespace {

using namespace test;

int RunCliArgs(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int status = RunCli(args, o, e);
    out = o.str();
    err = e.str();
    return status;
}

TEST(CliConvert, ConvertsEachFileAndPrintsItsStatusAndOutputs) {
    TempDir dir;
    SwfMovie movie;
    movie.tags = Concat(
        {DefineSound(1, 3, 2, true, false, 22050, Pcm16(Tone(22050, 1, 22050))), SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("a.swf"), BuildSwf(movie)));
    const Bytes mp3 = Mp3Of(11025, 2, 44100);
    ASSERT_TRUE(WriteFileBytes(dir.File("b.flv"),
                               FlvBuilder().Audio(FlvAudioFlags(2, 3, true, true), mp3).Build()));
    ASSERT_TRUE(WriteFileBytes(dir.File("c.flv"), FlvBuilder().Video().Build()));
    ASSERT_TRUE(WriteFileBytes(dir.File("d.txt"), {1}));

    std::string out, err;
    EXPECT_EQ(RunCliArgs({"--to", "wav", dir.File("a.swf"), dir.File("b.flv"), dir.File("c.flv"),
                          dir.File("d.txt")},
                         out, err),
              kExitFailed);
    EXPECT_EQ(out,
              "[1/4] Converting a.swf... 1 Sound(s)\n"
              "a.wav\tWAV\t00:01\t16\t22.1 kHz\tMono\t" +
                  dir.File("a.wav") + "\n" +
                  "[2/4] Converting b.flv... 1 Sound(s)\n"
                  "b.wav\tWAV\t00:00\t16\t44.1 kHz\tStereo\t" +
                  dir.File("b.wav") + "\n" +
                  "[3/4] Converting c.flv... Failure\n"
                  "[4/4] Converting d.txt... Failure\n");

    // The default target is MP3; converting again gives the same names (nothing is in the way).
    EXPECT_EQ(RunCliArgs({dir.File("b.flv")}, out, err), kExitOk);
    EXPECT_EQ(out,
              "[1/1] Converting b.flv... 1 Sound(s)\n"
              "b.mp3\tMP3\t00:00\t16\t44.1 kHz\tStereo\t" +
                  dir.File("b.mp3") + "\n");
    EXPECT_EQ(ReadFileBytes(dir.File("b.mp3")), mp3);
}

TEST(CliConvert, MergeJoinsTheMp3OutputsWithTheMergeWindowsChecks) {
    TempDir dir;
    const Bytes a = Mp3Of(2304, 1, 22050), b = Mp3Of(4608, 1, 22050), c = Mp3Of(2304, 2, 44100);
    const uint8_t mono22 = FlvAudioFlags(2, 2, true, false);
    ASSERT_TRUE(WriteFileBytes(dir.File("a.flv"), FlvBuilder().Audio(mono22, a).Build()));
    ASSERT_TRUE(WriteFileBytes(dir.File("b.flv"), FlvBuilder().Audio(mono22, b).Build()));
    ASSERT_TRUE(WriteFileBytes(dir.File("c.flv"),
                               FlvBuilder().Audio(FlvAudioFlags(2, 3, true, true), c).Build()));
    std::string out, err;
    EXPECT_EQ(RunCliArgs({"--merge", dir.File("all.mp3"), dir.File("a.flv"), dir.File("b.flv")},
                         out, err),
              kExitOk);
    EXPECT_EQ(ReadFileBytes(dir.File("all.mp3")), Concat({a, b}));
    EXPECT_NE(out.find("Successfully merge 2 MP3 files to 'all.mp3'."), std::string::npos);

    // Differing encodings, and a target that exists, need --yes; an output is never a target.
    EXPECT_EQ(RunCliArgs({"--merge", dir.File("mixed.mp3"), dir.File("a.flv"), dir.File("c.flv")},
                         out, err),
              kExitFailed);
    EXPECT_NE(err.find("different encoding parameters"), std::string::npos);
    EXPECT_FALSE(PathExists(dir.File("mixed.mp3")));
    EXPECT_EQ(RunCliArgs({"--merge", dir.File("all.mp3"), dir.File("a.flv"), dir.File("b.flv")},
                         out, err),
              kExitFailed);
    EXPECT_EQ(
        RunCliArgs({"--yes", "--merge", dir.File("all.mp3"), dir.File("b.flv"), dir.File("c.flv")},
                   out, err),
        kExitOk);
    EXPECT_EQ(ReadFileBytes(dir.File("all.mp3")), Concat({b, c}));
    // d.flv's output will be d.mp3: as the target it would destroy an input while it is read.
    ASSERT_TRUE(WriteFileBytes(dir.File("d.flv"), FlvBuilder().Audio(mono22, a).Build()));
    EXPECT_EQ(
        RunCliArgs({"--yes", "--merge", dir.File("d.mp3"), dir.File("d.flv"), dir.File("b.flv")},
                   out, err),
        kExitFailed);
    EXPECT_NE(err.find("has existed in MP3 list"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir.File("d.mp3")), a);
    EXPECT_EQ(RunCliArgs({"--merge", dir.File("one.mp3"), dir.File("a.flv")}, out, err),
              kExitFailed);
    EXPECT_EQ(RunCliArgs({"--info", "--merge", "x.mp3", dir.File("a.flv")}, out, err), kExitUsage);
}

TEST(CliConvert, ParallelJobsPrintAndNameExactlyAsOneJobDoes) {
    // The same batch in two folders: one file at a time, and four at a time.
    std::string outputs[2];
    std::vector<std::string> names[2];
    const unsigned jobs[2] = {1, 4};
    for (int run = 0; run < 2; ++run) {
        TempDir dir;
        std::vector<std::string> args = {"-j", std::to_string(jobs[run]), "--to", "mp3"};
        for (int i = 0; i < 6; ++i) {
            const std::string name = "m" + std::to_string(i);
            SwfMovie movie;
            movie.tags = Concat({DefineSound(1, 3, 1, true, false, 3000 + 500 * i,
                                             Pcm16(Tone(3000 + 500 * i, 1, 11025))),
                                 DefineSound(2, 2, 2, true, false, 2304, Mp3Of(2304, 1, 22050)),
                                 SwfEndTag()});
            ASSERT_TRUE(WriteFileBytes(dir.File(name + ".swf"), BuildSwf(movie)));
            ASSERT_TRUE(
                WriteFileBytes(dir.File(name + ".flv"),
                               FlvBuilder()
                                   .Audio(FlvAudioFlags(0, 1, false, false), Bytes(1000 + i, 0x80))
                                   .Build()));
            args.push_back(dir.File(name + ".swf"));
            args.push_back(dir.File(name + ".flv"));
        }
        std::string err;
        EXPECT_EQ(RunCliArgs(args, outputs[run], err), kExitOk);
        // Paths differ by folder only; compare the texts with the folder taken out.
        for (size_t at; (at = outputs[run].find(dir.path())) != std::string::npos;) {
            outputs[run].replace(at, dir.path().size(), "DIR");
        }
        names[run] = dir.List();
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(names[0], names[1]);
    EXPECT_EQ(names[0].size(), 6u * 2 + 6u * 2 + 6u);  // sources, two sounds per movie, one track
    std::string out, err;
    EXPECT_EQ(RunCliArgs({"-j", "0", "x.swf"}, out, err), kExitUsage);
    EXPECT_EQ(RunCliArgs({"--jobs=x", "x.swf"}, out, err), kExitUsage);
}

TEST(CliConvert, SourcesThatClaimTheSameNamesAreNamedAsOneJobNamesThemUnderAnyTiming) {
    // Pairs whose outputs take names from one base: a one-sound movie and a video of the same
    // name, a movie and its capitalised twin, a movie whose own name is the video's second one
    // (c_1 beside c.flv, whose plain name is taken). One file named three ways is one file.
    SwfMovie movie;
    movie.tags =
        Concat({DefineSound(1, 3, 1, true, false, 500, Pcm16(Tone(500, 1, 11025))), SwfEndTag()});
    const Bytes video =
        FlvBuilder().Audio(FlvAudioFlags(0, 1, false, false), Bytes(700, 0x80)).Build();
    std::string expected;
    std::vector<std::string> expectedNames;
    for (unsigned jobs = 1; jobs <= 8; ++jobs) {
        for (int run = 0; run < (jobs == 1 ? 1 : 6); ++run) {
            TempDir dir;
            const ScopedEnv home("HOME", dir.File("home").c_str());
            for (const char* name : {"a.swf", "b.swf", "b.SWF", "c_1.swf"}) {
                ASSERT_TRUE(WriteFileBytes(dir.File(name), BuildSwf(movie)));
            }
            for (const char* name : {"a.flv", "c.flv", "c.wav"}) {
                ASSERT_TRUE(WriteFileBytes(dir.File(name), video));
            }
            std::filesystem::create_directory(dir.File("sub"));
            std::string out, err;
            ASSERT_EQ(RunCliArgs({"-j", std::to_string(jobs), "--to", "wav", dir.File("a.swf"),
                                  dir.File("a.flv"), dir.File("b.swf"), dir.File("b.SWF"),
                                  dir.File("c.flv"), dir.File("c_1.swf"), dir.File("a.swf"),
                                  dir.File("sub/../a.swf")},
                                 out, err),
                      kExitOk);
            for (size_t at; (at = out.find(dir.path())) != std::string::npos;) {
                out.replace(at, dir.path().size(), "DIR");
            }
            if (jobs == 1) {
                expected = out;
                expectedNames = dir.List();
                continue;
            }
            ASSERT_EQ(out, expected) << jobs << " jobs, run " << run;
            ASSERT_EQ(dir.List(), expectedNames) << jobs << " jobs, run " << run;
        }
    }
    EXPECT_NE(expected.find("[1/6] Converting a.swf... 1 Sound(s)\na.wav\t"), std::string::npos);
    EXPECT_NE(expected.find("[2/6] Converting a.flv... 1 Sound(s)\na_1.wav\t"), std::string::npos);
    EXPECT_NE(expected.find("c_1.wav\t"), std::string::npos);
    EXPECT_EQ(std::count(expectedNames.begin(), expectedNames.end(), "home"), 0)
        << "nothing went to the documents folder";
}

TEST(CliConvert, ReasonsGoToStandardErrorAndEveryFormatConvertsWithTheOption) {
    TempDir dir;
    const Bytes aac = ReadFileBytes(TestDataDir() + "/codecs/aac22k_mono.flv");
    const FlvAudio nelly = ReadFlvAudio(ReadFileBytes(TestDataDir() + "/codecs/nelly8k.flv"));
    Bytes blocks;
    for (const Bytes& packet : nelly.packets) {
        blocks = Concat({blocks, packet});
    }
    SwfMovie movie;
    movie.tags = Concat({DefineSound(1, 5, 0, true, false, 8448, blocks),
                         DefineSound(2, 5, 0, true, false, 8448, blocks), SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("talk.flv"), aac));
    ASSERT_TRUE(WriteFileBytes(dir.File("game.swf"), BuildSwf(movie)));
    ASSERT_TRUE(WriteFileBytes(dir.File("new.swf"), ToZws(BuildSwf(movie))));
    const std::vector<std::string> files = {dir.File("talk.flv"), dir.File("game.swf"),
                                            dir.File("new.swf")};
    std::string out, err;
    std::vector<std::string> args = {"--to", "wav"};
    args.insert(args.end(), files.begin(), files.end());
    EXPECT_EQ(RunCliArgs(args, out, err), kExitFailed);
    EXPECT_EQ(out,
              "[1/3] Converting talk.flv... Failure\n[2/3] Converting game.swf... 0 Sound(s)\n"
              "[3/3] Converting new.swf... Failure\n");
    EXPECT_EQ(err,
              "kelvora-cli: talk.flv: AAC sound is converted with --all-formats\n"
              "kelvora-cli: game.swf: 2 Nellymoser sounds skipped (--all-formats converts them)\n"
              "kelvora-cli: new.swf: LZMA-compressed movies are read with --all-formats\n");

    args.insert(args.begin(), "--all-formats");
    EXPECT_EQ(RunCliArgs(args, out, err), kExitOk);
    EXPECT_EQ(err, "");
    EXPECT_NE(out.find("talk.wav\tWAV\t00:01\t16\t22.1 kHz\tMono"), std::string::npos);
    EXPECT_NE(out.find("game_002.wav\tWAV\t00:01\t16\t8.0 kHz\tMono"), std::string::npos);
    EXPECT_NE(out.find("new_002.wav\tWAV\t00:01\t16\t8.0 kHz\tMono"), std::string::npos);
    EXPECT_EQ(RunCliArgs({"--info", "--all-formats", dir.File("new.swf")}, out, err), kExitOk);
}

TEST(CliConvert, ListAndJsonTellWhatAConversionWouldDoAndDid) {
    TempDir dir;
    SwfMovie movie;
    movie.tags = Concat({DefineSound(7, 3, 2, true, false, 2205, Pcm16(Tone(2205, 1, 22050))),
                         DefineSound(8, 6, 2, true, false, 256, Bytes(64, 0)),
                         LinkageTag(56, {{7, "Hello"}}), SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("game.swf"), BuildSwf(movie)));
    ASSERT_TRUE(WriteFileBytes(
        dir.File("talk.flv"),
        FlvBuilder().Audio(FlvAudioFlags(2, 2, true, false), Mp3Of(1152, 1, 22050)).Build()));
    std::string out, err;
    ASSERT_EQ(RunCliArgs({"--list", "--names", "linkage", "--to", "wav", dir.File("game.swf"),
                          dir.File("talk.flv")},
                         out, err),
              kExitOk);
    EXPECT_EQ(out,
              "game.swf\tgame_Hello\tevent\tmain\t7\tPCM\t22050\t16\t1\t2205\t0:00.100\t"
              "Hello\tconverted\n"
              "game.swf\t-\tevent\tmain\t8\tNellymoser\t22050\t16\t1\t256\t0:00.011\t-\t"
              "skipped: Nellymoser sound is converted with --all-formats\n"
              "talk.flv\ttalk\ttrack\t-\t-\tMP3\t22050\t16\t1\t2304\t0:00.104\t-\tconverted\n");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.swf", "talk.flv"}));

    // The JSON document holds the same, and parses.
    ASSERT_EQ(RunCliArgs({"--list", "--json", "--names=linkage", dir.File("game.swf")}, out, err),
              kExitOk);
    const auto listing = nlohmann::json::parse(out);
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(listing[0]["compression"], "none");
    EXPECT_EQ(listing[0]["sounds"][0]["outputName"], "game_Hello");
    EXPECT_EQ(listing[0]["sounds"][0]["names"], nlohmann::json::array({"Hello"}));
    EXPECT_EQ(listing[0]["sounds"][1]["converted"], false);

    ASSERT_EQ(
        RunCliArgs({"--json", "--to", "wav", dir.File("game.swf"), dir.File("none.swf")}, out, err),
        kExitFailed);
    EXPECT_EQ(err, "");
    const auto converted = nlohmann::json::parse(out);
    ASSERT_EQ(converted.size(), 2u);
    EXPECT_EQ(converted[0]["status"], "1 Sound(s)");
    EXPECT_EQ(converted[0]["outputs"][0]["path"], dir.File("game.wav"));
    EXPECT_EQ(converted[0]["outputs"][0]["sampleFrames"], 2205);
    EXPECT_EQ(converted[0]["reasons"][0], "1 Nellymoser sound skipped (--all-formats converts it)");
    EXPECT_EQ(converted[1]["status"], "Failure");
    EXPECT_EQ(converted[1]["reasons"][0], "the file is gone or cannot be read");
    ASSERT_EQ(RunCliArgs({"--info", "--json", dir.File("talk.flv")}, out, err), kExitOk);
    EXPECT_EQ(nlohmann::json::parse(out)[0]["version"], 1);
}

// On a terminal, a run whose output is a document or a log keeps one progress line on standard
// error; the text lines are progress enough. Outputs carry their size and SHA-256.
TEST(CliConvert, ATerminalShowsProgressForDocumentsAndLogsAndOutputsCarryTheirHashes) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(
        dir.File("talk.flv"),
        FlvBuilder().Audio(FlvAudioFlags(2, 2, true, false), Mp3Of(1152, 1, 22050)).Build()));
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"--json", dir.File("talk.flv"), dir.File("none.flv")}, out, err, true),
              kExitFailed);
    const std::string last = err.str().substr(err.str().rfind('\r'));
    EXPECT_EQ(last.rfind("\r2/2 files, 1 outputs, 1 failed, ", 0), 0u) << last;
    EXPECT_EQ(last.substr(last.size() - 9), " left\033[K\n");
    const auto output = nlohmann::json::parse(out.str())[0]["outputs"][0];
    EXPECT_EQ(output["size"], std::filesystem::file_size(dir.File("talk.mp3")));
    EXPECT_EQ(output["sha256"].get<std::string>().size(), 64u);

    std::ostringstream text, quiet;
    RunCli({dir.File("talk.flv")}, text, quiet, true);
    EXPECT_EQ(quiet.str(), "");
    EXPECT_EQ(RunCli({"--list", "--log", dir.File("run.log"), dir.File("talk.flv")}, text, quiet),
              kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(dir.File("run.log")));
}

// A log skips what is done for good: a file converted, or one that is no movie (it would fail
// again); a file that was missing is converted once it is there, and a file changed since is
// converted again beside its old outputs.
TEST(CliConvert, ALoggedRunSkipsOnlyWhatIsDoneForGood) {
    TempDir dir;
    const Bytes video =
        FlvBuilder().Audio(FlvAudioFlags(2, 2, true, false), Mp3Of(1152, 1, 22050)).Build();
    ASSERT_TRUE(WriteFileBytes(dir.File("a.flv"), video));
    ASSERT_TRUE(WriteFileBytes(dir.File("b.swf"), {1, 2, 3}));
    const std::vector<std::string> args = {"--log", dir.File("run.log"), dir.File("a.flv"),
                                           dir.File("b.swf"), dir.File("c.flv")};
    std::string out, err;
    EXPECT_EQ(RunCliArgs(args, out, err), kExitFailed);
    ASSERT_TRUE(WriteFileBytes(dir.File("c.flv"), video));
    EXPECT_EQ(RunCliArgs(args, out, err), kExitOk);
    EXPECT_EQ(err, "kelvora-cli: skipped 2 file(s) the log records as done\n");
    EXPECT_EQ(out.rfind("[1/1] Converting c.flv... 1 Sound(s)\n", 0), 0u) << out;

    ASSERT_TRUE(WriteFileBytes(dir.File("a.flv"), Concat({video, video})));
    EXPECT_EQ(RunCliArgs(args, out, err), kExitOk);
    EXPECT_EQ(out.rfind("[1/1] Converting a.flv... 1 Sound(s)\n", 0), 0u) << out;
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.flv", "a.mp3", "a_1.mp3", "b.swf", "c.flv",
                                                    "c.mp3", "run.log"}));
    std::ifstream log(dir.File("run.log"));
    size_t lines = 0;
    for (std::string line; std::getline(log, line); ++lines) {
        const auto object = nlohmann::json::parse(line);
        EXPECT_EQ(object["complete"], object["file"] != "c.flv" || lines > 2) << line;
    }
    EXPECT_EQ(lines, 5u);
}

TEST(CliConvert, AFolderStandsForTheFilesFoundInIt) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("media/sub"));
    ASSERT_TRUE(WriteFileBytes(dir.File("media/sub/v.flv"), FlvBuilder(9, 3).Build()));
    ASSERT_TRUE(WriteFileBytes(dir.File("media/a.flv"), FlvBuilder(9, 2).Build()));
    ASSERT_TRUE(WriteFileBytes(dir.File("media/notes.txt"), {1}));
    std::string out, err;
    EXPECT_EQ(RunCliArgs({"--info", dir.File("media")}, out, err), kExitOk);
    EXPECT_EQ(out, "a.flv\t2\t\t\t\t\t" + dir.File("media/a.flv") + "\n" + "v.flv\t3\t\t\t\t\t" +
                       dir.File("media/sub/v.flv") + "\n");
}

TEST(CliConvert, InfoTakesFlvFilesAndBadFormatsAreUsageErrors) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("v.flv"), FlvBuilder(9, 1).Video().Build()));
    std::string out, err;
    EXPECT_EQ(RunCliArgs({"--info", dir.File("v.flv")}, out, err), kExitOk);
    EXPECT_EQ(out, "v.flv\t1\t\t\t\t\t" + dir.File("v.flv") + "\n");
    EXPECT_EQ(RunCliArgs({"--to", "ogg", dir.File("v.flv")}, out, err), kExitUsage);
    EXPECT_NE(err.find("ogg"), std::string::npos);
    EXPECT_EQ(RunCliArgs({"--to"}, out, err), kExitUsage);
    EXPECT_EQ(RunCliArgs({"--to=WAV"}, out, err), kExitUsage);  // a format but no file
}

// A named pipe called like a movie or a video is refused at once, never waited on: each run is
// made in a child process that an alarm ends.
TEST(CliConvert, ANamedPipeIsRefusedAndNeverWaitedOn) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe.swf").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(dir.File("pipe.flv").c_str(), 0600), 0);
    for (const char* mode : {"--info", "--list", "--keep-timing"}) {
        const std::vector<std::string> args = {mode, dir.File("pipe.swf"), dir.File("pipe.flv")};
        const auto run = [&args] {
            ::alarm(30);
            std::string out;
            std::string err;
            const int status = RunCliArgs(args, out, err);
            std::cerr << err;
            std::_Exit(status);
        };
        EXPECT_EXIT(run(), testing::ExitedWithCode(kExitFailed),
                    "pipe.swf: the file is gone or cannot be read\n.*pipe.flv: the file is gone")
            << mode;
    }
}

// Names are bytes: a file named in Latin-1, the ANSI names of old movies, a name too long for
// the file system beside a long source name, a name with a line break. None may abort the
// document, cost a sound or break the listing's lines.
TEST(CliConvert, NamesOfAnyBytesAndLengthAreWrittenListedAndReportedSafely) {
    TempDir dir;
    const Bytes pcm = Pcm16(Tone(200, 1, 22050));
    const auto movie = [&](uint8_t version, const std::string& name) {
        SwfMovie m;
        m.version = version;
        m.tags = Concat({DefineSound(1, 3, 2, true, false, 200, pcm),
                         DefineSound(2, 3, 2, true, false, 200, pcm),
                         LinkageTag(56, {{1, name}, {2, "two\nlines\tand tab"}}), SwfEndTag()});
        return BuildSwf(m);
    };
    const std::string latin1 = dir.File("caf\xe9.swf");
    ASSERT_TRUE(WriteFileBytes(latin1, movie(5, "Ol\xe9")));                // Windows-1252
    ASSERT_TRUE(WriteFileBytes(dir.File("new.swf"), movie(6, "bad\xff")));  // SWF 6: UTF-8
    const std::string longBase(200, 'x');
    ASSERT_TRUE(WriteFileBytes(dir.File(longBase + ".swf"), movie(6, std::string(120, 'n'))));
    const std::vector<std::string> files = {latin1, dir.File("new.swf"),
                                            dir.File(longBase + ".swf")};

    std::vector<std::string> args = {"--list", "--names", "linkage", "--to", "wav"};
    args.insert(args.end(), files.begin(), files.end());
    std::string listed, err;
    ASSERT_EQ(RunCliArgs(args, listed, err), kExitOk);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 6) << listed;
    EXPECT_NE(listed.find("\ttwo\\nlines\\tand tab\t"), std::string::npos);

    args.erase(args.begin());
    args.push_back("--json");
    std::string out;
    ASSERT_EQ(RunCliArgs(args, out, err), kExitOk);
    EXPECT_EQ(err, "");
    const auto doc = nlohmann::json::parse(out);  // throws on anything but UTF-8
    ASSERT_EQ(doc.size(), 3u);
    EXPECT_EQ(doc[0]["file"], "caf\xEF\xBF\xBD.swf");
    EXPECT_EQ(doc[0]["outputs"][0]["file"], "caf\xEF\xBF\xBD_Ol\xC3\xA9.wav");
    EXPECT_EQ(doc[1]["outputs"][0]["file"], "new_bad\xEF\xBF\xBD.wav");
    EXPECT_EQ(doc[1]["outputs"][1]["file"], "new_two_lines_and tab.wav");
    // The long name is cut so that the whole name, with room for "_N", fits in 255 bytes.
    ASSERT_EQ(doc[2]["outputs"].size(), 2u);
    const std::string cut = doc[2]["outputs"][0]["file"];
    EXPECT_EQ(cut, longBase + "_" + std::string(255 - 200 - 1 - 4 - 11, 'n') + ".wav");
    EXPECT_TRUE(PathExists(dir.File(cut)));
    EXPECT_NE(listed.find(cut.substr(0, cut.size() - 4) + "\tevent"), std::string::npos);
    EXPECT_TRUE(PathExists(dir.File("caf\xe9_Ol\xC3\xA9.wav")));

    ASSERT_EQ(RunCliArgs({"--list", "--json", "--names", "linkage", latin1}, out, err), kExitOk);
    EXPECT_EQ(nlohmann::json::parse(out)[0]["sounds"][0]["names"][0], "Ol\xC3\xA9");
}

// Flash ADPCM data always holds 16-bit initial samples: the sample size bit of its flags is
// ignored, as players and ffmpeg ignore it, in a video and in a movie's stream alike.
TEST(CliConvert, AdpcmWithTheEightBitFlagDecodesAsFfmpegDoes) {
    TempDir dir;
    const FlvAudio adpcm = ReadFlvAudio(ReadFileBytes(TestDataDir() + "/adpcm/stereo44k.flv"));
    const Bytes ref = ReadFileBytes(TestDataDir() + "/adpcm/stereo44k.s16le");
    const uint8_t eightBit = FlvAudioFlags(1, 3, false, true);
    FlvBuilder video;
    Bytes stream = SoundStreamHead(1, 3, false, true, 4096);
    for (const Bytes& packet : adpcm.packets) {
        video.Audio(eightBit, packet);
        stream = Concat({stream, SoundStreamBlock(packet), ShowFrame()});
    }
    SwfMovie movie;
    movie.tags = Concat({stream, SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("v.flv"), video.Build()));
    ASSERT_TRUE(WriteFileBytes(dir.File("m.swf"), BuildSwf(movie)));
    std::string out, err;
    ASSERT_EQ(RunCliArgs({"--list", dir.File("v.flv"), dir.File("m.swf")}, out, err), kExitOk);
    EXPECT_NE(out.find("\tADPCM\t44100\t16\t2\t"), std::string::npos) << out;
    EXPECT_EQ(out.find("\tADPCM\t44100\t8\t"), std::string::npos) << out;
    ASSERT_EQ(RunCliArgs({"--to", "wav", dir.File("v.flv"), dir.File("m.swf")}, out, err), kExitOk);
    for (const char* wav : {"v.wav", "m.wav"}) {
        const Bytes bytes = ReadFileBytes(dir.File(wav));
        ASSERT_GT(bytes.size(), 44u) << wav;
        EXPECT_EQ(bytes[34], 16) << wav;  // bits per sample
        EXPECT_TRUE(Bytes(bytes.begin() + 44, bytes.end()) == ref) << wav;
    }
}

// On a machine where the decoding libraries cannot be loaded, every reason that follows from it
// says which library or symbol is missing, as the loader said.
TEST(CliConvert, MissingDecodingLibrariesAreNamedInEveryReason) {
    TempDir dir;
    ASSERT_TRUE(
        WriteFileBytes(dir.File("talk.flv"), ReadFileBytes(TestDataDir() + "/codecs/nelly8k.flv")));
    ASSERT_TRUE(WriteFileBytes(dir.File("aac.flv"),
                               ReadFileBytes(TestDataDir() + "/codecs/aac22k_mono.flv")));
    SwfMovie movie;
    movie.tags = Concat({DefineSound(1, 6, 2, true, false, 256, Bytes(64, 0)), SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("game.swf"), BuildSwf(movie)));
    const std::vector<std::string> files = {dir.File("talk.flv"), dir.File("aac.flv"),
                                            dir.File("game.swf")};
    struct Case {
        LibraryOpener opener;
        std::string said;
    };
    const std::vector<Case> cases = {
        {[](const char* soname, std::string& error) -> void* {
             if (std::string(soname).rfind("libavcodec", 0) == 0) {
                 error = std::string(soname) + ": cannot open shared object file";
                 return nullptr;
             }
             return ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
         },
         ": cannot open shared object file"},
        // Another library where libavcodec should be: its functions are missing.
        {[](const char* soname, std::string&) -> void* {
             return ::dlopen(std::string(soname).rfind("libavcodec", 0) == 0 ? "libz.so.1" : soname,
                             RTLD_NOW | RTLD_LOCAL);
         },
         "the symbol avcodec_alloc_context3 is missing from"}};
    for (const Case& c : cases) {
        ReloadLibAvForTesting(c.opener);
        std::string out, err;
        std::vector<std::string> args = {"--all-formats", "--to", "wav"};
        args.insert(args.end(), files.begin(), files.end());
        EXPECT_EQ(RunCliArgs(args, out, err), kExitFailed);
        const std::string said = CCodecDecoder::LibraryError();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(err, "kelvora-cli: talk.flv: Nellymoser sound cannot be decoded: " + said +
                           "\nkelvora-cli: aac.flv: AAC sound cannot be decoded: " + said +
                           "\nkelvora-cli: game.swf: 1 Nellymoser sound skipped (" + said + ")\n");
        args[0] = "--list";
        args.insert(args.begin(), "--all-formats");
        EXPECT_EQ(RunCliArgs(args, out, err), kExitOk);
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3);
        size_t lines = 0;
        for (size_t at = 0; (at = out.find("skipped: ", at)) != std::string::npos; ++at) {
            ++lines;
        }
        EXPECT_EQ(lines, 3u) << out;
        EXPECT_NE(out.find("\t-\ttrack\t"), std::string::npos) << out;
    }
    // Without libavformat, a sound kept in its own coding is told, and no file takes its name.
    ReloadLibAvForTesting([](const char* soname, std::string& error) -> void* {
        if (std::string(soname).rfind("libavformat", 0) == 0) {
            error = std::string(soname) + ": cannot open shared object file";
            return nullptr;
        }
        return ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    });
    const Bytes mp3 = Mp3Of(1152 * 4, 1, 22050);
    ASSERT_TRUE(WriteFileBytes(dir.File("song.flv"),
                               FlvBuilder().Audio(FlvAudioFlags(2, 2, true, false), mp3).Build()));
    movie.tags = Concat({DefineSound(1, 2, 2, true, false, 1152 * 4, Concat({{0, 0}, mp3})),
                         SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("tune.swf"), BuildSwf(movie)));
    std::string out, err;
    EXPECT_EQ(RunCliArgs({"--to", "original", dir.File("song.flv"), dir.File("tune.swf")}, out, err),
              kExitFailed);
    EXPECT_NE(err.find("song.flv: MP3 sound cannot be decoded: libavformat"), std::string::npos)
        << err;
    EXPECT_NE(err.find("tune.swf: "), std::string::npos) << err;
    for (const std::string& name : dir.List()) {
        EXPECT_EQ(name.find(".mp3"), std::string::npos) << name;
    }
    ReloadLibAvForTesting(nullptr);
    ASSERT_TRUE(CCodecDecoder::Available());
}

}  // namespace
}  // namespace kelvora
