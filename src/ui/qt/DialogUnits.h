#pragma once

#include <QFont>
#include <QRect>
#include <cmath>

namespace kelvora {

// Window layouts are given in dialog units of an 8-point dialog font: x units are 1.5 pixels,
// y units 1.625 pixels.
inline int DluX(double x) {
    return static_cast<int>(std::lround(x * 1.5));
}
inline int DluY(double y) {
    return static_cast<int>(std::lround(y * 1.625));
}
inline QRect DluRect(double x, double y, double w, double h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

// The font the layouts are measured for: the desktop's sans-serif face at the 11-pixel height
// of an 8-point font on a 96 dpi screen.
inline QFont DialogFont() {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPixelSize(11);
    return font;
}

}  // namespace kelvora
