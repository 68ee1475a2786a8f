#include "cpu/kernelPath.h"

namespace {

KernelPath detectBestPath() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi")) {
        return KernelPath::Avx512;
    }
    if (__builtin_cpu_supports("avx2")) {
        return KernelPath::Avx2;
    }
#endif
    return KernelPath::Scalar;
}

}  // namespace

const char* kernelPathName(KernelPath path) {
    switch (path) {
        case KernelPath::Avx2:
            return "avx2";
        case KernelPath::Avx512:
            return "avx512";
        case KernelPath::Scalar:
            break;
    }
    return "scalar";
}

std::vector<KernelPath> availableKernelPaths() {
    const KernelPath best = bestKernelPath();
    std::vector<KernelPath> paths{KernelPath::Scalar};
    if (best == KernelPath::Avx2 || best == KernelPath::Avx512) {
        paths.push_back(KernelPath::Avx2);
    }
    if (best == KernelPath::Avx512) {
        paths.push_back(KernelPath::Avx512);
    }
    return paths;
}

KernelPath bestKernelPath() {
    static const KernelPath best = detectBestPath();
    return best;
}

KernelPath runnableKernelPath(KernelPath requested) {
    return static_cast<int>(requested) > static_cast<int>(bestKernelPath()) ? bestKernelPath()
                                                                            : requested;
}
