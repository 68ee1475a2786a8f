// The matrix library by identities and sweeps: containers, product and transpose, LU with
// its pivot order, the triangular solves, permutations and the inverse against an
// independent Gauss-Jordan in long double.
#include <array>
#include <cmath>
#include <numeric>

#include "linal/mes_eig.h"
#include "linal/mes_factor.h"
#include "linal/mes_perm.h"
#include "linal/mes_solve.h"
#include "support.h"

using namespace linal;
using Doubles = std::vector<double>;

namespace {

void expectNear(const Matrix& A, const Matrix& B, double tolerance) {
    ASSERT_EQ(A.m, B.m);
    ASSERT_EQ(A.n, B.n);
    ASSERT_EQ(A.rows.len, A.m);
    for (int i = 1; i <= A.m; ++i) {
        ASSERT_EQ(A.row(i).len, A.n);
        EXPECT_EQ(A.row(i).rowFlag, 1);
        for (int j = 1; j <= A.n; ++j)
            EXPECT_NEAR(A(i, j), B(i, j), tolerance) << i << "," << j;
    }
}

Matrix identity(int n) {
    Matrix I(n, n, 0.0);
    for (int i = 1; i <= n; ++i)
        I(i, i) = 1.0;
    return I;
}

TEST(Containers, SlotZeroFillCopyAndResize) {
    Vector<double> v(3, 0, 2.5);
    EXPECT_EQ(v.data, (Doubles{0, 2.5, 2.5, 2.5}));
    Vector<double> copy = v;
    copy(2) = 9.0;
    EXPECT_EQ(v(2), 2.5);
    v.data[0] = -1.0;
    v.fill(0.0)(3) = 1.0;
    EXPECT_EQ(v.data, (Doubles{-1, 0, 0, 1}));
    v.setRowFlag(1);
    EXPECT_EQ(v.resize(5), 1);
    EXPECT_EQ(v.data, (Doubles{-1, 0, 0, 1, 0, 0}));
    v.resize(1);
    EXPECT_EQ(v.data, (Doubles{-1, 0}));
    EXPECT_EQ(v.rowFlag, 1);
    // Matrices keep their common top-left block and zero the rest, over shapes.
    for (const auto& [m, n, newM, newN] : std::vector<std::array<int, 4>>{
             {2, 3, 2, 3}, {2, 2, 3, 3}, {3, 3, 2, 4}, {0, 0, 2, 2}, {3, 2, 0, 0}, {4, 1, 1, 4}}) {
        Matrix A(m, n, 0.0), expected(newM, newN, 0.0);
        for (int i = 1; i <= std::max(m, newM); ++i)
            for (int j = 1; j <= std::max(n, newN); ++j) {
                if (i <= m && j <= n)
                    A(i, j) = 10 * i + j;
                if (i <= m && j <= n && i <= newM && j <= newN)
                    expected(i, j) = 10 * i + j;
            }
        Matrix assigned(1, 7, 3.0);
        assigned = A;
        EXPECT_EQ(A.resize(newM, newN), 1);
        expectNear(A, expected, 0.0);
        EXPECT_EQ(NumRows(assigned) * 100 + NumCols(assigned), m * 100 + n);
    }
}

TEST(Product, SummationOrderShapesAndIdentities) {
    // Added first to last, the 1 is absorbed by 1e16; any other order would keep it.
    expectNear(matrixOf({{1.0, 1e16, -1e16}, {1, 2, 3}}) * matrixOf({{1}, {1}, {1}}),
               matrixOf({{0}, {6}}), 0.0);
    expectNear(Matrix(3, 0, 0.0) * Matrix(0, 2, 0.0), Matrix(3, 2, 0.0), 0.0);
    std::mt19937 rng(11);
    auto integers = [&](int m, int n) {
        Matrix A = randomMatrix(m, n, rng);
        for (int i = 1; i <= m; ++i)
            for (int j = 1; j <= n; ++j)
                A(i, j) = std::round(9 * A(i, j));
        return A;
    };
    for (int m = 0; m <= 4; ++m)
        for (int k = 0; k <= 4; ++k) {
            SCOPED_TRACE(testing::Message() << m << "x" << k);
            const Matrix A = integers(m, k), B = integers(k, 3), C = integers(3, 2);
            expectNear(A * identity(k), A, 0.0);
            expectNear(Transpose(A * B), Transpose(B) * Transpose(A), 0.0);
            expectNear((A * B) * C, A * (B * C), 0.0);
            expectNear(A.transpose().transpose(), A, 0.0);
        }
    const Matrix A = randomMatrix(10, 8, rng), T = Transpose(A);
    for (int i = 1; i <= 10; ++i)
        for (int j = 1; j <= 8; ++j)
            ASSERT_EQ(T(j, i), A(i, j));
    expectNear(T * A, Transpose(T * A), 0.0);  // exactly symmetric
}

// P·A rebuilt from the pivot order, and L·U from the factors, for any shape.
void expectPAEqualsLU(const Matrix& A, const Matrix& F, const Permutation& pivot) {
    const int m = A.m, n = A.n, d = std::min(m, n);
    Matrix L(m, d, 0.0), U(d, n, 0.0), PA(m, n, 0.0);
    double largest = 1.0;
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) {
            PA(i, j) = A(pivot(i), j);
            largest = std::max(largest, std::fabs(A(i, j)));
            (j < i && j <= d ? L(i, j) : U(i, j)) = F(i, j);  // i <= d in the second case
            if (i <= d)
                L(i, i) = 1.0;
        }
    expectNear(PA, L * U, 1e-13 * largest);
}

