// Column access for building a matrix column by column.
#pragma once

#include "linal/matrix.h"

namespace linal {

// mat(i, col) = vec(i) for i = 1..min(m, vec's len); the rest of the column is kept.
// col must not exceed NumCols(mat) (checked by assertion).
void m_put_col(Matrix& mat, int col, const Vector<double>& vec);

}  // namespace linal
