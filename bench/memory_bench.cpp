// The machine's copy bandwidth at each frame size: a memcpy that reads and writes as many
// bytes as the whole pipeline must (8 bytes per pixel, 4 read and 4 written). A stage can
// take no less than its own bytes divided by this bandwidth.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/benchScene.h"

namespace {

void BM_Memory_Copy(benchmark::State& state) {
    const std::size_t pixels =
        static_cast<std::size_t>(state.range(0)) * static_cast<std::size_t>(state.range(1));
    std::vector<unsigned char> from = randomBytes(pixels * 4);
    std::vector<unsigned char> to(pixels * 4);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    countBytes(state, pixels * 8);
}

}  // namespace

BENCHMARK(BM_Memory_Copy)->Apply(frameSizes);
