// LU factorization, triangular solves, permutations and the inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "linal/mes_eig.h"
#include "linal/mes_factor.h"
#include "linal/mes_perm.h"
#include "linal/mes_solve.h"
#include "support.h"

using namespace linal;

namespace {

double largestAbs(const Matrix& A) {
    double largest = 0.0;
    for (int i = 1; i <= A.m; ++i) {
        for (int j = 1; j <= A.n; ++j) {
            largest = std::max(largest, std::fabs(A(i, j)));
        }
    }
    return largest;
}

void expectNear(const Matrix& A, const Matrix& B, double tolerance) {
    ASSERT_EQ(A.m, B.m);
    ASSERT_EQ(A.n, B.n);
    for (int i = 1; i <= A.m; ++i) {
        for (int j = 1; j <= A.n; ++j) {
            EXPECT_NEAR(A(i, j), B(i, j), tolerance) << i << "," << j;
        }
    }
}

// P·A and L·U rebuilt from a factored matrix, for a square or rectangular A.
void expectPAEqualsLU(const Matrix& A, const Matrix& factors, const Permutation& pivot) {
    const int m = A.m, n = A.n, d = std::min(m, n);
    Matrix L(m, d, 0.0), U(d, n, 0.0), PA(m, n, 0.0);
    for (int i = 1; i <= m; ++i) {
        for (int j = 1; j <= n; ++j) {
            PA(i, j) = A(pivot(i), j);
            if (j < i && j <= d) {
                L(i, j) = factors(i, j);
            } else if (i <= d) {
                U(i, j) = factors(i, j);
            }
        }
        if (i <= d) {
            L(i, i) = 1.0;
        }
    }
    expectNear(PA, L * U, 1e-13 * largestAbs(A));
}

// Reference inverse: Gauss-Jordan with partial pivoting in long double.
Matrix gaussJordanInverse(const Matrix& A) {
    const int n = A.n;
    std::vector<std::vector<long double>> w(n, std::vector<long double>(2 * n, 0.0L));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            w[i][j] = A(i + 1, j + 1);
        }
        w[i][n + i] = 1.0L;
    }
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i) {
            if (std::fabs(w[i][k]) > std::fabs(w[p][k])) {
                p = i;
            }
        }
        std::swap(w[k], w[p]);
        const long double pivot = w[k][k];
        for (auto& value : w[k]) {
            value /= pivot;
        }
        for (int i = 0; i < n; ++i) {
            if (i == k) {
                continue;
            }
            const long double f = w[i][k];
            for (int j = 0; j < 2 * n; ++j) {
                w[i][j] -= f * w[k][j];
            }
        }
    }
    Matrix R(n, n, 0.0);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            R(i + 1, j + 1) = static_cast<double>(w[i][n + j]);
        }
    }
    return R;
}

struct FactorCase {
    const char* name;
    Matrix A;
    std::vector<int> pivot;
    Matrix factors;
};

void PrintTo(const FactorCase& c, std::ostream* os) {
    *os << c.name;
}

class LUfactorCases : public testing::TestWithParam<FactorCase> {};

TEST_P(LUfactorCases, GivesThePivotOrderAndFactors) {
    const FactorCase& c = GetParam();
    Matrix W = c.A;
    Permutation pivot(0, 0, 0);
    LUfactor(W, pivot);
    EXPECT_EQ(elementsOf(pivot), c.pivot);
    expectNear(W, c.factors, 1e-14);
    expectPAEqualsLU(c.A, W, pivot);
}

