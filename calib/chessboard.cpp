// Chessboard finding in four steps:
//
// 1. Candidates. On the frame halved (2 × 2 means), the ChESS response of each pixel from
//    the 16 samples I0..I15 of a circle of radius 3 around it:
//        sum  = Σ_{n<4} |I_n + I_{n+8} - I_{n+4} - I_{n+12}|   (opposite samples alike,
//                                                                 quarter turns opposite)
//        diff = Σ_{n<8} |I_n - I_{n+8}|                          (an edge: opposites differ)
//        mean = |mean of the circle - mean of the centre's 3 × 3|
//        R = sum - diff - 16 mean
//    An X-corner gives a large R, an edge, a blob or a flat area little or none. Local maxima
//    (5 × 5) above a floor, strongest first, are refined at full resolution by refineCorner,
//    which also turns away whatever is not point-symmetric.
// 2. Seeds. A corner c, its nearest corner c + u, and the nearest c + v not along u, with
//    c - u and c - v found too, give grid cells (0, 0), (±1, 0), (0, ±1).
// 3. Growth. An empty cell next to the grid is predicted by extending the grid linearly
//    (2·P(i-1) - P(i-2) along a row or column, else the parallelogram of three neighbours)
//    and takes the candidate within 0.3 steps of the prediction. The grid never grows beyond the
//    board's larger count in either direction.
// 4. The grid must then be exactly cols × rows (either way round); its corners are refined
//    again with a window sized to the squares and put in the documented order.
#include "calib/chessboard.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

namespace {

struct Candidate {
    PointD p;
    int response;
};

constexpr int kCircle[16][2] = {{0, -3}, {1, -3},  {2, -2},  {3, -1}, {3, 0},  {3, 1},
                                {2, 2},  {1, 3},   {0, 3},   {-1, 3}, {-2, 2}, {-3, 1},
                                {-3, 0}, {-3, -1}, {-2, -2}, {-1, -3}};
// Below this response (grey levels summed as above) a pixel is not a corner candidate: about
// 20 grey levels of contrast.
constexpr int kResponseFloor = 120;
constexpr std::size_t kMaxCandidates = 1500;
constexpr int kMaxSeeds = 40;

std::vector<Candidate> candidates(const ConstPlane& grey) {
    const int w = grey.width / 2, h = grey.height / 2;
    std::vector<unsigned char> half(std::size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const unsigned char* r0 = grey.data + 2 * y * grey.stride;
        const unsigned char* r1 = r0 + grey.stride;
        for (int x = 0; x < w; ++x)
            half[y * w + x] = static_cast<unsigned char>(
                (r0[2 * x] + r0[2 * x + 1] + r1[2 * x] + r1[2 * x + 1] + 2) / 4);
    }
    std::vector<int> response(half.size(), 0);
    int offset[16];
    for (int n = 0; n < 16; ++n)
        offset[n] = kCircle[n][1] * w + kCircle[n][0];
    for (int y = 3; y < h - 3; ++y)
        for (int x = 3; x < w - 3; ++x) {
            const unsigned char* c = &half[y * w + x];
            int s[16], ring = 0;
            for (int n = 0; n < 16; ++n)
                ring += s[n] = c[offset[n]];
            int sum = 0, diff = 0;
            for (int n = 0; n < 4; ++n)
                sum += std::abs(s[n] + s[n + 8] - s[n + 4] - s[n + 12]);
            // An X-corner's sum is large for every turn of the circle but one; skip the rest
            // early, which is most pixels of most frames.
            if (sum < kResponseFloor)
                continue;
            for (int n = 0; n < 8; ++n)
                diff += std::abs(s[n] - s[n + 8]);
            const int centre =
                c[-w - 1] + c[-w] + c[-w + 1] + c[-1] + c[0] + c[1] + c[w - 1] + c[w] + c[w + 1];
            // 16 · |ring / 16 - centre / 9|, in whole numbers.
            const int mean = std::abs(9 * ring - 16 * centre) / 9;
            response[y * w + x] = sum - diff - mean;
        }
    std::vector<Candidate> found;
    for (int y = 5; y < h - 5; ++y)
        for (int x = 5; x < w - 5; ++x) {
            const int r = response[y * w + x];
            if (r < kResponseFloor)
                continue;
            bool peak = true;
            for (int dy = -2; dy <= 2 && peak; ++dy)
                for (int dx = -2; dx <= 2 && peak; ++dx) {
                    const int o = response[(y + dy) * w + x + dx];
                    // Ties go to the first in scan order.
                    peak = o < r || (o == r && dy * w + dx >= 0);
                }
            // Halved pixel (x, y) covers frame pixels 2x, 2x + 1: its centre is 2x + 0.5.
            if (peak)
                found.push_back({{2 * x + 0.5, 2 * y + 0.5}, r});
        }
    std::sort(found.begin(), found.end(),
              [](const Candidate& a, const Candidate& b) { return a.response > b.response; });
    if (found.size() > kMaxCandidates)
        found.resize(kMaxCandidates);
    return found;
}

double distance(PointD a, PointD b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}
PointD operator+(PointD a, PointD b) {
    return {a.x + b.x, a.y + b.y};
}
PointD operator-(PointD a, PointD b) {
    return {a.x - b.x, a.y - b.y};
}

// The window radius for squares of about `step` pixels: its reach, radius + 2 with the
// gradient, stays well inside a square.
int radiusFor(double step) {
    return std::clamp(static_cast<int>(step * 0.3), 2, 5);
}

class Grid {
  public:
    Grid(const std::vector<PointD>& corners, int longest) : corners_(corners), longest_(longest) {}

