#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "engine/Records.h"

namespace kelvora {

// How a column's texts compare when the list is sorted by it.
enum class SortKind { Text, Number, MinutesSeconds };

enum class ColumnAlign { Left, Right };

struct ListColumn {
    std::string header;
    int32_t width = 0;  // pixels
    ColumnAlign align = ColumnAlign::Left;
};

// What a row shows: a source file or an output file. The row never owns it.
using RowRecord = std::variant<std::monostate, SourceItem*, OutputItem*>;

// Told of every change, so that a view can follow the model.
class SortListObserver {
  public:
    virtual ~SortListObserver() = default;
    virtual void OnRowsReset() = 0;
    virtual void OnRowInserted(int32_t row) = 0;
    virtual void OnRowRemoved(int32_t row) = 0;
    virtual void OnCellChanged(int32_t row, int32_t column) = 0;
    virtual void OnSelectionChanged() = 0;
};

// The report list of the main window and of the merge window, as a model: rows of column texts
// that refer to their records, a sort kind per column, sorting by a column (a second click on
// the same column reverses the order), and the selection.
class SortListCtrl {
  public:
    static constexpr int32_t kMaxSortColumns = 100;
    static constexpr size_t kCompareLength = 259;  // texts compare on their first 259 characters

    explicit SortListCtrl(bool multipleSelection = false);

    void SetObserver(SortListObserver* observer) { m_observer = observer; }
    // Called after a sort by a header click, with the column and the direction.
    void SetSortedHandler(std::function<void(int32_t column, bool ascending)> handler) {
        m_sorted = std::move(handler);
    }

    // Columns.
    void AddColumn(const ListColumn& column, SortKind kind = SortKind::Text);
    int32_t ColumnCount() const { return static_cast<int32_t>(m_columns.size()); }
    const ListColumn& Column(int32_t column) const { return m_columns.at(column); }
    // Setting the kind of a column of 100 or above is ignored.
    void SetSortKind(int32_t column, SortKind kind);
    SortKind GetSortKind(int32_t column) const;
    bool MultipleSelection() const { return m_multiple; }

    // Rows.
    int32_t RowCount() const { return static_cast<int32_t>(m_rows.size()); }
    // Appends a row; missing texts are empty. Returns its index.
    int32_t AddRow(std::vector<std::string> texts, RowRecord record);
    void RemoveRow(int32_t row);
    void RemoveAllRows();
    const std::string& Text(int32_t row, int32_t column) const;
    void SetText(int32_t row, int32_t column, const std::string& text);
    // A cell's tooltip (empty: none); it stays with its row when the list is sorted.
    void SetToolTip(int32_t row, int32_t column, const std::string& text);
    std::string ToolTip(int32_t row, int32_t column) const;
    RowRecord Record(int32_t row) const;
    SourceItem* SourceAt(int32_t row) const;
    OutputItem* OutputAt(int32_t row) const;
    // The row that refers to the record, or -1.
    int32_t FindRow(const RowRecord& record) const;
    // Swaps two rows whole: texts, record and selection.
    void SwapRows(int32_t a, int32_t b);
    // Column 0 of every row from `fromRow` to the end becomes its row number plus one.
    void Renumber(int32_t fromRow = 0);

    // Selection. With single selection, selecting a row clears the others.
    void SetSelected(int32_t row, bool selected);
    bool IsSelected(int32_t row) const;
    void SelectOnly(int32_t row);
    void ClearSelection();
    int32_t SelectedCount() const;
    int32_t FirstSelected() const;  // -1 when none
    std::vector<int32_t> SelectedRows() const;
    int32_t FocusRow() const { return m_focusRow; }
    void SetFocusRow(int32_t row) { m_focusRow = row; }

    // Sorting by a header click: ascending on a new column or after a descending sort, else
    // descending. Tells the sorted handler afterwards.
    void SortByColumn(int32_t column);
    int32_t SortColumn() const { return m_sortColumn; }
    bool SortAscending() const { return m_ascending; }

    // The comparison of two texts under a sort kind, ascending: negative, 0 or positive.
    static int Compare(SortKind kind, const std::string& a, const std::string& b);

  private:
    struct Row {
        std::vector<std::string> texts;
        std::vector<std::string> tips;  // by column; empty until a cell has one
        RowRecord record;
        bool selected = false;
    };

    void SelectionChanged();

    bool m_multiple;
    std::vector<ListColumn> m_columns;
    std::array<SortKind, kMaxSortColumns> m_kinds;
    std::vector<Row> m_rows;
    int32_t m_sortColumn = -1;
    bool m_ascending = true;
    int32_t m_focusRow = -1;
    SortListObserver* m_observer = nullptr;
    std::function<void(int32_t, bool)> m_sorted;
};

}  // namespace kelvora