TEST(LUfactor, PivotOrderAndFactors) {
    struct Case {
        Matrix A;
        std::vector<int> pivot;
        Matrix factors;
    };
    const Case cases[] = {
        {matrixOf({{0, 1}, {1, 0}}), {2, 1}, matrixOf({{1, 0}, {0, 1}})},
        {matrixOf({{1, 0}, {1, 1}}), {1, 2}, matrixOf({{1, 0}, {1, 1}})},  // a tie keeps row 1
        {matrixOf({{2, 100}, {1, 0.1}}), {2, 1}, matrixOf({{1, 0.1}, {2, 99.8}})},  // scaled
        // Exchanging the scale factors with the rows would give (3, 1, 2).
        {matrixOf({{-1, 7, -3}, {4, -9, -2}, {-9, 3, -5}}),
         {3, 2, 1},
         matrixOf(
             {{-9, 3, -5}, {-4.0 / 9, -23.0 / 3, -38.0 / 9}, {1.0 / 9, -20.0 / 23, -422.0 / 69}})},
        {matrixOf({{1, 2}, {2, 4}}), {1, 2}, matrixOf({{1, 2}, {2, 0}})},  // an exact zero
        {matrixOf({{0, 1}, {0, 2}}), {1, 2}, matrixOf({{0, 1}, {0, 2}})},  // zero column
    };
    for (const Case& c : cases) {
        Matrix F = c.A;
        Permutation pivot(0, 0, 0);
        LUfactor(F, pivot);
        EXPECT_EQ(elementsOf(pivot), c.pivot);
        expectNear(F, c.factors, 1e-14);
    }
    std::mt19937 rng(5);
    for (int m = 1; m <= 10; ++m)
        for (int n : {m - 1, m, m + 2}) {
            SCOPED_TRACE(testing::Message() << m << "x" << n);
            const Matrix A = randomMatrix(m, n, rng);
            Matrix F = A;
            Permutation pivot(3, 0, 9);
            LUfactor(F, pivot);
            expectPAEqualsLU(A, F, pivot);
        }
}

// Reference inverse: Gauss-Jordan with partial pivoting in long double.
Matrix gaussJordanInverse(const Matrix& A) {
    const int n = A.n;
    std::vector<std::vector<long double>> w(n, std::vector<long double>(2 * n, 0.0L));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            w[i][j] = A(i + 1, j + 1);
        w[i][n + i] = 1.0L;
    }
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i)
            p = std::fabs(w[i][k]) > std::fabs(w[p][k]) ? i : p;
        std::swap(w[k], w[p]);
        const long double pivot = w[k][k];
        for (auto& value : w[k])
            value /= pivot;
        for (int i = 0; i < n; ++i) {
            const long double f = i == k ? 0.0L : w[i][k];
            for (int j = 0; j < 2 * n; ++j)
                w[i][j] -= f * w[k][j];
        }
    }
    Matrix R(n, n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            R(i + 1, j + 1) = static_cast<double>(w[i][n + j]);
    return R;
}

