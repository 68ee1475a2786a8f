#include "calib/lensDistortion.h"

#include <cmath>

namespace {

constexpr double searchLimit = 1.5;  // in R: the model need not hold beyond
constexpr int tableEntries = 1024;

// 1 + k1·ρ² + k2·ρ⁴ at ρ² = p.
double denominator(const LensDistortion& lens, double p) {
    return 1.0 + lens.k1 * p + lens.k2 * p * p;
}

// The ideal radius of delivered radius r (both in pixels).
double idealRadius(const LensDistortion& lens, double r) {
    const double rho = r / lens.radius;
    return r / denominator(lens, rho * rho);
}

// The delivered radius of ideal radius ru within [0, limit], where idealRadius rises: by
// bisection, which cannot leave the bracket. Negative when ru lies beyond the bracket.
double deliveredRadius(const LensDistortion& lens, double ru, double limit) {
    if (!(ru <= idealRadius(lens, limit))) {
        return -1.0;
    }
    double lo = 0.0, hi = limit;
    for (int i = 0; i < 80 && hi - lo > 1e-13 * limit; ++i) {
        const double mid = 0.5 * (lo + hi);
        (idealRadius(lens, mid) < ru ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

}  // namespace

LensDistortion centredLens(int frameWidth, int frameHeight) {
    LensDistortion lens;
    lens.cx = (frameWidth - 1) / 2.0;
    lens.cy = (frameHeight - 1) / 2.0;
    lens.radius = std::fmax(std::hypot(lens.cx, lens.cy), 1.0);
    return lens;
}

Point undistort(const LensDistortion& lens, Point d) {
    const double dx = d.x - lens.cx, dy = d.y - lens.cy;
    const double scale = denominator(lens, (dx * dx + dy * dy) / (lens.radius * lens.radius));
    return {lens.cx + dx / scale, lens.cy + dy / scale};
}

std::optional<Point> distort(const LensDistortion& lens, Point u) {
    if (lens.none()) {
        return u;
    }
    const double dx = u.x - lens.cx, dy = u.y - lens.cy;
    const double ru = std::hypot(dx, dy);
    if (ru == 0.0) {
        return u;
    }
    const double rd = deliveredRadius(lens, ru, searchLimit * lens.radius);
    if (rd < 0.0) {
        return std::nullopt;
    }
    return Point{lens.cx + dx * (rd / ru), lens.cy + dy * (rd / ru)};
}

double cornerShift(const LensDistortion& lens) {
    return std::fabs(idealRadius(lens, lens.radius) - lens.radius);
}

bool usableLens(const LensDistortion& lens) {
    if (!std::isfinite(lens.k1) || !std::isfinite(lens.k2) || !(lens.radius > 0)) {
        return false;
    }
    double previous = 0.0;
    for (int i = 1; i <= 600; ++i) {
        const double rho = searchLimit * i / 600.0;
        const double d = denominator(lens, rho * rho);
        const double ideal = rho / d;
        if (!(d > 0.0) || !(ideal > previous)) {
            return false;
        }
        previous = ideal;
    }
    return true;
}

RadialTable radialTableOf(const LensDistortion& lens) {
    RadialTable table;
    if (lens.none() || !usableLens(lens)) {
        return table;
    }
    const double limit = searchLimit * lens.radius;
    const double reach = std::fmin(lens.radius + 2.0, limit);
    const double top = idealRadius(lens, reach);
    const double step = top * top / (tableEntries - 1);
    table.cx = lens.cx;
    table.cy = lens.cy;
    table.invStep = 1.0 / step;
    table.factor.resize(tableEntries);
    table.factor[0] = 1.0;  // the limit at the centre: the denominator is 1 there
    for (int i = 1; i < tableEntries; ++i) {
        const double ru = std::sqrt(i * step);
        table.factor[i] = deliveredRadius(lens, ru, limit) / ru;
    }
    return table;
}

std::array<double, 5> opencvCoefficients(const LensDistortion& lens) {
    // Normal equations of the three radial terms over radii up to the corner's ideal radius;
    // each sample says ru·(k1·ru² + k2·ru⁴ + k3·ru⁶) = rd − ru, in units of R.
    std::array<std::array<double, 4>, 3> normal{};
    const double top = idealRadius(lens, lens.radius) / lens.radius;
    for (int i = 1; i <= 400 && !lens.none(); ++i) {
        const double ru = top * i / 400.0;
        const double rd = deliveredRadius(lens, ru * lens.radius, searchLimit * lens.radius);
        if (rd < 0.0) {
            continue;
        }
        const double basis[3] = {std::pow(ru, 3), std::pow(ru, 5), std::pow(ru, 7)};
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b) {
                normal[a][b] += basis[a] * basis[b];
            }
            normal[a][3] += basis[a] * (rd / lens.radius - ru);
        }
    }
    // Cramer's rule: column c of the matrix replaced by the right-hand side.
    const auto det = [&](int c) {
        const auto m = [&](int r, int k) { return normal[r][k == c ? 3 : k]; };
        return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
               m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
               m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
    };
    const double whole = det(-1);
    if (!(std::fabs(whole) > 0.0)) {
        return {};
    }
    return {det(0) / whole, det(1) / whole, 0.0, 0.0, det(2) / whole};
}
