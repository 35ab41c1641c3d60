#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

#include "SkinTestSupport.h"
#include "support/FakeShell.h"
#include "ui/skin/CIconMenu.h"
#include "ui/skin/SkinColors.h"

namespace kelvora {
namespace {

using test::At;

constexpr int32_t kAdd = 1000;
constexpr int32_t kFolder = 1003;
constexpr int32_t kRemove = 1004;
const QColor kIconColor(100, 50, 0);

// A strip of three icons: a 4 x 4 square at (2, 2) on the mask grey; the second icon's
// square is blue.
QImage TestStrip() {
    QImage strip(48, 15, QImage::Format_RGB32);
    strip.fill(QColor(192, 192, 192));
    QPainter painter(&strip);
    painter.fillRect(2, 2, 4, 4, kIconColor);
    painter.fillRect(18, 2, 4, 4, QColor(0, 0, 255));
    painter.fillRect(34, 2, 4, 4, kIconColor);
    return strip;
}

class IconMenuTest : public ::testing::Test {
  protected:
    IconMenuTest() : menu(nullptr, &shell, &store) {
        CIconMenu::SetStyleSetting(1);
        CIconMenu::ForcePaletteDisplay(false);
        menu.setPalette(palette);
        QFont font = menu.font();
        font.setStyleStrategy(QFont::NoAntialias);
        menu.setFont(font);
    }
    ~IconMenuTest() override { CIconMenu::ForcePaletteDisplay(std::nullopt); }

    QImage PaintMenu() {
        menu.adjustSize();
        return test::Paint(menu);
    }
    // Where an item's icon sits: centred in the 23-pixel strip.
    QPoint IconAt(QAction* action) {
        const QRect r = menu.actionGeometry(action);
        return QPoint(r.left() + 4, r.top() + (r.height() - 15 + 1) / 2);
    }

