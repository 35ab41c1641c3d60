// Adding files to the source list: Add Files, Add Folder, dropped paths and load files.
#include <sys/stat.h>

#include "convert/ConversionJob.h"
#include "engine/FolderSearch.h"
#include "engine/PathUtil.h"
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

}  // namespace

bool CMainDlg::AddSourceFile(const std::string& path) {
    if (m_index.Find(path)) {
        return true;
    }
    SourceHeader header;
    if (!ReadSourceHeader(path, m_options.conversion, header)) {
        return false;
    }
    auto item = std::make_unique<SourceItem>(header.kind, path);
    AppendSource(std::move(item), HeaderTexts(header));
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
    m_shell.PumpMessages();
    WaitCursor wait(m_shell);
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

    m_shell.PumpMessages();
    WaitCursor wait(m_shell);
    std::unique_ptr<IProgressWindow> progress = m_shell.CreateProgressWindow();
    progress->SetText(kSearchingText);
    progress->Show();
    m_shell.PaintNow();  // the search pumps nothing: the window says what it does first
    std::vector<std::string> paths;
    FolderSearch(picked, paths, m_options.conversion.embedded);
    LoadFiles(paths, std::move(progress));
}

void CMainDlg::FilesDropped(const std::vector<std::string>& dropped) {
    std::unique_ptr<IProgressWindow> progress = m_shell.CreateProgressWindow();
    progress->SetText(kSearchingText);
    progress->Show();
    m_shell.PaintNow();

    std::vector<std::string> paths;
    SourceKind kind;
    for (const std::string& path : dropped) {
        std::string current = path;
        for (int hops = 0;; ++hops) {
            if (IsFolder(current)) {
                // The "Folder" setting stays as it is.
                FolderSearch(current, paths, m_options.conversion.embedded);
            } else if (SourceKindOf(current, m_options.conversion.embedded, kind)) {
                paths.push_back(current);
            } else if (hops < kMaxDroppedLinkHops && IsSymbolicLink(current)) {
                std::string target;
                if (ResolveShortcut(current, target)) {
                    current = std::move(target);
                    continue;
                }
            }
            break;  // anything else is skipped without a message
        }
    }
    LoadFiles(paths, std::move(progress));
}

void CMainDlg::LoadFiles(const std::vector<std::string>& paths,
                         std::unique_ptr<IProgressWindow> progress) {
    m_shell.EnableMainWindow(false);
    if (!progress) {
        progress = m_shell.CreateProgressWindow();
        progress->Show();
    }
    const int32_t count = static_cast<int32_t>(paths.size());
    progress->SetRange(0, count);
    progress->SetPosition(0);
    progress->SetStep(1);
    m_shell.PumpMessages();

    std::string failures;
    for (int32_t k = 0; k < count; ++k) {
        progress->SetText(Format("Adding file %d of %d...", k + 1, count));
        progress->Step();
        if (!AddSourceFile(paths[static_cast<size_t>(k)])) {
            failures += paths[static_cast<size_t>(k)];
            failures += '\n';
        }
        m_shell.PumpMessages();
        if (progress->Cancelled()) {
            break;
        }
    }
    progress->RequestClose();
    progress.reset();
    m_shell.EnableMainWindow(true);

    if (!failures.empty()) {
        m_shell.MessageBox("Failed to load the following files.\n\n" + failures,
                           MessageIcon::Warning, MessageButtons::Ok);
    }
}

}  // namespace kelvora
