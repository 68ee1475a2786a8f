// What the fuzz targets share: a check that ends the run loudly, so that libFuzzer keeps the
// input that broke it, and the input as a file.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline void fuzzCheck(bool holds, const char* file, int line, const char* condition) {
    if (!holds)
        std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition), std::abort();
}
#define FUZZ_CHECK(condition) fuzzCheck(condition, __FILE__, __LINE__, #condition)

// The input as an in-memory file, opened by its path as a user's file is.
inline const char* inputFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("fuzz_input", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FUZZ_CHECK(::ftruncate(fd, 0) == 0 && ::pwrite(fd, data, size, 0) == ssize_t(size));
    return path.c_str();
}
