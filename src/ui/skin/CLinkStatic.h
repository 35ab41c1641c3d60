#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <functional>

namespace kelvora {

class Shell;

// A static text that acts as a hyperlink: coloured, underlined while hovered (or always, or
// never), a hand cursor and a tooltip showing its target, and a click that opens the target
// with the desktop's browser or mail program.
class CLinkStatic : public QLabel {
  public:
    // Underline modes.
    static constexpr int kUnderlineHover = -1;
    static constexpr int kUnderlineNever = 0;
    static constexpr int kUnderlineAlways = 1;
    static constexpr int kHoverTimerMs = 100;

    CLinkStatic(Shell& shell, const QString& text, QWidget* parent = nullptr);

    // The address opened by a click; empty: the control's own text. An empty text shows
    // the target.
    void SetTarget(const QString& target);
    void SetText(const QString& text);
    QString Target() const { return m_target; }
    void SetColours(const QColor& link, const QColor& visited, const QColor& hover = QColor(),
                    bool redraw = true);
    void SetUnderline(int mode);
    int Underline() const { return m_underline; }
    void SetAdjustToText(bool adjust);
    void SetVisited(bool visited);
    bool IsVisited() const { return m_visited; }
    bool IsHovering() const { return m_hovering; }
    // The text's colour and font for the current state.
    QColor CurrentColour() const;
    QFont CurrentFont() const;
    // Where the pointer is, in global coordinates; tests replace it.
    void SetPointerSource(std::function<QPoint()> source) { m_pointer = std::move(source); }

    // Opens the target as a click does.
    void Open();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void StartHover();
    void EndHover();
    void CheckHover();
    void AdjustSize();

    Shell& m_shell;
    QString m_target;
    QColor m_linkColour{0, 0, 238};
    QColor m_visitedColour{85, 26, 139};
    QColor m_hoverColour{255, 0, 0};
    int m_underline = kUnderlineHover;
    bool m_adjust = true;
    bool m_hovering = false;
    bool m_visited = false;
    QFont m_plainFont, m_underlinedFont;
    QTimer m_hoverTimer;
    std::function<QPoint()> m_pointer;
};

}  // namespace kelvora
