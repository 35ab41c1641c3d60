#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "audio/WavFile.h"
#include "engine/MappedFile.h"
#include "engine/PathUtil.h"
#include "flv/CFlvReader.h"
#include "merge/CMp3Merger.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/FakeShell.h"
#include "support/Faults.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "swf/CSwfReader.h"
#include "ui/CMainDlg.h"

namespace kelvora {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A mono 4-bit ADPCM packet of `codes` + 1 samples.
Bytes Adpcm(uint32_t codes) {
    BitWriter w;
    w.Bits(2, 2).Bits(0, 16).Bits(30, 6);
    for (uint32_t i = 0; i < codes; ++i) {
        w.Bits((i * 7) % 16, 4);
    }
    return w.Finish();
}

Bytes Movie(const Bytes& tags) {
    SwfMovie movie;
    movie.tags = Concat({tags, SwfEndTag()});
    return BuildSwf(movie);
}

// Every file under `dir` with its size: what a fault may not leave behind is visible here.
std::map<std::string, uintmax_t> Files(const std::string& dir) {
    std::map<std::string, uintmax_t> files;
    for (const auto& e : fs::directory_iterator(dir)) {
        files[e.path().filename().string()] = e.is_regular_file() ? e.file_size() : 0;
    }
    return files;
}

TEST(Faults, AFullDiskLosesTheElementOrTheConversionButLeavesNoPartialFile) {
    TempDir dir;
    SmallDisk disk(dir.File("disk"), "160k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    // A short PCM sound that fits, then an ADPCM sound that decodes to ~200 KB: more than the disk.
    const Bytes small = Pcm16(Tone(500, 1, 22050));
    const std::string swf = dir.File("disk/clip.swf");
    ASSERT_TRUE(WriteFileBytes(
        swf, Movie(Concat({DefineSound(1, 3, 2, true, false, 500, small),
                           DefineSound(2, 1, 2, true, false, 100001, Adpcm(100000))}))));
    for (bool toMp3 : {false, true}) {
        CSwfReader reader;
        ASSERT_TRUE(reader.Convert(swf, toMp3));
        ASSERT_EQ(reader.Elements().size(), 1u);  // the big one is lost, not cut short
        // It keeps the name the plan gave it as one of two outputs.
        const std::string kept = reader.Elements()[0].path;
        EXPECT_EQ(kept, dir.File(toMp3 ? "disk/clip_001.mp3" : "disk/clip_001.wav"));
        if (!toMp3) {
            CWavReader wav;
            ASSERT_TRUE(wav.Open(kept));
            EXPECT_EQ(wav.FrameCount(), 500u);
        }
        EXPECT_EQ(Files(dir.File("disk")).size(), 2u) << "only the movie and its one element";
        RemoveFile(kept);
    }

    // An FLV whose MP3 track fits but whose decoded WAV does not: the conversion fails whole.
    ASSERT_TRUE(RemoveFile(swf));
    const std::string flv = dir.File("disk/talk.flv");
    ASSERT_TRUE(WriteFileBytes(
        flv, FlvBuilder().Audio(FlvAudioFlags(2, 3, true, true), Mp3Of(44100, 2, 44100)).Build()));
    CFlvReader reader;
    FlvAudioResult result;
    EXPECT_FALSE(reader.Convert(flv, false, &result));
    EXPECT_EQ(Files(dir.File("disk")),
              (std::map<std::string, uintmax_t>{{"talk.flv", fs::file_size(flv)}}));
}

TEST(Faults, AnUnwritableSourceFolderSendsOutputsToTheDocumentsFolder) {
    TempDir dir;
    // Everyone may pass through and write the home folder; nobody may write the media folder.
    fs::permissions(dir.path(), fs::perms::all);
    fs::create_directories(dir.File("home"));
    fs::permissions(dir.File("home"), fs::perms::all);
    fs::create_directories(dir.File("media"));
    ASSERT_TRUE(
        WriteFileBytes(dir.File("media/clip.swf"),
                       Movie(DefineSound(1, 3, 1, true, false, 100, Pcm16(Tone(100, 1, 11025))))));
    ASSERT_TRUE(WriteFileBytes(
        dir.File("media/talk.flv"),
        FlvBuilder().Audio(FlvAudioFlags(0, 1, false, false), Bytes(200, 0x80)).Build()));
    fs::permissions(dir.File("media"), fs::perms::owner_read | fs::perms::owner_exec |
                                           fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
    const std::string home = dir.File("home");
    const int result = RunUnprivileged([&] {
        ::setenv("HOME", home.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        CSwfReader swf;
        if (!swf.Convert(dir.File("media/clip.swf"), false) || swf.Elements().size() != 1) {
            return 1;
        }
        if (swf.Elements()[0].path != home + "/Documents/SWF_MP3_Files/clip.wav") {
            return 2;
        }
        CFlvReader flv;
        FlvAudioResult out;
        if (!flv.Convert(dir.File("media/talk.flv"), true, &out) ||
            out.path != home + "/Documents/FLV_MP3_Files/talk.mp3") {
            return 3;
        }
        return PathExists(swf.Elements()[0].path) && PathExists(out.path) ? 0 : 4;
    });
    ASSERT_NE(result, -1) << "could not run as an unprivileged user";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Files(dir.File("media")).size(), 2u);
}

struct World {
    FakeShell shell;
    TempDir dir;
    CMainDlg dlg{shell};
    World() {
        shell.firstRunSetting = 0;
        dlg.Start();
    }
};

TEST(Faults, SourcesThatVanishOrShrinkAfterAddingFailCleanlyAndSourcesAreNeverWritten) {
    World w;
    const Bytes pcm = Pcm16(Tone(3000, 1, 22050));
    const Bytes movie = Movie(Concat({DefineSound(1, 3, 2, true, false, 3000, pcm),
                                      DefineSound(2, 3, 2, true, false, 3000, pcm)}));
    const Bytes video =
        FlvBuilder().Audio(FlvAudioFlags(2, 2, true, false), Mp3Of(4608, 1, 22050)).Build();
    for (const char* name : {"gone.swf", "short.swf", "kept.swf"}) {
        ASSERT_TRUE(WriteFileBytes(w.dir.File(name), movie));
    }
    ASSERT_TRUE(WriteFileBytes(w.dir.File("short.flv"), video));
    ASSERT_TRUE(WriteFileBytes(w.dir.File("kept.flv"), video));
    for (const char* name : {"gone.swf", "short.swf", "kept.swf", "short.flv", "kept.flv"}) {
        ASSERT_TRUE(w.dlg.AddSourceFile(w.dir.File(name))) << name;
    }
    ASSERT_TRUE(RemoveFile(w.dir.File("gone.swf")));
    fs::resize_file(w.dir.File("short.swf"),
                    movie.size() - pcm.size() / 2);  // cuts the second sound
    fs::resize_file(w.dir.File("short.flv"), 40);    // cuts the audio tag
    const auto before = Files(w.dir.path());

    for (int32_t command : {kCmdConvertAllToWav, kCmdConvertAllToMp3}) {
        w.dlg.OnCommand(command);
        w.shell.WaitFor([&] { return !w.dlg.Converting(); });
        EXPECT_EQ(w.dlg.SourceListCtrl().Text(0, 2), "Failure");
        EXPECT_EQ(w.dlg.SourceListCtrl().Text(1, 2), "1 Sound(s)");
        EXPECT_EQ(w.dlg.SourceListCtrl().Text(2, 2), "2 Sound(s)");
        EXPECT_EQ(w.dlg.SourceListCtrl().Text(3, 2), "Failure");
        EXPECT_EQ(w.dlg.SourceListCtrl().Text(4, 2), "1 Sound(s)");
    }
    // The sources are as they were: same files, same sizes, same bytes.
    auto after = Files(w.dir.path());
    for (const auto& [name, size] : before) {
        EXPECT_EQ(after[name], size) << name;
    }
    EXPECT_EQ(ReadFileBytes(w.dir.File("kept.swf")), movie);
    EXPECT_EQ(ReadFileBytes(w.dir.File("kept.flv")), video);
    // The outputs are exactly those listed, all MP3 after the second batch.
    size_t outputs = 0;
    for (const auto& item : w.dlg.Items()) {
        for (const OutputItem& o : item->outputs) {
            EXPECT_TRUE(PathExists(o.path));
            EXPECT_EQ(ExtensionPart(o.path), ".mp3");
            ++outputs;
        }
    }
    EXPECT_EQ(after.size(), before.size() + outputs);
}

TEST(Faults, ASourceCutShortWhileItIsReadFailsAloneAndLeavesNoFile) {
    TempDir dir;
    const Bytes pcm = Noise(1 << 20);
    const Bytes movie = Movie(DefineSound(1, 3, 3, true, true, pcm.size() / 4, pcm));
    const std::string cut = dir.File("cut.swf");
    ASSERT_TRUE(WriteFileBytes(cut, movie));
    ASSERT_TRUE(WriteFileBytes(dir.File("next.swf"), movie));
    // Another program cuts the movie short just as its sound is about to be read.
    CSwfReader reader;
    bool cutNow = true;
    reader.SetTagVisitor([&](uint16_t code, size_t, size_t, size_t) {
        if (code == kSwfTagDefineSound && cutNow) {
            fs::resize_file(cut, 100);
        }
    });
    EXPECT_FALSE(reader.Convert(cut, false));
    EXPECT_EQ(reader.Report().failure, Failure::SourceChanged);
    EXPECT_EQ(Files(dir.path()).size(), 2u) << "no output, whole or part";
    cutNow = false;
    ASSERT_TRUE(reader.Convert(dir.File("next.swf"), false));
    EXPECT_EQ(ReadFileBytes(reader.Elements()[0].path).size(), 44 + pcm.size());

    // Any mapped file read past such a cut reads zeros and says so.
    CMappedFile map;
    ASSERT_TRUE(map.Open(dir.File("next.swf")));
    EXPECT_FALSE(map.Truncated());
    fs::resize_file(dir.File("next.swf"), 10);
    EXPECT_EQ(map.Data()[map.Size() - 1], 0);
    EXPECT_TRUE(map.Truncated());

    // A video's data is written straight from the mapped file, so the kernel meets the cut:
    // the write fails, and that is told as the cut it is, with no file left.
    const Bytes video = FlvBuilder().Audio(FlvAudioFlags(0, 3, true, true), Noise(1 << 20)).Build();
    ASSERT_TRUE(WriteFileBytes(dir.File("v.flv"), video));
    CFlvReader flv;
    ASSERT_TRUE(flv.Open(dir.File("v.flv"), false));
    fs::resize_file(dir.File("v.flv"), 100);
    flv.WalkTags();
    EXPECT_EQ(flv.Report().failure, Failure::SourceChanged);
    EXPECT_EQ(flv.OutputPath(), "");
    EXPECT_EQ(Files(dir.path()).size(), 4u);
}

TEST(Faults, MergeAndSaveAsWriteOnlyTargetsTheUserMayWrite) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const Bytes a = Mp3Of(2304, 1, 22050), b = Mp3Of(4608, 1, 22050);
    for (const char* name : {"open/a.mp3", "open/b.mp3", "open/theirs.mp3", "shut/mine.mp3"}) {
        fs::create_directories(fs::path(dir.File(name)).parent_path());
        ASSERT_TRUE(WriteFileBytes(dir.File(name), name[0] == 'o' ? a : Bytes{1, 2, 3}));
    }
    fs::permissions(dir.File("open"), fs::perms::all);
    fs::permissions(dir.File("open/theirs.mp3"), fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(dir.File("shut/mine.mp3"), fs::perms::all);
    fs::permissions(dir.File("shut"),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    ASSERT_TRUE(WriteFileBytes(dir.File("open/b.mp3"), b));
    std::vector<OutputItem> entries(2);
    entries[0].path = dir.File("open/a.mp3");
    entries[1].path = dir.File("open/b.mp3");
    const int result = RunUnprivileged([&] {
        std::string message;
        // Another user's read-only file in a folder anyone may write: refused, kept.
        if (RunMergeWithoutDialogs(entries, dir.File("open/theirs.mp3"), true, message) !=
                MergeOutcome::Failed ||
            ReadFileBytes(dir.File("open/theirs.mp3")) != a) {
            return 1;
        }
        // A file the user may write in a folder that takes no new file: written where it is.
        if (RunMergeWithoutDialogs(entries, dir.File("shut/mine.mp3"), true, message) !=
                MergeOutcome::Merged ||
            ReadFileBytes(dir.File("shut/mine.mp3")) != Concat({a, b})) {
            return 2;
        }
        // Save As keeps to the same rule.
        World w;
        w.dlg.OutputListCtrl().AddRow({"1", "b.mp3", "", "", "", "", "", dir.File("open/b.mp3")},
                                      {});
        w.dlg.OutputListCtrl().SelectOnly(0);
        w.shell.fileDialogAnswers.push_back(std::vector<std::string>{dir.File("open/theirs.mp3")});
        w.dlg.OnCommand(kCmdSaveAs);
        if (w.shell.MessageTexts() != std::vector<std::string>{"Failed to copy file."} ||
            ReadFileBytes(dir.File("open/theirs.mp3")) != a) {
            return 3;
        }
        w.shell.fileDialogAnswers.push_back(std::vector<std::string>{dir.File("shut/mine.mp3")});
        w.dlg.OnCommand(kCmdSaveAs);
        return ReadFileBytes(dir.File("shut/mine.mp3")) == b ? 0 : 4;
    });
    ASSERT_NE(result, -1) << "could not run as an unprivileged user";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Files(dir.File("open")).size(), 3u) << "no temporary file left";
}

TEST(Faults, AnOutputDeletedBehindTheProgramsBackIsReportedNotCopiedOrMerged) {
    World w;
    const Bytes video =
        FlvBuilder().Audio(FlvAudioFlags(2, 2, true, false), Mp3Of(2304, 1, 22050)).Build();
    ASSERT_TRUE(WriteFileBytes(w.dir.File("a.flv"), video));
    ASSERT_TRUE(WriteFileBytes(w.dir.File("b.flv"), video));
    ASSERT_TRUE(w.dlg.AddSourceFile(w.dir.File("a.flv")));
    ASSERT_TRUE(w.dlg.AddSourceFile(w.dir.File("b.flv")));
    w.dlg.OnCommand(kCmdConvertAllToMp3);
    w.shell.WaitFor([&] { return !w.dlg.Converting(); });
    w.dlg.SourceListCtrl().SelectOnly(0);
    w.dlg.OnSourceSelectionChanged();
    w.dlg.OutputListCtrl().SelectOnly(0);
    ASSERT_TRUE(RemoveFile(w.dir.File("a.mp3")));
    w.shell.messages.clear();

    w.shell.fileDialogAnswers.push_back(std::vector<std::string>{w.dir.File("copy.mp3")});
    w.dlg.OnCommand(kCmdSaveAs);
    EXPECT_EQ(w.shell.MessageTexts(), std::vector<std::string>{"Failed to copy file."});
    EXPECT_FALSE(PathExists(w.dir.File("copy.mp3")));

    w.dlg.OnCommand(kCmdPlayOutput);  // the desktop reports a missing file its own way
    EXPECT_EQ(w.shell.opened.back(), w.dir.File("a.mp3"));
}

}  // namespace
}  // namespace kelvora
