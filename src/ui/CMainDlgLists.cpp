// The main window's two lists: their columns, rows and the operations on them.
#include "engine/PathUtil.h"
#include "ui/CMainDlg.h"

namespace kelvora {

void CMainDlg::CreateColumns() {
    if (m_sourceList.ColumnCount() > 0) {
        return;
    }
    using A = ColumnAlign;
    m_sourceList.AddColumn({"No.", 35, A::Left}, SortKind::Number);
    m_sourceList.AddColumn({"File", 125, A::Left}, SortKind::Text);
    m_sourceList.AddColumn({"Status", 70, A::Right}, SortKind::Text);
    m_sourceList.AddColumn({"Ver", 35, A::Right}, SortKind::Number);
    m_sourceList.AddColumn({"Dimension", 65, A::Left}, SortKind::Number);
    m_sourceList.AddColumn({"Length", 50, A::Right}, SortKind::MinutesSeconds);
    m_sourceList.AddColumn({"Rate", 45, A::Right}, SortKind::Number);
    m_sourceList.AddColumn({"Frames", 55, A::Right}, SortKind::Number);
    m_sourceList.AddColumn({"Path", 200, A::Left}, SortKind::Text);

    m_outputList.AddColumn({"No.", 35, A::Left}, SortKind::Number);
    m_outputList.AddColumn({"File", 120, A::Left}, SortKind::Text);
    m_outputList.AddColumn({"Format", 50, A::Left}, SortKind::Text);
    m_outputList.AddColumn({"Length", 50, A::Right}, SortKind::MinutesSeconds);
    m_outputList.AddColumn({"Bits", 35, A::Right}, SortKind::Number);
    m_outputList.AddColumn({"Freq.", 60, A::Right}, SortKind::Number);
    m_outputList.AddColumn({"Ch.", 45, A::Left}, SortKind::Text);
    m_outputList.AddColumn({"Path", 200, A::Left}, SortKind::Text);
}

int32_t CMainDlg::AppendSourceRow(SourceItem* item, const SourceInfoTexts& info) {
    CreateColumns();
    const std::string number = std::to_string(m_sourceList.RowCount() + 1);
    return m_sourceList.AddRow({number, FileNamePart(item->path), "", info.version, info.dimension,
                                info.length, info.rate, info.frames, item->path},
                               item);
}

int32_t CMainDlg::AppendOutputRow(OutputItem* item) {
    CreateColumns();
    const OutputTexts t = OutputRowTexts(*item);
    const std::string number = std::to_string(m_outputList.RowCount() + 1);
    return m_outputList.AddRow(
        {number, t.file, t.format, t.length, t.bits, t.frequency, t.channels, t.path}, item);
}

void CMainDlg::ShowOutputsOf(SourceItem* item) {
    m_outputList.RemoveAllRows();
    if (item) {
        for (OutputItem& output : item->outputs) {
            AppendOutputRow(&output);
        }
    }
}

void CMainDlg::OnSourceSelectionChanged() {
    const int32_t row = m_sourceList.FirstSelected();
    if (row < 0) {
        return;  // nothing selected: the output list keeps its rows
    }
    m_current = m_sourceList.SourceAt(row);
    ShowOutputsOf(m_current);
}

void CMainDlg::OnListSorted() {
    SortListCtrl& list = m_focusedList == kSourceListId ? m_sourceList : m_outputList;
    list.Renumber(0);
}

void CMainDlg::RemoveSelectedSource() {
    const int32_t row = m_sourceList.FirstSelected();
    if (row < 0) {
        m_shell.MessageBox("You should select a file first.", MessageIcon::Information,
                           MessageButtons::Ok);
        return;
    }
    SourceItem* item = m_sourceList.SourceAt(row);
    m_outputList.RemoveAllRows();
    if (item == m_current) {
        m_current = nullptr;
    }
    m_sourceList.RemoveRow(row);
    m_index.Remove(item);
    std::erase_if(m_items,
                  [item](const std::unique_ptr<SourceItem>& p) { return p.get() == item; });
    m_sourceList.Renumber(row);
}

void CMainDlg::RemoveAllSources() {
    if (m_sourceList.RowCount() == 0) {
        m_shell.MessageBox("There aren't files in list.", MessageIcon::Information,
                           MessageButtons::Ok);
        return;
    }
    m_outputList.RemoveAllRows();
    m_sourceList.RemoveAllRows();
    m_current = nullptr;
    m_index.Clear();
    m_items.clear();
}

}  // namespace kelvora
