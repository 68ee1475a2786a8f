#include "linal/vector.h"

#include <cstdio>

#include "linal/check.h"

namespace linal {

void indexInvalid(int i) {
    std::fprintf(stderr, "ERROR: index invalid %d\n", i);
    std::fflush(stderr);
    LINAL_ASSERT(0);
    __builtin_unreachable();
}

}  // namespace linal
