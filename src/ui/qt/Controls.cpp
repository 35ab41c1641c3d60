#include "ui/qt/Controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace kelvora {

LinkLabel::LinkLabel(const QString& text, bool bold, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    f.setBold(bold);
    setFont(f);
    SetHot(false);
}

void LinkLabel::SetHot(bool hot) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, hot ? QColor(0xFF, 0x00, 0x00) : QColor(0x00, 0x00, 0xFF));
    setPalette(p);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
    }
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) {
        emit clicked();
    }
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    SetHot(true);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
    SetHot(false);
    QLabel::leaveEvent(event);
}

int TooltipDelayStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) {
        return kDelayMs;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QAbstractButton* MakeCommandButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    QFont f = button->font();
    f.setBold(true);
    button->setFont(f);
    button->setAutoDefault(false);
    return button;
}

QAbstractButton* MakeCaptionButton(CaptionButton kind, QWidget* parent) {
    const char* glyph = kind == CaptionButton::Help       ? "?"
                        : kind == CaptionButton::Minimize ? "_"
                                                          : "x";
    auto* button = new QPushButton(QString::fromLatin1(glyph), parent);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);  // caption buttons never take the keyboard focus
    return button;
}

LinkLabel* MakeLink(const QString& text, bool bold, QWidget* parent) {
    return new LinkLabel(text, bold, parent);
}

QMenu* MakePopupMenu(const std::vector<MenuEntry>& entries, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const MenuEntry& entry : entries) {
        if (entry.IsSeparator()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(entry.text));
        action->setData(entry.id);
        action->setEnabled(entry.enabled);
    }
    return menu;
}

void PaintMainBackground(QPainter& painter, const QRect& rect) {
    painter.fillRect(rect, QColor(0xEC, 0xEC, 0xE8));
    const QRect band(rect.left(), rect.top(), rect.width(), 31);
    painter.fillRect(band, QColor(0x35, 0x5C, 0x8C));
    painter.setPen(Qt::white);
    QFont f = painter.font();
    f.setBold(true);
    f.setPixelSize(14);
    painter.setFont(f);
    painter.drawText(band.adjusted(12, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Kelvora"));
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

}  // namespace kelvora
