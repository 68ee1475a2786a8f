// Triangular solves. Both accept out == b.
//
// diag = 0.0 divides by the matrix's own diagonal; any other value is used as the divisor of
// every row (1.0 for the unit lower factor of LUfactor). A diagonal element that is zero by
// the threshold test ends the process with "singular matrix" (code 4); b shorter than
// min(m, n) ends it with code 1.
#pragma once

#include "linal/matrix.h"

namespace linal {

// Back substitution with the upper triangle of U. Trailing zeros of b give zeros of out
// without touching their diagonal elements.
void Usolve(const Matrix& U, const Vector<double>& b, Vector<double>& out, double diag);

// Forward substitution with the lower triangle of L. Leading zeros of b give zeros of out
// without touching their diagonal elements.
void Lsolve(const Matrix& L, const Vector<double>& b, Vector<double>& out, double diag);

}  // namespace linal
