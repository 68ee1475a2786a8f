// What the fuzz targets share: a check that ends the run loudly, so that libFuzzer keeps the
// input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void fuzzCheck(bool holds, const char* file, int line, const char* condition) {
    if (!holds)
        std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition), std::abort();
}
#define FUZZ_CHECK(condition) fuzzCheck(condition, __FILE__, __LINE__, #condition)
