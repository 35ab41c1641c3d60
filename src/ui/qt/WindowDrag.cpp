#include "ui/qt/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace kelvora {

bool WindowDrag::Press(QWidget& window, QMouseEvent& event) {
    if (event.button() != Qt::LeftButton) {
        return false;
    }
    event.accept();
    m_manual = false;
    if (QWindow* handle = window.windowHandle(); handle && handle->startSystemMove()) {
        return true;
    }
    m_manual = true;
    m_offset = event.globalPosition().toPoint() - window.frameGeometry().topLeft();
    return true;
}

void WindowDrag::Move(QWidget& window, QMouseEvent& event) {
    if (m_manual && (event.buttons() & Qt::LeftButton)) {
        window.move(event.globalPosition().toPoint() - m_offset);
        event.accept();
    }
}

void WindowDrag::Release(QMouseEvent& event) {
    if (event.button() == Qt::LeftButton) {
        m_manual = false;
    }
}

}  // namespace kelvora
