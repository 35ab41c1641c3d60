// The actions on one listed file: play it, show it in the file manager, delete outputs, save a
// copy of an output under another name.
#include <vector>

#include "engine/File.h"
#include "engine/PathUtil.h"
#include "engine/ReplacingFile.h"
#include "ui/CMainDlg.h"
#include "ui/ShellHelpers.h"

namespace kelvora {

namespace {

constexpr int32_t kSourcePathColumn = 8;
constexpr int32_t kOutputPathColumn = 7;

// Copies `from` over `to`: written whole beside the target first, so a read error or a full
// disk leaves the old target as it was and no partial file behind.
bool CopyReplacing(const std::string& from, const std::string& to) {
    CFile in;
    CReplacingFile out;
    std::vector<uint8_t> buffer(256 * 1024);
    return in.OpenRead(from) && out.Open(to) &&
           CopyToEnd(in, out.File(), buffer.data(), buffer.size()) && out.Commit();
}

}  // namespace

std::string CMainDlg::OutputPathAt(int32_t row) const {
    const OutputItem* output = m_outputList.OutputAt(row);
    return output ? output->path : m_outputList.Text(row, kOutputPathColumn);
}

void CMainDlg::PlaySource() {
    const SourceItem* item = m_sourceList.SourceAt(m_sourceList.FirstSelected());
    if (!item) {
        return;
    }
    OpenWithDesktop(m_shell, item->path, true);  // the web browser when no program takes it
}

void CMainDlg::BrowseSourceFolder() {
    const int32_t row = m_sourceList.FirstSelected();
    if (row < 0) {
        return;
    }
    const std::string& path = m_sourceList.Text(row, kSourcePathColumn);
    if (path.empty() || !PathExists(path)) {
        return;
    }
    m_shell.ShowInFileManager(path);
}

void CMainDlg::PlayOutput() {
    const int32_t row = m_outputList.FirstSelected();
    if (row < 0) {
        return;
    }
    OpenWithDesktop(m_shell, OutputPathAt(row), false);
}

void CMainDlg::BrowseOutputFolder() {
    const int32_t row = m_outputList.FirstSelected();
    if (row < 0) {
        return;
    }
    m_shell.ShowInFileManager(OutputPathAt(row));
}

void CMainDlg::DeleteOutputs() {
    const std::vector<int32_t> selected = m_outputList.SelectedRows();
    if (selected.empty()) {
        return;
    }
    if (m_shell.MessageBox("Are you sure to delete selected file(s)?", MessageIcon::Question,
                           MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    WaitCursor wait(m_shell);

    // The rows refer to the current item's outputs by address, and removing records moves the
    // ones after them: note which record each remaining row shows, then rebuild the rows.
    struct KeptRow {
        std::vector<std::string> texts;
        OutputItem* record;
    };
    struct DeletedRow {
        const OutputItem* record;
        std::string path;
    };
    std::vector<KeptRow> kept;
    std::vector<DeletedRow> deleted;
    for (int32_t row = 0; row < m_outputList.RowCount(); ++row) {
        if (m_outputList.IsSelected(row)) {
            deleted.push_back({m_outputList.OutputAt(row), OutputPathAt(row)});
            RemoveFile(deleted.back().path);  // one already gone is fine
            continue;
        }
        KeptRow k{{}, m_outputList.OutputAt(row)};
        for (int32_t c = 0; c < m_outputList.ColumnCount(); ++c) {
            k.texts.push_back(m_outputList.Text(row, c));
        }
        kept.push_back(std::move(k));
    }

    // Where each kept row's record is once the deleted records are gone: an index into the
    // current item's outputs, npos when it went with them, kOther when it is not one of them.
    constexpr size_t npos = static_cast<size_t>(-1);
    constexpr size_t kOther = npos - 1;
    std::vector<size_t> keptIndex(kept.size(), kOther);
    if (m_current) {
        std::vector<OutputItem>& outputs = m_current->outputs;
        std::vector<bool> drop(outputs.size(), false);
        auto find = [&](auto&& matches) {
            for (size_t i = 0; i < outputs.size(); ++i) {
                if (!drop[i] && matches(outputs[i])) {
                    return i;
                }
            }
            return npos;
        };
        for (const DeletedRow& d : deleted) {
            // The row's own record, else the first one of the same file.
            size_t hit = find([&](const OutputItem& o) { return &o == d.record; });
            if (hit == npos) {
                hit = find([&](const OutputItem& o) { return SamePath(o.path, d.path); });
            }
            if (hit != npos) {
                drop[hit] = true;
            }
        }
        std::vector<size_t> newIndex(outputs.size(), npos);
        std::vector<OutputItem> remaining;
        for (size_t i = 0; i < outputs.size(); ++i) {
            if (!drop[i]) {
                newIndex[i] = remaining.size();
                remaining.push_back(std::move(outputs[i]));
            }
        }
        for (size_t k = 0; k < kept.size(); ++k) {
            for (size_t i = 0; i < outputs.size(); ++i) {
                if (&outputs[i] == kept[k].record) {
                    keptIndex[k] = newIndex[i];
                }
            }
        }
        outputs = std::move(remaining);
    }

    m_outputList.RemoveAllRows();
    for (size_t k = 0; k < kept.size(); ++k) {
        OutputItem* record = keptIndex[k] == kOther ? kept[k].record
                             : keptIndex[k] == npos ? nullptr
                                                    : &m_current->outputs[keptIndex[k]];
        m_outputList.AddRow(std::move(kept[k].texts), record);
    }
    m_outputList.Renumber(selected.front());
}

void CMainDlg::SaveOutputAs() {
    const int32_t row = m_outputList.FirstSelected();
    if (row < 0) {
        return;
    }
    const std::string source = OutputPathAt(row);
    FileDialogRequest request;
    request.save = true;
    request.filters = {
        {"MP3 File (*.mp3)", "*.mp3"}, {"WAV File (*.wav)", "*.wav"}, {"All Files", "*.*"}};
    request.initialName = source;
    request.mustExist = true;
    request.promptOverwrite = true;
    std::vector<std::string> chosen;
    if (!m_shell.FileDialog(request, chosen) || chosen.empty() || chosen.front().empty()) {
        return;
    }
    const std::string& target = chosen.front();
    // By any name: copying a file over itself, or over a link to it, would destroy it.
    if (SamePath(target, source)) {
        m_shell.MessageBox("You should choose a different file name.", MessageIcon::Warning,
                           MessageButtons::Ok);
        return;
    }
    bool copied = false;
    {
        WaitCursor wait(m_shell);
        copied = CopyReplacing(source, target);
    }
    if (!copied) {
        m_shell.MessageBox("Failed to copy file.", MessageIcon::Warning, MessageButtons::Ok);
    }
}

}  // namespace kelvora
