#pragma once

// The program's own controls, each made in one place: the main window's skinned command
// buttons, caption buttons and home-page link, the About box's links, the popup menus and the
// tooltip delay.

#include <QProxyStyle>
#include <memory>
#include <string>
#include <vector>

#include "ui/CMainDlg.h"
#include "ui/skin/CIconMenu.h"
#include "ui/skin/CLinkStatic.h"
#include "ui/skin/CSkinButton.h"

namespace kelvora {

class Shell;

// Shows tooltips 300 milliseconds after the pointer stops over a control.
class TooltipDelayStyle : public QProxyStyle {
    Q_OBJECT

  public:
    static constexpr int kDelayMs = 300;
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

// The main window's buttons, painted by the skin (ApplyMainWindowSkin gives them their look).
CSkinButton* MakeCommandButton(const QString& text, QWidget* parent);
CSkinButton* MakeCaptionButton(QWidget* parent);
// The home-page link: a skinned button in the link colours, showing the home page's address.
CSkinButton* MakeHomePageLink(QWidget* parent);
// Shrinks the button's font a pixel at a time, down to 9 pixels, until its caption fits
// inside the button with a pixel to spare on each side.
void FitCaption(CSkinButton& button);
// A link of the About box at `place`, fitted to its text from the top-left corner: a click
// opens `target` and reports a failure through the shell.
CLinkStatic* MakeLink(Shell& shell, const QString& text, const std::string& target,
                      const QRect& place, QWidget* parent);

// A popup of the entries in order, separators included, each enabled as the entry says and
// drawn with the icon of its command; an item's command is CIconMenu::CommandIdOf(action).
std::unique_ptr<CIconMenu> MakePopupMenu(const std::vector<MenuEntry>& entries, Shell& shell,
                                         const QPalette& palette, QWidget* parent);

}  // namespace kelvora
