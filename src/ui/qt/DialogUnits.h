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

// The font the layouts are measured for: Tahoma at the 11-pixel height of an 8-point font on a
// 96 dpi screen, else a face of about its width (the usual desktop face is wider and would not
// fit the captions in their controls), else the desktop's own.
inline QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(11);
    return font;
}

}  // namespace kelvora
