#include "linal/mes_err.h"

#include <cstdio>
#include <cstdlib>

namespace linal {

const char* const error_messages[31] = {
    "unknown error",
    "sizes of objects don't match",
    "index out of bounds",
    "can't allocate memory",
    "singular matrix",
    "matrix not positive definite",
    "incorrect format input",
    "bad input file/device",
    "NULL objects passed",
    "matrix not square",
    "object out of range",
    "can't do operation in situ for non-square matrix",
    "can't do operation in situ",
    "excessive number of iterations",
    "convergence criterion failed",
    "bad starting value",
    "floating exception",
    "internal inconsistency (data structure)",
    "unexpected end-of-file",
    "shared vectors (cannot release them)",
    "negative argument",
    "cannot overwrite object",
    "breakdown in iterative method",
    "must be real matrix",
    "must be complex matrix",
    "unknown warning",
    "wrong type number (use macro TYPE_*)",
    "no corresponding mem_stat_mark",
    "computed norm of a residual is less than 0",
    "resizing a shared vector",
    "insufficient precision (use double precision)",
};

void fatal_error(int code) {
    if (code < 0 || code > 30) {
        code = 0;  // never index past the table
    }
    std::fprintf(stderr, "ERROR: %s\n", error_messages[code]);
    std::exit(1);
}

}  // namespace linal
