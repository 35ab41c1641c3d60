// The main window's logic with big lists: adding 10,000 files through a folder search, sorting
// the source list by each column, and removing all rows.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "support/Bytes.h"
#include "support/FakeShell.h"
#include "support/SwfBuilder.h"
#include "ui/CMainDlg.h"

namespace {

using namespace kelvora;
using namespace kelvora::test;

constexpr int kFiles = 10000;

// 10,000 small movies in 100 folders, made once.
const TempDir& Movies() {
    static TempDir dir;
    static bool made = false;
    if (!made) {
        SwfMovie movie;
        movie.tags = SwfEndTag();
        for (int i = 0; i < kFiles; ++i) {
            const std::string folder = dir.File("f" + std::to_string(i % 100));
            std::filesystem::create_directories(folder);
            movie.frameCount = static_cast<uint16_t>(i * 7 % 5000);
            movie.frameRate88 = static_cast<uint16_t>((1 + i % 60) << 8);
            movie.xMax = 20 * (100 + i % 700);
            WriteFileBytes(folder + "/movie" + std::to_string(i) + ".swf", BuildSwf(movie));
        }
        made = true;
    }
    return dir;
}

void AddAll(FakeShell& shell, CMainDlg& dlg) {
    shell.folderAnswers.push_back(Movies().path() + "/");
    dlg.AddFolder();
}

void BM_AddFolderOf10000(benchmark::State& state) {
    Movies();
    for (auto _ : state) {
        FakeShell shell;
        shell.firstRunSetting = 0;
        CMainDlg dlg(shell);
        dlg.Start();
        AddAll(shell, dlg);
        if (dlg.Items().size() != static_cast<size_t>(kFiles)) {
            state.SkipWithError("not every file was added");
        }
    }
}
BENCHMARK(BM_AddFolderOf10000)->Unit(benchmark::kMillisecond);

void BM_SortSourceListOf10000(benchmark::State& state) {
    FakeShell shell;
    shell.firstRunSetting = 0;
    CMainDlg dlg(shell);
    dlg.Start();
    AddAll(shell, dlg);
    const int32_t column = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        dlg.SourceListCtrl().SortByColumn(column);
    }
}
BENCHMARK(BM_SortSourceListOf10000)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

void BM_RemoveAllOf10000(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        FakeShell shell;
        shell.firstRunSetting = 0;
        auto dlg = std::make_unique<CMainDlg>(shell);
        dlg->Start();
        AddAll(shell, *dlg);
        state.ResumeTiming();
        dlg->OnCommand(kCmdRemoveAll);
        state.PauseTiming();
        dlg.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RemoveAllOf10000)->Unit(benchmark::kMillisecond);

}  // namespace
