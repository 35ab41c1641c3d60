#pragma once

#include <QMenu>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ui/skin/CIconStore.h"

class QProxyStyle;

namespace kelvora {

class Shell;

enum class MenuLook { Flat, Classic };

// One entry of a popup: a command id with its text ("&Add Files...\tCtrl+O"); id 0 is a
// separator.
struct IconMenuItem {
    int32_t commandId = 0;
    QString text;
    bool enabled = true;
};

// The command ids of the images of the menu icon strip, image 0 first. 32780 has an image but
// no menu item.
inline constexpr std::array<int32_t, 15> kMenuIconOrder = {32771, 1004,  1000,  1010,  1012,
                                                           1006,  1026,  1018,  32780, 57670,
                                                           32784, 32782, 32783, 32785, 1021};

// A popup that paints its items itself: each command with the icon of its id in a tinted strip
// on the left, a pale framed highlight, labels padded so that accelerators line up, and a
// typed character choosing the first item that has it as its mnemonic. Screens of 8 bits per
// pixel or less get the classic raised look instead. The command id of an item is its
// action's data (CommandIdOf).
class CIconMenu : public QMenu {
  public:
    // `shell` beeps for unmatched characters (the application's beep without one); `store`
    // holds the icons (the shared store without one).
    explicit CIconMenu(QWidget* parent = nullptr, Shell* shell = nullptr,
                       CIconStore* store = nullptr);
    ~CIconMenu() override;

    QAction* AddItem(int32_t commandId, const QString& text, bool enabled = true);
    QAction* AddSeparator();
    static int32_t CommandIdOf(const QAction* action);

    // Puts image i of a strip of 16 x 15 images on the items of command commandIds[i]; ids of
    // no item here and id 0 are skipped. False when the strip holds no image.
    bool LoadToolbarIcons(const QImage& strip, const std::vector<int32_t>& commandIds);
    // Brings the labels up to date with the current items: each label is padded with spaces
    // to the widest label plus one space, so the accelerators after the tab line up. Runs
    // before the menu opens.
    void Synchronise();
    // A typed character: triggers the first item whose text holds "&" and the character
    // (without regard to case), else beeps. True when an item was triggered.
    bool MenuCharacter(QChar character);

    MenuLook DrawLook() const;
    MenuLook MeasureLook() const;
    QSize MeasureItem(const QString& text, bool separator) const;
    void DrawItem(QPainter& painter, const QRect& rect, const QAction* action, bool selected) const;
    // The width the popup adds for its accelerator column (the widest text after a tab).
    int AcceleratorColumnWidth() const;

    // The process-wide style setting: 1 draws the flat style, anything else the classic one.
    // It starts at 0; the main window sets it to 1 before it makes its menus.
    static void SetStyleSetting(int setting);
    static int StyleSetting();
    // Palette displays (8 bits per pixel or less) always get the classic style. The answer
    // comes from the primary screen unless forced.
    static void ForcePaletteDisplay(std::optional<bool> palette);
    static bool IsPaletteDisplay();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void DrawFlat(QPainter& painter, const QRect& rect, const QAction* action, bool selected) const;
    void DrawClassic(QPainter& painter, const QRect& rect, const QAction* action,
                     bool selected) const;
    void DrawText(QPainter& painter, const QRect& rect, const QString& text,
                  const QColor& color) const;
    int TextWidth(const QString& text) const;
    void Beep();

    Shell* m_shell;
    CIconStore* m_store;
    std::unique_ptr<QProxyStyle> m_style;
    qsizetype m_synchronisedCount = -1;
};

// Makes a popup of `items` with the icons of the compiled-in strip, in `palette` when one is
// given (the icons' derived images are made against its colours). The caller asks the
// enabling rules again before each showing (QAction::setEnabled) and reads the chosen
// command with CIconMenu::CommandIdOf.
std::unique_ptr<CIconMenu> MakeIconMenu(const std::vector<IconMenuItem>& items,
                                        QWidget* parent = nullptr, Shell* shell = nullptr,
                                        const QPalette* palette = nullptr);

}  // namespace kelvora
