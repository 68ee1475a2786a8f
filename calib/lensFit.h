// H and the lens distortion estimated together from the point pairs and from straight lines:
// least squares on the reprojection error in input-frame pixels (each output point through H,
// then through the distortion to the delivered frame), plus the distance of each line's
// undistorted points from their best straight line, started from the plain homography with no
// distortion (Levenberg–Marquardt).
#pragma once

#include <cmath>
#include <memory>
#include <span>
#include <vector>

#include "calib/lensDistortion.h"
#include "calib/pointSet.h"

// Input-frame points along something straight in the scene (at least three to count).
using StraightLine = std::vector<Point>;

struct LensEstimate {
    // H (output point -> ideal input point) and its inverse; fault as estimateHomography's.
    HomographyEstimate homography;
    LensDistortion lens;  // no distortion when not fitted
    // Too little evidence for the model: H is then the plain homography.
    bool tooLittleEvidence = false;
    std::vector<double> errors;  // per pair: |distort(H · output) − input|, pixels
    double lineRms = 0.0;        // the line points' distances from their lines, pixels
};

// Solves A·x = b in place of b for a small square A (n × n, row by row): Gaussian
// elimination with partial pivoting. False when a pivot vanishes.
bool solveSmall(std::vector<double> a, std::vector<double>& b, int n);

// The first n columns of the Jacobian of residuals(θ) at θ by central differences, column j
// with the step relativeStep·max(1, |θj|).
template <typename Theta, typename Residuals>
std::vector<std::vector<double>> jacobianColumns(const Theta& theta, int n, double relativeStep,
                                                 const Residuals& residuals) {
    std::vector<std::vector<double>> columns(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j) {
        const double h = relativeStep * std::fmax(1.0, std::fabs(theta[j]));
        Theta plus = theta, minus = theta;
        plus[j] += h;
        minus[j] -= h;
        const std::vector<double> rp = residuals(plus), rm = residuals(minus);
        for (std::size_t i = 0; i < rp.size(); ++i)
            columns[j].push_back((rp[i] - rm[i]) / (2 * h));
    }
    return columns;
}

// JᵀJ of those columns, n × n row by row.
std::vector<double> normalMatrix(const std::vector<std::vector<double>>& columns);

// The distortion needs 8 pairs, or 4 pairs and a straight line of 3 points or more. One term
// (k1) is fitted; with evidence to spare a second (k2) too, kept when it leaves less than
// 0.64 of the one-term squared error (0.8 of its RMS). A fit that is not usable (lensDistortion.h)
// leaves the plain homography.
LensEstimate estimateWithLens(std::span<const Point> input, std::span<const Point> output,
                              std::span<const StraightLine> lines, int frameWidth, int frameHeight);

// What Calibration fits: H and the lens together when withLens, else H alone with each pair's
// error and no distortion about the frame centre.
LensEstimate estimateFit(std::span<const Point> input, std::span<const Point> output,
                         std::span<const StraightLine> lines, bool withLens, int frameWidth,
                         int frameHeight);

// The fit as a function of its parameters, for how uncertain what is measured through it is:
// H's eight free entries in the fit's normalised coordinates, then k1 and k2 when the lens is
// not none (the lines count only then, as in the fit).
struct FitProblem;
class FitModel {
  public:
    FitModel(std::span<const Point> input, std::span<const Point> output,
             std::span<const StraightLine> lines, const linal::Matrix& H,
             const LensDistortion& lens);
    std::vector<double> parameters;
    // Each pair's two, then each line point's distance from its line, in input pixels.
    std::vector<double> residuals(const std::vector<double>& theta) const;
    // The output point of a delivered input point: undistorted, then through H⁻¹.
    Point outputPoint(const std::vector<double>& theta, Point delivered) const;

  private:
    std::shared_ptr<const FitProblem> problem;
};
