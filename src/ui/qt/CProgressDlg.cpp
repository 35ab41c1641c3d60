#include "ui/qt/CProgressDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "ui/qt/DialogUnits.h"

namespace kelvora {

CProgressDlg::CProgressDlg(QWidget* transientFor)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint) {
    // No owner: a disabled main window must not disable this one with it. It is kept above the
    // main window as that window's transient instead.
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setFont(DialogFont());
    setFixedSize(DluX(306), DluY(65));

    m_text = new QLabel(this);
    m_text->setGeometry(DluRect(7, 7, 292, 8));
    m_bar = new QProgressBar(this);
    m_bar->setGeometry(DluRect(7, 20, 292, 14));
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(DluRect(127, 42, 50, 16));
    m_cancel->setAutoDefault(false);
    m_cancel->setDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] { Cancel(); });

    if (const QScreen* s = transientFor ? transientFor->screen() : screen()) {
        const QRect area = s->availableGeometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    if (transientFor && transientFor->windowHandle()) {
        winId();
        windowHandle()->setTransientParent(transientFor->windowHandle());
    }
}

void CProgressDlg::SetText(const QString& text) {
    m_text->setText(text);
}

void CProgressDlg::SetRange(int low, int high) {
    // An empty range shows an empty bar, not the toolkit's busy animation.
    m_bar->setRange(low, high > low ? high : low + 1);
    m_bar->setValue(low);
}

void CProgressDlg::SetPosition(int position) {
    m_bar->setValue(std::clamp(position, m_bar->minimum(), m_bar->maximum()));
}

void CProgressDlg::Step() {
    SetPosition(m_bar->value() + m_step);
}

void CProgressDlg::PostClose() {
    m_closing = true;
    QTimer::singleShot(0, this, [this] { close(); });
}

// Enter and Esc do nothing: the action goes on until it is done or cancelled.
void CProgressDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

// A close from the window manager while the action runs is a Cancel: the window stays until its
// owner, which still uses it, lets it go.
void CProgressDlg::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        Cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// A dialog frame, since the window has no title bar.
void CProgressDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

ProgressWindowHandle::~ProgressWindowHandle() {
    if (m_window && !m_closeRequested) {
        m_window->PostClose();
    }
}

void ProgressWindowHandle::Show() {
    if (m_window) {
        m_window->show();
    }
}

void ProgressWindowHandle::SetText(const std::string& text) {
    if (m_window) {
        m_window->SetText(QString::fromStdString(text));
    }
}

void ProgressWindowHandle::SetRange(int32_t low, int32_t high) {
    if (m_window) {
        m_window->SetRange(low, high);
    }
}

void ProgressWindowHandle::SetStep(int32_t step) {
    if (m_window) {
        m_window->SetStep(step);
    }
}

void ProgressWindowHandle::SetPosition(int32_t position) {
    if (m_window) {
        m_window->SetPosition(position);
    }
}

void ProgressWindowHandle::Step() {
    if (m_window) {
        m_window->Step();
    }
}

void CProgressDlg::Cancel() {
    const bool first = !m_cancelled;
    m_cancelled = true;
    if (first && m_onCancel) {
        m_onCancel();
    }
}

void ProgressWindowHandle::SetCancelHandler(std::function<void()> handler) {
    if (m_window) {
        m_window->SetCancelHandler(std::move(handler));
    }
}

bool ProgressWindowHandle::Cancelled() const {
    return m_window && m_window->Cancelled();
}

void ProgressWindowHandle::RequestClose() {
    m_closeRequested = true;
    if (m_window) {
        m_window->PostClose();
    }
}

}  // namespace kelvora