    QPalette palette = test::PlainPalette();
    test::FakeShell shell;
    CIconStore store;
    CIconMenu menu;
};

TEST(IconStoreTest, DerivedImagesFollowTheirArithmetic) {
    const QColor face(200, 200, 200);
    const QColor shadow(128, 128, 128);
    QImage icon(16, 15, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    icon.setPixelColor(0, 0, QColor(100, 50, 0));
    icon.setPixelColor(1, 0, face);
    icon.setPixelColor(2, 0, QColor(0, 0, 0));
    icon.setPixelColor(3, 0, QColor(255, 255, 255));

    const QImage washed = CIconStore::Washed(icon, face);
    EXPECT_EQ(At(washed, 0, 0), QColor(146, 111, 76));  // v + (255 - v) * 0.3
    EXPECT_EQ(At(washed, 1, 0), face);                  // the button face stays
    EXPECT_EQ(At(washed, 5, 5).alpha(), 0);             // and so does the mask

    const QImage shadowed = CIconStore::Shadow(icon, face, shadow);
    EXPECT_EQ(At(shadowed, 0, 0), QColor(190, 190, 190));  // the shadow moved 49% to white
    EXPECT_EQ(At(shadowed, 3, 0), QColor(190, 190, 190));
    EXPECT_EQ(At(shadowed, 1, 0), face);

    // Disabled: the shadow moved toward white by the pixel's brightness.
    const QImage disabled = CIconStore::Disabled(icon, face, shadow);
    EXPECT_EQ(At(disabled, 0, 0), QColor(152, 152, 152));  // brightness 50 / 255
    EXPECT_EQ(At(disabled, 2, 0), shadow);                 // black: the shadow itself
    EXPECT_EQ(At(disabled, 3, 0), QColor(255, 255, 255));
    EXPECT_EQ(At(disabled, 5, 5).alpha(), 0);

    const std::vector<QImage> icons = CIconStore::SplitStrip(TestStrip());
    ASSERT_EQ(icons.size(), 3u);
    EXPECT_EQ(At(icons[1], 0, 0).alpha(), 0);  // the mask grey is transparent
    EXPECT_EQ(At(icons[1], 2, 2), QColor(0, 0, 255));
}

TEST_F(IconMenuTest, FlatItemsShowTheirIconsWashedRaisedOrDisabled) {
    QAction* add = menu.AddItem(kAdd, "&Add Files...\tCtrl+O");
    QAction* separator = menu.AddSeparator();
    QAction* folder = menu.AddItem(kFolder, "Add &Folder...");
    QAction* remove = menu.AddItem(kRemove, "&Remove\tDel", false);
    // The strip's second image belongs to an id the menu does not have: no icon comes of it.
    ASSERT_TRUE(menu.LoadToolbarIcons(TestStrip(), {kAdd, 32780, kRemove}));
    EXPECT_EQ(store.Find(32780), nullptr);
    const QColor face = palette.color(QPalette::Button);
    const QColor stripColor = Lighten(face, 0.25);
    const QColor background = Darken(palette.color(QPalette::Base), 0.02);

    const int textHeight = QFontMetrics(menu.font()).height();
    EXPECT_EQ(menu.actionGeometry(add).height(), std::max(22, textHeight + 6));
    EXPECT_EQ(menu.actionGeometry(separator).height(), 3);

    QImage idle = PaintMenu();
    const QRect addRect = menu.actionGeometry(add);
    EXPECT_EQ(At(idle, addRect.left() + 22, addRect.top() + 1), stripColor);
    EXPECT_EQ(At(idle, addRect.left() + 23, addRect.top() + 1), background);
    EXPECT_EQ(At(idle, IconAt(add).x() + 2, IconAt(add).y() + 2), Lighten(kIconColor, 0.3));
    // An item without an icon keeps the bare strip.
    EXPECT_EQ(At(idle, IconAt(folder).x() + 2, IconAt(folder).y() + 2), stripColor);
    // The grayed item shows its disabled image.
    const QColor disabledPixel = Lighten(palette.color(QPalette::Dark), (150 / 3) / 255.0);
    EXPECT_EQ(At(idle, IconAt(remove).x() + 2, IconAt(remove).y() + 2), disabledPixel);

    // Selected: the pale fill framed in the highlight, the icon raised over its shadow.
    menu.setActiveAction(add);
    QImage selected = PaintMenu();
    const QColor highlight = palette.color(QPalette::Highlight);
    EXPECT_EQ(At(selected, addRect.left(), addRect.top() + 5), highlight);
    EXPECT_EQ(At(selected, addRect.right(), addRect.bottom()), highlight);
    EXPECT_EQ(At(selected, addRect.left() + 2, addRect.top() + 2), Lighten(highlight, 0.85));
    const QPoint at = IconAt(add);
    EXPECT_EQ(At(selected, at.x() + 1, at.y() + 1), kIconColor);  // moved left and up
    EXPECT_EQ(At(selected, at.x() + 4, at.y() + 4), kIconColor);
    EXPECT_EQ(At(selected, at.x() + 6, at.y() + 6), Lighten(palette.color(QPalette::Dark), 0.49));

    // A grayed item under the pointer is drawn as unselected.
    menu.setActiveAction(remove);
    QImage grayed = PaintMenu();
    const QRect removeRect = menu.actionGeometry(remove);
    EXPECT_EQ(At(grayed, removeRect.left() + 1, removeRect.top() + 1), stripColor);
    EXPECT_EQ(At(grayed, IconAt(remove).x() + 2, IconAt(remove).y() + 2), disabledPixel);

    // On a palette display the classic style is drawn: the selection in the highlight.
    CIconMenu::ForcePaletteDisplay(true);
    menu.setActiveAction(folder);
    QImage classic = PaintMenu();
    const QRect folderRect = menu.actionGeometry(folder);
    EXPECT_EQ(At(classic, folderRect.right() - 2, folderRect.top() + 1), highlight);
    EXPECT_EQ(At(classic, addRect.right() - 2, addRect.top() + 1), palette.color(QPalette::Window));
}

TEST_F(IconMenuTest, LabelsArePaddedSoAcceleratorsLineUpAtTheRight) {
    QAction* add = menu.AddItem(kAdd, "&Add Files...\tCtrl+O");
    QAction* folder = menu.AddItem(kFolder, "Add a whole &Folder...");
    QAction* remove = menu.AddItem(kRemove, "&Remove\tDel");
    const QFontMetrics metrics(menu.font());
    const int widest = metrics.horizontalAdvance("Add a whole &Folder... ");

    for (QAction* action : {add, remove}) {
        const QString label = action->text().section(u'\t', 0, 0);
        EXPECT_GE(metrics.horizontalAdvance(label), widest) << label.toStdString();
        EXPECT_LT(metrics.horizontalAdvance(label.chopped(1)), widest) << label.toStdString();
        EXPECT_TRUE(label.endsWith(u' '));
    }
    EXPECT_TRUE(add->text().endsWith("\tCtrl+O"));
    EXPECT_EQ(folder->text(), "Add a whole &Folder...");
    // Padding again changes nothing.
    const QString padded = add->text();
    menu.Synchronise();
    EXPECT_EQ(add->text(), padded);

    // The accelerator ends 16 pixels short of the item's right edge.
    QImage image = PaintMenu();
    const QRect r = menu.actionGeometry(remove);
    int rightmostText = -1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left() + 23; x <= r.right(); ++x) {
            if (At(image, x, y) == palette.color(QPalette::Text)) {
                rightmostText = std::max(rightmostText, x);
            }
        }
    }
    EXPECT_LE(rightmostText, r.right() - 16);
    EXPECT_GE(rightmostText, r.right() - 16 - 3);
    // The menu is as wide as its widest item and its frame.
    EXPECT_EQ(menu.width(), menu.MeasureItem(add->text(), false).width() + 2);
}

TEST_F(IconMenuTest, TypedCharacterRunsTheFirstItemWithThatMnemonicOrBeeps) {
    menu.AddItem(kAdd, "&Add Files...\tCtrl+O");
    menu.AddItem(kFolder, "Add &Folder...");
    menu.AddItem(kRemove, "&Remove\tDel", false);
    std::vector<int32_t> run;
    QObject::connect(&menu, &QMenu::triggered,
                     [&run](QAction* action) { run.push_back(CIconMenu::CommandIdOf(action)); });

    EXPECT_TRUE(menu.MenuCharacter(u'a'));
    EXPECT_TRUE(menu.MenuCharacter(u'A'));
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier, "f");
    QApplication::sendEvent(&menu, &typed);
    EXPECT_EQ(run, (std::vector<int32_t>{kAdd, kAdd, kFolder}));
    EXPECT_EQ(shell.beeps, 0);

