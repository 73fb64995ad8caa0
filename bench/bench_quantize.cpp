// Quantising a full-HD photo-like ARGB picture to 255 colours (the general
// path of ToIndexed: exact palette attempt, histogram, median cut, dithering).
#include <benchmark/benchmark.h>

#include "codec/colour.h"
#include "codec/quantizer.h"

namespace {

using namespace tessel;

// Smooth gradients with noise and a few soft shapes: many thousand colours.
Bitmap PhotoLike(int w, int h) {
    Bitmap img(w, h, EPixelFormat::Argb32);
    uint32_t s = 12345;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = img.Row(y);
        for (int x = 0; x < w; ++x, p += 4) {
            s = s * 1664525u + 1013904223u;
            const int n = static_cast<int>(s >> 27) - 16;
            const int dx = x - w / 2, dy = y - h / 3;
            const int glow = 120 - (dx * dx + dy * dy) / 4000;
            auto c = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
            p[0] = c(x * 200 / w + n + (glow > 0 ? glow : 0));
            p[1] = c(y * 255 / h - n / 2);
            p[2] = c((x ^ y) % 97 + 100 + n);
            p[3] = 255;
        }
    }
    return img;
}

const Bitmap& Picture() {
    static const Bitmap img = PhotoLike(1920, 1080);
    return img;
}

void BM_ToIndexedFullHd(benchmark::State& state) {
    const Bitmap& img = Picture();
    for (auto _ : state) {
        Bitmap out = ToIndexed(img);
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{1920} * 1080);
}
BENCHMARK(BM_ToIndexedFullHd)->Unit(benchmark::kMillisecond);

void BM_QuantizeRgbFullHd(benchmark::State& state) {
    const Bitmap rgb = Picture().ConvertTo(EPixelFormat::Rgb24);
    for (auto _ : state) {
        Bitmap out;
        auto colours = QuantizeImage(rgb, {}, out);
        benchmark::DoNotOptimize(colours.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{1920} * 1080);
}
BENCHMARK(BM_QuantizeRgbFullHd)->Unit(benchmark::kMillisecond);

}  // namespace
