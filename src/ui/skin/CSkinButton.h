#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace kelvora {

// A push button that paints itself over the window's skin: flat until the mouse is over it,
// raised while it is, sunken with its content moved one pixel while pressed; a bitmap or an
// icon, its own font, text colours and cursor, and a background copied from the skin image
// behind it so that it blends in.
class CSkinButton : public QAbstractButton {
  public:
    explicit CSkinButton(QWidget* parent = nullptr);
    explicit CSkinButton(const QString& text, QWidget* parent = nullptr);

    // Images replace the previous ones, bitmaps or icons. A null hot image means none. With
    // `resize` the button takes the image's size, plus 1 with the press offset and 2 with
    // the border, keeping its top-left corner.
    void SetBitmaps(const QPixmap& normal, const QPixmap& hot = QPixmap(), bool resize = false,
                    bool redraw = true);
    // The bitmap while pressed, so a press looks apart from hovering; null: the hot one.
    // Setting images (bitmaps or icons) drops it.
    void SetPressedBitmap(const QPixmap& pressed, bool redraw = true);
    void SetIcons(const QIcon& normal, const QSize& size, const QIcon& hot = QIcon(),
                  bool resize = false, bool redraw = true);
    // An invalid hot colour means the normal one.
    void SetTextColors(const QColor& normal, const QColor& hot = QColor(), bool redraw = true);
    void SetTextOffset(const QPoint& offset, bool redraw = true);
    void SetFont(const QFont& font, bool redraw = true);
    void SetShowText(bool show, bool redraw = true);
    void SetDrawBorder(bool draw, bool redraw = true);
    void SetFlat(bool flat, bool redraw = true);
    void SetPressOffset(bool offset, bool redraw = true);
    void SetTransparent(bool transparent, bool redraw = true);
    // The parent window's skin image; the part behind the button is its background. Without
    // one, a transparent button leaves its parent's painting showing.
    void SetBackgroundImage(const QImage& image, bool redraw = true);
    // Used when the button is not transparent.
    void SetBackgroundColors(const QColor& normal, const QColor& hot, bool redraw = true);
    // Drawn while the button has a focus that the keyboard gave it.
    void SetFocusRect(bool draw, bool redraw = true);
    void SetCursor(const QCursor& cursor);

    bool IsHot() const { return m_mouseOver; }
    // The cached copy of the background, null until the next paint takes it.
    const QPixmap& BackgroundCopy() const { return m_backgroundCopy; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void Redraw(bool redraw);
    void ResizeToImage(const QSize& image);
    void PaintBackground(QPainter& painter);

    QPixmap m_normalBitmap, m_hotBitmap, m_pressedBitmap;
    QIcon m_normalIcon, m_hotIcon;
    QSize m_iconSize;
    QColor m_textColor, m_hotTextColor;
    QPoint m_textOffset;
    bool m_showText = true;
    bool m_drawBorder = true;
    bool m_flat = true;
    bool m_pressOffset = true;
    bool m_transparent = true;
    QImage m_backgroundImage;
    QColor m_backgroundColor, m_hotBackgroundColor;
    bool m_focusRect = false;
    bool m_mouseOver = false;
    QPixmap m_backgroundCopy;
};

}  // namespace kelvora
