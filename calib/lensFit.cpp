#include "calib/lensFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>

#include "calib/homography.h"

namespace {

using Matrix3 = std::array<std::array<double, 3>, 3>;

// A residual that counts as far off: an output point the lens gives no image.
constexpr double noImage = 1e4;

Matrix3 product(const Matrix3& a, const Matrix3& b) {
    Matrix3 c{};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            for (int col = 0; col < 3; ++col)
                c[r][col] += a[r][k] * b[k][col];
    return c;
}

// The pairs and lines in coordinates where H's entries and the k's are of one size: output
// points centred on their mean at a mean distance of √2, input points as (d − c) / R.
struct Problem {
    std::vector<Point> output, input;       // input: delivered, normalised
    std::vector<std::vector<Point>> lines;  // normalised
    Matrix3 toOutput{}, toInput{};          // normalised -> pixels
    int terms = 1;
};

Problem normalise(std::span<const Point> input, std::span<const Point> output,
                  std::span<const StraightLine> lines, const LensDistortion& lens) {
    Problem p;
    Point mean{0, 0};
    for (Point q : output) {
        mean.x += q.x / double(output.size());
        mean.y += q.y / double(output.size());
    }
    double spread = 0;
    for (Point q : output) {
        spread += std::hypot(q.x - mean.x, q.y - mean.y) / double(output.size());
    }
    const double s = spread > 0 ? spread / std::sqrt(2.0) : 1.0;
    p.toOutput = {{{s, 0, mean.x}, {0, s, mean.y}, {0, 0, 1}}};
    p.toInput = {{{lens.radius, 0, lens.cx}, {0, lens.radius, lens.cy}, {0, 0, 1}}};
    const auto in = [&](Point q) {
        return Point{(q.x - lens.cx) / lens.radius, (q.y - lens.cy) / lens.radius};
    };
    for (Point q : output) {
        p.output.push_back({(q.x - mean.x) / s, (q.y - mean.y) / s});
    }
    for (Point q : input) {
        p.input.push_back(in(q));
    }
    for (const StraightLine& line : lines) {
        if (line.size() >= 3) {
            p.lines.emplace_back();
            for (Point q : line) {
                p.lines.back().push_back(in(q));
            }
        }
    }
    return p;
}

// The parameters: H's eight free entries (h33 = 1) in normalised coordinates, k1, k2.
using Parameters = std::array<double, 10>;

LensDistortion unitLens(const Parameters& theta) {
    LensDistortion lens;
    lens.k1 = theta[8];
    lens.k2 = theta[9];
    return lens;  // centre 0, radius 1: the normalised input frame
}

// H's eight free entries in the problem's normalised coordinates: toInput⁻¹ · H · toOutput,
// scaled to h33 = 1.
std::array<double, 8> normalisedHomography(const Problem& p, const linal::Matrix& H) {
    Matrix3 h{};
    for (int i = 0; i < 9; ++i)
        h[i / 3][i % 3] = H(i / 3 + 1, i % 3 + 1);
    const double R = p.toInput[0][0];
    const Matrix3 fromInput = {
        {{1 / R, 0, -p.toInput[0][2] / R}, {0, 1 / R, -p.toInput[1][2] / R}, {0, 0, 1}}};
    const Matrix3 n = product(product(fromInput, h), p.toOutput);
    std::array<double, 8> entries;
    for (int i = 0; i < 8; ++i)
        entries[i] = n[i / 3][i % 3] / n[2][2];
    return entries;
}

// The residuals in units of R: each pair's two, then each line point's distance from the
// straight line that fits its undistorted points best (their principal axis).
std::vector<double> residuals(const Problem& p, const Parameters& theta) {
    const LensDistortion lens = unitLens(theta);
    std::vector<double> r;
    for (std::size_t i = 0; i < p.output.size(); ++i) {
        const double x = p.output[i].x, y = p.output[i].y;
        const double w = theta[6] * x + theta[7] * y + 1.0;
        const std::optional<Point> d =
            distort(lens, {(theta[0] * x + theta[1] * y + theta[2]) / w,
                           (theta[3] * x + theta[4] * y + theta[5]) / w});
        r.push_back(d ? d->x - p.input[i].x : noImage);
        r.push_back(d ? d->y - p.input[i].y : noImage);
    }
    for (const std::vector<Point>& line : p.lines) {
        std::vector<Point> u;
        Point mean{0, 0};
        for (Point q : line) {
            u.push_back(undistort(lens, q));
            mean.x += u.back().x / double(line.size());
            mean.y += u.back().y / double(line.size());
        }
        double sxx = 0, sxy = 0, syy = 0;
        for (Point q : u) {
            sxx += (q.x - mean.x) * (q.x - mean.x);
            sxy += (q.x - mean.x) * (q.y - mean.y);
            syy += (q.y - mean.y) * (q.y - mean.y);
        }
        const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);  // the principal direction
        const double nx = -std::sin(angle), ny = std::cos(angle);
        for (Point q : u) {
            r.push_back((q.x - mean.x) * nx + (q.y - mean.y) * ny);
        }
    }
    return r;
}

