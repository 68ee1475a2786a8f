#include "linal/mes_solve.h"

#include <algorithm>
#include <cmath>

#include "linal/mes_err.h"

namespace linal {

namespace {

// Zero threshold: 10 / HUGE_VAL is 0.0, so only an exactly zero pivot is singular.
double threshold() {
    return 10.0 / HUGE_VAL;
}

double divide(double s, double pivot, double diag, double t) {
    if (diag != 0.0) {
        return s / diag;
    }
    if (t * std::fabs(s) >= std::fabs(pivot)) {
        fatal_error(4);
    }
    return s / pivot;
}

}  // namespace

void Usolve(const Matrix& U, const Vector<double>& b, Vector<double>& out, double diag) {
    const int dim = std::min(U.m, U.n);
    if (b.len < dim) {
        fatal_error(1);
    }
    if (out.len < dim) {
        out.resize(U.n);
    }
    const double t = threshold();

    int last = dim;
    for (; last >= 1 && b(last) == 0.0; --last) {
        out(last) = 0.0;
    }
    // b(i) is read before out(i) is written and only out(j > i) is summed, so out may be b.
    for (int i = last; i >= 1; --i) {
        double s = b(i);
        for (int j = i + 1; j <= last; ++j) {
            s = s - U(i, j) * out(j);
        }
        out(i) = divide(s, U(i, i), diag, t);
    }
}

void Lsolve(const Matrix& L, const Vector<double>& b, Vector<double>& out, double diag) {
    const int dim = std::min(L.m, L.n);
    if (b.len < dim) {
        fatal_error(1);
    }
    if (out.len < dim) {
        out.resize(L.n);
    }

    int first = 1;
    for (; first <= dim && b(first) == 0.0; ++first) {
        out(first) = 0.0;
    }
    const double t = threshold();
    for (int i = first; i <= dim; ++i) {
        double s = b(i);
        for (int j = first; j < i; ++j) {
            s = s - L(i, j) * out(j);
        }
        out(i) = divide(s, L(i, i), diag, t);
    }
}

}  // namespace linal
