// Vector, Matrix and Permutation: storage layout, value semantics and resizing.
#include <gtest/gtest.h>

#include "linal/matrix.h"
#include "support.h"

using linal::Matrix;
using linal::Permutation;
using linal::Vector;

namespace {

// Every row 1..m has len n and rowFlag 1, and the row container's len is m.
void expectWellFormed(const Matrix& A) {
    ASSERT_EQ(A.rows.len, A.m);
    ASSERT_EQ(A.rows.data.size(), static_cast<size_t>(A.m) + 1);
    EXPECT_EQ(A.rows.data[0].len, 0);
    for (int i = 1; i <= A.m; ++i) {
        EXPECT_EQ(A.row(i).len, A.n);
        EXPECT_EQ(A.row(i).rowFlag, 1);
        EXPECT_EQ(A.row(i).data.size(), static_cast<size_t>(A.n) + 1);
    }
}

TEST(Vector, ConstructionFillsSlotsOneToLenAndZeroesSlotZero) {
    const Vector<double> v(3, 0, 2.5);
    EXPECT_EQ(v.size(), 3);
    EXPECT_EQ(v.rowFlag, 0);
    EXPECT_EQ(v.data, (std::vector<double>{0.0, 2.5, 2.5, 2.5}));

    const Vector<double> empty(0, 0, 1.0);
    EXPECT_EQ(empty.data, std::vector<double>{0.0});

    const Permutation p(8, 0, 0);
    EXPECT_EQ(elementsOf(p), std::vector<int>(8, 0));
}

TEST(Vector, CopiesAreDeepAndAssignmentTakesTheSource) {
    Vector<double> source = vectorOf({1.0, 2.0, 3.0});
    source.setRowFlag(1);
    Vector<double> copy = source;
    copy(2) = 9.0;
    EXPECT_EQ(source(2), 2.0);
    EXPECT_EQ(copy.rowFlag, 1);

    Vector<double> target(7, 0, 4.0);
    target = source;
    EXPECT_EQ(target.data, source.data);
    EXPECT_EQ(target.rowFlag, 1);
}

TEST(Vector, ResizeKeepsTheCommonPrefixZeroesTheRestAndKeepsTheFlag) {
    Vector<double> v = vectorOf({1.0, 2.0, 3.0});
    v.setRowFlag(1);
    EXPECT_EQ(v.resize(5), 1);
    EXPECT_EQ(elementsOf(v), (std::vector<double>{1, 2, 3, 0, 0}));
    v.resize(2);
    EXPECT_EQ(v.data, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(v.rowFlag, 1);

    Permutation p(8, 0, 3);
    p.resize(10);
    EXPECT_EQ(p(9), 0);
    EXPECT_EQ(p(10), 0);
}

TEST(Vector, FillLeavesSlotZeroAndMakesUnitVectors) {
    Vector<double> e(4, 0, 7.0);
    e.data[0] = -1.0;
    e.fill(0.0)(3) = 1.0;
    EXPECT_EQ(e.data, (std::vector<double>{-1, 0, 0, 1, 0}));
}

TEST(Matrix, ConstructionGivesFlaggedRowsOfTheInitialValue) {
    const Matrix A(3, 3, 0.0);
    EXPECT_EQ(NumRows(A), 3);
    EXPECT_EQ(NumCols(A), 3);
    expectWellFormed(A);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(elementsOf(A.row(i)), std::vector<double>(3, 0.0));
    }
    const Matrix B(2, 3, 1.5);
    EXPECT_EQ(B(2, 3), 1.5);
}

TEST(Matrix, CopiesAreDeepAndAssignmentTakesTheSourceShape) {
    const Matrix source = matrixOf({{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
    Matrix copy = source;
    copy(1, 1) = -1.0;
    EXPECT_EQ(source(1, 1), 1.0);

    Matrix target(3, 3, 0.0);
    target = source;
    EXPECT_EQ(NumRows(target), 2);
    EXPECT_EQ(NumCols(target), 5);
    expectWellFormed(target);
    EXPECT_EQ(target(2, 5), 10.0);

    target = *&target;
    EXPECT_EQ(target(1, 3), 3.0);
}

struct ResizeCase {
    const char* name;
    int m, n, newM, newN;
};

void PrintTo(const ResizeCase& c, std::ostream* os) {
    *os << c.name;
}

class MatrixResize : public testing::TestWithParam<ResizeCase> {};

TEST_P(MatrixResize, KeepsTheCommonTopLeftBlockAndZeroesTheRest) {
    const ResizeCase c = GetParam();
    Matrix A(c.m, c.n, 0.0);
    for (int i = 1; i <= c.m; ++i) {
        for (int j = 1; j <= c.n; ++j) {
            A(i, j) = 10 * i + j;
        }
    }
    EXPECT_EQ(A.resize(c.newM, c.newN), 1);
    ASSERT_EQ(NumRows(A), c.newM);
    ASSERT_EQ(NumCols(A), c.newN);
    expectWellFormed(A);
    for (int i = 1; i <= c.newM; ++i) {
        for (int j = 1; j <= c.newN; ++j) {
            const bool kept = i <= c.m && j <= c.n;
            EXPECT_EQ(A(i, j), kept ? 10 * i + j : 0.0) << i << "," << j;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, MatrixResize,
    testing::Values(ResizeCase{"SameShape", 2, 3, 2, 3}, ResizeCase{"Grow2x2To3x3", 2, 2, 3, 3},
                    ResizeCase{"Shrink3x3To2x4", 3, 3, 2, 4}, ResizeCase{"FromEmpty", 0, 0, 2, 2},
                    ResizeCase{"ToEmpty", 3, 2, 0, 0}, ResizeCase{"TallToWide", 4, 1, 1, 4}),
    caseName<ResizeCase>);

}  // namespace
