// PNG encode and decode settings on this program's two kinds of pictures:
// the 8-bit palette pictures of a generated menu (what a rip writes: 5 pages
// of 4 groups of 4 buttons, three 240x64 states each, and a 1920x1080 page
// background) and a 24-bit 1920x1080 photo of the kind handed to the
// quantiser. Each encode reports the total size in the counter "bytes".
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "authoring/sample_disc.h"
#include "authoring/synthetic_photo.h"
#include "codec/quantizer.h"
#include "model/ig_object.h"
#include "platform/image_io.h"

namespace {

namespace fs = std::filesystem;
using tessel::Bitmap;
using tessel::SPngOptions;
using EFilter = SPngOptions::EFilter;

// The decoded objects of an authored menu, as the rip finds them.
const std::vector<Bitmap>& MenuPictures() {
    static const std::vector<Bitmap> pictures = [] {
        std::vector<Bitmap> out;
        tessel::authoring::SMenuOptions options;
        options.pages = 5;
        options.bogsPerPage = 4;
        options.buttonsPerBog = 4;
        options.background = true;
        const fs::path folder =
            fs::temp_directory_path() / ("tessel-bench-png-" + std::to_string(::getpid()));
        tessel::CIgObject authored;
        std::vector<uint8_t> bytes;
        tessel::CResult made = tessel::authoring::AuthorMenu(options, folder.string(), authored);
        if (made) made = tessel::authoring::MenuStream(authored, bytes);
        std::error_code ec;
        fs::remove_all(folder, ec);
        if (!made) {
            std::fprintf(stderr, "%s\n", made.Message().c_str());
            return out;
        }
        tessel::CMemorySource source(bytes);
        tessel::CGsData data;
        if (!data.Read(source, false)) return out;
        tessel::CIgObject ig;
        ig.BuildFromStream(data);
        for (const auto& epoch : ig.items)
            for (const tessel::CGraphicObject* o : epoch->graphics.List())
                if (o->HasPicture()) out.push_back(*o->bitmap);
        return out;
    }();
    return pictures;
}

// The photo as tessel quantize writes it: 255 dithered colours.
const std::vector<Bitmap>& Photo();

const std::vector<Bitmap>& Dithered() {
    static const std::vector<Bitmap> dithered = [] {
        Bitmap out;
        const auto colours = tessel::QuantizeImage(Photo().front(), {}, out);
        tessel::SPalette palette;
        for (const auto& c : colours)
            palette.entries.push_back(tessel::MakeArgb(255, c.red, c.green, c.blue));
        out.SetPalette(std::move(palette));
        return std::vector<Bitmap>{std::move(out)};
    }();
    return dithered;
}

const std::vector<Bitmap>& Photo() {
    static const std::vector<Bitmap> photo{tessel::authoring::SyntheticPhoto(1920, 1080)};
    return photo;
}

int64_t Pixels(const std::vector<Bitmap>& set) {
    int64_t n = 0;
    for (const Bitmap& b : set) n += int64_t{b.Width()} * b.Height();
    return n;
}

std::vector<std::vector<uint8_t>> EncodeAll(const std::vector<Bitmap>& set,
                                            const SPngOptions& options) {
    std::vector<std::vector<uint8_t>> files(set.size());
    for (size_t i = 0; i < set.size(); ++i)
        if (!tessel::EncodePng(set[i], files[i], options)) files[i].clear();
    return files;
}

void Encode(benchmark::State& state, const std::vector<Bitmap>* set, SPngOptions options) {
    if (set->empty()) {
        state.SkipWithError("no pictures");
        return;
    }
    size_t bytes = 0;
    for (auto _ : state) {
        const auto files = EncodeAll(*set, options);
        bytes = 0;
        for (const auto& f : files) bytes += f.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["pixels/s"] = benchmark::Counter(
        static_cast<double>(Pixels(*set) * state.iterations()), benchmark::Counter::kIsRate);
}

void Decode(benchmark::State& state, const std::vector<Bitmap>* set, SPngOptions options) {
    const auto files = EncodeAll(*set, options);
    if (files.empty() || files.front().empty()) {
        state.SkipWithError("no pictures");
        return;
    }
    for (auto _ : state) {
        for (const auto& f : files) {
            Bitmap b;
            if (const tessel::CResult r = tessel::DecodeImage(f, b); !r) {
                state.SkipWithError(r.Message().c_str());
                return;
            }
            benchmark::DoNotOptimize(b.Data());
        }
    }
    state.counters["pixels/s"] = benchmark::Counter(
        static_cast<double>(Pixels(*set) * state.iterations()), benchmark::Counter::kIsRate);
}

const char* FilterName(EFilter f) {
    switch (f) {
        case EFilter::None:
            return "none";
        case EFilter::Sub:
            return "sub";
        case EFilter::Up:
            return "up";
        case EFilter::Paeth:
            return "paeth";
        case EFilter::Adaptive:
            return "adaptive";
        case EFilter::Default:
            break;
    }
    return "default";
}

const char* StrategyName(int s) {
    return s == -2                   ? "libdeflate"
           : s == Z_FILTERED         ? "filtered"
           : s == Z_RLE              ? "rle"
           : s == Z_DEFAULT_STRATEGY ? "default"
                                     : "libpng";
}

// The settings tried: levels 1, 3, 6 and 9 with each strategy and filter
// choice, plus the library defaults.
std::vector<SPngOptions> Settings() {
    std::vector<SPngOptions> out;
    out.push_back({});
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE})
        for (int level : {1, 3, 6, 9})
            for (EFilter f :
                 {EFilter::None, EFilter::Sub, EFilter::Up, EFilter::Paeth, EFilter::Adaptive}) {
                // Z_RLE ignores the level; one level stands for all.
                if (strategy == Z_RLE && level != 1) continue;
                out.push_back({level, strategy, f});
            }
    // Palette pictures through libdeflate, unfiltered.
    for (int level : {1, 3, 6, 9, 12}) out.push_back({level, -1, EFilter::None, true});
    return out;
}

const bool kRegistered = [] {
    for (const auto& [kind, set] : {std::pair{"Menu", &MenuPictures},
                                    std::pair{"Dithered", &Dithered}, std::pair{"Photo", &Photo}})
        for (const SPngOptions& o : Settings()) {
            if (o.wholeBuffer && set == &Photo) continue;
            const std::string name = std::string(kind) + "/level:" + std::to_string(o.level) + "/" +
                                     StrategyName(o.wholeBuffer ? -2 : o.strategy) + "/" +
                                     FilterName(o.filter);
            benchmark::RegisterBenchmark(("BM_Encode" + name).c_str(),
                                         [set, o](benchmark::State& st) { Encode(st, &set(), o); })
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.2);
        }
    for (const auto& [kind, set] : {std::pair{"Menu", &MenuPictures},
                                    std::pair{"Dithered", &Dithered}, std::pair{"Photo", &Photo}})
        benchmark::RegisterBenchmark(
            (std::string("BM_Decode") + kind).c_str(),
            [set](benchmark::State& st) {
                const auto& pictures = set();
                Decode(st, &pictures,
                       tessel::DefaultPngOptions(pictures.empty() ? tessel::EPixelFormat::Rgb24
                                                                  : pictures.front().Format()));
            })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2);
    return true;
}();

}  // namespace
