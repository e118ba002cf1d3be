#include "KnobMath.h"

#include <gtest/gtest.h>

#include <climits>

using namespace vkv::knob;

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
