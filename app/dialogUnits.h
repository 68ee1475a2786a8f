// Dialog units to pixels, by the platform's rule: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its character height.
#pragma once

#include "app/dialogTemplate.h"

// The letters whose width, halved per letter and rounded, is the average character width.
inline constexpr const char* baseUnitAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

struct BaseUnits {
    int x;  // average character width, pixels
    int y;  // character height (ascent + descent), pixels
};

// From the width of baseUnitAlphabet and the character height, both in pixels:
// x = (alphabetWidth / 26 + 1) / 2, y = characterHeight.
BaseUnits baseUnits(int alphabetWidth, int characterHeight);

// number · numerator / denominator, rounded half away from zero (the platform's MulDiv).
int mulDiv(int number, int numerator, int denominator);

struct PixelRect {
    int x;
    int y;
    int w;
    int h;
};

// Each field on its own: x and w · base x / 4, y and h · base y / 8.
PixelRect toPixels(const DialogRect& rect, BaseUnits units);

// The pixel height of a font of this point size on a 96 dots-per-inch screen.
int pointsToPixels(int pointSize);
