// Matrix product and transpose: shapes, summation order and exact identities.
#include <gtest/gtest.h>

#include <random>

#include "linal/matrix.h"
#include "support.h"

using linal::Matrix;

namespace {

void expectEqualMatrices(const Matrix& A, const Matrix& B) {
    ASSERT_EQ(NumRows(A), NumRows(B));
    ASSERT_EQ(NumCols(A), NumCols(B));
    for (int i = 1; i <= NumRows(A); ++i) {
        EXPECT_EQ(elementsOf(A.row(i)), elementsOf(B.row(i))) << "row " << i;
    }
}

TEST(Product, SumsInIncreasingInnerIndex) {
    // Added first to last, the 1 is absorbed by 1e16; any other order would keep it.
    const Matrix A = matrixOf({{1.0, 1e16, -1e16}, {1, 2, 3}});
    const Matrix B = matrixOf({{1}, {1}, {1}});
    const Matrix C = A * B;
    ASSERT_EQ(NumRows(C), 2);
    ASSERT_EQ(NumCols(C), 1);
    EXPECT_EQ(C(1, 1), 0.0);
    EXPECT_EQ(C(2, 1), 6.0);
}

TEST(Product, InnerSizeZeroGivesZeros) {
    expectEqualMatrices(Matrix(3, 0, 0.0) * Matrix(0, 2, 0.0), Matrix(3, 2, 0.0));
}

TEST(Product, TransposeTimesItselfIsExactlySymmetric) {
    std::mt19937 rng(7);
    const Matrix A = randomMatrix(10, 8, rng);
    const Matrix N = Transpose(A) * A;
    ASSERT_EQ(NumRows(N), 8);
    ASSERT_EQ(NumCols(N), 8);
    expectEqualMatrices(N, Transpose(N));
}

TEST(Product, ExactIdentitiesOverShapes) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> small(-9, 9);
    auto integerMatrix = [&](int m, int n) {
        Matrix A(m, n, 0.0);
        for (int i = 1; i <= m; ++i) {
            for (int j = 1; j <= n; ++j) {
                A(i, j) = small(rng);
            }
        }
        return A;
    };
    for (int m = 0; m <= 4; ++m) {
        for (int k = 0; k <= 4; ++k) {
            SCOPED_TRACE(testing::Message() << m << "x" << k);
            const Matrix A = integerMatrix(m, k);
            const Matrix B = integerMatrix(k, 3);
            const Matrix C = integerMatrix(3, 2);
            Matrix I(k, k, 0.0);
            for (int i = 1; i <= k; ++i) {
                I(i, i) = 1.0;
            }
            expectEqualMatrices(A * I, A);
            expectEqualMatrices(Transpose(A * B), Transpose(B) * Transpose(A));
            expectEqualMatrices((A * B) * C, A * (B * C));
        }
    }
}

TEST(Transpose, SwapsIndicesAndTwiceGivesBackTheMatrix) {
    std::mt19937 rng(3);
    const Matrix A = randomMatrix(10, 8, rng);
    const Matrix T = A.transpose();
    ASSERT_EQ(NumRows(T), 8);
    ASSERT_EQ(NumCols(T), 10);
    for (int i = 1; i <= 10; ++i) {
        for (int j = 1; j <= 8; ++j) {
            EXPECT_EQ(T(j, i), A(i, j));
        }
    }
    expectEqualMatrices(Transpose(A), T);
    expectEqualMatrices(Transpose(T), A);
    expectEqualMatrices(Transpose(Matrix(0, 0, 0.0)), Matrix(0, 0, 0.0));
}

TEST(Product, ResultMayBeAssignedToAnOperand) {
    Matrix A = matrixOf({{1, 2}, {3, 4}, {5, 6}});
    A = A * matrixOf({{1}, {1}});
    expectEqualMatrices(A, matrixOf({{3}, {7}, {11}}));
}

}  // namespace
