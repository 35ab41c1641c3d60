// Sounds inside wrappers, with the option that reads them: movies embedded in movies, projectors
// and ZIP archives give exactly what their movies and videos give alone, and hostile wrappers
// end with a reason.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/Cli.h"
#include "engine/BitReader.h"
#include "engine/File.h"
#include "swf/CSwfReader.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "support/ZipBuilder.h"

namespace kelvora {
namespace {

using namespace test;
namespace fs = std::filesystem;

Bytes Movie(const Bytes& tags, bool compressed = false, bool lzma = false) {
    SwfMovie movie;
    movie.compressed = compressed;
    movie.lzma = lzma;
    movie.tags = Concat({tags, SwfEndTag()});
    return BuildSwf(movie);
}

Bytes BinaryData(uint16_t id, const Bytes& data) {
    ByteWriter body;
    body.U16(id).U32(0).Append(data);
    return SwfTag(87, body.bytes(), true);
}

// Every file below `folder` but `except`, by its path inside the folder, as its bytes.
std::map<std::string, Bytes> FilesIn(const std::string& folder, const std::string& except) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string path = fs::relative(entry.path(), folder);
        if (entry.is_regular_file() && path != except) {
            files[path] = ReadFileBytes(entry.path());
        }
    }
    return files;
}

// The files `name` gives alone, converted to WAV with every format.
std::map<std::string, Bytes> Alone(const std::string& name, const Bytes& file) {
    TempDir dir;
    WriteFileBytes(dir.File(name), file);
    std::ostringstream out, err;
    RunCli({"--all-formats", "--to", "wav", dir.File(name)}, out, err);
    return FilesIn(dir.path(), name);
}

int Cli(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int status = RunCli(args, o, e);
    out = o.str();
    err = e.str();
    return status;
}

// Three movies of three kinds of compression, each with sound.
struct Movies {
    Bytes plain = Movie(DefineSound(1, 3, 2, true, false, 2205, Pcm16(Tone(2205, 1, 22050))));
    Bytes zlib = Movie(Concat({DefineSound(1, 3, 1, true, false, 1000, Pcm16(Tone(1000, 1, 11025))),
                               PcmStream(Pcm16(Tone(22050, 2, 44100)))}),
                       true);
    Bytes lzma = Movie(DefineSound(3, 2, 2, true, false, 2304, Mp3Of(2304, 1, 22050)), true, true);
};

TEST(Wrappers, EmbeddedMoviesGiveWhatTheyGiveAloneAndHostileNestingEndsWithAReason) {
    const Movies m;
    const Bytes game =
        Movie(Concat({BinaryData(5, m.plain), BinaryData(6, m.zlib), BinaryData(7, m.lzma),
                      BinaryData(8, Noise(300)),
                      DefineSound(9, 3, 2, true, false, 500, Pcm16(Tone(500, 1, 22050)))}),
              true);
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("game.swf"), game));
    std::string out, err;
    // Without the option only the movie's own sound.
    ASSERT_EQ(Cli({"--all-formats", "--to", "wav", dir.File("game.swf")}, out, err), kExitOk);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"game.swf", "game.wav"}));
    RemoveFile(dir.File("game.wav"));

    ASSERT_EQ(Cli({"--list", "--embedded", "--all-formats", "--to", "wav", dir.File("game.swf")},
                  out, err),
              kExitOk);
    EXPECT_NE(out.find("game.swf#bin6\tgame_bin6_002\tstream\t"), std::string::npos) << out;
    ASSERT_EQ(Cli({"--embedded", "--all-formats", "--to", "wav", dir.File("game.swf")}, out, err),
              kExitOk);
    std::map<std::string, Bytes> got = FilesIn(dir.path(), "game.swf");
    std::map<std::string, Bytes> want = {
        {"game.wav", Alone("x.swf", Movie(DefineSound(9, 3, 2, true, false, 500,
                                                      Pcm16(Tone(500, 1, 22050)))))["x.wav"]}};
    for (const auto& [id, name, bytes] :
         {std::tuple{"5", "a", m.plain}, {"6", "b", m.zlib}, {"7", "c", m.lzma}}) {
        for (const auto& [file, content] : Alone(std::string(name) + ".swf", bytes)) {
            want["game_bin" + std::string(id) + file.substr(1)] = content;
        }
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(ReadFileBytes(dir.File("game.swf")), game);

    // Movies nested ten deep: eight levels below the file are read, the ninth is refused.
    Bytes nested = m.plain;
    for (int level = 0; level < 10; ++level) {
        nested = Movie(Concat({BinaryData(1, nested), DefineSound(2, 3, 2, true, false, 100,
                                                                  Pcm16(Tone(100, 1, 22050)))}));
    }
    TempDir deep;
    ASSERT_TRUE(WriteFileBytes(deep.File("deep.swf"), nested));
    ASSERT_EQ(Cli({"--embedded", "--to", "wav", deep.File("deep.swf")}, out, err), kExitOk);
    EXPECT_EQ(deep.List().size(), 1u + 9u);  // the file's own sound and 8 levels' below it
    std::string where = "deep.swf";
    for (int level = 0; level < 9; ++level) {
        where += "#bin1";
    }
    EXPECT_NE(err.find(where + ": it lies more than 8 movies deep"), std::string::npos) << err;
}

