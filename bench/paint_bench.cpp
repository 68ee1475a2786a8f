// The painting of one frame: the grey frame and the output frame copied into the two
// images (setData) and each drawn into its 209 × 280 view with QPainter, as the dialog's
// paint handler does once per frame. Each painting follows a frame through the pipeline
// (not timed), so that the caches hold what they hold in the running program.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include "frame/frameState.h"
#include "bench/benchScene.h"
#include "capture/framePipeline.h"
#include "image/frameDrawing.h"

namespace {

constexpr int kViewWidth = 209;
constexpr int kViewHeight = 280;

void BM_Ours_Paint(benchmark::State& state) {
    Scene scene(state);
    FrameDrawing inputImage;
    FrameDrawing outputImage;
    QImage inputView(kViewWidth, kViewHeight, QImage::Format_RGB32);
    QImage outputView(kViewWidth, kViewHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        frameCallback(nullptr, &scene.header);
        state.ResumeTiming();

        {
            QPainter painter(&inputView);
            inputImage.draw(painter, grayFrame, frameWidth, frameHeight, 8, 0, 0, kViewWidth,
                            kViewHeight);
        }

        {
            QPainter painter(&outputView);
            outputImage.draw(painter, outputFrame, frameWidth, frameHeight, 8, 0, 0, kViewWidth,
                             kViewHeight);
        }
        benchmark::ClobberMemory();
    }
    countBytes(state, scene.pixels * 2);  // two frames read where they lie
}

}  // namespace

BENCHMARK(BM_Ours_Paint)->Apply(frameSizes);
