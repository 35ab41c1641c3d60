// The main window's logic with big lists: adding 10,000 files through a folder search, sorting
// the source list by each column, and removing all rows.
#include <benchmark/benchmark.h>

#include "BigListMovies.h"
#include "support/Bytes.h"
#include "support/FakeShell.h"
#include "ui/CMainDlg.h"

namespace {

using namespace kelvora;
using namespace kelvora::test;

using bench::BigListMovies;
constexpr int kFiles = bench::kBigListFiles;

void AddAll(FakeShell& shell, CMainDlg& dlg) {
    shell.folderAnswers.push_back(BigListMovies().path() + "/");
    dlg.AddFolder();
    shell.WaitFor([&] { return !dlg.Adding(); });
}

void BM_AddFolderOf10000(benchmark::State& state) {
    BigListMovies();
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
