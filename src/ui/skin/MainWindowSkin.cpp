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
    skin.buttonPressed = QPixmap(kButtonPressedImagePath);
    skin.help = QIcon(kHelpIconPath);
    skin.minimize = QIcon(kMinimizeIconPath);
    skin.close = QIcon(kCloseIconPath);
    skin.helpHot = QIcon(kHelpHotIconPath);
    skin.minimizeHot = QIcon(kMinimizeHotIconPath);
    skin.closeHot = QIcon(kCloseHotIconPath);
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
        button->SetDrawBorder(false, false);
        button->SetFont(skin.buttonFont, false);
        button->SetTextColors(text, text, false);
        button->SetBitmaps(skin.buttonNormal, skin.buttonHot, false, false);
        button->SetPressedBitmap(skin.buttonPressed, false);
        button->SetBackgroundImage(skin.background);
    }
    const struct {
        CSkinButton* button;
        const QIcon& icon;
        const QIcon& hot;
    } captions[] = {{buttons.help, skin.help, skin.helpHot},
                    {buttons.minimize, skin.minimize, skin.minimizeHot},
                    {buttons.close, skin.close, skin.closeHot}};
    for (const auto& [button, icon, hot] : captions) {
        if (button) {
            button->SetDrawBorder(false, false);
            button->SetIcons(icon, QSize(kCaptionIconSize, kCaptionIconSize), hot, false, false);
            button->SetBackgroundImage(skin.background);
        }
    }
    if (CSkinButton* link = buttons.homePageLink) {
        link->SetDrawBorder(false, false);
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

QPalette SkinPalette() {
    // The artwork's slate and teal (res/art/README.md), on white and pale slate.
    const QColor slate(0x1b, 0x26, 0x32);
    const QColor teal(0x0f, 0x74, 0x72);  // the accent darkened until white text reads on it
    QPalette palette(QColor(0xdf, 0xe5, 0xeb), QColor(0xee, 0xf1, 0xf4));
    palette.setColor(QPalette::WindowText, slate);
    palette.setColor(QPalette::Text, slate);
    palette.setColor(QPalette::ButtonText, slate);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xf4, 0xf6, 0xf8));
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, QColor(0xe2, 0xe7, 0xec));
    palette.setColor(QPalette::Mid, QColor(0xbc, 0xc6, 0xd0));
    palette.setColor(QPalette::Dark, QColor(0x9a, 0xa8, 0xb6));
    palette.setColor(QPalette::Shadow, QColor(0x4a, 0x58, 0x66));
    palette.setColor(QPalette::Highlight, teal);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0, 0, 238));
    palette.setColor(QPalette::LinkVisited, QColor(85, 26, 139));
    palette.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe6));
    palette.setColor(QPalette::ToolTipText, slate);
    palette.setColor(QPalette::PlaceholderText, QColor(0x7b, 0x8a, 0x99));
    // A list without the focus keeps its selection in a quieter colour.
    palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xc9, 0xd6, 0xdf));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, slate);
    const QColor grayed(0x6f, 0x7b, 0x88);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, grayed);
    }
    return palette;
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
