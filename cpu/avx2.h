// What a kernel file for the AVX2 path includes first: the intrinsics, and the attribute
// that lets its functions use the instructions of that path without the whole file (or
// program) being compiled for them.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#define PLANDIS_AVX2 __attribute__((target("avx2")))
// Step helpers are inlined into the row loop, with their constants kept in registers.
#define PLANDIS_AVX2_INLINE PLANDIS_AVX2 __attribute__((always_inline)) inline

#endif
