#include "ui/qt/SortListView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QStyledItemDelegate>
#include <algorithm>

namespace kelvora {

namespace {

// Whole rows are selected, so no single cell shows the keyboard focus.
class RowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
    }
};

}  // namespace

SortListView::SortListView(SortListCtrl& list, int32_t id, QWidget* parent)
    : QTableView(parent), m_model(list, this), m_id(id) {
    setModel(&m_model);
    setItemDelegate(new RowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(list.MultipleSelection() ? QAbstractItemView::ExtendedSelection
                                              : QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);  // the list sorts itself, by its own rules
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(8);
    ApplyColumns();

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { List().SortByColumn(column); });
    connect(&m_model, &SortListModel::ColumnsChanged, this, &SortListView::ApplyColumns);
    connect(&m_model, &SortListModel::ListSelectionChanged, this, &SortListView::ShowListSelection);
    connect(&m_model, &SortListModel::RowsReset, this, &SortListView::ShowListSelection);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SortListView::TakeViewSelection);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && !m_model.Changing()) {
                    List().SetFocusRow(current.isValid() ? current.row() : -1);
                }
            });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit RowDoubleClicked(index.row()); });
}

void SortListView::ApplyColumns() {
    for (int32_t c = 0; c < List().ColumnCount(); ++c) {
        setColumnWidth(c, List().Column(c).width);
    }
}

QRect SortListView::RowRect(int row) const {
    const QRect first = visualRect(m_model.index(row, 0));
    return QRect(0, first.top(), viewport()->width(), first.height());
}

// The list's selection, as the list holds it, shown on screen.
void SortListView::ShowListSelection() {
    if (m_syncing) {
        return;
    }
    m_syncing = true;
    QItemSelection selection;
    const int lastColumn = m_model.columnCount() - 1;
    for (const int32_t row : List().SelectedRows()) {
        if (row < m_model.rowCount() && lastColumn >= 0) {
            selection.select(m_model.index(row, 0), m_model.index(row, lastColumn));
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const int32_t focus = List().FocusRow();
    if (focus >= 0 && focus < m_model.rowCount()) {
        selectionModel()->setCurrentIndex(m_model.index(focus, 0), QItemSelectionModel::NoUpdate);
    } else if (focus < 0 && currentIndex().isValid()) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    m_syncing = false;
}

// The selection the user made on screen, handed to the list; then the owner is told.
void SortListView::TakeViewSelection() {
    if (m_syncing || m_model.Changing()) {
        return;
    }
    m_syncing = true;
    SortListCtrl& list = List();
    std::vector<bool> wanted(static_cast<size_t>(list.RowCount()), false);
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (index.row() < list.RowCount()) {
            wanted[static_cast<size_t>(index.row())] = true;
        }
    }
    if (!list.MultipleSelection()) {
        const auto first = std::find(wanted.begin(), wanted.end(), true);
        list.SelectOnly(first == wanted.end() ? -1 : static_cast<int32_t>(first - wanted.begin()));
    } else {
        for (int32_t row = 0; row < list.RowCount(); ++row) {
            list.SetSelected(row, wanted[static_cast<size_t>(row)]);
        }
    }
    const QModelIndex current = currentIndex();
    list.SetFocusRow(current.isValid() ? current.row() : -1);
    m_syncing = false;
    emit UserSelectionChanged();
}

void SortListView::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint pos = event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                   : mapToGlobal(rect().center());
    event->accept();
    emit ContextMenuAt(pos);
}

void SortListView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    emit FocusEntered();
}

}  // namespace kelvora
