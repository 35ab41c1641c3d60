// Adding files to the source list: Add Files, Add Folder, dropped paths and load files. The
// folder search, the links followed and the headers read run beside the window, which only
// takes their news: the window's thread runs nothing but its event loop.
#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <thread>

#include "convert/ConversionJob.h"
#include "engine/FolderSearch.h"
#include "engine/PathUtil.h"
#include "engine/TextFormat.h"
#include "ui/CMainDlg.h"
#include "ui/ShellHelpers.h"

namespace kelvora {

namespace {

// A dropped chain of links is followed this many times at most, so that a link to itself, or
// two links to each other, end the drop.
constexpr int kMaxDroppedLinkHops = 40;

constexpr const char* kSearchingText = "Searching files...";

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The files a drop stands for, in its order: a folder's SWF and FLV files (searched as Add
// Folder searches), a link followed to what it leads to, a movie or video itself; anything else
// is skipped without a message.
std::vector<std::string> DroppedFiles(const std::vector<std::string>& dropped, bool wrappers) {
    std::vector<std::string> paths;
    SourceKind kind;
    for (const std::string& path : dropped) {
        std::string current = path;
        for (int hops = 0;; ++hops) {
            if (IsFolder(current)) {
                FolderSearch(current, paths, wrappers);
            } else if (SourceKindOf(current, wrappers, kind)) {
                paths.push_back(current);
            } else if (hops < kMaxDroppedLinkHops && IsSymbolicLink(current)) {
                std::string target;
                if (ResolveShortcut(current, target)) {
                    current = std::move(target);
                    continue;
                }
            }
            break;
        }
    }
    return paths;
}

}  // namespace

// An adding under way: its progress window and wait cursor on the window's side, its worker
// beside it, and what could not be loaded so far.
struct CMainDlg::AddingRun {
    std::unique_ptr<IProgressWindow> progress;
    std::unique_ptr<WaitCursor> wait;
    std::string failures;
    std::atomic<bool> stop{false};
    bool over = false;
    std::thread worker;

