#include "calib/pointPicking.h"

#include <charconv>
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
    return {double(truncateToInt(x)), double(truncateToInt(y))};
}

Point framePixelToView(Point p, int viewWidth, int viewHeight, int frameWidth, int frameHeight) {
    const double x = static_cast<double>(viewWidth) * p.x / frameWidth;
    const double y = static_cast<double>(viewHeight) * p.y / frameHeight;
    return {double(truncateToInt(x)), double(truncateToInt(y))};
}

std::string formatPoint(Point p) {
    if (p.x != std::floor(p.x) || p.y != std::floor(p.y)) {
        return formatRefined(p);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d", truncateToInt(p.x), truncateToInt(p.y));
    return text;
}

std::string formatRefined(Point p) {
    char text[96];
    std::snprintf(text, sizeof text, "%.2f,%.2f", p.x, p.y);
    return text;
}

namespace {

// One coordinate from `at`: an optional minus, digits, at most two decimals, within the int
// range. Where it ends, or null.
const char* coordinate(const char* at, const char* end, double& value, bool& decimals) {
    const char* digits = at + (at < end && *at == '-');
    const char* p = digits;
    while (p < end && *p >= '0' && *p <= '9') {
        ++p;
    }
    const char* point = p;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9') {
            ++p;
        }
        decimals = true;
    }
    const bool shape = point > digits && (p == point || (p - point >= 2 && p - point <= 3));
    if (!shape || std::from_chars(at, p, value).ptr != p || value < INT_MIN || value > INT_MAX) {
        return nullptr;
    }
    return p;
}

}  // namespace

bool parsePoint(const std::string& entry, Point& p, bool* refined) {
    const char* end = entry.data() + entry.size();
    double x = 0.0, y = 0.0;
    bool decimals = false;
    const char* comma = coordinate(entry.data(), end, x, decimals);
    if (comma == nullptr || comma == end || *comma != ',' ||
        coordinate(comma + 1, end, y, decimals) != end) {
        return false;
    }
    p = {x, y};
    if (refined != nullptr) {
        *refined = decimals;
    }
    return true;
}
