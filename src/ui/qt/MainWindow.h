#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "ui/CMainDlg.h"
#include "ui/qt/WindowDrag.h"
#include "ui/skin/MainWindowSkin.h"

namespace kelvora {

class SortListView;
class TooltipDelayStyle;

// The main window, a view of a CMainDlg: a fixed 627 x 525 window without the system's title
// bar, painted by its skin, holding the source list above the output list, the six command
// buttons, the three caption buttons and the home-page link. Clicks, keys, menu choices,
// double-clicks and drops become the core's commands and notifications; what the core changes in
// its lists shows here.
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 627;
    static constexpr int kHeight = 525;

    explicit MainWindow(CMainDlg& dlg, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The core's start-up (the "Folder" setting, the list columns, the first-run step); called
    // once the window is shown, so that a first-run help window opens over it.
    void Start();

    CMainDlg& Dlg() { return m_dlg; }
    // A control by its identifier: a command button or caption button by its command, the
    // home-page link (32784), the source list (1001) and the output list (1002).
    QWidget* Control(int32_t id) const;
    SortListView& SourceView() { return *m_sourceView; }
    SortListView& OutputView() { return *m_outputView; }

    // Paths handed to the program as if dropped on the window (the command line, "Open with"),
    // taken at the next turn of the event loop.
    void AddPaths(const std::vector<std::string>& paths);
    // Shows a popup at a screen position and runs the chosen item under its rule.
    void ShowPopup(Popup popup, const QPoint& globalPos);

  signals:
    // A close request was accepted: the program ends.
    void Closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateControls();
    void CreateShortcuts();
    void Place(QWidget* control, int32_t id, const QRect& rect, const char* tooltip);
    // A button's command: always dispatched, the handler checks for itself.
    void RunButton(int32_t id);
    // A menu item's or accelerator's command: run only when its rule allows it.
    void RunCommand(int32_t id);
    void AfterCommand();
    // Gives the keyboard focus to the list the core names, as it asks after a batch.
    void FollowFocusedList();
    void OnFocusChanged(QWidget* now);

    CMainDlg& m_dlg;
    MainWindowSkin m_skin;
    SortListView* m_sourceView = nullptr;
    SortListView* m_outputView = nullptr;
    std::map<int32_t, QWidget*> m_controls;
    TooltipDelayStyle* m_tooltipStyle = nullptr;
    QMetaObject::Connection m_focusWatch;
    QPointer<QWidget> m_lastFocus;  // the last control of this window that had the focus
    WindowDrag m_drag;
};

}  // namespace kelvora
