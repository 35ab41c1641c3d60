#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

#include "ui/Shell.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelvora {

// The small modeless window of long actions: a text line, a bar and Cancel. Cancel only sets
// the flag; the window stays, showing its last text, until its owner asks it to close. It frees
// itself once closed.
class CProgressDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CProgressDlg(QWidget* transientFor = nullptr);

    void SetText(const QString& text);
    void SetRange(int low, int high);
    void SetStep(int step) { m_step = step; }
    void SetPosition(int position);
    void Step();
    bool Cancelled() const { return m_cancelled; }
    void SetCancelHandler(std::function<void()> handler) { m_onCancel = std::move(handler); }
    // Closes the window at the next dispatch of posted events.
    void PostClose();

    QLabel* TextLine() const { return m_text; }
    QProgressBar* Bar() const { return m_bar; }
    QPushButton* CancelButton() const { return m_cancel; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    // Cancel pressed (or Esc, or the window closed): the flag set, the handler told once.
    void Cancel();

    int m_step = 1;
    bool m_cancelled = false;
    std::function<void()> m_onCancel;
    bool m_closing = false;
};

// The owner's handle on a progress window. The window outlives the handle until its posted
// close is handled; a handle dropped without a close request closes its window too.
class ProgressWindowHandle : public IProgressWindow {
  public:
    explicit ProgressWindowHandle(CProgressDlg* window) : m_window(window) {}
    ~ProgressWindowHandle() override;
    ProgressWindowHandle(const ProgressWindowHandle&) = delete;
    ProgressWindowHandle& operator=(const ProgressWindowHandle&) = delete;

    void Show() override;
    void SetText(const std::string& text) override;
    void SetRange(int32_t low, int32_t high) override;
    void SetStep(int32_t step) override;
    void SetPosition(int32_t position) override;
    void Step() override;
    bool Cancelled() const override;
    void SetCancelHandler(std::function<void()> handler) override;
    void RequestClose() override;

    CProgressDlg* Window() const { return m_window; }

  private:
    QPointer<CProgressDlg> m_window;
    bool m_closeRequested = false;
};

}  // namespace kelvora