    ~AddingRun() {
        stop = true;
        if (!worker.joinable()) {
            return;
        }
        // Its news run on the window's thread; only a shell that runs them on the worker's own
        // (the tests') can end a run from inside it.
        if (worker.get_id() == std::this_thread::get_id()) {
            worker.detach();
        } else {
            worker.join();
        }
    }
};

bool CMainDlg::Adding() const {
    return m_adding && !m_adding->over;
}

bool CMainDlg::AddSourceFile(const std::string& path) {
    if (m_index.Find(path)) {
        return true;
    }
    SourceHeader header;
    const bool read = ReadSourceHeader(path, m_options.conversion, header);
    return AddReadSource(path, read, header);
}

bool CMainDlg::AddReadSource(const std::string& path, bool read, const SourceHeader& header) {
    if (m_index.Find(path)) {
        return true;  // listed meanwhile (the same file twice in one drop, say)
    }
    if (!read) {
        return false;
    }
    AppendSource(std::make_unique<SourceItem>(header.kind, path), HeaderTexts(header));
    return true;
}

void CMainDlg::AddFiles() {
    FileDialogRequest request;
    request.filters = {{"SWF & FLV Files", "*.swf;*.flv"},
                       {"SWF Files (*.swf)", "*.swf"},
                       {"FLV Files (*.flv)", "*.flv"}};
    if (m_options.conversion.embedded) {
        // Movies inside other files: projectors and archives too.
        request.filters.front() = {"SWF, FLV, Projector & Archive Files",
                                   "*.swf;*.flv;*.exe;*.swc;*.zip"};
        request.filters.push_back({"Projectors (*.exe)", "*.exe"});
        request.filters.push_back({"SWC & ZIP Archives (*.swc;*.zip)", "*.swc;*.zip"});
    }
    request.multiSelect = true;
    request.mustExist = true;
    std::vector<std::string> chosen;
    if (!m_shell.FileDialog(request, chosen)) {
        return;
    }
    LoadFiles(chosen);
}

void CMainDlg::AddFolder() {
    // The picker starts at the last folder without its trailing separator; the root keeps it.
    std::string initial = m_lastFolder;
    if (initial.size() > 1 && initial.back() == kPathSeparator) {
        initial.pop_back();
    }
    std::string picked;
    if (!m_shell.BrowseForFolder("Please choose a folder:", initial, picked) || picked.empty()) {
        return;
    }
    if (picked.back() != kPathSeparator) {
        picked += kPathSeparator;
    }
    m_lastFolder = picked;
    m_shell.WriteFolderSetting(m_lastFolder);
    const bool projectors = m_options.conversion.embedded;
    StartAdding(
        [picked, projectors] {
            std::vector<std::string> paths;
            FolderSearch(picked, paths, projectors);
            return paths;
        },
        true);
}

void CMainDlg::FilesDropped(const std::vector<std::string>& dropped) {
    // The "Folder" setting stays as it is.
    const bool wrappers = m_options.conversion.embedded;
    StartAdding([dropped, wrappers] { return DroppedFiles(dropped, wrappers); }, true);
}

void CMainDlg::LoadFiles(const std::vector<std::string>& paths) {
    StartAdding([paths] { return paths; }, false);
}

void CMainDlg::StartAdding(std::function<std::vector<std::string>()> find, bool searching) {
    if (Adding() || Converting()) {
        return;  // one action at a time
    }
    m_shell.EnableMainWindow(false);
    m_adding = std::make_shared<AddingRun>();
    AddingRun& run = *m_adding;
    run.wait = std::make_unique<WaitCursor>(m_shell);
    run.progress = m_shell.CreateProgressWindow();
    if (searching) {
        run.progress->SetText(kSearchingText);
    }
    // Cancel stops the worker after the file in hand.
    run.progress->SetCancelHandler([adding = std::weak_ptr<AddingRun>(m_adding)] {
        if (const std::shared_ptr<AddingRun> held = adding.lock()) {
            held->stop = true;
        }
    });
    run.progress->Show();
    // The worker finds the files and reads their headers; every piece of news goes to the
    // window's thread, and none to a window that is gone.
    const auto tell = [&shell = m_shell, window = std::weak_ptr<CMainDlg*>(m_alive)](
                          std::function<void(CMainDlg&)> what) {
        shell.Post([window, what = std::move(what)] {
            if (const auto alive = window.lock()) {
                what(**alive);
            }
        });
    };
    run.worker = std::thread([tell, find = std::move(find), stop = &run.stop,
                              options = m_options.conversion] {
        const std::vector<std::string> paths = find();
        const auto count = static_cast<int32_t>(paths.size());
        tell([count](CMainDlg& dlg) { dlg.OnAddingFound(count); });
        for (int32_t k = 0; k < count && !*stop; ++k) {
            tell([k, count](CMainDlg& dlg) { dlg.OnAddingFile(k, count); });
            auto header = std::make_shared<SourceHeader>();
            const bool read = ReadSourceHeader(paths[static_cast<size_t>(k)], options, *header);
            tell([path = paths[static_cast<size_t>(k)], read, header](CMainDlg& dlg) {
                dlg.OnAddingRead(path, read, *header);
            });
        }
        tell([](CMainDlg& dlg) { dlg.OnAddingOver(); });
    });
}

void CMainDlg::OnAddingFound(int32_t count) {
    if (!Adding()) {
        return;
    }
    m_adding->progress->SetRange(0, count);
    m_adding->progress->SetPosition(0);
    m_adding->progress->SetStep(1);
}

void CMainDlg::OnAddingFile(int32_t k, int32_t count) {
    if (!Adding()) {
        return;
    }
    m_adding->progress->SetText(Format("Adding file %d of %d...", k + 1, count));
    m_adding->progress->Step();
}

void CMainDlg::OnAddingRead(const std::string& path, bool read, const SourceHeader& header) {
    if (Adding() && !AddReadSource(path, read, header)) {
        m_adding->failures += path + '\n';
    }
}

void CMainDlg::OnAddingOver() {
    if (!Adding()) {
        return;
    }
    AddingRun& run = *m_adding;
    run.over = true;
    run.progress->RequestClose();
    run.progress.reset();
    m_shell.EnableMainWindow(true);
    run.wait.reset();
    if (!run.failures.empty()) {
        m_shell.MessageBox("Failed to load the following files.\n\n" + run.failures,
                           MessageIcon::Warning, MessageButtons::Ok);
    }
    RunPending();
}

void CMainDlg::HandPaths(const std::vector<std::string>& paths, bool wait) {
    if (paths.empty()) {
        return;
    }
    m_pending.push_back(paths);
    if (!wait) {
        RunPending();
    }
}

void CMainDlg::RunPending() {
    if (m_pending.empty() || Adding() || Converting()) {
        return;  // the end of what runs will come back here
    }
    const std::vector<std::string> paths = std::move(m_pending.front());
    m_pending.erase(m_pending.begin());
    FilesDropped(paths);
}

}  // namespace kelvora
