#include "ui/qt/Controls.h"

#include <QFontMetrics>

#include "ui/ShellHelpers.h"

namespace kelvora {

int TooltipDelayStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) {
        return kDelayMs;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

CSkinButton* MakeCommandButton(const QString& text, QWidget* parent) {
    auto* button = new CSkinButton(text, parent);
    button->SetFocusRect(true, false);  // the buttons are in the tab order
    return button;
}

CSkinButton* MakeCaptionButton(QWidget* parent) {
    auto* button = new CSkinButton(parent);
    button->setFocusPolicy(Qt::NoFocus);  // caption buttons never take the keyboard focus
    return button;
}

CSkinButton* MakeHomePageLink(QWidget* parent) {
    // The address without its scheme and final slash: what a reader would type.
    QString address = QString::fromStdString(HomePageUrl());
    address.remove(QStringLiteral("https://")).remove(QStringLiteral("http://"));
    if (address.endsWith(QLatin1Char('/'))) {
        address.chop(1);
    }
    auto* link = new CSkinButton(address, parent);
    link->setFocusPolicy(Qt::NoFocus);
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

void FitCaption(CSkinButton& button) {
    constexpr int kSmallestPixels = 9;
    QFont font = button.font();
    const QString caption = QString(button.text()).remove(QLatin1Char('&'));
    while (font.pixelSize() > kSmallestPixels &&
           QFontMetrics(font).horizontalAdvance(caption) > button.width() - 2) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    button.SetFont(font);
}

CLinkStatic* MakeLink(Shell& shell, const QString& text, const std::string& target,
                      const QRect& place, QWidget* parent) {
    auto* link = new CLinkStatic(shell, text, parent);
    link->setGeometry(place);
    link->SetTarget(QString::fromStdString(target));
    return link;
}

std::unique_ptr<CIconMenu> MakePopupMenu(const std::vector<MenuEntry>& entries, Shell& shell,
                                         const QPalette& palette, QWidget* parent) {
    std::vector<IconMenuItem> items;
    items.reserve(entries.size());
    for (const MenuEntry& entry : entries) {
        items.push_back({entry.id, QString::fromStdString(entry.text), entry.enabled});
    }
    return MakeIconMenu(items, parent, &shell, &palette);
}

}  // namespace kelvora
