#include "ui/SortListCtrl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelvora {

namespace {

const std::string kEmpty;

std::string Cut(const std::string& text) {
    return text.size() > SortListCtrl::kCompareLength ? text.substr(0, SortListCtrl::kCompareLength)
                                                      : text;
}

// A leading decimal number; a text without one reads as 0.
double LeadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    return end == begin ? 0.0 : value;
}

// "minutes:seconds"; false when the text has no colon.
bool MinutesSeconds(const std::string& text, long& minutes, long& seconds) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    minutes = std::strtol(text.c_str(), nullptr, 10);
    seconds = std::strtol(text.c_str() + colon + 1, nullptr, 10);
    return true;
}

}  // namespace

SortListCtrl::SortListCtrl(bool multipleSelection) : m_multiple(multipleSelection) {
    m_kinds.fill(SortKind::Text);
}

void SortListCtrl::AddColumn(const ListColumn& column, SortKind kind) {
    m_columns.push_back(column);
    SetSortKind(ColumnCount() - 1, kind);
}

void SortListCtrl::SetSortKind(int32_t column, SortKind kind) {
    if (column >= 0 && column < kMaxSortColumns) {
        m_kinds[static_cast<size_t>(column)] = kind;
    }
}

SortKind SortListCtrl::GetSortKind(int32_t column) const {
    return column >= 0 && column < kMaxSortColumns ? m_kinds[static_cast<size_t>(column)]
                                                   : SortKind::Text;
}

int32_t SortListCtrl::AddRow(std::vector<std::string> texts, RowRecord record) {
    texts.resize(std::max<size_t>(texts.size(), m_columns.size()));
    m_rows.push_back(Row{std::move(texts), {}, record, false});
    const int32_t row = RowCount() - 1;
    if (m_observer) {
        m_observer->OnRowInserted(row);
    }
    return row;
}

void SortListCtrl::RemoveRow(int32_t row) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    const bool wasSelected = m_rows[static_cast<size_t>(row)].selected;
    m_rows.erase(m_rows.begin() + row);
    if (m_focusRow == row) {
        m_focusRow = -1;
    } else if (m_focusRow > row) {
        --m_focusRow;
    }
    if (m_observer) {
        m_observer->OnRowRemoved(row);
    }
    if (wasSelected) {
        SelectionChanged();
    }
}

void SortListCtrl::RemoveAllRows() {
    const bool hadSelection = SelectedCount() > 0;
    m_rows.clear();
    m_focusRow = -1;
    if (m_observer) {
        m_observer->OnRowsReset();
    }
    if (hadSelection) {
        SelectionChanged();
    }
}

const std::string& SortListCtrl::Text(int32_t row, int32_t column) const {
    if (row < 0 || row >= RowCount()) {
        return kEmpty;
    }
    const Row& r = m_rows[static_cast<size_t>(row)];
    return column >= 0 && static_cast<size_t>(column) < r.texts.size()
               ? r.texts[static_cast<size_t>(column)]
               : kEmpty;
}

void SortListCtrl::SetText(int32_t row, int32_t column, const std::string& text) {
    if (row < 0 || row >= RowCount() || column < 0) {
        return;
    }
    Row& r = m_rows[static_cast<size_t>(row)];
    if (static_cast<size_t>(column) >= r.texts.size()) {
        r.texts.resize(static_cast<size_t>(column) + 1);
    }
    r.texts[static_cast<size_t>(column)] = text;
    if (m_observer) {
        m_observer->OnCellChanged(row, column);
    }
}

void SortListCtrl::SetToolTip(int32_t row, int32_t column, const std::string& text) {
    if (row < 0 || row >= RowCount() || column < 0) {
        return;
    }
    std::vector<std::string>& tips = m_rows[static_cast<size_t>(row)].tips;
    if (static_cast<size_t>(column) >= tips.size()) {
        if (text.empty()) {
            return;
        }
        tips.resize(static_cast<size_t>(column) + 1);
    }
    tips[static_cast<size_t>(column)] = text;
}

std::string SortListCtrl::ToolTip(int32_t row, int32_t column) const {
    if (row < 0 || row >= RowCount() || column < 0) {
        return {};
    }
    const std::vector<std::string>& tips = m_rows[static_cast<size_t>(row)].tips;
    return static_cast<size_t>(column) < tips.size() ? tips[static_cast<size_t>(column)]
                                                     : std::string();
}

RowRecord SortListCtrl::Record(int32_t row) const {
    return row >= 0 && row < RowCount() ? m_rows[static_cast<size_t>(row)].record : RowRecord{};
}

SourceItem* SortListCtrl::SourceAt(int32_t row) const {
    const RowRecord r = Record(row);
    return std::holds_alternative<SourceItem*>(r) ? std::get<SourceItem*>(r) : nullptr;
}

