#pragma once

#include <QColor>
#include <QImage>
#include <cstdint>
#include <vector>

namespace kelvora {

// The menu icons of every popup, by command id: each icon with the three images derived from
// it for the flat menus (washed for an idle item, shadow for the raised look of a selected
// one, disabled for a grayed one).
class CIconStore {
  public:
    static constexpr int kIconWidth = 16;
    static constexpr int kIconHeight = 15;

    struct IconSet {
        int32_t commandId = 0;
        QImage normal;
        QImage washed;  // the derived images are null when the icon was put without effects
        QImage shadow;
        QImage disabled;
        bool HasEffects() const { return !washed.isNull(); }
    };

    // The store all menus share.
    static CIconStore& Shared();

    // Cuts a strip of 16 x 15 images laid side by side into icons; the light grey of the
    // strip's background (192, 192, 192) becomes transparent.
    static std::vector<QImage> SplitStrip(const QImage& strip);

    // Puts the icon of `commandId` (replacing the one it had). With `effects` the derived
    // images are made against the given button-face and button-shadow colours.
    void Put(int32_t commandId, const QImage& icon, bool effects, const QColor& buttonFace,
             const QColor& buttonShadow);
    const IconSet* Find(int32_t commandId) const;
    void Clear() { m_icons.clear(); }

    // The derived images. Transparent pixels and pixels of the button-face colour are kept.
    static QImage Washed(const QImage& icon, const QColor& buttonFace);
    static QImage Shadow(const QImage& icon, const QColor& buttonFace, const QColor& buttonShadow);
    static QImage Disabled(const QImage& icon, const QColor& buttonFace,
                           const QColor& buttonShadow);

  private:
    std::vector<IconSet> m_icons;
};

}  // namespace kelvora
