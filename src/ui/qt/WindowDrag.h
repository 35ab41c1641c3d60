#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

namespace kelvora {

// Moves a window by a press of the left button on its own client area, as its title bar would:
// the window manager's move when it offers one, else the window follows the pointer.
class WindowDrag {
  public:
    // Returns true when the press started a move.
    bool Press(QWidget& window, QMouseEvent& event);
    void Move(QWidget& window, QMouseEvent& event);
    void Release(QMouseEvent& event);

  private:
    bool m_manual = false;
    QPoint m_offset;  // pointer position within the window frame
};

}  // namespace kelvora
