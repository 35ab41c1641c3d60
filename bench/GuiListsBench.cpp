// The desktop program's window with big lists: adding 10,000 files through a folder search,
// sorting the source list by each column, and removing all rows, with the Qt views following
// the lists. Runs on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "BigListMovies.h"
#include "support/Bytes.h"
#include "support/FakeShell.h"
#include "ui/CMainDlg.h"
#include "ui/qt/MainWindow.h"

namespace {

using namespace kelvora;
using namespace kelvora::test;

using bench::BigListMovies;
constexpr int kFiles = bench::kBigListFiles;

// A shown main window over the fake shell, with every movie added through Add Folder.
struct Window {
    FakeShell shell;
    CMainDlg dlg{shell};
    MainWindow window{dlg};
    Window() {
        shell.firstRunSetting = 0;
        window.show();
        window.Start();
        QApplication::processEvents();
    }
    void AddAll() {
        shell.folderAnswers.push_back(BigListMovies().path() + "/");
        dlg.OnCommand(kCmdAddFolder);
        QApplication::processEvents();
    }
};

void BM_WindowAddFolderOf10000(benchmark::State& state) {
    BigListMovies();
    for (auto _ : state) {
        Window w;
        w.AddAll();
        if (w.dlg.Items().size() != static_cast<size_t>(kFiles)) {
            state.SkipWithError("not every file was added");
        }
    }
}
BENCHMARK(BM_WindowAddFolderOf10000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WindowSortOf10000(benchmark::State& state) {
    Window w;
    w.AddAll();
    const int32_t column = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        w.dlg.SourceListCtrl().SortByColumn(column);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WindowSortOf10000)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

void BM_WindowRemoveAllOf10000(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>();
        w->AddAll();
        state.ResumeTiming();
        w->dlg.OnCommand(kCmdRemoveAll);
        QApplication::processEvents();
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowRemoveAllOf10000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