TEST(Wrappers, AMovieEmbeddedAgainIsReadOnceAndOneFileCausesBoundedWork) {
    // Ten copies of the same movie at each of six levels: a million movies if each were read.
    const Bytes sound = DefineSound(20, 3, 2, true, false, 100, Pcm16(Tone(100, 1, 22050)));
    Bytes level = Movie(sound, true);
    for (int depth = 0; depth < 6; ++depth) {
        Bytes tags = sound;
        for (uint16_t id = 1; id <= 10; ++id) {
            tags = Concat({tags, BinaryData(id, level)});
        }
        level = Movie(tags, true);
    }
    ASSERT_LT(level.size(), 4096u);
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("fan.swf"), level));
    std::string out, err;
    ASSERT_EQ(Cli({"--embedded", "--to", "wav", dir.File("fan.swf")}, out, err), kExitOk);
    EXPECT_EQ(dir.List().size(), 1u + 7u);  // the movie, and one sound for each movie of its 7
    EXPECT_NE(err.find("fan.swf#bin2: the same movie as fan.swf#bin1, read once"),
              std::string::npos)
        << err;

    // Past the movies one file may embed, the rest is not read and the reason says so.
    Bytes many;
    for (uint32_t i = 0; i <= WorkBudget::kMostEmbeddedMovies; ++i) {
        SwfMovie movie;
        movie.frameCount = static_cast<uint16_t>(i);  // each of its own bytes
        movie.xMax = static_cast<int32_t>(i / 65536);
        movie.tags = Concat({ShowFrame(), ShowFrame(), ShowFrame(), SwfEndTag()});
        many = Concat({many, BinaryData(static_cast<uint16_t>(i), BuildSwf(movie))});
    }
    ASSERT_TRUE(WriteFileBytes(dir.File("many.swf"), Movie(Concat({sound, many}), true)));
    ASSERT_EQ(Cli({"--list", "--embedded", dir.File("many.swf")}, out, err), kExitOk);
    EXPECT_NE(err.find(": not read, nor anything after it: the file embeds more than 10000 movies"),
              std::string::npos)
        << err.substr(0, 300);

    // Past the outputs one file may write, its sounds are skipped and the report says so.
    const Bytes three = Movie(Concat({sound, DefineSound(21, 3, 2, true, false, 50, Noise(100)),
                                      DefineSound(22, 3, 2, true, false, 50, Noise(100))}));
    ASSERT_TRUE(WriteFileBytes(dir.File("three.swf"), three));
    CSwfReader reader;
    reader.SetLimits(2, UINT64_MAX);
    ASSERT_TRUE(reader.Convert(dir.File("three.swf"), false));
    EXPECT_EQ(reader.Elements().size(), 2u);
    EXPECT_EQ(DescribeReport(reader.Report(), "--all-formats"),
              std::vector<std::string>{
                  "1 PCM sound skipped (the file gives more outputs than one file may)"});
}

