// After the first frame of a size, the pipeline converts, averages and warps every further
// frame without allocating: the buffers are reused and the kernels work in place. The
// global allocation functions are replaced here to count every allocation, which is why
// this test has an executable of its own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "app/sharedState.h"
#include "capture/framePipeline.h"

// These are the allocation functions themselves: new hands out malloc blocks and delete
// gives them back with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
long allocations = 0;

void* countedAllocation(std::size_t size) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* block = countedAllocation(size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* block = countedAllocation(size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocation(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

namespace {

struct Case {
    int width;
    int height;
    int bitCount;
};

class FrameAllocation : public ::testing::TestWithParam<Case> {
  protected:
    void TearDown() override {
        freeFrameBuffer(rgbFrame, rgbFrameBytes);
        freeFrameBuffer(grayFrame, grayFrameBytes);
        freeFrameBuffer(outputFrame, outputFrameBytes);
        calibrationOn = 0;
    }
};

TEST_P(FrameAllocation, NothingIsAllocatedAfterTheFirstFrame) {
    const Case c = GetParam();
    frameWidth = c.width;
    frameHeight = c.height;
    frameBitCount = c.bitCount;
    calibrationOn = 1;
    const double h[3][3] = {{0.9, 0.05, 4}, {-0.04, 0.95, 3}, {0.0002, -0.0001, 1}};
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 3; ++col) {
            homographyTable[r][col] = h[r][col];
        }
    }
    std::mt19937 rng(1);
    std::vector<unsigned char> frame(framePixels() * static_cast<std::size_t>(c.bitCount / 8));
    for (unsigned char& b : frame) {
        b = static_cast<unsigned char>(rng());
    }
    VideoHeader header{frame.data(), static_cast<std::uint32_t>(frame.size())};
    frameCallback(nullptr, &header);  // makes the buffers

    const long before = allocations;
    for (int i = 0; i < 3; ++i) {
        frameCallback(nullptr, &header);
    }
    EXPECT_EQ(allocations, before);
}

INSTANTIATE_TEST_SUITE_P(Formats, FrameAllocation,
                         ::testing::Values(Case{640, 480, 16}, Case{33, 7, 16}, Case{640, 480, 24},
                                           Case{33, 7, 24}),
                         [](const ::testing::TestParamInfo<Case>& row) {
                             return "W" + std::to_string(row.param.width) + "xH" +
                                    std::to_string(row.param.height) + "Bits" +
                                    std::to_string(row.param.bitCount);
                         });

}  // namespace
