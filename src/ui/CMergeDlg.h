#pragma once

#include <cstdint>
#include <functional>

#include "engine/Records.h"
#include "ui/CMergeList.h"
#include "ui/MergeIds.h"
#include "ui/Shell.h"
#include "ui/SortListCtrl.h"

namespace kelvora {

// Which list the view should give the keyboard focus after an action.
enum class FocusRequest { None, Mp3List };

// The "Merge MP3" window's state and commands, without a toolkit. The lower list shows the
// main window's source files; the user picks their MP3 outputs into the upper list, orders
// them and merges them into one file. The view shows the two list models, enables each button
// as IsButtonEnabled says, sends button numbers to OnCommand and reports selection changes and
// double clicks; a header click sorts a list through its model's SortByColumn, after which that
// list is renumbered. The window is modal: the main window's records do not change under it.
class CMergeDlg {
  public:
    // `sources`: the main window's source items in order; `onHelp`: the main window's Help.
    CMergeDlg(Shell& shell, const SourceList& sources, std::function<void()> onHelp);
    CMergeDlg(const CMergeDlg&) = delete;
    CMergeDlg& operator=(const CMergeDlg&) = delete;

    // The list models: the MP3 list (kMergeMp3List) and the SWF/FLV list (kMergeSourceList).
    SortListCtrl& Mp3ListCtrl() { return m_mergeList.Ctrl(); }
    SortListCtrl& SourceListCtrl() { return m_sourceList; }
    const CMergeList& MergeList() const { return m_mergeList; }

    // Buttons by their number (MergeIds.h); Help and Close are always enabled.
    bool IsButtonEnabled(int32_t id) const;
    // A button, Esc or the close box (kMergeBtnClose). Disabled buttons do nothing.
    void OnCommand(int32_t id);

    // What the view reports.
    void OnMp3SelectionChanged();
    void OnSourceSelectionChanged();
    void OnMp3DoubleClick();     // plays the first selected entry
    void OnSourceDoubleClick();  // plays the first selected source
    // A list was sorted (called by the lists' sorted handlers): its "No." column runs 1 to n.
    void OnListSorted(int32_t listId);

    // Read once by the view after each call: the list to focus, the MP3 list row to scroll into
    // view (-1 for none).
    FocusRequest TakeFocusRequest();
    int32_t TakeScrollRequest();
    // True once Close was chosen: the view ends the window.
    bool CloseRequested() const { return m_closeRequested; }

  private:
    void Merge();
    void PlayMp3();
    void MoveUp();
    void MoveDown();
    void Remove();
    void RemoveAll();
    void AddMp3(bool allSources);
    void PlaySource();
    void EnableAfterAdding();

    enum Button {
        kMerge,
        kPlayMp3,
        kUp,
        kDown,
        kRemove,
        kRemoveAll,
        kAddMp3,
        kAddAllMp3,
        kPlaySource,
        kButtonCount
    };
    static int ButtonIndex(int32_t id);

    Shell& m_shell;
    const SourceList& m_sources;
    std::function<void()> m_onHelp;
    CMergeList m_mergeList;
    SortListCtrl m_sourceList{true};
    bool m_enabled[kButtonCount] = {};
    FocusRequest m_focusRequest = FocusRequest::None;
    int32_t m_scrollRequest = -1;
    bool m_closeRequested = false;
};

}  // namespace kelvora
