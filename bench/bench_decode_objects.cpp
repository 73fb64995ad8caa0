// Decoding every graphic object of a large menu stream to bitmaps: 20 pages
// (4 epochs of 5) x 4 groups x 4 buttons, three 400x120 pictures per button
// (960 objects, 46 million pixels), read into display sets and built into the
// IG object (run-length decode, palette conversion, bitmaps).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"

namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t>& LargeStream() {
    static const std::vector<uint8_t> marked = [] {
        tessel::authoring::SMenuOptions options;
        // Each epoch's pictures are quantised together in one picture of at
        // most 65535 rows, so the pages are spread over four epochs.
        options.epochs = 4;
        options.pages = 5;
        options.bogsPerPage = 4;
        options.buttonsPerBog = 4;
        options.buttonWidth = 400;
        options.buttonHeight = 120;
        const fs::path pictures =
            fs::temp_directory_path() / ("tessel-bench-objects-" + std::to_string(::getpid()));
        tessel::CIgObject ig;
        std::vector<uint8_t> bytes;
        tessel::CResult made = tessel::authoring::AuthorMenu(options, pictures.string(), ig);
        if (made) made = tessel::authoring::MenuStream(ig, bytes);
        std::error_code ec;
        fs::remove_all(pictures, ec);
        if (!made) {
            std::fprintf(stderr, "%s\n", made.Message().c_str());
            bytes.clear();
        }
        return bytes;
    }();
    return marked;
}

void SetCounters(benchmark::State& state, int64_t objects, int64_t pixels, size_t bytes) {
    state.counters["objects/s"] =
        benchmark::Counter(static_cast<double>(objects), benchmark::Counter::kIsRate);
    state.counters["pixels/s"] =
        benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

// Reading the stream into display sets of segments only.
void BM_ReadMenuStream(benchmark::State& state) {
    const std::vector<uint8_t>& marked = LargeStream();
    if (marked.empty()) {
        state.SkipWithError("the menu stream could not be authored");
        return;
    }
    for (auto _ : state) {
        tessel::CMemorySource source(marked);
        tessel::CGsData data;
        if (!data.Read(source, false)) {
            state.SkipWithError("the menu stream does not read");
            return;
        }
        benchmark::DoNotOptimize(data.epochs.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(marked.size()) * state.iterations());
}
BENCHMARK(BM_ReadMenuStream)->Unit(benchmark::kMillisecond);

// Reading plus building: every object decoded to a bitmap with its palette.
void BM_DecodeAllObjects(benchmark::State& state) {
    const std::vector<uint8_t>& marked = LargeStream();
    if (marked.empty()) {
        state.SkipWithError("the menu stream could not be authored");
        return;
    }
    int64_t objects = 0, pixels = 0;
    for (auto _ : state) {
        tessel::CMemorySource source(marked);
        tessel::CGsData data;
        if (!data.Read(source, false)) {
            state.SkipWithError("the menu stream does not read");
            return;
        }
        tessel::CIgObject ig;
        ig.BuildFromStream(data);
        for (const auto& epoch : ig.items)
            for (const tessel::CGraphicObject* o : epoch->graphics.List()) {
                ++objects;
                pixels += int64_t{o->width} * o->height;
            }
        benchmark::DoNotOptimize(ig.items.data());
    }
    if (objects != 960 * state.iterations()) state.SkipWithError("not every object was decoded");
    SetCounters(state, objects, pixels, marked.size());
}
BENCHMARK(BM_DecodeAllObjects)->Unit(benchmark::kMillisecond);

}  // namespace
