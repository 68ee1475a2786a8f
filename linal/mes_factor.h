// LU factorization with scaled partial pivoting, the solve from its factors and the inverse.
//
// These routines keep static work storage between calls: they are not reentrant and must
// not run on two threads at once.
#pragma once

#include "linal/matrix.h"

namespace linal {

// Factors A in place: the unit lower factor's multipliers below the diagonal, U on and
// above it, rows in pivot order. pivot is resized to A's m; pivot(k) is the original index
// of the row at position k, so P·A = L·U with (P·b)(k) = b(pivot(k)). A column that is zero
// from the diagonal down gets an exact 0.0 on the diagonal; no error is raised here.
void LUfactor(Matrix& A, Permutation& pivot);

// Solves the system A held before LUfactor; x is resized to b's len. A must be square and
// match b (code 1); a zero on U's diagonal ends the process with code 4.
void LUsolve(const Matrix& A, const Permutation& pivot, const Vector<double>& b, Vector<double>& x);

// out = A^-1, one solve per column of the identity; out is resized to A's shape if it
// differs. A not square: code 9; singular A: code 4.
void m_inverse(const Matrix& A, Matrix& out);

}  // namespace linal
