#include "app/dialogUnits.h"

#include <cstdint>

BaseUnits baseUnits(int alphabetWidth, int characterHeight) {
    return {(alphabetWidth / 26 + 1) / 2, characterHeight};
}

int mulDiv(int number, int numerator, int denominator) {
    const std::int64_t product = std::int64_t{number} * numerator;
    const std::int64_t half = denominator / 2;
    const bool negative = (product < 0) != (denominator < 0);
    return static_cast<int>((product + (negative ? -half : half)) / denominator);
}

PixelRect toPixels(const DialogRect& rect, BaseUnits units) {
    return {mulDiv(rect.x, units.x, 4), mulDiv(rect.y, units.y, 8), mulDiv(rect.w, units.x, 4),
            mulDiv(rect.h, units.y, 8)};
}

int pointsToPixels(int pointSize) {
    return mulDiv(pointSize, 96, 72);
}
