#include "KnobMath.h"
#include "TKnob.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <utility>

namespace vkv::controls::knob {

TEST(KnobMath, AnglesAndValuesOfAFullMidiRange) {
    const float scale = scaleOf(0, 127);
    EXPECT_FLOAT_EQ(scale, 2.3622048f);
    EXPECT_EQ(angleOf(0, 0, scale), 240);
    EXPECT_EQ(angleOf(1, 0, scale), 238);
    EXPECT_EQ(angleOf(63, 0, scale), 91);
    EXPECT_EQ(angleOf(64, 0, scale), 89);
    EXPECT_EQ(angleOf(127, 0, scale), -60);
    EXPECT_EQ(valueOf(240, 0, 127, scale), 0);
    EXPECT_EQ(valueOf(180, 0, 127, scale), 25);
    EXPECT_EQ(valueOf(90, 0, 127, scale), 63); // 63.4999..: the float scale is a bit too large
    EXPECT_EQ(valueOf(0, 0, 127, scale), 102);
    EXPECT_EQ(valueOf(-60, 0, 127, scale), 127);
    EXPECT_EQ(nearest(0.5L), 0); // halves go to the even neighbour
    EXPECT_EQ(nearest(-4.5L), -4);
    EXPECT_EQ(nearest(1.5L), 2);
}

TEST(KnobMath, ReversedAndEmptyRanges) {
    const float reversed = scaleOf(127, 0);
    EXPECT_LT(reversed, 0);
    EXPECT_EQ(angleOf(127, 127, reversed), 240);
    EXPECT_EQ(angleOf(0, 127, reversed), -60);
    EXPECT_EQ(valueOf(0, 127, 0, reversed), 25);
    // A value beyond either end of a reversed range lands on the other end.
    EXPECT_EQ(clampPosition(128, 127, 0, reversed), 0);
    EXPECT_EQ(clampPosition(-1, 127, 0, reversed), 127);
    EXPECT_EQ(clampPosition(50, 127, 0, reversed), 50);

    EXPECT_EQ(scaleOf(5, 5), 0.0f);
    EXPECT_EQ(clampPosition(9, 5, 5, 0.0f), 5);
    EXPECT_EQ(angleOf(5, 5, 0.0f), 240);
    EXPECT_EQ(valueOf(-60, 5, 5, 0.0f), 5);
}

TEST(KnobMath, WidestRangeNeitherOverflowsNorLeavesTheRange) {
    const float scale = scaleOf(INT_MIN, INT_MAX);
    EXPECT_GT(scale, 0);
    EXPECT_EQ(angleOf(INT_MAX, INT_MIN, scale), -60);
    EXPECT_EQ(valueOf(-60, INT_MIN, INT_MAX, scale), INT_MAX);
    EXPECT_EQ(valueOf(240, INT_MIN, INT_MAX, scale), INT_MIN);
    EXPECT_LT(scaleOf(INT_MAX, INT_MIN), 0);
}

TEST(KnobMath, MouseAnglesAndTheDeadZone) {
    EXPECT_EQ(mouseAngle(35, 20, 40, 40), 0);
    EXPECT_EQ(mouseAngle(20, 5, 40, 40), 90);
    EXPECT_EQ(mouseAngle(5, 20, 40, 40), 180);
    EXPECT_EQ(mouseAngle(5, 5, 40, 40), 135);
    EXPECT_EQ(mouseAngle(5, 30, 40, 40), 214);
    EXPECT_EQ(mouseAngle(20, 20, 40, 40), 90);  // the centre itself counts as up
    EXPECT_EQ(mouseAngle(20, 35, 40, 40), 240); // straight below: the Min end
    EXPECT_EQ(mouseAngle(15, 35, 40, 40), 240); // 252 snaps back to the Min end
    EXPECT_EQ(mouseAngle(25, 35, 40, 40), -60); // -72 snaps to the Max end
    EXPECT_TRUE(insideEllipse(0, 20, 40, 40));
    EXPECT_FALSE(insideEllipse(2, 2, 40, 40));
}

TEST(KnobMath, PointerEndsOfAFortyPixelKnob) {
    EXPECT_EQ(pointerEnds(240, 20), (PointerEnds{16, 28, 13, 33}));
    EXPECT_EQ(pointerEnds(90, 20), (PointerEnds{20, 11, 20, 5}));
    EXPECT_EQ(pointerEnds(-60, 20), (PointerEnds{24, 28, 27, 33}));
}

namespace {

class KnobWidget : public ::testing::Test {
protected:
    QWidget window;
    TKnob *knob = new TKnob(&window);
    QLabel *label = new QLabel(&window);
    QLineEdit *other = new QLineEdit(&window);
    int changes = 0;
    std::vector<Qt::MouseButton> presses;

