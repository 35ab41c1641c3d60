#pragma once

#include <QDialog>
#include <map>

#include "ui/CMergeDlg.h"
#include "ui/qt/WindowDrag.h"

class QPushButton;

namespace kelvora {

class SortListView;

// "Merge MP3", a view of a CMergeDlg: the MP3 list above the SWF/FLV list and the buttons
// beside them, each enabled as the core says after every action. Modal over its owner.
class MergeWindow : public QDialog {
    Q_OBJECT

  public:
    MergeWindow(CMergeDlg& dlg, QWidget* parent = nullptr);

    CMergeDlg& Dlg() { return m_dlg; }
    QPushButton* Button(int32_t id) const;
    SortListView& Mp3View() { return *m_mp3View; }
    SortListView& SourceView() { return *m_sourceView; }

  public slots:
    // Esc and the title bar's close box (the dialog closes through here): the core's Close.
    void reject() override;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void Run(int32_t id);
    // The buttons' enabling, focus and scroll requests, and the end of the window, after any
    // call into the core.
    void Refresh();

    CMergeDlg& m_dlg;
    SortListView* m_mp3View = nullptr;
    SortListView* m_sourceView = nullptr;
    std::map<int32_t, QPushButton*> m_buttons;
    WindowDrag m_drag;
};

}  // namespace kelvora
