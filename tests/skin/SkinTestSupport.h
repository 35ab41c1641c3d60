#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QWidget>

namespace kelvora::test {

// A palette of plain, distinct colours, so painted pixels can be told apart exactly.
inline QPalette PlainPalette() {
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(255, 255, 255));
    palette.setColor(QPalette::Window, QColor(230, 230, 230));
    palette.setColor(QPalette::Button, QColor(200, 200, 200));
    palette.setColor(QPalette::Light, QColor(255, 255, 255));
    palette.setColor(QPalette::Dark, QColor(128, 128, 128));
    palette.setColor(QPalette::Highlight, QColor(0, 60, 120));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    palette.setColor(QPalette::Text, QColor(0, 0, 0));
    palette.setColor(QPalette::ButtonText, QColor(0, 0, 0));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(100, 100, 100));
    return palette;
}

// The widget as it paints itself, over black.
inline QImage Paint(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

inline QColor At(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// Pixels of exactly `color` in `rect` of the image.
inline int CountColor(const QImage& image, const QColor& color, QRect rect = QRect()) {
    if (rect.isNull()) {
        rect = image.rect();
    }
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            count += image.pixel(x, y) == color.rgba() ? 1 : 0;
        }
    }
    return count;
}

}  // namespace kelvora::test