INSTANTIATE_TEST_SUITE_P(
    Pivoting, LUfactorCases,
    testing::Values(
        FactorCase{"ExchangesRows", matrixOf({{0, 1}, {1, 0}}), {2, 1}, matrixOf({{1, 0}, {0, 1}})},
        FactorCase{
            "TieKeepsTheFirstRow", matrixOf({{1, 0}, {1, 1}}), {1, 2}, matrixOf({{1, 0}, {1, 1}})},
        FactorCase{"ScalingDecides",
                   matrixOf({{2, 100}, {1, 0.1}}),
                   {2, 1},
                   matrixOf({{1, 0.1}, {2, 99.8}})},
        // Exchanging the scale factors with the rows would give (3, 1, 2).
        FactorCase{"ScaleFactorsStayWithPositions",
                   matrixOf({{-1, 7, -3}, {4, -9, -2}, {-9, 3, -5}}),
                   {3, 2, 1},
                   matrixOf({{-9, 3, -5},
                             {-4.0 / 9, -23.0 / 3, -38.0 / 9},
                             {1.0 / 9, -20.0 / 23, -422.0 / 69}})},
        FactorCase{"SingularLeavesAnExactZero",
                   matrixOf({{1, 2}, {2, 4}}),
                   {1, 2},
                   matrixOf({{1, 2}, {2, 0}})},
        FactorCase{
            "ZeroColumnIsSkipped", matrixOf({{0, 1}, {0, 2}}), {1, 2}, matrixOf({{0, 1}, {0, 2}})}),
    caseName<FactorCase>);

TEST(LUfactor, PATimesEqualsLUOverShapes) {
    std::mt19937 rng(5);
    for (int m = 1; m <= 10; ++m) {
        for (int n : {m - 1, m, m + 2}) {
            SCOPED_TRACE(testing::Message() << m << "x" << n);
            const Matrix A = randomMatrix(m, n, rng);
            Matrix W = A;
            Permutation pivot(3, 0, 9);
            LUfactor(W, pivot);
            expectPAEqualsLU(A, W, pivot);
        }
    }
}

TEST(LUsolve, RecoversAKnownSolution) {
    std::mt19937 rng(17);
    for (int n = 1; n <= 10; ++n) {
        const Matrix A = randomWellConditioned(n, rng);
        const Matrix x = randomMatrix(n, 1, rng);
        const Matrix b = A * x;
        Vector<double> bv(n, 0, 0.0), xv(0, 0, 0.0);
        for (int i = 1; i <= n; ++i) {
            bv(i) = b(i, 1);
        }
        Matrix W = A;
        Permutation pivot(0, 0, 0);
        LUfactor(W, pivot);
        LUsolve(W, pivot, bv, xv);
        ASSERT_EQ(xv.len, n);
        for (int i = 1; i <= n; ++i) {
            EXPECT_NEAR(xv(i), x(i, 1), 1e-13) << "n=" << n;
        }
    }
}

TEST(Usolve, TrailingZerosOfTheRightHandSideSkipTheirPivots) {
    const Matrix U = matrixOf({{1, 2}, {0, 0}});
    Vector<double> out(0, 0, 0.0);
    Usolve(U, vectorOf({1.0, 0.0}), out, 0.0);
    EXPECT_EQ(elementsOf(out), (std::vector<double>{1, 0}));

    Vector<double> b = vectorOf({7.0, 4.0});  // in place, fixed divisor 2
    Usolve(matrixOf({{9, 1}, {0, 9}}), b, b, 2.0);
    EXPECT_EQ(elementsOf(b), (std::vector<double>{2.5, 2}));

    Usolve(matrixOf({{2, 1, 5}, {0, 4, 5}}), vectorOf({4.0, 8.0}), out, 0.0);
    EXPECT_EQ(out.len, 2);  // long enough already: not resized to the column count
    EXPECT_EQ(elementsOf(out), (std::vector<double>{1, 2}));
}

TEST(Lsolve, LeadingZerosAndAFixedDivisorIgnoreTheStoredDiagonal) {
    Vector<double> out(0, 0, 0.0);
    Lsolve(matrixOf({{0, 0}, {2, 0}}), vectorOf({1.0, 3.0}), out, 1.0);
    EXPECT_EQ(elementsOf(out), (std::vector<double>{1, 1}));

    Vector<double> b = vectorOf({0.0, 2.0, 9.0});
    Lsolve(matrixOf({{0, 0, 0}, {5, 2, 0}, {1, 3, 3}}), b, b, 0.0);
    EXPECT_EQ(elementsOf(b), (std::vector<double>{0, 1, 2}));

    Vector<double> wide(0, 0, 0.0);
    Lsolve(matrixOf({{2, 0, 0}, {1, 1, 0}}), vectorOf({2.0, 3.0}), wide, 0.0);
    EXPECT_EQ(elementsOf(wide), (std::vector<double>{1, 2, 0}));  // resized to n
}

