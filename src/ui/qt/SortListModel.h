#pragma once

#include <QAbstractTableModel>

#include "ui/SortListCtrl.h"

namespace kelvora {

// A SortListCtrl as a Qt table model: its texts, headers and alignments. The list stays the
// owner of its rows; this model only follows it, and tells its view when the list's selection
// changed so that the view can show it.
class SortListModel : public QAbstractTableModel, private SortListObserver {
    Q_OBJECT

  public:
    explicit SortListModel(SortListCtrl& list, QObject* parent = nullptr);
    ~SortListModel() override;

    SortListCtrl& List() { return m_list; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // True while the view is being told of rows the list already changed: whatever Qt makes of
    // the selection meanwhile rests on row numbers that are gone, and is nobody's choice.
    bool Changing() const { return m_changing; }

    // Picks up columns added to the list after the model was made.
    void SyncColumns();

  signals:
    void ColumnsChanged();
    void ListSelectionChanged();
    // The rows were replaced (reset or re-ordered): the view's selection must be shown anew.
    void RowsReset();

  private:
    void OnRowsReset() override;
    void OnRowInserted(int32_t row) override;
    void OnRowRemoved(int32_t row) override;
    void OnCellChanged(int32_t row, int32_t column) override;
    void OnSelectionChanged() override;

    SortListCtrl& m_list;
    int m_rows = 0;  // the row count the view was last told of
    int m_columns = 0;
    bool m_changing = false;
};

}  // namespace kelvora
