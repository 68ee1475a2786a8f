#include "linal/matrix.h"

#include <algorithm>

#include "linal/check.h"
#include "linal/mes_factor.h"

namespace linal {

namespace {

Vector<double> emptyRow() {
    return Vector<double>(0, 0, 0.0);
}

}  // namespace

Matrix::Matrix(int rowCount, int colCount, const double& init)
    : m(rowCount), n(colCount), rows(0, 0, emptyRow()) {
    rows.resize(m);
    for (int i = 1; i <= m; ++i) {
        rows(i).setRowFlag(1);
        rows(i).resize(n);
    }
    for (int i = 1; i <= m; ++i) {
        for (int j = 1; j <= n; ++j) {
            (*this)(i, j) = init;
        }
    }
}

int Matrix::resize(int M, int N) {
    if (M == m && N == n) {
        return 1;
    }
    for (int i = 1; i <= std::min(m, M); ++i) {
        rows(i).resize(N);
        rows(i).setRowFlag(1);
    }
    rows.resize(M);
    for (int i = m + 1; i <= M; ++i) {
        rows(i).resize(N);
        rows(i).setRowFlag(1);
    }
    m = M;
    n = N;
    return 1;
}

Matrix Matrix::transpose() const {
    Matrix T(n, m, 0.0);
    for (int i = 1; i <= m; ++i) {
        for (int j = 1; j <= n; ++j) {
            T(j, i) = (*this)(i, j);
        }
    }
    return T;
}

int NumRows(const Matrix& A) {
    return A.m;
}
int NumCols(const Matrix& A) {
    return A.n;
}

Matrix operator*(const Matrix& A, const Matrix& B) {
    LINAL_ASSERT(A.n == B.m);
    Matrix C(A.m, B.n, 0.0);
    for (int i = 1; i <= A.m; ++i) {
        for (int j = 1; j <= B.n; ++j) {
            double sum = 0.0;
            for (int k = 1; k <= A.n; ++k) {
                sum = A(i, k) * B(k, j) + sum;
            }
            C(i, j) = sum;
        }
    }
    return C;
}

Matrix Transpose(const Matrix& A) {
    return A.transpose();
}

Matrix inverse(const Matrix& A) {
    const int m = A.m;
    const int n = A.n;
    // clang-format off
    LINAL_ASSERT(m==n);
    // clang-format on
    Matrix R(m, n, 0.0);
    m_inverse(A, R);
    return R;
}

}  // namespace linal
