// The batch rectification against the live pipeline's warp (BM_Ours_Warp): the warp of one
// picture per core, grey and colour, and the file decoding and encoding it adds, apart.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include "bench/benchScene.h"
#include "calib/rectifyPicture.h"
#include "frame/frameState.h"

namespace {

// One picture on one core, as each worker of `plandis rectify` runs it.
void batchWarp(benchmark::State& state, int channels) {
    Scene scene(state);  // the tilted view in homographyTable
    const std::vector<unsigned char> picture = randomBytes(scene.pixels * std::size_t(channels));
    std::vector<unsigned char> out(picture.size());
    for (auto _ : state) {
        rectifyPicture(homographyTable, RadialTable{}, picture.data(), out.data(), scene.width,
                       scene.height, channels);
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = benchmark::Counter(double(scene.pixels * std::size_t(channels)),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Batch_WarpGrey(benchmark::State& state) {
    batchWarp(state, 1);
}

void BM_Batch_WarpColour(benchmark::State& state) {
    batchWarp(state, 3);
}

// A smooth colour picture, as a photograph compresses, encoded once per format.
QImage photograph(int width, int height) {
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x + y) % 256));
        }
    }
    return image;
}

void codec(benchmark::State& state, const char* format, bool decode) {
    const QImage image = photograph(int(state.range(0)), int(state.range(1)));
    QByteArray bytes;
    QBuffer encoded(&bytes);
    encoded.open(QIODevice::WriteOnly);
    QImageWriter(&encoded, format).write(image);
    for (auto _ : state) {
        if (decode) {
            QBuffer in(&bytes);
            benchmark::DoNotOptimize(QImageReader(&in, format).read());
        } else {
            QByteArray out;
            QBuffer buffer(&out);
            buffer.open(QIODevice::WriteOnly);
            benchmark::DoNotOptimize(QImageWriter(&buffer, format).write(image));
        }
    }
    state.counters["pixels"] = benchmark::Counter(double(image.width()) * image.height(),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_Batch_WarpGrey)->Apply(frameSizes);
BENCHMARK(BM_Batch_WarpColour)->Apply(frameSizes);
BENCHMARK_CAPTURE(codec, DecodePng, "png", true)->Apply(frameSizes);
BENCHMARK_CAPTURE(codec, EncodePng, "png", false)->Apply(frameSizes);
BENCHMARK_CAPTURE(codec, DecodeJpeg, "jpeg", true)->Apply(frameSizes);
BENCHMARK_CAPTURE(codec, EncodeJpeg, "jpeg", false)->Apply(frameSizes);
