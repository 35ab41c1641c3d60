#pragma once

#include <QTableView>
#include <functional>

#include "ui/qt/SortListModel.h"

namespace kelvora {

// The report list of the main window and the merge window over a SortListCtrl: its columns at
// their widths and alignments, whole rows selected (one row, or many when the list allows it),
// the selection kept the same in the list and on screen, and a header click sorting the list
// by that column through the list itself.
class SortListView : public QTableView {
    Q_OBJECT

  public:
    SortListView(SortListCtrl& list, int32_t id, QWidget* parent = nullptr);

    int32_t Id() const { return m_id; }
    SortListCtrl& List() { return m_model.List(); }
    SortListModel& Model() { return m_model; }
    // Gives the columns their widths; called again when the list got its columns late.
    void ApplyColumns();
    // The rectangle of a row in the viewport's coordinates (for tests and the pointer).
    QRect RowRect(int row) const;

  signals:
    // The user changed the selection (never sent for changes the list made itself).
    void UserSelectionChanged();
    void RowDoubleClicked(int row);
    // A context menu was asked for: at the pointer, or at the list's centre from the keyboard.
    void ContextMenuAt(const QPoint& globalPos);
    void FocusEntered();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void ShowListSelection();
    void TakeViewSelection();

    SortListModel m_model;
    int32_t m_id;
    bool m_syncing = false;
};

}  // namespace kelvora
