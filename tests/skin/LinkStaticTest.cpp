#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <functional>

#include "SkinTestSupport.h"
#include "support/FakeShell.h"
#include "ui/ShellHelpers.h"
#include "ui/skin/CLinkStatic.h"

namespace kelvora {
namespace {

const QColor kLink(0, 0, 238);
const QColor kVisited(85, 26, 139);
const QColor kHover(255, 0, 0);

class LinkStaticTest : public ::testing::Test {
  protected:
    LinkStaticTest() : link(shell, "Homepage") {
        QFont font = link.font();
        font.setStyleStrategy(QFont::NoAntialias);
        link.setFont(font);
        link.move(10, 10);
        link.SetTarget("https://kelvora.example.com/");
        link.SetPointerSource([this] {
            ++pointerQueries;
            return pointer;
        });
    }

    void MoveMouseOver() {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), link.mapToGlobal(QPointF(2, 2)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&link, &move);
    }
    void Click() {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(2, 2), link.mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&link, &event);
        }
    }
    // Turns the event loop until `done` holds, however slowly the hover timer ticks; the bound
    // only keeps a timer that never ticks from hanging the test.
    static bool WaitFor(const std::function<bool()>& done) {
        const QDeadlineTimer bound(30000);
        while (!done()) {
            if (bound.hasExpired()) {
                return false;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
    // Until the hover timer has looked where the pointer is `ticks` more times.
    bool WaitForTicks(int ticks) {
        const int until = pointerQueries + ticks;
        return WaitFor([&] { return pointerQueries >= until; });
    }
    // True when a row of the painting holds a run of `color` at least half the text wide:
    // an underline, not the strokes of letters.
    bool Underlined(const QColor& color) {
        const QImage image = test::Paint(link);
        for (int y = 0; y < image.height(); ++y) {
            int run = 0, longest = 0;
            for (int x = 0; x < image.width(); ++x) {
                run = image.pixelColor(x, y) == color ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            if (longest > image.width() / 2) {
                return true;
            }
        }
        return false;
    }

    test::FakeShell shell;
    QPoint pointer{-100, -100};
    int pointerQueries = 0;
    CLinkStatic link;
};

TEST_F(LinkStaticTest, TextTargetTooltipAndSize) {
    EXPECT_EQ(link.toolTip(), "https://kelvora.example.com/");
    QFont underlined = link.font();
    underlined.setUnderline(true);
    EXPECT_EQ(link.size(), QFontMetrics(underlined).size(Qt::TextSingleLine, "Homepage"));

    // A link without text shows its target; one without a target opens its text.
    CLinkStatic bare(shell, "");
    bare.SetTarget("mailto:support@kelvora.example.com");
    EXPECT_EQ(bare.text(), "mailto:support@kelvora.example.com");
    CLinkStatic own(shell, "https://own.example.com/");
    own.Open();
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"https://own.example.com/"}));

    // A right-aligned link keeps its right edge when it grows.
    CLinkStatic right(shell, "a");
    right.setAlignment(Qt::AlignRight);
    right.setGeometry(0, 0, 200, 20);
    const int edge = right.geometry().right();
    right.SetText("a longer text");
    EXPECT_EQ(right.geometry().right(), edge);
    EXPECT_LT(right.width(), 200);
}

TEST_F(LinkStaticTest, UnderlineFollowsTheModeAndTheHoverTimer) {
    EXPECT_EQ(link.Underline(), CLinkStatic::kUnderlineHover);
    EXPECT_FALSE(Underlined(kLink));

    pointer = link.mapToGlobal(QPoint(2, 2));
    MoveMouseOver();
    EXPECT_TRUE(link.IsHovering());
    EXPECT_TRUE(Underlined(kHover));  // hovering: the hover colour, underlined
    ASSERT_TRUE(WaitForTicks(2));
    EXPECT_TRUE(link.IsHovering());  // the pointer is still over it

    pointer = QPoint(-100, -100);
    ASSERT_TRUE(WaitFor([&] { return !link.IsHovering(); }));  // the timer saw it leave
    EXPECT_FALSE(Underlined(kLink));

    link.SetUnderline(CLinkStatic::kUnderlineAlways);
    EXPECT_TRUE(Underlined(kLink));
    pointer = link.mapToGlobal(QPoint(2, 2));
    MoveMouseOver();
    pointer = QPoint(-100, -100);
    ASSERT_TRUE(WaitFor([&] { return !link.IsHovering(); }));
    EXPECT_TRUE(Underlined(kLink));  // still underlined after the mouse left

    link.SetUnderline(CLinkStatic::kUnderlineNever);
    pointer = link.mapToGlobal(QPoint(2, 2));
    MoveMouseOver();
    EXPECT_TRUE(link.IsHovering());
    EXPECT_FALSE(Underlined(kHover));
}

TEST_F(LinkStaticTest, ClickOpensTheTargetAndOnlySuccessMarksItVisited) {
    link.SetUnderline(CLinkStatic::kUnderlineAlways);
    shell.shellOpenResult = 42;
    Click();
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"https://kelvora.example.com/"}));
    EXPECT_TRUE(link.IsVisited());
    EXPECT_TRUE(Underlined(kVisited));
    EXPECT_TRUE(shell.messages.empty());

    // A failure after a success: unvisited again, a beep and the report.
    shell.shellOpenResult = 2;
    shell.browserStarts = false;
    Click();
    EXPECT_FALSE(link.IsVisited());
    EXPECT_TRUE(Underlined(kLink));
    EXPECT_EQ(shell.beeps, 1);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, LinkFailureReport(2));
    EXPECT_EQ(shell.messages[0].icon, MessageIcon::Warning);
}

}  // namespace
}  // namespace kelvora
