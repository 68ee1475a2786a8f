#include "linal/check.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace linal {

void assertionFailed(const char* expr, const char* file, unsigned line, const char* function) {
    std::fprintf(stderr, "%s: %s:%u: %s: Assertion `%s' failed.\n", program_invocation_short_name,
                 file, line, function, expr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace linal