    // The corner nearest p within tolerance, or nothing.
    std::optional<PointD> nearest(PointD p, double tolerance) const {
        std::optional<PointD> best;
        for (const PointD& q : corners_)
            if (distance(p, q) <= tolerance && (!best || distance(p, q) < distance(p, *best)))
                best = q;
        return best;
    }

    // Grows from a seed until nothing more fits; false when the seed is not a grid.
    bool grow(PointD c) {
        cells_.clear();
        const std::optional<PointD> right = nearestOther(c, c, 0);
        if (!right)
            return false;
        const PointD u = *right - c;
        const double step = distance(*right, c);
        const std::optional<PointD> up = nearestOther(c, u, step);
        if (!up)
            return false;
        const PointD v = *up - c;
        const std::optional<PointD> left = nearest(c - u, 0.3 * step);
        const std::optional<PointD> down = nearest(c - v, 0.3 * std::hypot(v.x, v.y));
        if (!left || !down)
            return false;
        cells_ = {{{0, 0}, c}, {{1, 0}, *right}, {{-1, 0}, *left}, {{0, 1}, *up}, {{0, -1}, *down}};
        for (bool grew = true; grew;) {
            grew = false;
            const std::map<Cell, PointD> known = cells_;
            for (const auto& [cell, p] : known)
                for (const Cell& d : {Cell{1, 0}, Cell{-1, 0}, Cell{0, 1}, Cell{0, -1}})
                    grew |= tryCell({cell.first + d.first, cell.second + d.second});
        }
        return true;
    }

    using Cell = std::pair<int, int>;
    const std::map<Cell, PointD>& cells() const { return cells_; }

  private:
    // The corner nearest c other than c itself and, when step > 0, not within 30° of the
    // line along `along`, at 0.5 to 2 steps.
    std::optional<PointD> nearestOther(PointD c, PointD along, double step) const {
        std::optional<PointD> best;
        double bestDistance = 0;
        for (const PointD& q : corners_) {
            const double d = distance(q, c);
            if (d < 2)
                continue;
            if (step > 0) {
                const double cross = along.x * (q.y - c.y) - along.y * (q.x - c.x);
                if (std::abs(cross) < 0.5 * d * step || d < 0.5 * step || d > 2 * step)
                    continue;
            }
            if (!best || d < bestDistance)
                best = q, bestDistance = d;
        }
        return best;
    }

    std::optional<PointD> at(int i, int j) const {
        const auto it = cells_.find({i, j});
        return it == cells_.end() ? std::nullopt : std::optional<PointD>(it->second);
    }

