#include "ui/skin/CIconStore.h"

#include <functional>

#include "ui/skin/SkinColors.h"

namespace kelvora {

namespace {

const QRgb kMaskColor = qRgb(192, 192, 192);

// Shadow images are lightened this much: menus here never use the system's themed look.
constexpr double kShadowLightening = 0.49;

// Applies `change` to every pixel that is neither transparent nor of the button-face colour.
QImage MapPixels(const QImage& icon, const QColor& buttonFace,
                 const std::function<QRgb(QRgb)>& change) {
    QImage out = icon.convertToFormat(QImage::Format_ARGB32);
    const QRgb face = buttonFace.rgb() & RGB_MASK;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (qAlpha(line[x]) == 0 || (line[x] & RGB_MASK) == face) {
                continue;
            }
            line[x] = (change(line[x]) & RGB_MASK) | (line[x] & ~RGB_MASK);
        }
    }
    return out;
}

}  // namespace

CIconStore& CIconStore::Shared() {
    static CIconStore store;
    return store;
}

std::vector<QImage> CIconStore::SplitStrip(const QImage& strip) {
    std::vector<QImage> icons;
    if (strip.height() < kIconHeight) {
        return icons;
    }
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32);
    for (int left = 0; left + kIconWidth <= argb.width(); left += kIconWidth) {
        QImage icon = argb.copy(left, 0, kIconWidth, kIconHeight);
        for (int y = 0; y < kIconHeight; ++y) {
            auto* line = reinterpret_cast<QRgb*>(icon.scanLine(y));
            for (int x = 0; x < kIconWidth; ++x) {
                if ((line[x] & RGB_MASK) == (kMaskColor & RGB_MASK)) {
                    line[x] = 0;
                }
            }
        }
        icons.push_back(std::move(icon));
    }
    return icons;
}

void CIconStore::Put(int32_t commandId, const QImage& icon, bool effects, const QColor& buttonFace,
                     const QColor& buttonShadow) {
    IconSet set;
    set.commandId = commandId;
    set.normal = icon.convertToFormat(QImage::Format_ARGB32);
    if (effects) {
        set.washed = Washed(set.normal, buttonFace);
        set.shadow = Shadow(set.normal, buttonFace, buttonShadow);
        set.disabled = Disabled(set.normal, buttonFace, buttonShadow);
    }
    for (IconSet& existing : m_icons) {
        if (existing.commandId == commandId) {
            existing = std::move(set);
            return;
        }
    }
    m_icons.push_back(std::move(set));
}

const CIconStore::IconSet* CIconStore::Find(int32_t commandId) const {
    for (const IconSet& set : m_icons) {
        if (set.commandId == commandId) {
            return &set;
        }
    }
    return nullptr;
}

QImage CIconStore::Washed(const QImage& icon, const QColor& buttonFace) {
    return MapPixels(icon, buttonFace,
                     [](QRgb pixel) { return Lighten(QColor(pixel), 0.3).rgb(); });
}

QImage CIconStore::Shadow(const QImage& icon, const QColor& buttonFace,
                          const QColor& buttonShadow) {
    const QRgb shadow = Lighten(buttonShadow, kShadowLightening).rgb();
    return MapPixels(icon, buttonFace, [shadow](QRgb) { return shadow; });
}

QImage CIconStore::Disabled(const QImage& icon, const QColor& buttonFace,
                            const QColor& buttonShadow) {
    return MapPixels(icon, buttonFace, [&buttonShadow](QRgb pixel) {
        const double brightness = ((qRed(pixel) + qGreen(pixel) + qBlue(pixel)) / 3) / 255.0;
        return Lighten(buttonShadow, brightness).rgb();
    });
}

}  // namespace kelvora