double squares(const std::vector<double>& r) {
    return std::inner_product(r.begin(), r.end(), r.begin(), 0.0);
}

}  // namespace

bool solveSmall(std::vector<double> a, std::vector<double>& b, int n) {
    for (int c = 0; c < n; ++c) {
        int best = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a[r * n + c]) > std::fabs(a[best * n + c]))
                best = r;
        if (!(std::fabs(a[best * n + c]) > 0))
            return false;
        for (int k = 0; k < n; ++k)
            std::swap(a[c * n + k], a[best * n + k]);
        std::swap(b[c], b[best]);
        for (int r = c + 1; r < n; ++r) {
            const double f = a[r * n + c] / a[c * n + c];
            for (int k = c; k < n; ++k)
                a[r * n + k] -= f * a[c * n + k];
            b[r] -= f * b[c];
        }
    }
    for (int c = n - 1; c >= 0; --c) {
        for (int k = c + 1; k < n; ++k)
            b[c] -= a[c * n + k] * b[k];
        b[c] /= a[c * n + c];
    }
    return true;
}

std::vector<double> normalMatrix(const std::vector<std::vector<double>>& columns) {
    const std::size_t n = columns.size();
    std::vector<double> normal(n * n);
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = 0; b < n; ++b)
            normal[a * n + b] =
                std::inner_product(columns[a].begin(), columns[a].end(), columns[b].begin(), 0.0);
    return normal;
}

namespace {

// Levenberg–Marquardt over the first 8 + terms parameters, the Jacobian by central
// differences. Returns the sum of squared residuals at the end.
double minimise(const Problem& p, Parameters& theta) {
    const int n = 8 + p.terms;
    std::vector<double> r = residuals(p, theta);
    double cost = squares(r);
    double lambda = 1e-3;
    for (int iteration = 0; iteration < 200 && lambda < 1e12; ++iteration) {
        const std::vector<std::vector<double>> columns =
            jacobianColumns(theta, n, 1e-7, [&p](const Parameters& t) { return residuals(p, t); });
        const std::vector<double> normal = normalMatrix(columns);
        std::vector<double> gradient(n);
        for (int a = 0; a < n; ++a) {
            gradient[a] = std::inner_product(columns[a].begin(), columns[a].end(), r.begin(), 0.0);
        }
        bool improved = false;
        while (!improved && lambda < 1e12) {
            std::vector<double> damped = normal, step(gradient);
            for (int a = 0; a < n; ++a)
                damped[a * n + a] += lambda * std::fmax(normal[a * n + a], 1e-12);
            if (!solveSmall(damped, step, n)) {
                lambda *= 10;
                continue;
            }
            Parameters next = theta;
            for (int a = 0; a < n; ++a)
                next[a] -= step[a];
            const std::vector<double> rn = residuals(p, next);
            const double nextCost = squares(rn);
            if (nextCost < cost) {
                const bool settled = cost - nextCost <= 1e-14 * cost;
                theta = next;
                r = rn;
                cost = nextCost;
                lambda = std::fmax(lambda / 10, 1e-12);
                improved = true;
                if (settled)
                    return cost;
            } else {
                lambda *= 10;
            }
        }
    }
    return cost;
}

}  // namespace