    EXPECT_FALSE(menu.MenuCharacter(u'z'));  // no item has it
    EXPECT_FALSE(menu.MenuCharacter(u'r'));  // its item is grayed
    EXPECT_EQ(run.size(), 3u);
    EXPECT_EQ(shell.beeps, 2);
}

TEST(MakeIconMenuTest, MenusGetTheIconsOfTheCompiledInStrip) {
    CIconMenu::SetStyleSetting(1);
    auto menu = MakeIconMenu({{1021, "&About"}, {0, ""}, {kFolder, "Add &Folder...", false}});
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(CIconMenu::CommandIdOf(menu->actions()[0]), 1021);
    EXPECT_TRUE(menu->actions()[1]->isSeparator());
    EXPECT_FALSE(menu->actions()[2]->isEnabled());
    const CIconStore::IconSet* about = CIconStore::Shared().Find(1021);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->HasEffects());
    // The last image of the strip, with its mask grey made transparent.
    const QImage strip(":/images/menu-icons.png");
    ASSERT_EQ(strip.size(), QSize(240, 15));
    EXPECT_EQ(about->normal.pixel(8, 7), strip.pixel(224 + 8, 7));
    EXPECT_EQ(At(about->normal, 0, 0).alpha(), 0);
}

}  // namespace
}  // namespace kelvora
