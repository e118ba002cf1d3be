#include "KnobMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vkv::controls::knob {

namespace {
constexpr long double Pi = std::numbers::pi_v<long double>;
}

long long nearest(long double x) {
    // The default rounding mode rounds halves to even.
    return std::llrint(x);
}

float scaleOf(int min, int max) {
    // In 64 bits: the distance between two 32-bit ends may not fit in 32.
    const long long d = static_cast<long long>(max) - min;
    if (d == 0)
        return 0.0f;
    return static_cast<float>(static_cast<long double>(Travel) / d);
}

int angleOf(int position, int min, float scale) {
    const long double offset = static_cast<long double>(position) - min;
    return static_cast<int>(StartAngle - nearest(offset * scale));
}

int valueOf(int angle, int min, int max, float scale) {
    if (scale == 0.0f)
        return min;
    const long long v = nearest((StartAngle - angle) / static_cast<long double>(scale)) + min;
    return static_cast<int>(std::clamp<long long>(v, std::min(min, max), std::max(min, max)));
}

int clampPosition(int position, int min, int max, float scale) {
    if (scale >= 0.0f) {
        if (position < min)
            position = min;
        if (position > max)
            position = max;
    } else {
        if (position > min)
            position = max;
        if (position < max)
            position = min;
    }
    return position;
}

int mouseAngle(int x, int y, int width, int height) {
    const int cx = width / 2;
    const int cy = height / 2;
    if (x == cx)
        return y > cy ? StartAngle : 90;
    const long double slope = static_cast<long double>(cy - y) / (x - cx);
    int angle = static_cast<int>(nearest(std::atan(slope) * 180 / Pi)); // -90..90
    if (x < cx)
        angle = (angle + 540) % 360; // the left half: 90..270
    if (angle > StartAngle && angle <= 270)
        angle = StartAngle;
    if (angle < EndAngle)
        angle = EndAngle;
    return angle;
}

bool insideEllipse(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return false;
    const double a = width / 2.0;
    const double b = height / 2.0;
    const double dx = (x + 0.5 - a) / a;
    const double dy = (y + 0.5 - b) / b;
    return dx * dx + dy * dy <= 1.0;
}

PointerEnds pointerEnds(int angle, int radius) {
    // Single precision on purpose: it decides which way the halves of the 60-degree ends round.
    const float t = static_cast<float>(angle * Pi / 180);
    const float c = static_cast<float>(std::cos(static_cast<long double>(t)));
    const float s = static_cast<float>(std::sin(static_cast<long double>(t)));
    const auto at = [&](int length, float f) {
        return static_cast<int>(nearest(static_cast<long double>(length) * f));
    };
    return {at(radius - 11, c) + radius, radius - at(radius - 11, s), at(radius - 5, c) + radius,
            radius - at(radius - 5, s)};
}

int squareSide(int width, int height, int side) {
    if (height > side || width > side)
        return std::max(width, height);
    if (height < side || width < side)
        return std::min(width, height);
    return side;
}

} // namespace vkv::controls::knob
