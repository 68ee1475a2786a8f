// Permutations applied to vectors.
#pragma once

#include "linal/vector.h"

namespace linal {

// out(i) = b(px(i)) for i = 1..px.len; out is resized to b's len, elements after px.len are
// not written. out may be b itself: the vector is then permuted in place cycle by cycle.
// Fails with code 1 when px is longer than b, code 2 when an entry exceeds px's len (in
// both forms). px is left unchanged.
void px_vec(const Permutation& px, const Vector<double>& b, Vector<double>& out);

// Exchanges px(i) and px(j); does nothing unless both are at most px's len.
void px_swap(Permutation& px, int i, int j);

}  // namespace linal
