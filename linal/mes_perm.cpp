#include "linal/mes_perm.h"

#include <utility>

#include "linal/mes_err.h"

namespace linal {

namespace {

// Follows the cycles of px, marking a visited position by adding size to its entry (in a
// working copy, so the caller's permutation is never disturbed).
void permuteInPlace(const Permutation& px, Vector<double>& b) {
    const int size = px.len;
    Permutation mark = px;
    for (int start = 1; start <= size; ++start) {
        int o = start;
        int i = mark(o);
        if (i > size) {
            continue;
        }
        const double keep = b(start);
        while (true) {
            b(o) = b(i);
            mark(o) = i + size;
            o = i;
            i = mark(o);
            if (i > size) {
                break;
            }
            if (i == start) {
                b(o) = keep;
                mark(o) = i + size;
                break;
            }
        }
    }
}

}  // namespace

void px_vec(const Permutation& px, const Vector<double>& b, Vector<double>& out) {
    const int size = px.len;
    if (size > b.len) {
        fatal_error(1);
    }
    if (out.len != b.len) {
        out.resize(b.len);
    }
    if (size == 0) {
        out = b;
        return;
    }
    for (int i = 1; i <= size; ++i) {
        if (px(i) > size) {
            fatal_error(2);
        }
    }
    if (&out == &b) {
        permuteInPlace(px, out);
        return;
    }
    for (int i = 1; i <= size; ++i) {
        out(i) = b(px(i));
    }
}

void px_swap(Permutation& px, int i, int j) {
    if (i <= px.len && j <= px.len) {
        std::swap(px(i), px(j));
    }
}

}  // namespace linal
