#pragma once

// The program's own controls, each made in one place so that the painted look can replace them
// without touching the windows that use them: the main window's command buttons, caption
// buttons and links, its popup menus, its background, and the tooltip delay.

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QProxyStyle>
#include <vector>

#include "ui/CMainDlg.h"

class QPainter;

namespace kelvora {

enum class CaptionButton { Help, Minimize, Close };

// A link: its text underlined, a hand pointer, clicked by the left button.
class LinkLabel : public QLabel {
    Q_OBJECT

  public:
    LinkLabel(const QString& text, bool bold, QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void SetHot(bool hot);
    bool m_pressed = false;
};

// Shows tooltips 300 milliseconds after the pointer stops over a control.
class TooltipDelayStyle : public QProxyStyle {
    Q_OBJECT

  public:
    static constexpr int kDelayMs = 300;
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

QAbstractButton* MakeCommandButton(const QString& text, QWidget* parent);
QAbstractButton* MakeCaptionButton(CaptionButton kind, QWidget* parent);
// The main window's home-page link (bold) and the About box's links (in the window's font).
LinkLabel* MakeLink(const QString& text, bool bold, QWidget* parent);

// A popup menu of the entries in order, separators included, each enabled as the entry says;
// an item's data is its command number.
QMenu* MakePopupMenu(const std::vector<MenuEntry>& entries, QWidget* parent);

// The main window's background, painted over its whole client area.
void PaintMainBackground(QPainter& painter, const QRect& rect);

}  // namespace kelvora