TEST(Wrappers, AProjectorGivesWhatItsMovieGivesAloneWithOrWithoutItsFooter) {
    const Movies m;
    const Bytes player = Noise(20000, 7);
    ByteWriter footer;
    footer.U8(0x56).U8(0x34).U8(0x12).U8(0xFA).U32(static_cast<uint32_t>(m.zlib.size()));
    std::map<std::string, Bytes> want;
    for (const auto& [file, content] : Alone("b.swf", m.zlib)) {
        want["game" + file.substr(1)] = content;
    }
    const struct {
        const char* name;
        Bytes file;
    } projectors[] = {
        {"game.exe", Concat({player, m.zlib, footer.bytes()})},
        {"game", Concat({player, m.zlib})},  // no footer, no extension
        {"game.exe",
         Concat({player, m.zlib, Bytes{0x56, 0x34, 0x12, 0xFA, 0xFF, 0xFF, 0xFF, 0x7F}})},
    };
    for (const auto& p : projectors) {
        TempDir dir;
        ASSERT_TRUE(WriteFileBytes(dir.File(p.name), p.file));
        std::string out, err;
        ASSERT_EQ(Cli({"--embedded", "--to", "wav", dir.File(p.name)}, out, err), kExitOk) << err;
        EXPECT_EQ(FilesIn(dir.path(), p.name), want) << p.name;
        // Without the option it is no file of ours.
        EXPECT_EQ(Cli({"--to", "wav", dir.File(p.name)}, out, err), kExitFailed);
    }
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("tool.exe"), player));
    std::string out, err;
    EXPECT_EQ(Cli({"--embedded", dir.File("tool.exe")}, out, err), kExitFailed);
    EXPECT_EQ(err, "kelvora-cli: tool.exe: no movie or video was found in it\n");
}

TEST(Wrappers, AZipGivesWhatItsMembersGiveAloneInAFolderOfItsOwnAndNeverLeavesIt) {
    const Movies m;
    const Bytes video = ReadFileBytes(TestDataDir() + "/adpcm/mono22k.flv");
    const Bytes zip = ZipOf({{"a.swf", m.plain, {}},
                             {"sub/b.swf", m.zlib, {}},
                             {"videos/c.flv", video, {}},
                             {"../evil.swf", m.plain, {}},
                             {"/abs/x.swf", m.plain, {}},
                             {"link.swf", {}, "../../etc/passwd"},
                             {"notes.txt", Bytes(10, 'x'), {}}});
    TempDir dir;
    fs::create_directory(dir.File("inside"));
    ASSERT_TRUE(WriteFileBytes(dir.File("inside/bundle.zip"), zip));
    std::string out, err;
    ASSERT_EQ(Cli({"--list", "--embedded", "--to", "wav", dir.File("inside/bundle.zip")}, out, err),
              kExitOk);
    EXPECT_NE(out.find("bundle.zip/sub/b.swf\tb_001\tevent\t"), std::string::npos) << out;
    ASSERT_EQ(Cli({"--embedded", "--to", "wav", dir.File("inside/bundle.zip")}, out, err), kExitOk)
        << err;
    std::map<std::string, Bytes> want;
    for (const auto& [file, content] : Alone("a.swf", m.plain)) {
        want["bundle/" + file] = content;
        want["bundle/evil.wav"] = content;
        want["bundle/abs/x.wav"] = content;
    }
    for (const auto& [file, content] : Alone("b.swf", m.zlib)) {
        want["bundle/sub/" + file] = content;
    }
    want["bundle/videos/c.wav"] = Alone("c.flv", video)["c.wav"];
    want["bundle.zip"] = zip;  // never written
    EXPECT_EQ(FilesIn(dir.File("inside"), ""), want);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"inside"});  // nothing outside its folder

    // Again: the folder is there, and is never written into; a new one is made.
    ASSERT_EQ(Cli({"--embedded", "--to", "wav", dir.File("inside/bundle.zip")}, out, err), kExitOk);
    EXPECT_TRUE(fs::exists(dir.File("inside/bundle_1/sub/b_001.wav")));
    EXPECT_EQ(FilesIn(dir.File("inside/bundle"), "").size(), 6u);

    // A broken archive, and one whose entries share their data, end with their reasons.
    ASSERT_TRUE(WriteFileBytes(dir.File("broken.zip"), Noise(3000)));
    EXPECT_EQ(Cli({"--embedded", dir.File("broken.zip")}, out, err), kExitFailed);
    EXPECT_EQ(err.rfind("kelvora-cli: broken.zip: the archive cannot be read", 0), 0u) << err;
    ASSERT_TRUE(WriteFileBytes(dir.File("bomb.zip"), OverlappingZip(Bytes(4 << 20, 0), 300)));
    EXPECT_EQ(Cli({"--embedded", dir.File("bomb.zip")}, out, err), kExitFailed);
    EXPECT_NE(err.find("it inflates past what any compression gives"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir.File("bomb")));
}

