#pragma once

#include <QString>

namespace kelvora {

// The skin's images, compiled into the program (res/skin.qrc).
inline const QString kBackgroundImagePath = QStringLiteral(":/images/background.png");
inline const QString kButtonNormalImagePath = QStringLiteral(":/images/button-normal.png");
inline const QString kButtonHotImagePath = QStringLiteral(":/images/button-hot.png");
inline const QString kButtonPressedImagePath = QStringLiteral(":/images/button-pressed.png");
inline const QString kHelpIconPath = QStringLiteral(":/images/help.png");
inline const QString kMinimizeIconPath = QStringLiteral(":/images/minimize.png");
inline const QString kCloseIconPath = QStringLiteral(":/images/close.png");
inline const QString kHelpHotIconPath = QStringLiteral(":/images/help-hot.png");
inline const QString kMinimizeHotIconPath = QStringLiteral(":/images/minimize-hot.png");
inline const QString kCloseHotIconPath = QStringLiteral(":/images/close-hot.png");
inline const QString kButtonCursorPath = QStringLiteral(":/images/button-cursor.png");
inline const QString kMenuIconStripPath = QStringLiteral(":/images/menu-icons.png");
// The program's icon in one size: ":/icons/hicolor/<N>x<N>/apps/kelvora.png".
QString ProgramIconPath(int size);

// The hot spot of the button cursor (the tip of the pointing finger).
inline constexpr int kButtonCursorHotX = 9;
inline constexpr int kButtonCursorHotY = 1;

// Registers the compiled-in images; called by everything here that loads them, so a program
// linking the static library needs no set-up of its own. Safe to call more than once.
void InitSkinResources();

}  // namespace kelvora
