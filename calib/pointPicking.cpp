#include "calib/pointPicking.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace {

// Truncation toward zero that stays defined for every double: out-of-range values
// saturate and NaN (0 / 0) becomes 0.
int truncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

Point clickToFramePixel(int cx, int cy, int viewWidth, int viewHeight, int frameWidth,
                        int frameHeight) {
    const double x = static_cast<double>(cx) / viewWidth * frameWidth;
    const double y = static_cast<double>(cy) / viewHeight * frameHeight;
    return {truncateToInt(x), truncateToInt(y)};
}

Point framePixelToView(Point p, int viewWidth, int viewHeight, int frameWidth, int frameHeight) {
    const double x = static_cast<double>(viewWidth) * p.x / frameWidth;
    const double y = static_cast<double>(viewHeight) * p.y / frameHeight;
    return {truncateToInt(x), truncateToInt(y)};
}

std::string formatPoint(Point p) {
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d", p.x, p.y);
    return text;
}

bool parsePoint(const std::string& entry, Point& p) {
    return std::sscanf(entry.c_str(), "%d,%d", &p.x, &p.y) == 2;
}