// Sets or clears each member's flag that says its name is UTF-8 (bit 11 of the flags), in the
// central directory and in the member's own header.
Bytes WithUtf8Flags(Bytes zip, const std::vector<bool>& utf8) {
    const auto u16 = [&](size_t at) { return size_t{zip[at]} | size_t{zip[at + 1]} << 8; };
    size_t at = LoadLe32(zip.data() + zip.size() - 22 + 16);  // the end record's directory
    for (const bool flag : utf8) {
        for (const size_t field : {at + 8, size_t{LoadLe32(zip.data() + at + 42)} + 6}) {
            zip[field + 1] = static_cast<uint8_t>(flag ? zip[field + 1] | 0x08
                                                       : zip[field + 1] & ~0x08);
        }
        at += 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
    }
    return zip;
}

TEST(Wrappers, MembersNamedInAnyScriptConvertWhateverTheLocale) {
    // The tests run in the "C" locale, as a program started with no locale at all does.
    const Movies m;
    const Bytes zip = WithUtf8Flags(ZipOf({{"música/canción.swf", m.plain, {}},
                                           {"日本/音.swf", m.plain, {}},
                                           {"naïve.swf", m.plain, {}},
                                           {"\x82t\x82.swf", m.plain, {}},
                                           {"..", m.plain, {}}}),
                                    {true, true, false, false, false});
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("songs.zip"), zip));
    std::string out, err;
    ASSERT_EQ(Cli({"--embedded", "--to", "wav", dir.File("songs.zip")}, out, err), kExitOk) << err;
    const Bytes wav = Alone("a.swf", m.plain)["a.wav"];
    // UTF-8 names, flagged or not; a legacy name in code page 437; one with nothing left of its
    // name, named after its place in the archive.
    const std::map<std::string, Bytes> want = {{"música/canción.wav", wav},
                                               {"日本/音.wav", wav},
                                               {"naïve.wav", wav},
                                               {"été.wav", wav},
                                               {"member_5.wav", wav}};
    EXPECT_EQ(FilesIn(dir.File("songs"), ""), want);
}

// Wrappers beside files whose outputs claim the same names: four at once write the names and
// bytes of one after another (their MP3 sound decoded to WAV meanwhile).
TEST(Wrappers, SeveralAtOnceWriteTheBytesOfOneAfterAnother) {
    const auto mp3Movie = [](uint16_t id, uint32_t frames) {
        return Movie(DefineSound(id, 2, 3, true, true, frames, Mp3Of(frames, 2, 44100)));
    };
    const Bytes inner = mp3Movie(1, 1152 * 150);
    const Bytes two =
        Movie(Concat({DefineSound(1, 2, 3, true, true, 1152 * 100, Mp3Of(1152 * 100, 2, 44100)),
                      DefineSound(2, 3, 2, true, false, 2205, Pcm16(Tone(2205, 1, 22050)))}));
    ByteWriter footer;
    footer.U8(0x56).U8(0x34).U8(0x12).U8(0xFA).U32(static_cast<uint32_t>(two.size()));
    const std::map<std::string, Bytes> sources = {
        {"game.swf", Movie(Concat({BinaryData(5, two), BinaryData(6, inner)}))},
        {"game_bin5.swf", two},  // claims the names of game.swf's first embedded movie
        {"p.exe", Concat({Noise(5000, 3), two, footer.bytes()})},
        {"p.swf", inner},
        {"bundle.zip", ZipOf({{"a.swf", two, {}}, {"sub/bundle.swf", inner, {}}})},
        {"bundle.swf", two},
    };
    const auto run = [&](const std::string& jobs) {
        TempDir dir;
        std::vector<std::string> args = {"--embedded", "--to", "wav", "-j", jobs};
        for (const auto& [name, bytes] : sources) {
            WriteFileBytes(dir.File(name), bytes);
            args.push_back(dir.File(name));
        }
        std::string out, err;
        EXPECT_EQ(Cli(args, out, err), kExitOk) << err;
        std::map<std::string, Bytes> written = FilesIn(dir.path(), "");
        for (const auto& [name, bytes] : sources) {
            written.erase(name);
        }
        return written;
    };
    const std::map<std::string, Bytes> inTurn = run("1");
    std::string names;
    for (const auto& [name, bytes] : inTurn) {
        names += name + " ";
    }
    ASSERT_EQ(inTurn.size(), 13u) << names;
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(run("4"), inTurn) << "run " << k;
    }
}

}  // namespace
}  // namespace kelvora