    bool tryCell(Cell cell) {
        if (cells_.count(cell))
            return false;
        const auto [i, j] = cell;
        int iMin = i, iMax = i, jMin = j, jMax = j;
        for (const auto& [k, p] : cells_) {
            iMin = std::min(iMin, k.first), iMax = std::max(iMax, k.first);
            jMin = std::min(jMin, k.second), jMax = std::max(jMax, k.second);
        }
        if (iMax - iMin >= longest_ || jMax - jMin >= longest_)
            return false;
        std::optional<PointD> prediction;
        double step = 0;
        for (const Cell& d : {Cell{1, 0}, Cell{-1, 0}, Cell{0, 1}, Cell{0, -1}}) {
            const auto a = at(i - d.first, j - d.second), b = at(i - 2 * d.first, j - 2 * d.second);
            if (a && b) {
                prediction = *a + (*a - *b), step = distance(*a, *b);
                break;
            }
        }
        for (int di = -1; di <= 1 && !prediction; di += 2)
            for (int dj = -1; dj <= 1 && !prediction; dj += 2) {
                const auto a = at(i + di, j), b = at(i, j + dj), diagonal = at(i + di, j + dj);
                if (a && b && diagonal)
                    prediction = *a + *b - *diagonal,
                    step = std::min(distance(*a, *diagonal), distance(*b, *diagonal));
            }
        if (!prediction)
            return false;
        std::optional<PointD> found = nearest(*prediction, 0.3 * step);
        if (!found)
            return false;
        for (const auto& [k, p] : cells_)
            if (distance(p, *found) < 0.3 * step)
                return false;  // taken already
        cells_[cell] = *found;
        return true;
    }

    const std::vector<PointD>& corners_;
    int longest_;
    std::map<Cell, PointD> cells_;
};

}  // namespace

std::vector<PointD> findChessboard(ConstPlane grey, int cols, int rows) {
    if (cols < 2 || rows < 2 || grey.width < 32 || grey.height < 32)
        return {};
    std::vector<PointD> corners;
    for (const Candidate& c : candidates(grey)) {
        const std::optional<PointD> p = refineCorner(grey, c.p, 3, 3);
        bool known = false;
        for (const PointD& q : corners)
            known |= p && distance(*p, q) < 2;
        if (p && !known)
            corners.push_back(*p);
    }
    Grid grid(corners, std::max(cols, rows));
    const int seeds = std::min<int>(kMaxSeeds, static_cast<int>(corners.size()));
    for (int s = 0; s < seeds; ++s) {
        if (!grid.grow(corners[s]))
            continue;
        const auto& cells = grid.cells();
        int iMin = 0, iMax = 0, jMin = 0, jMax = 0;
        for (const auto& [k, p] : cells) {
            iMin = std::min(iMin, k.first), iMax = std::max(iMax, k.first);
            jMin = std::min(jMin, k.second), jMax = std::max(jMax, k.second);
        }
        const int ni = iMax - iMin + 1, nj = jMax - jMin + 1;
        if (static_cast<int>(cells.size()) != cols * rows ||
            !((ni == cols && nj == rows) || (ni == rows && nj == cols))) {
            continue;
        }
        // The four outer corners as (cell, direction of a row from it, of a column).
        auto point = [&](int i, int j) { return cells.at({i, j}); };
        struct Start {
            int i, j, di, dj;  // the first cell and the steps along i and j into the board
        };
        const Start starts[4] = {
            {iMin, jMin, 1, 1}, {iMax, jMin, -1, 1}, {iMin, jMax, 1, -1}, {iMax, jMax, -1, -1}};
        const Start* first = &starts[0];
        for (const Start& st : starts)
            if (std::hypot(point(st.i, st.j).x, point(st.i, st.j).y) <
                std::hypot(point(first->i, first->j).x, point(first->i, first->j).y))
                first = &st;
        // Whether rows run along i: the side along i holds cols corners, or, square, it is
        // nearer the +x axis.
        const PointD origin = point(first->i, first->j);
        const PointD alongI = point(first->i + first->di, first->j) - origin;
        const PointD alongJ = point(first->i, first->j + first->dj) - origin;
        const bool rowsAlongI = cols != rows ? ni == cols
                                             : alongI.x / std::hypot(alongI.x, alongI.y) >=
                                                   alongJ.x / std::hypot(alongJ.x, alongJ.y);
        const int radius =
            radiusFor(std::min(std::hypot(alongI.x, alongI.y), std::hypot(alongJ.x, alongJ.y)));
        std::vector<PointD> ordered;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const int i = first->i + first->di * (rowsAlongI ? c : r);
                const int j = first->j + first->dj * (rowsAlongI ? r : c);
                const PointD p = point(i, j);
                ordered.push_back(refineCorner(grey, p, radius, 1.0).value_or(p));
            }
        return ordered;
    }
    return {};
}