    void SetUp() override {
        window.resize(200, 120);
        knob->move(10, 10);
        label->setGeometry(10, 60, 40, 20);
        other->setGeometry(100, 10, 80, 20);
        knob->SetPositionLabel(label);
        knob->OnChange = [this](TKnob *sender) {
            EXPECT_EQ(sender, knob);
            ++changes;
        };
        knob->OnMouseDown = [this](TKnob *sender, Qt::MouseButton b, Qt::KeyboardModifiers, int,
                                   int) {
            EXPECT_EQ(sender, knob);
            presses.push_back(b);
        };
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        other->setFocus();
    }
    void key(Qt::Key k) { QTest::keyClick(knob, k); }
    // Presses each key in turn and checks the position it leaves.
    void keys(std::initializer_list<std::pair<Qt::Key, int>> steps) {
        for (auto [k, position] : steps) {
            key(k);
            EXPECT_EQ(knob->Position(), position) << "after key " << std::hex << k;
        }
    }
};

} // namespace

TEST_F(KnobWidget, EveryWriterRaisesOnChangeEvenWithoutChange) {
    EXPECT_EQ(changes, 0); // construction and attaching the label are silent
    EXPECT_EQ(label->text(), "0 ");
    knob->SetPosition(0);
    EXPECT_EQ(changes, 1);
    knob->SetMin(0);
    knob->SetMax(127);
    EXPECT_EQ(changes, 3);
    knob->SetMin(10); // pulls the position up with it
    EXPECT_EQ(knob->Position(), 10);
    knob->SetMax(5); // now reversed: 10 is the Min end
    EXPECT_EQ(knob->Position(), 10);
    EXPECT_EQ(knob->Angle(), 240);
    EXPECT_EQ(changes, 5);
    knob->SetPageSize(3);
    knob->SetSpringLoaded(false);
    EXPECT_EQ(changes, 5);
    knob->SetSpringLoaded(true);
    EXPECT_EQ(changes, 6);
}

TEST_F(KnobWidget, KeyTable) {
    knob->SetPosition(64);
    EXPECT_EQ(knob->Angle(), 89);
    changes = 0;
    keys({{Qt::Key_PageUp, 74},
          {Qt::Key_End, 127},
          {Qt::Key_Up, 127},
          {Qt::Key_PageDown, 117},
          {Qt::Key_Left, 116},
          {Qt::Key_Down, 115},
          {Qt::Key_Right, 116},
          {Qt::Key_Home, 0},
          {Qt::Key_PageDown, 0},
          {Qt::Key_A, 0}});
    EXPECT_EQ(changes, 9); // keys at an end still report; other keys do nothing

    knob->SetMax(INT_MAX); // no overflow past the largest value
    knob->SetPageSize(65535);
    keys({{Qt::Key_End, INT_MAX}, {Qt::Key_PageUp, INT_MAX}});
}

TEST_F(KnobWidget, KeysOnAReversedKnobWrapAtTheEnds) {
    knob->SetMin(127);
    knob->SetMax(0);
    knob->SetPosition(127);
    EXPECT_EQ(knob->Angle(), 240);
    keys({{Qt::Key_Up, 0},
          {Qt::Key_Down, 127},
          {Qt::Key_Down, 126},
          {Qt::Key_End, 0},
          {Qt::Key_Home, 127}});
    knob->SetPosition(0);
    EXPECT_EQ(knob->Angle(), -60);
}

TEST_F(KnobWidget, ArrowKeysBeatAShortcutAndKeepTheFocus) {
    int fired = 0;
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Up), &window);
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++fired; });
    knob->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Up);
    key(Qt::Key_Right);
    EXPECT_EQ(knob->Position(), 2);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(knob->hasFocus());
}

