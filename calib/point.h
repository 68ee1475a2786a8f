// A point in frame pixels, the centre of pixel (x, y) being the point (x, y), as the warp
// samples them: a clicked pixel holds whole numbers, a refined corner fractions.
#pragma once

struct Point {
    double x;
    double y;
};
