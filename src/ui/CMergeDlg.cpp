#include "ui/CMergeDlg.h"

#include "merge/CMp3Merger.h"
#include "ui/MergePrompts.h"
#include "ui/ShellHelpers.h"

namespace kelvora {

CMergeDlg::CMergeDlg(Shell& shell, const SourceList& sources, std::function<void()> onHelp)
    : m_shell(shell), m_sources(sources), m_onHelp(std::move(onHelp)) {
    using A = ColumnAlign;
    m_sourceList.AddColumn({"No.", 35, A::Right});
    m_sourceList.AddColumn({"SWF/FLV File", 120, A::Left});
    m_sourceList.AddColumn({"Sounds", 80, A::Left});
    m_sourceList.AddColumn({"Path", 230, A::Left});
    for (const auto& item : m_sources) {
        if (item) {
            m_sourceList.AddRow(MergeSourceTexts(*item, m_sourceList.RowCount()), item.get());
        }
    }
    // Each list renumbers itself after a sort, whichever list has the focus: its "No." column
    // shows the join order, which a stale number would misstate.
    Mp3ListCtrl().SetSortedHandler([this](int32_t, bool) { OnListSorted(kMergeMp3List); });
    m_sourceList.SetSortedHandler([this](int32_t, bool) { OnListSorted(kMergeSourceList); });

    m_enabled[kAddAllMp3] = m_sourceList.RowCount() > 0;
}

int CMergeDlg::ButtonIndex(int32_t id) {
    switch (id) {
        case kMergeBtnMerge:
            return kMerge;
        case kMergeBtnPlayMp3:
            return kPlayMp3;
        case kMergeBtnUp:
            return kUp;
        case kMergeBtnDown:
            return kDown;
        case kMergeBtnRemove:
            return kRemove;
        case kMergeBtnRemoveAll:
            return kRemoveAll;
        case kMergeBtnAddMp3:
            return kAddMp3;
        case kMergeBtnAddAllMp3:
            return kAddAllMp3;
        case kMergeBtnPlaySource:
            return kPlaySource;
        default:
            return -1;
    }
}

bool CMergeDlg::IsButtonEnabled(int32_t id) const {
    if (id == kMergeBtnHelp || id == kMergeBtnClose) {
        return true;
    }
    const int index = ButtonIndex(id);
    return index >= 0 && m_enabled[index];
}

void CMergeDlg::OnCommand(int32_t id) {
    if (!IsButtonEnabled(id)) {
        return;
    }
    switch (id) {
        case kMergeBtnMerge:
            Merge();
            break;
        case kMergeBtnPlayMp3:
            PlayMp3();
            break;
        case kMergeBtnUp:
            MoveUp();
            break;
        case kMergeBtnDown:
            MoveDown();
            break;
        case kMergeBtnRemove:
            Remove();
            break;
        case kMergeBtnRemoveAll:
            RemoveAll();
            break;
        case kMergeBtnHelp:
            if (m_onHelp) {
                m_onHelp();
            }
            break;
        case kMergeBtnAddMp3:
            AddMp3(false);
            break;
        case kMergeBtnAddAllMp3:
            AddMp3(true);
            break;
        case kMergeBtnPlaySource:
            PlaySource();
            break;
        case kMergeBtnClose:
            m_closeRequested = true;
            break;
        default:
            break;
    }
}

void CMergeDlg::OnMp3SelectionChanged() {
    const bool selected = Mp3ListCtrl().SelectedCount() > 0;
    m_enabled[kPlayMp3] = m_enabled[kUp] = m_enabled[kDown] = m_enabled[kRemove] = selected;
    m_enabled[kRemoveAll] = m_mergeList.Count() > 0;
}

void CMergeDlg::OnSourceSelectionChanged() {
    m_enabled[kAddMp3] = m_enabled[kPlaySource] = m_sourceList.SelectedCount() > 0;
}

void CMergeDlg::OnMp3DoubleClick() {
    PlayMp3();
}

void CMergeDlg::OnSourceDoubleClick() {
    PlaySource();
}

void CMergeDlg::OnListSorted(int32_t listId) {
    (listId == kMergeSourceList ? m_sourceList : Mp3ListCtrl()).Renumber(0);
}

FocusRequest CMergeDlg::TakeFocusRequest() {
    const FocusRequest request = m_focusRequest;
    m_focusRequest = FocusRequest::None;
    return request;
}

int32_t CMergeDlg::TakeScrollRequest() {
    const int32_t row = m_scrollRequest;
    m_scrollRequest = -1;
    return row;
}

void CMergeDlg::Merge() {
    RunMergeWithShell(CMp3Merger(m_mergeList.Entries()), m_shell);
}

void CMergeDlg::PlayMp3() {
    const int32_t row = Mp3ListCtrl().FirstSelected();
    if (row < 0) {
        return;
    }
    OpenWithDesktop(m_shell, Mp3ListCtrl().Text(row, CMergeList::kColPath), false);
}

void CMergeDlg::MoveUp() {
    const int32_t row = m_mergeList.MoveUp();
    if (row >= 0) {
        m_scrollRequest = row;
        m_focusRequest = FocusRequest::Mp3List;
    }
}

void CMergeDlg::MoveDown() {
    const int32_t row = m_mergeList.MoveDown();
    if (row >= 0) {
        m_scrollRequest = row;
        m_focusRequest = FocusRequest::Mp3List;
    }
}

void CMergeDlg::Remove() {
    if (m_mergeList.RemoveSelected() < 0) {
        return;
    }
    if (m_mergeList.Count() <= 1) {
        m_enabled[kMerge] = false;
    }
    // The selected rows are gone: the buttons that act on a selection follow.
    OnMp3SelectionChanged();
}

void CMergeDlg::RemoveAll() {
    m_mergeList.Clear();
    m_enabled[kMerge] = m_enabled[kPlayMp3] = m_enabled[kUp] = m_enabled[kDown] =
        m_enabled[kRemove] = m_enabled[kRemoveAll] = false;
}

void CMergeDlg::AddMp3(bool allSources) {
    std::vector<SourceItem*> sources;
    for (int32_t row = 0; row < m_sourceList.RowCount(); ++row) {
        if (allSources || m_sourceList.IsSelected(row)) {
            sources.push_back(m_sourceList.SourceAt(row));
        }
    }
    int32_t added = 0;
    {
        WaitCursor wait(m_shell);
        added = m_mergeList.AddFromSources(sources);
        EnableAfterAdding();
    }
    if (added == 0) {
        m_shell.MessageBox("There aren't MP3 files to add.", MessageIcon::Information,
                           MessageButtons::Ok);
    } else {
        m_focusRequest = FocusRequest::Mp3List;
    }
}

void CMergeDlg::EnableAfterAdding() {
    m_enabled[kMerge] = m_mergeList.Count() > 1;
    m_enabled[kRemoveAll] = m_mergeList.Count() > 0;
}

void CMergeDlg::PlaySource() {
    const int32_t row = m_sourceList.FirstSelected();
    const SourceItem* item = m_sourceList.SourceAt(row);
    if (!item) {
        return;
    }
    OpenWithDesktop(m_shell, item->path, true);  // the web browser when no program takes it
}

}  // namespace kelvora
