#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>

#include "SkinTestSupport.h"
#include "ui/skin/CSkinButton.h"
#include "ui/skin/MainWindowSkin.h"
#include "ui/skin/SkinColors.h"

namespace kelvora {
namespace {

using test::At;
using test::Paint;

const QColor kSkin(10, 200, 30);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

QPixmap Square(const QColor& color) {
    QPixmap pixmap(4, 4);
    pixmap.fill(color);
    return pixmap;
}

void Enter(QWidget& widget) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&widget, &enter);
}

void Leave(QWidget& widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
}

class SkinButtonTest : public ::testing::Test {
  protected:
    SkinButtonTest() : parent(), button(&parent) {
        parent.resize(100, 60);
        QImage skin(100, 60, QImage::Format_RGB32);
        skin.fill(kSkin);
        button.setPalette(test::PlainPalette());
        button.setGeometry(20, 10, 40, 20);
        button.SetBackgroundImage(skin);
        button.SetBitmaps(Square(kRed), Square(kBlue));
    }
    QWidget parent;
    CSkinButton button;
};

TEST_F(SkinButtonTest, FlatUntilHotRaisedWhenHotSunkenAndMovedWhilePressed) {
    const QColor light = button.palette().color(QPalette::Light);
    const QColor shadow = button.palette().color(QPalette::Dark);

    QImage idle = Paint(button);
    EXPECT_EQ(At(idle, 0, 0), kSkin);  // no frame
    EXPECT_EQ(At(idle, 39, 19), kSkin);
    EXPECT_EQ(At(idle, 1, 1), kRed);  // the bitmap at the content's corner
    EXPECT_EQ(At(idle, 5, 5), kSkin);

    Enter(button);
    QImage hot = Paint(button);
    EXPECT_EQ(At(hot, 0, 0), light);
    EXPECT_EQ(At(hot, 20, 0), light);
    EXPECT_EQ(At(hot, 39, 19), shadow);
    EXPECT_EQ(At(hot, 39, 5), shadow);
    EXPECT_EQ(At(hot, 1, 1), kBlue);  // the hot bitmap

    button.setDown(true);
    QImage pressed = Paint(button);
    EXPECT_EQ(At(pressed, 0, 0), shadow);
    EXPECT_EQ(At(pressed, 39, 19), light);
    EXPECT_EQ(At(pressed, 1, 1), kSkin);  // content moved one pixel right and down
    EXPECT_EQ(At(pressed, 2, 2), kBlue);
    EXPECT_EQ(At(pressed, 5, 5), kBlue);
    EXPECT_EQ(At(pressed, 6, 6), kSkin);

    // A pressed bitmap shows only while pressed.
    const QColor deep(0, 128, 128);
    button.SetPressedBitmap(Square(deep));
    EXPECT_EQ(At(Paint(button), 2, 2), deep);
    button.setDown(false);
    EXPECT_EQ(At(Paint(button), 1, 1), kBlue);
    button.SetPressedBitmap(QPixmap());

    Leave(button);
    EXPECT_EQ(At(Paint(button), 0, 0), kSkin);

    // Not flat: raised at rest; no press offset: the content stays.
    button.SetFlat(false);
    button.SetPressOffset(false);
    EXPECT_EQ(At(Paint(button), 0, 0), light);
    button.setDown(true);
    QImage still = Paint(button);
    EXPECT_EQ(At(still, 0, 0), shadow);
    EXPECT_EQ(At(still, 1, 1), kBlue);  // pressed counts as hot
}

