// Matrix: the library's dense 1-based matrix of doubles, its product, transpose and inverse.
//
// A matrix is a row container of separately allocated rows: row i is a complete Vector of
// len n and rowFlag 1, so any vector routine can work on it. Element (i, j) is checked
// twice: the row index against m, then the column index against n.
#pragma once

#include "linal/vector.h"

namespace linal {

class Matrix {
  public:
    Matrix(int rowCount, int colCount, const double& init);
    Matrix(const Matrix&) = default;
    // Takes the source's shape; shapes are not compared.
    Matrix& operator=(const Matrix&) = default;
    virtual ~Matrix() = default;

    double& operator()(int i, int j) { return rows(i)(j); }
    const double& operator()(int i, int j) const { return rows(i)(j); }

    // Change the elements of a row only, never its length.
    Vector<double>& row(int i) { return rows(i); }
    const Vector<double>& row(int i) const { return rows(i); }

    // Keeps the top-left min(m, M) x min(n, N) block; every other element becomes 0.0.
    int resize(int M, int N);

    Matrix transpose() const;

    int m;
    int n;
    Vector<Vector<double>> rows;
};

int NumRows(const Matrix& A);
int NumCols(const Matrix& A);

// C = A * B, sums in increasing k. Ends the program unless A.n == B.m.
Matrix operator*(const Matrix& A, const Matrix& B);

Matrix Transpose(const Matrix& A);

// The inverse through LU with scaled partial pivoting (m_inverse). A must be square (checked
// by assertion); a singular A ends the process with "ERROR: singular matrix".
Matrix inverse(const Matrix& A);

}  // namespace linal