TEST(Solve, LUsolveAndInverseOverSizes) {
    std::mt19937 rng(42);
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE(testing::Message() << "n=" << n);
        const Matrix A = randomMatrix(n, n, rng, true), x = randomMatrix(n, 1, rng);
        Matrix F = A;
        Permutation pivot(0, 0, 0);
        LUfactor(F, pivot);
        Vector<double> solution(0, 0, 0.0);
        LUsolve(F, pivot, Transpose(A * x).row(1), solution);
        ASSERT_EQ(solution.len, n);
        for (int i = 1; i <= n; ++i)
            EXPECT_NEAR(solution(i), x(i, 1), 1e-13);
        const Matrix R = inverse(A);
        expectNear(R, gaussJordanInverse(A), 1e-12 * n);
        expectNear(A * R, identity(n), 1e-13);
        Matrix out(5, 1, 3.0), in = A;
        m_inverse(A, out);
        m_inverse(in, in);  // may overwrite its input
        expectNear(out, R, 0.0);
        expectNear(in, R, 0.0);
    }
    const Matrix small = randomMatrix(3, 3, rng, true), first = inverse(small);
    inverse(randomMatrix(7, 7, rng, true));
    expectNear(inverse(small), first, 0.0);  // nothing kept from a call of another size
    expectNear(inverse(matrixOf({{4, 7}, {2, 6}})), matrixOf({{0.6, -0.7}, {-0.2, 0.4}}), 1e-15);
}

TEST(Solve, TriangularSolvesSkipZerosAndHonourAFixedDivisor) {
    Vector<double> out(0, 0, 0.0);
    Usolve(matrixOf({{1, 2}, {0, 0}}), vectorOf({1.0, 0.0}), out, 0.0);
    EXPECT_EQ(elementsOf(out), (Doubles{1, 0}));
    Vector<double> b = vectorOf({7.0, 4.0});  // in place, divisor 2
    Usolve(matrixOf({{9, 1}, {0, 9}}), b, b, 2.0);
    EXPECT_EQ(elementsOf(b), (Doubles{2.5, 2}));
    Usolve(matrixOf({{2, 1, 5}, {0, 4, 5}}), vectorOf({4.0, 8.0}), out, 0.0);
    EXPECT_EQ(elementsOf(out), (Doubles{1, 2}));  // long enough already: not resized
    Lsolve(matrixOf({{0, 0}, {2, 0}}), vectorOf({1.0, 3.0}), out, 1.0);
    EXPECT_EQ(elementsOf(out), (Doubles{1, 1}));
    b = vectorOf({0.0, 2.0, 9.0});
    Lsolve(matrixOf({{0, 0, 0}, {5, 2, 0}, {1, 3, 3}}), b, b, 0.0);
    EXPECT_EQ(elementsOf(b), (Doubles{0, 1, 2}));
    Vector<double> wide(0, 0, 0.0);
    Lsolve(matrixOf({{2, 0, 0}, {1, 1, 0}}), vectorOf({2.0, 3.0}), wide, 0.0);
    EXPECT_EQ(elementsOf(wide), (Doubles{1, 2, 0}));  // resized to n
    Matrix A(3, 2, 1.0);
    m_put_col(A, 2, vectorOf({5.0, 6.0}));
    expectNear(A, matrixOf({{1, 5}, {1, 6}, {1, 1}}), 0.0);
}

TEST(Permutation, PxVecAndPxSwap) {
    std::mt19937 rng(23);
    for (int n = 1; n <= 10; ++n) {
        Permutation p(n, 0, 0);
        std::iota(p.data.begin() + 1, p.data.end(), 1);
        std::shuffle(p.data.begin() + 1, p.data.end(), rng);
        Vector<double> v = Transpose(randomMatrix(n, 1, rng)).row(1), separate(0, 0, 0.0);
        const Vector<double> original = v;
        px_vec(p, v, separate);
        px_vec(p, v, v);  // in place alike
        for (int i = 1; i <= n; ++i)
            ASSERT_EQ(separate(i), original(p(i)));
        EXPECT_EQ(v.data, separate.data);
    }
    Vector<double> out = vectorOf({7.0, 7.0, 7.0});
    px_vec(vectorOf({2, 1}), vectorOf({1.0, 2.0, 3.0}), out);
    EXPECT_EQ(elementsOf(out), (Doubles{2, 1, 7}));  // a short permutation: its prefix only
    px_vec(Permutation(0, 0, 0), vectorOf({4.0, 5.0}), out);
    EXPECT_EQ(elementsOf(out), (Doubles{4, 5}));
    Permutation p = vectorOf({1, 2, 3});
    px_swap(p, 1, 3);
    px_swap(p, 2, 4);  // out of range: ignored
    EXPECT_EQ(elementsOf(p), (std::vector<int>{3, 2, 1}));
}

}  // namespace
