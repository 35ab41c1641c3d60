#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Records.h"
#include "merge/CMp3Merger.h"
#include "ui/SortListCtrl.h"

namespace kelvora {

// The merge window's MP3 list: the ordered entries to join, each a reference to an MP3 output
// of a conversion (never copied, changed or freed here). An entry's position is the order in
// which its file is joined; the same output may be listed more than once. The rows live in a
// multiple-selection SortListCtrl, so the selection moves with the entries.
class CMergeList {
  public:
    // Columns of an entry row.
    enum Column : int32_t {
        kColNumber,
        kColFile,
        kColTime,
        kColRate,
        kColType,
        kColBits,
        kColPath,
        kColumnCount
    };

    CMergeList();

    SortListCtrl& Ctrl() { return m_ctrl; }
    const SortListCtrl& Ctrl() const { return m_ctrl; }

    // Appends every MP3 output of the sources, source by source in the given order. Entries
    // already listed are not looked for. Returns the number appended.
    int32_t AddFromSources(const std::vector<SourceItem*>& sources);
    // Removes the selected entries and renumbers from the first removed position, which is
    // returned (-1 when nothing was selected).
    int32_t RemoveSelected();
    // Move the selected entries one place up or down and renumber from the first changed row.
    // Return the row to scroll into view, or -1 when nothing moved (nothing selected, or the
    // selection already touches that end of the list).
    int32_t MoveUp();
    int32_t MoveDown();
    void Clear();
    // Orders the entries by one column's text (a second sort by it reverses) and renumbers.
    void SortByColumn(int32_t column);

    int32_t Count() const { return m_ctrl.RowCount(); }
    const OutputItem* EntryAt(int32_t position) const { return m_ctrl.OutputAt(position); }
    std::string PathAt(int32_t position) const;
    // The entries in list order.
    std::vector<const OutputItem*> Entries() const;
    // Whether every entry shares the first one's sample rate, sample size and channel count.
    bool Agree() const;

  private:
    SortListCtrl m_ctrl{true};
};

// The length of an entry as "%02u:%02u:%02u" of whole seconds, at least one second; the hours
// take more digits when needed. A rate of 0 shows one second.
std::string MergeTimeText(uint32_t sampleCount, uint32_t sampleRate);

// The texts of an entry row (No., MP3 File, Time, Rate, Type, Bits, Path) at a position
// counted from 0.
std::vector<std::string> MergeEntryTexts(const OutputItem& item, int32_t position);

// The texts of a source row of the merge window (No., SWF/FLV File, Sounds, Path).
std::vector<std::string> MergeSourceTexts(const SourceItem& item, int32_t position);

}  // namespace kelvora
