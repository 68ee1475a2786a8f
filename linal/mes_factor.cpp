#include "linal/mes_factor.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "linal/mes_eig.h"
#include "linal/mes_err.h"
#include "linal/mes_perm.h"
#include "linal/mes_solve.h"

namespace linal {

void LUfactor(Matrix& A, Permutation& pivot) {
    static Vector<double> scale(0, 0, 0.0);

    const int m = A.m;
    const int n = A.n;
    pivot.resize(m);
    scale.resize(m);
    const double t = 10.0 / HUGE_VAL;

    for (int i = 1; i <= m; ++i) {
        pivot(i) = i;
    }
    for (int i = 1; i <= m; ++i) {
        double largest = 0.0;
        for (int j = 1; j <= n; ++j) {
            largest = std::max(largest, std::fabs(A(i, j)));
        }
        scale(i) = largest;
    }

    for (int k = 1; k <= std::min(m, n); ++k) {
        // The row whose element relative to its row's size is largest; the first one wins a
        // tie. scale(i) stays with position i when rows are exchanged below.
        double best = 0.0;
        int r = 0;
        for (int i = k; i <= m; ++i) {
            const double a = std::fabs(A(i, k));
            if (!(t * a > std::fabs(scale(i)))) {
                const double q = a / scale(i);
                if (q > best) {
                    best = q;
                    r = i;
                }
            }
        }
        if (r == 0) {
            A(k, k) = 0.0;
            continue;
        }
        if (r != k) {
            px_swap(pivot, r, k);
            for (int j = 1; j <= n; ++j) {
                std::swap(A(r, j), A(k, j));
            }
        }
        for (int i = k + 1; i <= m; ++i) {
            A(i, k) = A(i, k) / A(k, k);
            for (int j = k + 1; j <= n; ++j) {
                A(i, j) = A(i, j) - A(i, k) * A(k, j);
            }
        }
    }
}

void LUsolve(const Matrix& A, const Permutation& pivot, const Vector<double>& b,
             Vector<double>& x) {
    if (A.m != A.n || A.n != b.len) {
        fatal_error(1);
    }
    const Vector<double> c = b;  // keeps px_vec out of place, whatever x is
    x.resize(b.len);
    px_vec(pivot, c, x);
    Lsolve(A, x, x, 1.0);
    Usolve(A, x, x, 0.0);
}

void m_inverse(const Matrix& A, Matrix& out) {
    static Matrix W(0, 0, 0.0);
    static Permutation p(0, 0, 0);
    static Vector<double> e(0, 0, 0.0);
    static Vector<double> x(0, 0, 0.0);

    if (A.m != A.n) {
        fatal_error(9);
    }
    if (out.m != A.m || out.n != A.n) {
        out.resize(A.m, A.n);
    }
    W = A;
    e.resize(A.m);
    x.resize(A.m);
    p.resize(A.m);
    LUfactor(W, p);
    for (int i = 1; i <= A.n; ++i) {
        e.fill(0.0);
        e(i) = 1.0;
        LUsolve(W, p, e, x);
        m_put_col(out, i, x);
    }
}

}  // namespace linal
