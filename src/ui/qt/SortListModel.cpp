#include "ui/qt/SortListModel.h"

namespace kelvora {

SortListModel::SortListModel(SortListCtrl& list, QObject* parent)
    : QAbstractTableModel(parent),
      m_list(list),
      m_rows(list.RowCount()),
      m_columns(list.ColumnCount()) {
    m_list.SetObserver(this);
}

SortListModel::~SortListModel() {
    m_list.SetObserver(nullptr);
}

int SortListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int SortListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant SortListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_list.RowCount() ||
        index.column() >= m_list.ColumnCount()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            // Only the row texts are read: the records may be in the hands of a conversion.
            return QString::fromStdString(m_list.Text(index.row(), index.column()));
        case Qt::ToolTipRole: {
            const std::string tip = m_list.ToolTip(index.row(), index.column());
            return tip.empty() ? QVariant() : QVariant(QString::fromStdString(tip));
        }
        case Qt::TextAlignmentRole: {
            const bool right = m_list.Column(index.column()).align == ColumnAlign::Right;
            return QVariant::fromValue(Qt::Alignment(right ? Qt::AlignRight : Qt::AlignLeft) |
                                       Qt::AlignVCenter);
        }
        default:
            return {};
    }
}

QVariant SortListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_list.ColumnCount()) {
        return {};
    }
    const ListColumn& column = m_list.Column(section);
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(column.header);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                Qt::Alignment(column.align == ColumnAlign::Right ? Qt::AlignRight : Qt::AlignLeft) |
                Qt::AlignVCenter);
        default:
            return {};
    }
}

void SortListModel::SyncColumns() {
    if (m_columns == m_list.ColumnCount() && m_rows == m_list.RowCount()) {
        return;
    }
    m_changing = true;
    beginResetModel();
    m_columns = m_list.ColumnCount();
    m_rows = m_list.RowCount();
    endResetModel();
    m_changing = false;
    emit ColumnsChanged();
    emit RowsReset();
}

// The list tells of a change after making it; the model keeps its own row count so that Qt
// sees the counts before and after each change as its protocol requires.
void SortListModel::OnRowsReset() {
    m_changing = true;
    beginResetModel();
    m_columns = m_list.ColumnCount();
    m_rows = m_list.RowCount();
    endResetModel();
    m_changing = false;
    emit RowsReset();
}

void SortListModel::OnRowInserted(int32_t row) {
    if (m_columns != m_list.ColumnCount() || row != m_rows || m_list.RowCount() != m_rows + 1) {
        SyncColumns();
        return;
    }
    m_changing = true;
    beginInsertRows(QModelIndex(), row, row);
    ++m_rows;
    endInsertRows();
    m_changing = false;
}

void SortListModel::OnRowRemoved(int32_t row) {
    if (row < 0 || row >= m_rows || m_list.RowCount() != m_rows - 1) {
        OnRowsReset();
        return;
    }
    m_changing = true;
    beginRemoveRows(QModelIndex(), row, row);
    --m_rows;
    endRemoveRows();
    m_changing = false;
    // Qt moves a removed row's selection to a neighbour; the list's own selection stands.
    emit ListSelectionChanged();
}

void SortListModel::OnCellChanged(int32_t row, int32_t column) {
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns) {
        return;
    }
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void SortListModel::OnSelectionChanged() {
    emit ListSelectionChanged();
}

}  // namespace kelvora
