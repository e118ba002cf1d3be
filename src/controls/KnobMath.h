#pragma once

// The knob's arithmetic without any widget: angles, values, the clamping of a position into a
// range, the pointer's end points and the square resize rule. Angles are whole degrees,
// counter-clockwise from the positive x axis; the pointer travels 300 degrees clockwise from
// StartAngle (the Min end, down-left) over 90 (up) to EndAngle (the Max end, down-right).
namespace vkv::controls::knob {

constexpr int StartAngle = 240;
constexpr int EndAngle = -60;
constexpr int Travel = 300;

// The nearest integer, a half going to the even neighbour.
long long nearest(long double x);

// Degrees of travel per unit of value, 300 / (max - min) as a 32-bit float; 0 for an empty range.
// Negative for a reversed range (max below min).
float scaleOf(int min, int max);

// Pointer angle of a position: 240 - nearest((position - min) * scale).
int angleOf(int position, int min, float scale);

// Value under a pointer angle: min for a zero scale, else nearest((240 - angle) / scale) + min,
// kept inside the range so that float rounding on very wide ranges never yields a value one past
// an end.
int valueOf(int angle, int min, int max, float scale);

// Brings a position into the range, by the direction of the scale. A forward range clamps each
// end; a reversed one (negative scale) sends a value beyond either end to the other end.
int clampPosition(int position, int min, int max, float scale);

// Pointer angle under the mouse at (x, y) in a control of the given size. The dead zone below
// the centre snaps to the nearer end, and straight below counts as the Min end.
int mouseAngle(int x, int y, int width, int height);

// Whether the pixel (x, y) lies inside the ellipse inscribed in a width by height rectangle.
bool insideEllipse(int x, int y, int width, int height);

// The inner and outer end of the pointer for an angle and a knob radius: a radial stroke from
// 11 to 5 pixels inside the rim, in widget coordinates (y down).
struct PointerEnds {
    int innerX, innerY, outerX, outerY;
    bool operator==(const PointerEnds &) const = default;
};
PointerEnds pointerEnds(int angle, int radius);

// The side a knob takes after being resized to width by height when its side was `side`: it
// follows a growing side up and a shrinking side down.
int squareSide(int width, int height, int side);

} // namespace vkv::controls::knob
