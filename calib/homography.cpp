#include "calib/homography.h"

#include "linal/matrix.h"

using linal::Matrix;

namespace {

// Each pair gives two equations linear in the eight unknowns h11..h32 (h33 = 1):
//   h11·x + h12·y + h13 − u·(h31·x + h32·y) = u
//   h21·x + h22·y + h23 − v·(h31·x + h32·y) = v
// Stacked they form A·h = b. A has room for five pairs; the fifth pair's rows stay zero and
// add only exact zeros to every sum. h is taken from the normal equations as
// (inverse(At·A)·At)·b; that grouping fixes how the result rounds.
void pointSystem(const std::array<Point, 4>& outputPoints, const std::array<Point, 4>& inputPoints,
                 Matrix& A, Matrix& b) {
    Matrix from(5, 2, 0.0);  // output frame: x, y
    Matrix to(5, 2, 0.0);    // input frame: u, v

    for (int i = 1; i <= 4; ++i) {
        from(i, 1) = outputPoints[i - 1].x;
        from(i, 2) = outputPoints[i - 1].y;
        to(i, 1) = inputPoints[i - 1].x;
        to(i, 2) = inputPoints[i - 1].y;
    }
    // The constant entries first (the zeros are already there), then the coordinates.
    for (int i = 1; i <= 4; ++i) {
        A(2 * i - 1, 3) = 1.0;
        A(2 * i, 6) = 1.0;
    }
    for (int i = 1; i <= 4; ++i) {
        const double x = from(i, 1);
        const double y = from(i, 2);
        const double u = to(i, 1);
        const double v = to(i, 2);
        A(2 * i - 1, 1) = x;
        A(2 * i - 1, 2) = y;
        A(2 * i - 1, 7) = (-u) * x;
        A(2 * i - 1, 8) = (-u) * y;
        b(2 * i - 1, 1) = u;
        A(2 * i, 4) = x;
        A(2 * i, 5) = y;
        A(2 * i, 7) = (-v) * x;
        A(2 * i, 8) = (-v) * y;
        b(2 * i, 1) = v;
    }
}

}  // namespace

Matrix normalMatrix(const std::array<Point, 4>& outputPoints,
                    const std::array<Point, 4>& inputPoints) {
    Matrix A(10, 8, 0.0);
    Matrix b(10, 1, 0.0);
    pointSystem(outputPoints, inputPoints, A, b);
    const Matrix At = Transpose(A);
    return At * A;
}

Matrix ComputeHomography(const std::array<Point, 4>& outputPoints,
                         const std::array<Point, 4>& inputPoints) {
    Matrix A(10, 8, 0.0);
    Matrix b(10, 1, 0.0);
    pointSystem(outputPoints, inputPoints, A, b);

    const Matrix At = Transpose(A);
    const Matrix N = At * A;
    const Matrix Ni = inverse(N);
    const Matrix G = Ni * At;
    const Matrix h = G * b;

    Matrix H(3, 3, 0.0);
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            if (r < 3 || c < 3) {
                H(r, c) = h(3 * (r - 1) + c, 1);
            }
        }
    }
    H(3, 3) = 1.0;
    return H;
}
