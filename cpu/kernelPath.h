// Which instruction set the pixel kernels (colour conversion, grey mean, warp, drawing) run
// on: the one processor check of the program. Every path computes the same bytes; the
// fastest one this processor supports is chosen once and kept. Tests run each path it has.
#pragma once

#include <vector>

enum class KernelPath {
    Scalar,  // plain C++: any processor (SSE2 on x86-64, NEON by the compiler on arm64)
    Avx2,    // x86-64 with AVX2
    Avx512,  // x86-64 with AVX-512 F, BW, DQ, VL and VBMI (Ice Lake, Zen 4 and later)
};

// "scalar", "avx2" or "avx512".
const char* kernelPathName(KernelPath path);

// The paths this processor can run, Scalar first and the fastest last.
std::vector<KernelPath> availableKernelPaths();

// The fastest path this processor can run; detected on the first call, then cached.
KernelPath bestKernelPath();

// The one fallback rule: a path this processor lacks would fault, so the best one it has
// stands in.
KernelPath runnableKernelPath(KernelPath requested);
