// What a kernel file for the AVX-512 path includes first: the intrinsics, and the attribute
// that lets its functions use the instructions of that path without the whole file (or
// program) being compiled for them.
#pragma once

#if defined(__x86_64__)

// GCC 12's AVX-512 conversion and rounding intrinsics start from a deliberately undefined
// vector, which its flow analysis reports as (maybe) uninitialized.
#if !defined(__clang__)  // clang has no such warning
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>

#define PLANDIS_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi")))
// Step helpers are inlined into the row loop, with their constants kept in registers.
#define PLANDIS_AVX512_INLINE PLANDIS_AVX512 __attribute__((always_inline)) inline

#endif