TEST_F(SkinButtonTest, BackgroundIsCopiedFromBehindTheButtonAndTakenAfreshAfterAResize) {
    // A skin whose every pixel tells where it is.
    QImage skin(100, 60, QImage::Format_RGB32);
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x) {
            skin.setPixelColor(x, y, QColor(x, y, 77));
        }
    }
    button.SetBitmaps(QPixmap(), QPixmap());
    button.SetBackgroundImage(skin);
    EXPECT_TRUE(button.BackgroundCopy().isNull());
    QImage first = Paint(button);
    EXPECT_EQ(At(first, 0, 0), QColor(20, 10, 77));
    EXPECT_EQ(At(first, 39, 19), QColor(59, 29, 77));
    EXPECT_EQ(button.BackgroundCopy().size(), QSize(40, 20));

    // (A hidden widget gets its resize event at the next paint.)
    button.resize(50, 30);
    QImage resized = Paint(button);
    EXPECT_EQ(At(resized, 49, 29), QColor(69, 39, 77));
    EXPECT_EQ(button.BackgroundCopy().size(), QSize(50, 30));

    button.move(0, 0);
    EXPECT_EQ(At(Paint(button), 5, 5), QColor(5, 5, 77));

    // With the resize option the button fits the image, its frame and its press offset.
    button.SetBitmaps(Square(kRed), QPixmap(), true);
    EXPECT_EQ(button.size(), QSize(4 + 1 + 2, 4 + 1 + 2));
    EXPECT_EQ(button.pos(), QPoint(0, 0));
}

TEST(MainWindowSkinTest, SetUpGivesEachButtonItsSkin) {
    MainWindowSkin skin = LoadMainWindowSkin();
    ASSERT_EQ(skin.background.size(), main_window_layout::kWindowSize);
    EXPECT_EQ(skin.buttonNormal.size(), QSize(109, 27));
    EXPECT_EQ(skin.buttonHot.size(), QSize(109, 27));
    EXPECT_EQ(skin.buttonPressed.size(), QSize(109, 27));
    EXPECT_FALSE(skin.buttonCursor.pixmap().isNull());
    EXPECT_EQ(skin.buttonFont.pixelSize(), 11);
    EXPECT_EQ(skin.buttonFont.weight(), QFont::Bold);
    EXPECT_TRUE(skin.linkFont.underline());
    EXPECT_EQ(ColorFromColorRef(0x00332211), QColor(0x11, 0x22, 0x33));

    // Exact colours for the pixel counts below.
    skin.linkFont.setStyleStrategy(QFont::NoAntialias);
    skin.buttonFont.setStyleStrategy(QFont::NoAntialias);

    QWidget window;
    window.resize(main_window_layout::kWindowSize);
    MainWindowButtons buttons;
    CSkinButton add("&Add Files", &window);
    add.setGeometry(main_window_layout::kCommandButtons[0]);
    CSkinButton close(&window);
    close.setGeometry(main_window_layout::kCloseButton);
    CSkinButton link("Homepage", &window);
    link.setGeometry(main_window_layout::kHomePageLink);
    buttons.commands[0] = &add;
    buttons.close = &close;
    buttons.homePageLink = &link;
    ApplyMainWindowSkin(skin, buttons);

    EXPECT_EQ(add.cursor().shape(), Qt::BitmapCursor);
    QImage addImage = Paint(add);
    EXPECT_GT(test::CountColor(addImage, QColor(0x35, 0x35, 0x35)), 20);  // the label
    // The corner outside the bitmap's shape shows the skin behind the button.
    EXPECT_EQ(At(addImage, 0, 0), skin.background.pixelColor(add.pos()));

    QImage closeImage = Paint(close);
    EXPECT_NE(At(closeImage, 10, 10), skin.background.pixelColor(close.pos() + QPoint(10, 10)));

    // The link's pair is blue at rest and red under the mouse.
    QImage idleLink = Paint(link);
    EXPECT_GT(test::CountColor(idleLink, kBlue), 20);
    EXPECT_EQ(test::CountColor(idleLink, kRed), 0);
    Enter(link);
    QImage hotLink = Paint(link);
    EXPECT_GT(test::CountColor(hotLink, kRed), 20);
    EXPECT_EQ(test::CountColor(hotLink, kBlue), 0);
}

}  // namespace
}  // namespace kelvora