OutputItem* SortListCtrl::OutputAt(int32_t row) const {
    const RowRecord r = Record(row);
    return std::holds_alternative<OutputItem*>(r) ? std::get<OutputItem*>(r) : nullptr;
}

int32_t SortListCtrl::FindRow(const RowRecord& record) const {
    for (int32_t i = 0; i < RowCount(); ++i) {
        if (m_rows[static_cast<size_t>(i)].record == record) {
            return i;
        }
    }
    return -1;
}

void SortListCtrl::SwapRows(int32_t a, int32_t b) {
    if (a < 0 || b < 0 || a >= RowCount() || b >= RowCount() || a == b) {
        return;
    }
    std::swap(m_rows[static_cast<size_t>(a)], m_rows[static_cast<size_t>(b)]);
    if (m_observer) {
        for (int32_t c = 0; c < ColumnCount(); ++c) {
            m_observer->OnCellChanged(a, c);
            m_observer->OnCellChanged(b, c);
        }
        m_observer->OnSelectionChanged();
    }
}

void SortListCtrl::Renumber(int32_t fromRow) {
    for (int32_t i = std::max(fromRow, 0); i < RowCount(); ++i) {
        SetText(i, 0, std::to_string(i + 1));
    }
}

void SortListCtrl::SelectionChanged() {
    if (m_observer) {
        m_observer->OnSelectionChanged();
    }
}

void SortListCtrl::SetSelected(int32_t row, bool selected) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    bool changed = false;
    if (selected && !m_multiple) {
        for (int32_t i = 0; i < RowCount(); ++i) {
            Row& r = m_rows[static_cast<size_t>(i)];
            if (i != row && r.selected) {
                r.selected = false;
                changed = true;
            }
        }
    }
    Row& r = m_rows[static_cast<size_t>(row)];
    if (r.selected != selected) {
        r.selected = selected;
        changed = true;
    }
    if (changed) {
        SelectionChanged();
    }
}

bool SortListCtrl::IsSelected(int32_t row) const {
    return row >= 0 && row < RowCount() && m_rows[static_cast<size_t>(row)].selected;
}

void SortListCtrl::SelectOnly(int32_t row) {
    bool changed = false;
    for (int32_t i = 0; i < RowCount(); ++i) {
        Row& r = m_rows[static_cast<size_t>(i)];
        const bool want = i == row;
        if (r.selected != want) {
            r.selected = want;
            changed = true;
        }
    }
    if (changed) {
        SelectionChanged();
    }
}

void SortListCtrl::ClearSelection() {
    SelectOnly(-1);
}

int32_t SortListCtrl::SelectedCount() const {
    return static_cast<int32_t>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.selected; }));
}

int32_t SortListCtrl::FirstSelected() const {
    for (int32_t i = 0; i < RowCount(); ++i) {
        if (m_rows[static_cast<size_t>(i)].selected) {
            return i;
        }
    }
    return -1;
}

std::vector<int32_t> SortListCtrl::SelectedRows() const {
    std::vector<int32_t> rows;
    for (int32_t i = 0; i < RowCount(); ++i) {
        if (m_rows[static_cast<size_t>(i)].selected) {
            rows.push_back(i);
        }
    }
    return rows;
}

int SortListCtrl::Compare(SortKind kind, const std::string& a, const std::string& b) {
    const std::string x = Cut(a), y = Cut(b);
    switch (kind) {
        case SortKind::Text:
            return std::strcoll(x.c_str(), y.c_str());
        case SortKind::Number: {
            const double p = LeadingNumber(x), q = LeadingNumber(y);
            return p < q ? -1 : p > q ? 1 : 0;
        }
        case SortKind::MinutesSeconds: {
            long m1, s1, m2, s2;
            if (!MinutesSeconds(x, m1, s1) || !MinutesSeconds(y, m2, s2)) {
                return 0;
            }
            const long d = (m1 - m2) * 60 + (s1 - s2);
            return d < 0 ? -1 : d > 0 ? 1 : 0;
        }
    }
    return 0;
}

void SortListCtrl::SortByColumn(int32_t column) {
    if (column < 0 || column >= ColumnCount()) {
        return;
    }
    m_ascending = column != m_sortColumn || !m_ascending;
    m_sortColumn = column;
    const SortKind kind = GetSortKind(column);
    const bool ascending = m_ascending;
    const size_t c = static_cast<size_t>(column);
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const Row& a, const Row& b) {
        const std::string& x = c < a.texts.size() ? a.texts[c] : kEmpty;
        const std::string& y = c < b.texts.size() ? b.texts[c] : kEmpty;
        const int r = Compare(kind, x, y);
        return ascending ? r < 0 : r > 0;
    });
    m_focusRow = -1;
    if (m_observer) {
        m_observer->OnRowsReset();
        m_observer->OnSelectionChanged();
    }
    if (m_sorted) {
        m_sorted(column, ascending);
    }
}

}  // namespace kelvora
