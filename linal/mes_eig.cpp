#include "linal/mes_eig.h"

#include <algorithm>

#include "linal/check.h"

namespace linal {

void m_put_col(Matrix& mat, int col, const Vector<double>& vec) {
    LINAL_ASSERT(col <= NumCols(mat));
    const int count = std::min(mat.m, vec.len);
    for (int i = 1; i <= count; ++i) {
        mat(i, col) = vec(i);
    }
}

}  // namespace linal
