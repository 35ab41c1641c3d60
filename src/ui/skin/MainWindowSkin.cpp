#include "ui/skin/MainWindowSkin.h"

#include <QPainter>

#include "ui/skin/CIconMenu.h"
#include "ui/skin/CSkinButton.h"
#include "ui/skin/SkinColors.h"
#include "ui/skin/SkinResources.h"

namespace kelvora {

namespace {

// The colours of the skin, in the program's 0x00BBGGRR notation.
constexpr uint32_t kButtonTextColor = 0x353535;
constexpr uint32_t kLinkColor = 0xFF0000;     // blue
constexpr uint32_t kLinkHotColor = 0x0000FF;  // red

constexpr int kCaptionIconSize = 16;
constexpr std::array<int, 8> kProgramIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

QFont SkinFont(bool underlined) {
    QFont font;
    // Without Tahoma, the condensed face of its wide cousin keeps the labels inside the buttons.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setWeight(QFont::Bold);
    font.setUnderline(underlined);
    return font;
}

MainWindowSkin LoadMainWindowSkin() {
    InitSkinResources();
    CIconMenu::SetStyleSetting(1);
    MainWindowSkin skin;
    skin.background = QImage(kBackgroundImagePath);
    skin.buttonNormal = QPixmap(kButtonNormalImagePath);
    skin.buttonHot = QPixmap(kButtonHotImagePath);
    skin.help = QIcon(kHelpIconPath);
    skin.minimize = QIcon(kMinimizeIconPath);
    skin.close = QIcon(kCloseIconPath);
    const QPixmap cursor(kButtonCursorPath);
    if (!cursor.isNull()) {
        skin.buttonCursor = QCursor(cursor, kButtonCursorHotX, kButtonCursorHotY);
    }
    skin.buttonFont = SkinFont(false);
    skin.linkFont = SkinFont(true);
    return skin;
}

void ApplyMainWindowSkin(const MainWindowSkin& skin, const MainWindowButtons& buttons) {
    const QColor text = ColorFromColorRef(kButtonTextColor);
    for (CSkinButton* button : buttons.commands) {
        if (!button) {
            continue;
        }
        if (!skin.buttonCursor.pixmap().isNull()) {
            button->SetCursor(skin.buttonCursor);
        }
        button->SetFont(skin.buttonFont, false);
        button->SetTextColors(text, text, false);
        button->SetBitmaps(skin.buttonNormal, skin.buttonHot, false, false);
        button->SetBackgroundImage(skin.background);
    }
    const std::pair<CSkinButton*, const QIcon*> captions[] = {{buttons.help, &skin.help},
                                                              {buttons.minimize, &skin.minimize},
                                                              {buttons.close, &skin.close}};
    for (const auto& [button, icon] : captions) {
        if (button) {
            button->SetIcons(*icon, QSize(kCaptionIconSize, kCaptionIconSize), QIcon(), false,
                             false);
            button->SetBackgroundImage(skin.background);
        }
    }
    if (CSkinButton* link = buttons.homePageLink) {
        link->SetFont(skin.linkFont, false);
        link->SetTextColors(ColorFromColorRef(kLinkColor), ColorFromColorRef(kLinkHotColor), false);
        link->SetBackgroundImage(skin.background);
    }
}

void PaintMainWindowBackground(QPainter& painter, const MainWindowSkin& skin) {
    if (!skin.background.isNull()) {
        painter.drawImage(QPoint(0, 0), skin.background);
    }
}

QIcon ProgramIcon() {
    InitSkinResources();
    QIcon icon;
    for (int size : kProgramIconSizes) {
        icon.addFile(ProgramIconPath(size), QSize(size, size));
    }
    return icon;
}

}  // namespace kelvora