TEST(PxVec, PermutesOutOfPlaceAndInPlaceAlike) {
    const Permutation px = vectorOf({2, 3, 1});
    Vector<double> out(0, 0, 0.0);
    px_vec(px, vectorOf({10.0, 20.0, 30.0}), out);
    EXPECT_EQ(elementsOf(out), (std::vector<double>{20, 30, 10}));

    Vector<double> b = vectorOf({10.0, 20.0, 30.0});
    px_vec(px, b, b);
    EXPECT_EQ(elementsOf(b), (std::vector<double>{20, 30, 10}));
    EXPECT_EQ(elementsOf(px), (std::vector<int>{2, 3, 1}));

    std::mt19937 rng(23);
    for (int n = 1; n <= 10; ++n) {
        std::vector<int> order(n);
        for (int i = 0; i < n; ++i) {
            order[i] = i + 1;
        }
        std::shuffle(order.begin(), order.end(), rng);
        Permutation p(n, 0, 0);
        for (int i = 1; i <= n; ++i) {
            p(i) = order[i - 1];
        }
        const Matrix values = randomMatrix(n, 1, rng);
        Vector<double> v = values.transpose().row(1), separate(0, 0, 0.0);
        px_vec(p, v, separate);
        px_vec(p, v, v);
        EXPECT_EQ(v.data, separate.data) << "n=" << n;
    }
}

TEST(PxVec, ShortPermutationWritesOnlyItsPrefix) {
    Vector<double> out = vectorOf({7.0, 7.0, 7.0});
    px_vec(vectorOf({2, 1}), vectorOf({1.0, 2.0, 3.0}), out);
    EXPECT_EQ(elementsOf(out), (std::vector<double>{2, 1, 7}));

    px_vec(Permutation(0, 0, 0), vectorOf({4.0, 5.0}), out);
    EXPECT_EQ(elementsOf(out), (std::vector<double>{4, 5}));
}

TEST(PxSwap, ExchangesInRangeAndIgnoresOutOfRange) {
    Permutation p = vectorOf({1, 2, 3});
    px_swap(p, 1, 3);
    px_swap(p, 2, 4);
    EXPECT_EQ(elementsOf(p), (std::vector<int>{3, 2, 1}));
}

TEST(MPutCol, WritesTheColumnAsFarAsTheVectorReaches) {
    Matrix A(3, 2, 1.0);
    m_put_col(A, 2, vectorOf({5.0, 6.0}));
    expectNear(A, matrixOf({{1, 5}, {1, 6}, {1, 1}}), 0.0);
}

TEST(Inverse, OfATwoByTwo) {
    expectNear(inverse(matrixOf({{4, 7}, {2, 6}})), matrixOf({{0.6, -0.7}, {-0.2, 0.4}}), 1e-15);
}

TEST(Inverse, AgreesWithGaussJordanAndInvertsOverSizes) {
    std::mt19937 rng(42);
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE(testing::Message() << "n=" << n);
        const Matrix A = randomWellConditioned(n, rng);
        const Matrix R = inverse(A);
        expectNear(R, gaussJordanInverse(A), 1e-12 * largestAbs(R));
        Matrix I(n, n, 0.0);
        for (int i = 1; i <= n; ++i) {
            I(i, i) = 1.0;
        }
        expectNear(A * R, I, 1e-13);
    }
}

TEST(Inverse, RepeatsAfterACallOfAnotherSize) {
    std::mt19937 rng(8);
    const Matrix small = randomWellConditioned(3, rng);
    const Matrix first = inverse(small);
    inverse(randomWellConditioned(7, rng));
    const Matrix again = inverse(small);
    expectNear(again, first, 0.0);
}

TEST(MInverse, ResizesItsOutputAndMayOverwriteItsInput) {
    const Matrix A = matrixOf({{4, 7}, {2, 6}});
    Matrix out(5, 1, 3.0);
    m_inverse(A, out);
    expectNear(out, inverse(A), 0.0);

    Matrix B = A;
    m_inverse(B, B);
    expectNear(B, inverse(A), 0.0);
}

}  // namespace
