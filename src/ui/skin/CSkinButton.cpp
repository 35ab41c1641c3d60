#include "ui/skin/CSkinButton.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace kelvora {

namespace {

QFont DefaultButtonFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

void DrawFrame(QPainter& painter, const QRect& r, const QColor& topLeft,
               const QColor& bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

}  // namespace

CSkinButton::CSkinButton(QWidget* parent) : CSkinButton(QString(), parent) {}

CSkinButton::CSkinButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setFont(DefaultButtonFont());
    m_textColor = m_hotTextColor = palette().color(QPalette::ButtonText);
    m_backgroundColor = m_hotBackgroundColor = palette().color(QPalette::Button);
}

void CSkinButton::Redraw(bool redraw) {
    if (redraw) {
        update();
    }
}

void CSkinButton::ResizeToImage(const QSize& image) {
    resize(image.width() + (m_pressOffset ? 1 : 0) + (m_drawBorder ? 2 : 0),
           image.height() + (m_pressOffset ? 1 : 0) + (m_drawBorder ? 2 : 0));
}

void CSkinButton::SetBitmaps(const QPixmap& normal, const QPixmap& hot, bool resize, bool redraw) {
    m_normalIcon = m_hotIcon = QIcon();
    m_normalBitmap = normal;
    m_hotBitmap = hot;
    m_pressedBitmap = QPixmap();
    if (resize && !normal.isNull()) {
        ResizeToImage(normal.size());
    }
    Redraw(redraw);
}

void CSkinButton::SetPressedBitmap(const QPixmap& pressed, bool redraw) {
    m_pressedBitmap = pressed;
    Redraw(redraw);
}

void CSkinButton::SetIcons(const QIcon& normal, const QSize& size, const QIcon& hot, bool resize,
                           bool redraw) {
    m_normalBitmap = m_hotBitmap = m_pressedBitmap = QPixmap();
    m_normalIcon = normal;
    m_hotIcon = hot;
    m_iconSize = size;
    if (resize && !normal.isNull()) {
        ResizeToImage(size);
    }
    Redraw(redraw);
}

void CSkinButton::SetTextColors(const QColor& normal, const QColor& hot, bool redraw) {
    m_textColor = normal;
    m_hotTextColor = hot.isValid() ? hot : normal;
    Redraw(redraw);
}

void CSkinButton::SetTextOffset(const QPoint& offset, bool redraw) {
    m_textOffset = offset;
    Redraw(redraw);
}

void CSkinButton::SetFont(const QFont& font, bool redraw) {
    setFont(font);
    Redraw(redraw);
}

void CSkinButton::SetShowText(bool show, bool redraw) {
    m_showText = show;
    Redraw(redraw);
}

void CSkinButton::SetDrawBorder(bool draw, bool redraw) {
    m_drawBorder = draw;
    Redraw(redraw);
}

void CSkinButton::SetFlat(bool flat, bool redraw) {
    m_flat = flat;
    Redraw(redraw);
}

void CSkinButton::SetPressOffset(bool offset, bool redraw) {
    m_pressOffset = offset;
    Redraw(redraw);
}

void CSkinButton::SetTransparent(bool transparent, bool redraw) {
    m_transparent = transparent;
    Redraw(redraw);
}

void CSkinButton::SetBackgroundImage(const QImage& image, bool redraw) {
    m_backgroundImage = image;
    m_backgroundCopy = QPixmap();
    Redraw(redraw);
}

void CSkinButton::SetBackgroundColors(const QColor& normal, const QColor& hot, bool redraw) {
    m_backgroundColor = normal;
    m_hotBackgroundColor = hot;
    Redraw(redraw);
}

void CSkinButton::SetFocusRect(bool draw, bool redraw) {
    m_focusRect = draw;
    Redraw(redraw);
}

void CSkinButton::SetCursor(const QCursor& cursor) {
    setCursor(cursor);
}

QSize CSkinButton::sizeHint() const {
    QSize content = !m_normalBitmap.isNull() ? m_normalBitmap.size()
                    : !m_normalIcon.isNull() ? m_iconSize
                                             : fontMetrics().size(Qt::TextSingleLine, text());
    return content + QSize(1, 1) * ((m_pressOffset ? 1 : 0) + (m_drawBorder ? 2 : 0));
}

void CSkinButton::PaintBackground(QPainter& painter) {
    const bool pressed = isDown();
    if (!m_transparent) {
        painter.fillRect(rect(), m_mouseOver || pressed ? m_hotBackgroundColor : m_backgroundColor);
        return;
    }
    if (m_backgroundImage.isNull()) {
        return;  // the parent's own painting shows through
    }
    if (m_backgroundCopy.isNull()) {
        // What lies behind the button: the image at its place in the parent, the part outside
        // the image left as the parent paints it.
        m_backgroundCopy = QPixmap(size());
        m_backgroundCopy.fill(Qt::transparent);
        QPainter copy(&m_backgroundCopy);
        copy.drawImage(QPoint(0, 0), m_backgroundImage, QRect(pos(), size()));
    }
    painter.drawPixmap(0, 0, m_backgroundCopy);
}

void CSkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBackground(painter);

    const bool pressed = isDown();
    const bool hot = m_mouseOver || pressed;
    QRect content = rect();
    if (m_drawBorder) {
        const QColor light = palette().color(QPalette::Light);
        const QColor shadow = palette().color(QPalette::Dark);
        if (pressed) {
            DrawFrame(painter, content, shadow, light);
        } else if (!m_flat || m_mouseOver) {
            DrawFrame(painter, content, light, shadow);
        }
        content.adjust(1, 1, -1, -1);
    }
    painter.setClipRect(content);
    if (pressed && m_pressOffset) {
        content.translate(1, 1);
    }

    const bool enabled = isEnabled();
    if (!m_normalIcon.isNull()) {
        const QIcon& icon = hot && enabled && !m_hotIcon.isNull() ? m_hotIcon : m_normalIcon;
        const QPoint at(content.left() + (content.width() - m_iconSize.width()) / 2,
                        content.top() + (content.height() - m_iconSize.height()) / 2);
        icon.paint(&painter, QRect(at, m_iconSize), Qt::AlignCenter,
                   enabled ? QIcon::Normal : QIcon::Disabled);
    } else if (!m_normalBitmap.isNull()) {
        const QPixmap& bitmap = pressed && enabled && !m_pressedBitmap.isNull() ? m_pressedBitmap
                                : hot && enabled && !m_hotBitmap.isNull()       ? m_hotBitmap
                                                                                : m_normalBitmap;
        painter.drawPixmap(content.topLeft(), bitmap);
    }

    if (m_showText && !text().isEmpty()) {
        painter.setClipping(false);
        painter.setFont(font());
        painter.setPen(!enabled ? palette().color(QPalette::Disabled, QPalette::ButtonText)
                       : hot    ? m_hotTextColor
                                : m_textColor);
        painter.drawText(
            content.translated(m_textOffset),
            Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextShowMnemonic, text());
    }

    // As the desktop shows focus cues: once the keyboard has moved the focus, not after a click.
    if (m_focusRect && hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void CSkinButton::enterEvent(QEnterEvent* event) {
    m_mouseOver = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    m_mouseOver = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::resizeEvent(QResizeEvent* event) {
    m_backgroundCopy = QPixmap();
    QAbstractButton::resizeEvent(event);
}

void CSkinButton::moveEvent(QMoveEvent* event) {
    // A copy taken at the old place shows the wrong part of the skin.
    m_backgroundCopy = QPixmap();
    QAbstractButton::moveEvent(event);
}

}  // namespace kelvora
