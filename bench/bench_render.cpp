// Page composition of a full-HD menu page with 32 buttons (8 groups of 4,
// 180x100 pictures), decoded from an authored stream as a disc gives it: the
// page bitmap (Recompose) and the view picture at zoom 0.5. A display frame
// at 60 Hz lasts 16.7 ms.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "authoring/sample_disc.h"
#include "codec/display_set.h"
#include "codec/segment.h"
#include "model/ig_object.h"
#include "render/page_composer.h"

namespace {

namespace fs = std::filesystem;

tessel::CIgObject& Menu() {
    static std::unique_ptr<tessel::CIgObject> ig = [] {
        tessel::authoring::SMenuOptions options;
        options.pages = 1;
        options.bogsPerPage = 8;
        options.buttonsPerBog = 4;
        options.buttonWidth = 180;
        options.buttonHeight = 100;
        const fs::path pictures =
            fs::temp_directory_path() / ("tessel-bench-render-" + std::to_string(::getpid()));
        tessel::CIgObject authored;
        std::vector<uint8_t> bytes;
        tessel::CResult made = tessel::authoring::AuthorMenu(options, pictures.string(), authored);
        if (made) made = tessel::authoring::MenuStream(authored, bytes);
        std::error_code ec;
        fs::remove_all(pictures, ec);
        auto decoded = std::make_unique<tessel::CIgObject>();
        tessel::CMemorySource source(bytes);
        tessel::CGsData data;
        if (!made || !data.Read(source, false) || decoded->BuildFromStream(data) < 1)
            std::fprintf(stderr, "cannot author the menu: %s\n", made.Message().c_str());
        return decoded;
    }();
    return *ig;
}

tessel::CPage* MarkedPage() {
    tessel::CPage* page = tessel::FirstPage(Menu());
    if (!page) return nullptr;
    // A few marks and a focus, so every pen is drawn.
    std::vector<tessel::CBdButton*> buttons = page->AllButtons();
    for (size_t i = 0; i < buttons.size(); i += 5) buttons[i]->used = 1;
    return page;
}

void BM_Recompose(benchmark::State& state) {
    tessel::CPage* page = MarkedPage();
    if (!page) return state.SkipWithError("no page");
    tessel::CPageComposer composer;
    composer.SetPage(page);
    composer.SetZoomIndex(2);
    composer.SetFocus(0, 0);
    for (auto _ : state) {
        composer.Recompose();
        benchmark::DoNotOptimize(composer.PageBitmap().Data());
    }
    state.counters["buttons"] = static_cast<double>(page->AllButtons().size());
}
BENCHMARK(BM_Recompose)->Unit(benchmark::kMillisecond);

void BM_ViewPictureHalf(benchmark::State& state) {
    tessel::CPage* page = MarkedPage();
    if (!page) return state.SkipWithError("no page");
    tessel::CPageComposer composer;
    composer.SetPage(page);
    composer.SetZoomIndex(2);
    composer.Recompose();
    for (auto _ : state) {
        tessel::Bitmap view = composer.ViewPicture(true);
        benchmark::DoNotOptimize(view.Data());
    }
}
BENCHMARK(BM_ViewPictureHalf)->Unit(benchmark::kMillisecond);

}  // namespace