LensEstimate estimateWithLens(std::span<const Point> input, std::span<const Point> output,
                              std::span<const StraightLine> lines, int frameWidth,
                              int frameHeight) {
    LensEstimate result;
    result.homography = estimateHomography(input, output);
    result.lens = centredLens(frameWidth, frameHeight);
    if (result.homography.fault != PointSetFault::none) {
        return result;
    }
    Problem p = normalise(input, output, lines, result.lens);
    int lineSpare = 0;
    for (const auto& line : p.lines)
        lineSpare += static_cast<int>(line.size()) - 2;
    const int spare = 2 * static_cast<int>(output.size()) - 8 + lineSpare;
    if (output.size() < 8 && lineSpare == 0) {
        result.tooLittleEvidence = true;
        result.errors = reprojectionErrors(result.homography.H, output, input);
        return result;
    }
    // Started from the plain H, no distortion.
    Parameters theta{};
    const std::array<double, 8> start = normalisedHomography(p, result.homography.H);
    std::copy(start.begin(), start.end(), theta.begin());
    double cost = minimise(p, theta);
    if (spare >= 8) {
        Problem two = p;
        two.terms = 2;
        Parameters thetaTwo = theta;
        const double costTwo = minimise(two, thetaTwo);
        if (costTwo < 0.64 * cost && usableLens(unitLens(thetaTwo))) {
            theta = thetaTwo;
            cost = costTwo;
        }
    }
    LensDistortion lens = result.lens;
    lens.k1 = theta[8];
    lens.k2 = theta[9];
    Matrix3 hn{};
    for (int i = 0; i < 9; ++i)
        hn[i / 3][i % 3] = i < 8 ? theta[i] : 1.0;
    const Matrix3 toOutputInverse = {
        {{1 / p.toOutput[0][0], 0, -p.toOutput[0][2] / p.toOutput[0][0]},
         {0, 1 / p.toOutput[0][0], -p.toOutput[1][2] / p.toOutput[0][0]},
         {0, 0, 1}}};
    const Matrix3 pixels = product(product(p.toInput, hn), toOutputInverse);
    linal::Matrix H(3, 3, 0.0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            H(r + 1, c + 1) = pixels[r][c] / pixels[2][2];
    const std::optional<linal::Matrix> inverse = safeInverse(H);
    if (!std::isfinite(cost) || !usableLens(lens) || !inverse) {
        result.errors = reprojectionErrors(result.homography.H, output, input);
        return result;  // the plain homography, no distortion
    }
    result.lens = lens;
    result.homography.H = H;
    result.homography.inverse = *inverse;
    result.errors = reprojectionErrors(H, output, input, lens);
    const std::vector<double> r = residuals(p, theta);
    const std::size_t linePoints = r.size() - 2 * output.size();
    if (linePoints > 0) {
        double sum = 0;
        for (std::size_t i = 2 * output.size(); i < r.size(); ++i)
            sum += r[i] * r[i];
        result.lineRms = std::sqrt(sum / double(linePoints)) * lens.radius;
    }
    return result;
}

LensEstimate estimateFit(std::span<const Point> input, std::span<const Point> output,
                         std::span<const StraightLine> lines, bool withLens, int frameWidth,
                         int frameHeight) {
    if (withLens) {
        return estimateWithLens(input, output, lines, frameWidth, frameHeight);
    }
    LensEstimate result;
    result.homography = estimateHomography(input, output);
    result.lens = centredLens(frameWidth, frameHeight);
    if (result.homography.fault == PointSetFault::none) {
        result.errors = reprojectionErrors(result.homography.H, output, input);
    }
    return result;
}

struct FitProblem : Problem {};

namespace {

Parameters full(const std::vector<double>& theta) {
    Parameters all{};
    std::copy(theta.begin(), theta.end(), all.begin());
    return all;
}

}  // namespace

FitModel::FitModel(std::span<const Point> input, std::span<const Point> output,
                   std::span<const StraightLine> lines, const linal::Matrix& H,
                   const LensDistortion& lens) {
    auto p = std::make_shared<FitProblem>();
    static_cast<Problem&>(*p) =
        normalise(input, output, lens.none() ? std::span<const StraightLine>{} : lines, lens);
    p->terms = lens.none() ? 0 : lens.k2 != 0 ? 2 : 1;
    const std::array<double, 8> h = normalisedHomography(*p, H);
    parameters.assign(h.begin(), h.end());
    if (p->terms > 0)
        parameters.push_back(lens.k1);
    if (p->terms > 1)
        parameters.push_back(lens.k2);
    problem = std::move(p);
}

std::vector<double> FitModel::residuals(const std::vector<double>& theta) const {
    std::vector<double> r = ::residuals(*problem, full(theta));
    for (double& v : r)
        v *= problem->toInput[0][0];
    return r;
}

Point FitModel::outputPoint(const std::vector<double>& theta, Point delivered) const {
    const Parameters t = full(theta);
    const Matrix3& in = problem->toInput;
    const Point u = undistort(
        unitLens(t), {(delivered.x - in[0][2]) / in[0][0], (delivered.y - in[1][2]) / in[0][0]});
    // H⁻¹ · u by the adjugate: its scale drops out.
    const Matrix3 m = {{{t[0], t[1], t[2]}, {t[3], t[4], t[5]}, {t[6], t[7], 1.0}}};
    double q[3];
    double adj[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            adj[r][c] = m[(c + 1) % 3][(r + 1) % 3] * m[(c + 2) % 3][(r + 2) % 3] -
                        m[(c + 1) % 3][(r + 2) % 3] * m[(c + 2) % 3][(r + 1) % 3];
    for (int r = 0; r < 3; ++r)
        q[r] = adj[r][0] * u.x + adj[r][1] * u.y + adj[r][2];
    const Matrix3& out = problem->toOutput;
    return {out[0][0] * q[0] / q[2] + out[0][2], out[1][1] * q[1] / q[2] + out[1][2]};
}
