#include "ui/skin/CIconMenu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <algorithm>

#include "ui/Shell.h"
#include "ui/skin/SkinColors.h"
#include "ui/skin/SkinResources.h"

namespace kelvora {

namespace {

constexpr int kIconWidth = CIconStore::kIconWidth;
constexpr int kIconHeight = CIconStore::kIconHeight;
// The gap beside icons: the flat style's icon effects widen it.
constexpr int kFlatGap = 7;
constexpr int kClassicGap = 4;
constexpr int kFlatStripWidth = kFlatGap + kIconWidth;
constexpr int kTextGap = 8;             // from the icon strip to the text
constexpr int kAcceleratorMargin = 16;  // right of the accelerator
constexpr int kClassicBoxWidth = kIconWidth + 4;
constexpr int kClassicBoxHeight = kIconHeight + 4;
constexpr int kClassicTextLeft = kClassicBoxWidth + 4;

// The action property keeping an item's text as it was given, before padding.
constexpr const char* kGivenTextProperty = "kelvoraGivenText";
constexpr const char* kPaddedTextProperty = "kelvoraPaddedText";

int g_styleSetting = 0;
std::optional<bool> g_forcedPaletteDisplay;

QString LabelOf(const QString& text) {
    const qsizetype tab = text.indexOf(u'\t');
    return tab < 0 ? text : text.left(tab);
}

void DrawEtchedLine(QPainter& painter, int left, int right, int y, const QPalette& palette) {
    painter.fillRect(QRect(QPoint(left, y), QPoint(right, y)), palette.color(QPalette::Dark));
    painter.fillRect(QRect(QPoint(left, y + 1), QPoint(right, y + 1)),
                     palette.color(QPalette::Light));
}

// A one-pixel frame: `topLeft` on the top and left edges, `bottomRight` on the others.
void Draw3dFrame(QPainter& painter, const QRect& r, const QColor& topLeft,
                 const QColor& bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

// Gives the popup the item sizes of the menu itself and a one-pixel frame. The popup adds
// the widest accelerator to its column on top of the item widths, so that is taken off here.
class CIconMenuStyle : public QProxyStyle {
  public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const auto* menu = dynamic_cast<const CIconMenu*>(widget);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (menu && item && type == CT_MenuItem) {
            const bool separator = item->menuItemType == QStyleOptionMenuItem::Separator;
            QSize measured = menu->MeasureItem(item->text, separator);
            measured.setWidth(std::max(1, measured.width() - menu->AcceleratorColumnWidth()));
            return measured;
        }
        if (menu && type == CT_Menu) {
            return size;
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (dynamic_cast<const CIconMenu*>(widget)) {
            switch (metric) {
                case PM_MenuPanelWidth:
                    return 1;
                case PM_MenuHMargin:
                case PM_MenuVMargin:
                case PM_MenuDesktopFrameWidth:
                    return 0;
                default:
                    break;
            }
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

CIconMenu::CIconMenu(QWidget* parent, Shell* shell, CIconStore* store)
    : QMenu(parent),
      m_shell(shell),
      m_store(store ? store : &CIconStore::Shared()),
      m_style(std::make_unique<CIconMenuStyle>()) {
    setStyle(m_style.get());
    connect(this, &QMenu::aboutToShow, this, [this] { Synchronise(); });
}

CIconMenu::~CIconMenu() {
    // The style goes before the widget does; the widget must not keep a pointer to it.
    setStyle(nullptr);
}

QAction* CIconMenu::AddItem(int32_t commandId, const QString& text, bool enabled) {
    QAction* action = addAction(text);
    action->setData(commandId);
    action->setEnabled(enabled);
    Synchronise();
    return action;
}

QAction* CIconMenu::AddSeparator() {
    QAction* action = addSeparator();
    Synchronise();
    return action;
}

int32_t CIconMenu::CommandIdOf(const QAction* action) {
    return action && !action->isSeparator() ? action->data().toInt() : 0;
}

bool CIconMenu::LoadToolbarIcons(const QImage& strip, const std::vector<int32_t>& commandIds) {
    const std::vector<QImage> icons = CIconStore::SplitStrip(strip);
    const QList<QAction*> items = actions();
    const bool effects = MeasureLook() == MenuLook::Flat;
    for (size_t i = 0; i < icons.size() && i < commandIds.size(); ++i) {
        const int32_t id = commandIds[i];
        const bool inMenu = std::any_of(items.begin(), items.end(),
                                        [id](const QAction* a) { return CommandIdOf(a) == id; });
        if (id != 0 && inMenu) {
            m_store->Put(id, icons[i], effects, palette().color(QPalette::Button),
                         palette().color(QPalette::Dark));
        }
    }
    update();
    return !icons.empty();
}

void CIconMenu::Synchronise() {
    const QList<QAction*> items = actions();
    // An item whose text was changed from outside since it was padded starts afresh from it.
    for (QAction* action : items) {
        if (action->text() != action->property(kPaddedTextProperty).toString()) {
            action->setProperty(kGivenTextProperty, action->text());
        }
    }
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const QAction* action : items) {
        if (!action->isSeparator()) {
            const QString label = LabelOf(action->property(kGivenTextProperty).toString());
            widest = std::max(widest, metrics.horizontalAdvance(label + u' '));
        }
    }
    for (QAction* action : items) {
        const QString given = action->property(kGivenTextProperty).toString();
        const qsizetype tab = given.indexOf(u'\t');
        QString padded = given;
        if (tab >= 0 && !action->isSeparator()) {
            QString label = given.left(tab);
            while (metrics.horizontalAdvance(label) < widest) {
                label += u' ';
            }
            padded = label + given.mid(tab);
        }
        action->setProperty(kPaddedTextProperty, padded);
        if (action->text() != padded) {
            action->setText(padded);
        }
    }
    m_synchronisedCount = items.size();
}

bool CIconMenu::MenuCharacter(QChar character) {
    if (m_synchronisedCount != actions().size()) {
        Synchronise();
    }
    const QString mnemonic = (QStringLiteral("&") + character).toLower();
    QAction* chosen = nullptr;
    for (QAction* action : actions()) {
        if (!action->isSeparator() && action->text().toLower().contains(mnemonic)) {
            chosen = action;
            break;
        }
    }
    // A grayed item is never run: its enabling rule says no.
    if (!chosen || !chosen->isEnabled() || !chosen->isVisible()) {
        Beep();
        return false;
    }
    // Chosen as Enter chooses the current item, so exec() returns it as well.
    setActiveAction(chosen);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QMenu::keyPressEvent(&enter);
    return true;
}

void CIconMenu::SetStyleSetting(int setting) {
    g_styleSetting = setting;
}

int CIconMenu::StyleSetting() {
    return g_styleSetting;
}

void CIconMenu::ForcePaletteDisplay(std::optional<bool> palette) {
    g_forcedPaletteDisplay = palette;
}

bool CIconMenu::IsPaletteDisplay() {
    if (g_forcedPaletteDisplay) {
        return *g_forcedPaletteDisplay;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->depth() <= 8;
}

MenuLook CIconMenu::MeasureLook() const {
    return g_styleSetting == 1 ? MenuLook::Flat : MenuLook::Classic;
}

MenuLook CIconMenu::DrawLook() const {
    return IsPaletteDisplay() ? MenuLook::Classic : MeasureLook();
}

int CIconMenu::TextWidth(const QString& text) const {
    const QFontMetrics metrics(font());
    const qsizetype tab = text.indexOf(u'\t');
    if (tab < 0) {
        return metrics.horizontalAdvance(text);
    }
    const QString accelerator = text.mid(text.lastIndexOf(u'\t') + 1);
    return metrics.horizontalAdvance(text.left(tab)) + metrics.horizontalAdvance(accelerator) +
           kAcceleratorMargin;
}

int CIconMenu::AcceleratorColumnWidth() const {
    // Measured as the popup measures it: the text after the first tab, in the widget's font.
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const QAction* action : actions()) {
        const QString text = action->text();
        const qsizetype tab = text.indexOf(u'\t');
        if (tab >= 0) {
            widest = std::max(widest, metrics.horizontalAdvance(text.mid(tab + 1)));
        }
    }
    return widest;
}

QSize CIconMenu::MeasureItem(const QString& text, bool separator) const {
    const bool flat = MeasureLook() == MenuLook::Flat;
    const int gap = flat ? kFlatGap : kClassicGap;
    const int menuHeight = QFontMetrics(font()).height() + 6;
    if (separator) {
        return flat ? QSize(0, 3) : QSize(0, std::max((kIconHeight + gap) / 2, menuHeight / 2));
    }
    const int width = TextWidth(text) + (flat ? kIconWidth + gap + kTextGap : 2 * kIconWidth + 1);
    return QSize(width, std::max(kIconHeight + gap, menuHeight));
}

void CIconMenu::DrawItem(QPainter& painter, const QRect& rect, const QAction* action,
                         bool selected) const {
    if (DrawLook() == MenuLook::Flat) {
        DrawFlat(painter, rect, action, selected);
    } else {
        DrawClassic(painter, rect, action, selected);
    }
}

void CIconMenu::DrawText(QPainter& painter, const QRect& rect, const QString& text,
                         const QColor& color) const {
    constexpr int kFlags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    painter.setPen(color);
    painter.setFont(font());
    const qsizetype tab = text.indexOf(u'\t');
    if (tab < 0) {
        painter.drawText(rect, kFlags | Qt::AlignLeft, text);
        return;
    }
    const QRect shortened = rect.adjusted(0, 0, -kAcceleratorMargin, 0);
    painter.drawText(shortened, kFlags | Qt::AlignLeft, text.left(tab));
    painter.drawText(shortened, kFlags | Qt::AlignRight, text.mid(text.lastIndexOf(u'\t') + 1));
}

void CIconMenu::DrawFlat(QPainter& painter, const QRect& r, const QAction* action,
                         bool selected) const {
    const QPalette& pal = palette();
    const QColor background = Darken(pal.color(QPalette::Base), 0.02);
    const QColor strip = Lighten(pal.color(QPalette::Button), 0.25);
    const QColor highlight = pal.color(QPalette::Highlight);
    const QRect stripRect(r.left(), r.top(), kFlatStripWidth, r.height());

    if (action->isSeparator()) {
        painter.fillRect(r, background);
        painter.fillRect(stripRect, strip);
        DrawEtchedLine(painter, r.left() + kFlatStripWidth + kFlatGap, r.right(),
                       r.top() + r.height() / 2, pal);
        return;
    }
    const bool enabled = action->isEnabled();
    selected = selected && enabled;
    if (selected) {
        painter.fillRect(r, Lighten(highlight, 0.85));
        painter.setPen(highlight);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        painter.fillRect(r, background);
        painter.fillRect(stripRect, strip);
    }

    const QPoint iconAt(r.left() + (kFlatStripWidth - kIconWidth + 1) / 2,
                        r.top() + (r.height() - kIconHeight + 1) / 2);
    const CIconStore::IconSet* icon = m_store->Find(CommandIdOf(action));
    if (action->isChecked()) {
        const QRect box = stripRect.adjusted(1, 1, -1, -2);
        painter.fillRect(box, Lighten(highlight, selected ? 0.55 : 0.85));
        painter.setPen(highlight);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        if (icon) {
            painter.drawImage(iconAt - QPoint(1, 1), icon->normal);
        } else {
            QStyleOption check;
            check.initFrom(this);
            check.rect = box;
            check.state |= QStyle::State_On;
            style()->drawPrimitive(QStyle::PE_IndicatorMenuCheckMark, &check, &painter, this);
        }
    } else if (icon) {
        if (!icon->HasEffects()) {
            painter.drawImage(iconAt, icon->normal);
        } else if (!enabled) {
            painter.drawImage(iconAt, icon->disabled);
        } else if (selected) {
            painter.drawImage(iconAt + QPoint(1, 1), icon->shadow);
            painter.drawImage(iconAt - QPoint(1, 1), icon->normal);
        } else {
            painter.drawImage(iconAt, icon->washed);
        }
    }

    const QRect textRect(QPoint(r.left() + kFlatStripWidth + kTextGap, r.top() - 1),
                         QPoint(r.right(), r.bottom() - 1));
    const QColor text = enabled ? pal.color(QPalette::Text)
                                : Lighten(pal.color(QPalette::Disabled, QPalette::Text), 0.4);
    DrawText(painter, textRect, action->text(), text);
}

void CIconMenu::DrawClassic(QPainter& painter, const QRect& r, const QAction* action,
                            bool selected) const {
    const QPalette& pal = palette();
    const QColor background = pal.color(QPalette::Window);
    if (action->isSeparator()) {
        painter.fillRect(r, background);
        DrawEtchedLine(painter, r.left() + 1, r.right() - 1, r.top() + r.height() / 2, pal);
        return;
    }
    painter.fillRect(r, selected ? pal.color(QPalette::Highlight) : background);

    const QRect box(r.left() + 1, r.top() + (r.height() - kClassicBoxHeight) / 2, kClassicBoxWidth,
                    kClassicBoxHeight);
    const CIconStore::IconSet* icon = m_store->Find(CommandIdOf(action));
    const bool checked = action->isChecked();
    if (checked) {
        painter.fillRect(box, Lighten(background, 0.6));
        Draw3dFrame(painter, box, pal.color(QPalette::Dark), pal.color(QPalette::Light));
    } else if (icon && selected) {
        painter.fillRect(box, background);
        Draw3dFrame(painter, box, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    }
    const QPoint iconAt = box.topLeft() + QPoint(2, 2);
    if (icon) {
        if (action->isEnabled()) {
            painter.drawImage(iconAt, icon->normal);
        } else if (icon->HasEffects()) {
            painter.drawImage(iconAt, icon->disabled);
        } else {
            const QPixmap normal = QPixmap::fromImage(icon->normal);
            QStyleOption option;
            option.initFrom(this);
            painter.drawPixmap(iconAt,
                               style()->generatedIconPixmap(QIcon::Disabled, normal, &option));
        }
    } else if (checked) {
        QStyleOption check;
        check.initFrom(this);
        check.rect = box;
        check.state |= QStyle::State_On;
        style()->drawPrimitive(QStyle::PE_IndicatorMenuCheckMark, &check, &painter, this);
    }

    const QRect textRect(QPoint(r.left() + kClassicTextLeft, r.top()), r.bottomRight());
    QColor text = selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
    if (!action->isEnabled()) {
        text = pal.color(QPalette::Disabled, QPalette::Text);
    }
    DrawText(painter, textRect, action->text(), text);
}

void CIconMenu::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const bool flat = DrawLook() == MenuLook::Flat;
    painter.fillRect(rect(), flat ? Darken(palette().color(QPalette::Base), 0.02)
                                  : palette().color(QPalette::Window));
    for (QAction* action : actions()) {
        const QRect r = actionGeometry(action);
        if (r.isValid() && event->rect().intersects(r)) {
            DrawItem(painter, r, action, action == activeAction());
        }
    }
    if (flat) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    } else {
        Draw3dFrame(painter, rect(), palette().color(QPalette::Light),
                    palette().color(QPalette::Dark));
    }
}

void CIconMenu::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (text.size() == 1 && text.at(0).isPrint() && !command) {
        MenuCharacter(text.at(0));
        event->accept();
        return;
    }
    QMenu::keyPressEvent(event);
}

void CIconMenu::Beep() {
    if (m_shell) {
        m_shell->Beep();
    } else {
        QApplication::beep();
    }
}

std::unique_ptr<CIconMenu> MakeIconMenu(const std::vector<IconMenuItem>& items, QWidget* parent,
                                        Shell* shell, const QPalette* palette) {
    auto menu = std::make_unique<CIconMenu>(parent, shell);
    if (palette) {
        menu->setPalette(*palette);
    }
    for (const IconMenuItem& item : items) {
        if (item.commandId == 0) {
            menu->addSeparator();
        } else {
            menu->addAction(item.text)->setData(item.commandId);
            menu->actions().back()->setEnabled(item.enabled);
        }
    }
    menu->Synchronise();
    InitSkinResources();
    static const QImage strip(kMenuIconStripPath);
    menu->LoadToolbarIcons(strip, {kMenuIconOrder.begin(), kMenuIconOrder.end()});
    return menu;
}

}  // namespace kelvora
