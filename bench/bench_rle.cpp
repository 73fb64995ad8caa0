// Run-length code throughput: pixels per second for decoding and encoding a
// subtitle-like 1920x1080 object (runs of transparency around text-like
// strokes of a few colours).
#include <benchmark/benchmark.h>

#include <random>

#include "codec/ods.h"

namespace {

tessel::SIndexedImage MakeImage() {
    tessel::SIndexedImage image{1920, 1080, {}};
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    std::mt19937 rng(1);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = image.pixels.data() + static_cast<size_t>(y) * image.width;
        int x = 0;
        while (x < image.width) {
            const int run = rng() % 4 == 0 ? 1 + static_cast<int>(rng() % 200)
                                           : 1 + static_cast<int>(rng() % 6);
            const uint8_t colour = rng() % 3 == 0 ? 0 : static_cast<uint8_t>(1 + rng() % 15);
            for (int i = 0; i < run && x < image.width; ++i) row[x++] = colour;
        }
    }
    return image;
}

void BM_RleEncode(benchmark::State& state) {
    const tessel::SIndexedImage image = MakeImage();
    for (auto _ : state) {
        auto data = tessel::EncodeObject(image);
        benchmark::DoNotOptimize(data.data());
    }
    state.counters["pixels/s"] = benchmark::Counter(
        static_cast<double>(image.pixels.size()) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RleEncode)->Unit(benchmark::kMillisecond);

void BM_RleDecode(benchmark::State& state) {
    const std::vector<uint8_t> data = tessel::EncodeObject(MakeImage());
    tessel::SIndexedImage image;
    for (auto _ : state) {
        tessel::DecodeObject(data, image);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.counters["pixels/s"] =
        benchmark::Counter(1920.0 * 1080.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RleDecode)->Unit(benchmark::kMillisecond);

}  // namespace
