// The desktop program with its real toolkit side (QtShell: the progress window, the pumping of
// window messages) on the offscreen platform: adding 3000 small movies and videos, and a batch
// of 24 ADPCM videos of 20 seconds to MP3, each beside what kelvora-cli takes for the same files
// in this process.
#include <benchmark/benchmark.h>

#include <thread>

#include <QApplication>
#include <QEventLoop>
#include <sstream>

#include "cli/Cli.h"
#include "engine/File.h"
#include "support/Bytes.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "ui/CMainDlg.h"
#include "ui/ProgramOptions.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/QtShell.h"

namespace {

using namespace kelvora;
using namespace kelvora::test;

// 1500 small movies and 1500 small videos, made once a process.
const std::vector<std::string>& SmallFiles() {
    static TempDir dir;
    static std::vector<std::string> paths;
    if (paths.empty()) {
        SwfMovie movie;
        movie.tags = SwfEndTag();
        const Bytes swf = BuildSwf(movie);
        const Bytes flv =
            FlvBuilder().Audio(FlvAudioFlags(0, 1, false, false), Bytes(64, 128)).Build();
        for (int i = 0; i < 1500; ++i) {
            paths.push_back(dir.File("m" + std::to_string(i) + ".swf"));
            WriteFileBytes(paths.back(), swf);
            paths.push_back(dir.File("v" + std::to_string(i) + ".flv"));
            WriteFileBytes(paths.back(), flv);
        }
    }
    return paths;
}

// A mono 4-bit ADPCM packet of 4096-sample blocks holding `frames` samples of noise.
Bytes AdpcmNoise(uint32_t frames, uint32_t seed) {
    BitWriter w;
    w.Bits(2, 2);  // 4-bit codes
    uint32_t x = seed;
    for (uint32_t i = 0; i < frames; ++i) {
        if (i % 4096 == 0) {
            w.SignedBits(0, 16).Bits(20, 6);
        } else {
            x = x * 1103515245u + 12345u;
            w.Bits(x >> 28, 4);
        }
    }
    return w.Finish();
}

// 24 videos of 20 seconds of ADPCM at 22050 Hz, in tags of 4096 samples; made once a process.
const std::vector<std::string>& AdpcmVideos() {
    static TempDir dir;
    static std::vector<std::string> paths;
    if (paths.empty()) {
        for (uint32_t v = 0; v < 24; ++v) {
            FlvBuilder flv;
            for (uint32_t t = 0; t < 20 * 22050 / 4096; ++t) {
                flv.Audio(FlvAudioFlags(1, 2, true, false), AdpcmNoise(4096, v * 1000 + t));
            }
            // Numbered as real collections are: track_1 ... track_24.
            paths.push_back(dir.File("track_" + std::to_string(v + 1) + ".flv"));
            WriteFileBytes(paths.back(), flv.Build());
        }
    }
    return paths;
}

// The desktop program's window over its real shell.
struct Desktop {
    QtShell shell;
    CMainDlg dlg{shell};
    MainWindow window{dlg};
    explicit Desktop(int32_t jobs = DefaultProgramOptions().jobs) {
        shell.SetMainWindow(&window);
        window.show();
        dlg.Start();
        // No file manager on this platform: the batch must not end by asking for one.
        ProgramOptions options = DefaultProgramOptions();
        options.jobs = jobs;
        options.showOutputs = false;
        dlg.SetOptions(options);
        QApplication::processEvents();
    }
};

// The window's event loop runs until the adding's news have all come in.
void AwaitAdding(CMainDlg& dlg) {
    while (dlg.Adding()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void BM_QtWindowAdd3000SmallFiles(benchmark::State& state) {
    const std::vector<std::string>& paths = SmallFiles();
    for (auto _ : state) {
        Desktop desktop;
        desktop.dlg.LoadFiles(paths);
        AwaitAdding(desktop.dlg);
        if (desktop.dlg.Items().size() != paths.size()) {
            state.SkipWithError("not every file was added");
        }
    }
}
BENCHMARK(BM_QtWindowAdd3000SmallFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CliInfo3000SmallFiles(benchmark::State& state) {
    std::vector<std::string> args = {"--info"};
    args.insert(args.end(), SmallFiles().begin(), SmallFiles().end());
    for (auto _ : state) {
        std::ostringstream out, err;
        benchmark::DoNotOptimize(RunCli(args, out, err));
    }
}
BENCHMARK(BM_CliInfo3000SmallFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

// A batch of `paths` from the window with `jobs` files at once: each run in a new window over
// a list already filled, its outputs removed afterwards.
void WindowBatch(benchmark::State& state, const std::vector<std::string>& paths, int32_t jobs,
                 int32_t command) {
    for (auto _ : state) {
        state.PauseTiming();
        auto desktop = std::make_unique<Desktop>(jobs);
        desktop->dlg.LoadFiles(paths);
        AwaitAdding(desktop->dlg);
        state.ResumeTiming();
        desktop->dlg.OnCommand(command);
        // The window's event loop runs until the batch's news have all come in.
        while (desktop->dlg.Converting()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.PauseTiming();
        for (const auto& item : desktop->dlg.Items()) {
            for (const OutputItem& output : item->outputs) {
                RemoveFile(output.path);
            }
        }
        desktop.reset();
        state.ResumeTiming();
    }
}

// The same batch by kelvora-cli with `args`, in this process; `ext` is its outputs'.
void CliBatch(benchmark::State& state, const std::vector<std::string>& paths,
              std::vector<std::string> args, const std::string& ext) {
    args.insert(args.end(), paths.begin(), paths.end());
    for (auto _ : state) {
        std::ostringstream out, err;
        benchmark::DoNotOptimize(RunCli(args, out, err));
        state.PauseTiming();
        for (const std::string& path : paths) {
            RemoveFile(path.substr(0, path.size() - 4) + ext);
        }
        state.ResumeTiming();
    }
}

// Converting the 3000 small files from the window, and with kelvora-cli, one per processor.
void BM_QtWindowBatch3000SmallFiles(benchmark::State& state) {
    WindowBatch(state, SmallFiles(), static_cast<int32_t>(std::thread::hardware_concurrency()),
                kCmdConvertAllToWav);
}
BENCHMARK(BM_QtWindowBatch3000SmallFiles)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_CliBatch3000SmallFiles(benchmark::State& state) {
    CliBatch(state, SmallFiles(), {"--to", "wav"}, ".wav");
}
BENCHMARK(BM_CliBatch3000SmallFiles)->Unit(benchmark::kMillisecond)->Iterations(2);

// The window's batch of the ADPCM videos, with `range(0)` files at once (the setting Jobs).
void BM_QtWindowBatch24AdpcmVideosToMp3(benchmark::State& state) {
    WindowBatch(state, AdpcmVideos(), static_cast<int32_t>(state.range(0)), kCmdConvertAllToMp3);
}
BENCHMARK(BM_QtWindowBatch24AdpcmVideosToMp3)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The same videos by kelvora-cli, `range(0)` files at once.
void BM_CliBatch24AdpcmVideosToMp3(benchmark::State& state) {
    CliBatch(state, AdpcmVideos(), {"-j", std::to_string(state.range(0)), "--to", "mp3"}, ".mp3");
}
BENCHMARK(BM_CliBatch24AdpcmVideosToMp3)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
