#pragma once

#include <QColor>
#include <cstdint>

namespace kelvora {

// A colour moved toward white by `factor` (0..1): each channel v becomes v + (255 - v) * factor.
QColor Lighten(const QColor& color, double factor);
// A colour moved toward black by `factor`: each channel v becomes v - v * factor.
QColor Darken(const QColor& color, double factor);
// A colour given in the 0x00BBGGRR order of the program's colour constants.
QColor ColorFromColorRef(uint32_t colorRef);

}  // namespace kelvora
