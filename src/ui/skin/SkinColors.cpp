#include "ui/skin/SkinColors.h"

namespace kelvora {

namespace {

int LightenChannel(int v, double factor) {
    return static_cast<int>(v + (255 - v) * factor);
}

int DarkenChannel(int v, double factor) {
    return static_cast<int>(v - v * factor);
}

}  // namespace

QColor Lighten(const QColor& color, double factor) {
    return QColor(LightenChannel(color.red(), factor), LightenChannel(color.green(), factor),
                  LightenChannel(color.blue(), factor), color.alpha());
}

QColor Darken(const QColor& color, double factor) {
    return QColor(DarkenChannel(color.red(), factor), DarkenChannel(color.green(), factor),
                  DarkenChannel(color.blue(), factor), color.alpha());
}

QColor ColorFromColorRef(uint32_t colorRef) {
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}

}  // namespace kelvora