TEST_F(KnobWidget, LeftPressInsideFocusesAndSetsTheValueUnderTheMouse) {
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_TRUE(knob->hasFocus());
    EXPECT_EQ(knob->Position(), 63);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(presses, std::vector{Qt::LeftButton});
    QTest::mouseMove(knob, QPoint(35, 20));
    EXPECT_EQ(knob->Position(), 102);
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(35, 20));
    EXPECT_EQ(knob->Position(), 102);
    EXPECT_EQ(changes, 2);                 // the release at the same value adds nothing
    QTest::mouseMove(knob, QPoint(5, 20)); // no longer dragging
    EXPECT_EQ(knob->Position(), 102);
}

TEST_F(KnobWidget, PressesOutsideTheFaceOrWithTheRightButtonOnlyReachTheOwner) {
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mousePress(knob, Qt::RightButton, {}, QPoint(20, 5));
    QTest::mouseRelease(knob, Qt::RightButton, {}, QPoint(20, 5));
    EXPECT_FALSE(knob->hasFocus());
    EXPECT_EQ(knob->Position(), 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(presses, (std::vector{Qt::LeftButton, Qt::RightButton}));
}

TEST_F(KnobWidget, HoveringPreviewsTheValueAndLeavingRestoresIt) {
    knob->SetCaption("%s");
    QTest::mouseMove(knob, QPoint(35, 20));
    EXPECT_EQ(label->text(), "102 %s"); // the caption is text, not a format
    EXPECT_EQ(knob->Position(), 0);
    EXPECT_EQ(changes, 0);
    QTest::mouseMove(&window, QPoint(150, 100));
    EXPECT_EQ(label->text(), "0 %s");
}

TEST_F(KnobWidget, SpringReturnsToZeroOnReleaseAndFocusLoss) {
    knob->SetSpringLoaded(true);
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseMove(knob, QPoint(35, 20));
    EXPECT_EQ(knob->Position(), 102);
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(35, 20));
    EXPECT_EQ(knob->Position(), 0);

    knob->SetMin(-64);
    knob->SetMax(63);
    key(Qt::Key_End);
    EXPECT_EQ(knob->Position(), 63);
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(knob->Position(), 0); // the middle of -64..63

    knob->SetMin(10);
    knob->setFocus(Qt::TabFocusReason);
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(knob->Position(), 10); // 0 clamped into range
}

TEST_F(KnobWidget, StaysSquareFollowingAGrowingOrShrinkingSide) {
    knob->resize(60, 50);
    EXPECT_EQ(knob->size(), QSize(60, 60));
    knob->resize(30, 60);
    EXPECT_EQ(knob->size(), QSize(30, 30));
    EXPECT_EQ(knob->pos(), QPoint(10, 10));
}

TEST_F(KnobWidget, LabelFollowsEnabledVisibleAndGoesAway) {
    knob->setEnabled(false);
    EXPECT_FALSE(label->isEnabled());
    knob->setEnabled(true);
    EXPECT_TRUE(label->isEnabled());
    knob->hide();
    EXPECT_FALSE(label->isVisible());
    knob->show();
    EXPECT_TRUE(label->isVisible());
    delete label;
    label = nullptr;
    EXPECT_EQ(knob->PositionLabel(), nullptr);
    knob->SetPosition(5);
    QTest::mouseMove(knob, QPoint(35, 20));
    EXPECT_EQ(knob->Position(), 5);
}

TEST_F(KnobWidget, LineColorRefusesTheFaceColour) {
    EXPECT_EQ(knob->LineColor(), knob->palette().color(QPalette::Highlight));
    knob->SetLineColor(Qt::red);
    knob->SetLineColor(knob->palette().color(QPalette::Button));
    EXPECT_EQ(knob->LineColor(), QColor(Qt::red));
}

TEST_F(KnobWidget, AccessibleValueAndRange) {
    knob->SetMin(100);
    knob->SetMax(20);
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(knob);
    ASSERT_NE(a, nullptr);
    QAccessibleValueInterface *v = a->valueInterface();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->minimumValue().toInt(), 20);
    EXPECT_EQ(v->maximumValue().toInt(), 100);
    v->setCurrentValue(50);
    EXPECT_EQ(knob->Position(), 50);
    EXPECT_EQ(a->text(QAccessible::Value), "50");
}

} // namespace vkv::controls::knob
