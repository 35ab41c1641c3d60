#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <array>

class QPainter;

namespace kelvora {

class CSkinButton;

// Where the main window's controls sit on its 627 x 525 skin.
namespace main_window_layout {
inline constexpr QSize kWindowSize(627, 525);
// Add Files, Add Folder, Remove All, Convert to MP3, Convert to WAV, Merge MP3.
inline constexpr std::array<QRect, 6> kCommandButtons = {
    QRect(15, 59, 109, 27),  QRect(15, 104, 109, 27), QRect(15, 150, 109, 27),
    QRect(15, 195, 109, 27), QRect(15, 241, 109, 27), QRect(15, 286, 109, 27)};
inline constexpr QRect kHomePageLink(14, 497, 113, 20);
inline constexpr QRect kHelpButton(545, 5, 21, 21);
inline constexpr QRect kMinimizeButton(569, 5, 21, 21);
inline constexpr QRect kCloseButton(593, 5, 21, 21);
inline constexpr QRect kSourceList(138, 57, 480, 226);
inline constexpr QRect kOutputList(138, 291, 480, 226);
}  // namespace main_window_layout

// The main window's skin: its images, cursor and fonts. A missing image stays null and the
// window works without it.
struct MainWindowSkin {
    QImage background;  // 627 x 525, drawn at (0, 0) at its full size
    QPixmap buttonNormal, buttonHot, buttonPressed;
    QIcon help, minimize, close;
    QIcon helpHot, minimizeHot, closeHot;  // the caption buttons under the mouse
    QCursor buttonCursor;
    QFont buttonFont;  // Tahoma (or a sans-serif family without it), 11 pixels, bold
    QFont linkFont;    // the same, underlined
};

// The buttons of the main window to skin; null pointers are skipped.
struct MainWindowButtons {
    // Add Files, Add Folder, Remove All, Convert to MP3, Convert to WAV, Merge MP3.
    std::array<CSkinButton*, 6> commands{};
    CSkinButton* help = nullptr;
    CSkinButton* minimize = nullptr;
    CSkinButton* close = nullptr;
    CSkinButton* homePageLink = nullptr;
};

// The command buttons' font: Tahoma 11 pixels bold, or the nearest sans-serif family.
QFont SkinFont(bool underlined = false);
// Loads the skin from the compiled-in images. It also turns on the flat menu style that the
// main window's menus use (CIconMenu::SetStyleSetting(1)).
MainWindowSkin LoadMainWindowSkin();
// Gives each button its font, colours, images, cursor and the background to blend into. The
// images carry their own frames, so no button draws one.
void ApplyMainWindowSkin(const MainWindowSkin& skin, const MainWindowButtons& buttons);
// Paints the window's background: the image at (0, 0) at its full size.
void PaintMainWindowBackground(QPainter& painter, const MainWindowSkin& skin);
// The light colours the skin is drawn for, whatever the desktop's palette: the lists sit in
// white wells and the menus' pale highlight needs dark text over it.
QPalette SkinPalette();
// The program's icon in all its sizes, for the window and the taskbar.
QIcon ProgramIcon();

}  // namespace kelvora
