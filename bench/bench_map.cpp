// The map of a large menu: 255 pages of 32 buttons (a grid of 8 columns by
// 4 rows, each button in a group of its own), neighbours along the grid,
// each button leading to the same button of the next page (the last page's
// jump to a title), explored over every reachable state by keys.
#include <benchmark/benchmark.h>

#include <memory>

#include "model/epoch.h"
#include "model/ig_object.h"
#include "player/menu_map.h"

namespace {

using namespace tessel;

CNavCmd SetButtonPage(int button, int page) {
    CNavCmd c;
    const uint8_t bytes[12] = {0x51,
                               0xC0,
                               0,
                               3,
                               0x80,
                               0,
                               static_cast<uint8_t>(button >> 8),
                               static_cast<uint8_t>(button),
                               0x80,
                               0,
                               0,
                               static_cast<uint8_t>(page)};
    std::copy(bytes, bytes + 12, c.bytes);
    return c;
}

CNavCmd JumpTitle(int title) {
    CNavCmd c;
    c.bytes[0] = 0x21;
    c.bytes[1] = 0x81;
    c.bytes[7] = static_cast<uint8_t>(title);
    return c;
}

const CIcData& Menu() {
    static std::unique_ptr<CIgObject> ig = [] {
        auto menu = std::make_unique<CIgObject>();
        CEpoch* epoch = menu->Append(std::make_unique<CEpoch>());
        CDisplaySet* ds = AddDisplaySet(*epoch);
        constexpr int kPages = 255, kColumns = 8, kRows = 4;
        for (int p = 0; p < kPages; ++p) {
            CPage* page = ds->AddNewPage();
            page->id = p;
            CBdButton* grid[kColumns][kRows];
            for (int c = 0; c < kColumns; ++c)
                for (int r = 0; r < kRows; ++r) {
                    CBog* bog = page->AddNewBog();
                    CBdButton* b = bog->AddNewButton();
                    b->id = c * kRows + r;
                    bog->defaultValid = {b, b->id};
                    grid[c][r] = b;
                    b->commands.records.push_back(p + 1 < kPages ? SetButtonPage(b->id, p + 1)
                                                                 : JumpTitle(1));
                }
            for (int c = 0; c < kColumns; ++c)
                for (int r = 0; r < kRows; ++r) {
                    CBdButton* n[4] = {
                        grid[c][std::max(0, r - 1)], grid[c][std::min(kRows - 1, r + 1)],
                        grid[std::max(0, c - 1)][r], grid[std::min(kColumns - 1, c + 1)][r]};
                    std::array<CRef<CBdButton>*, 4> refs = grid[c][r]->neighbors.refs();
                    for (int i = 0; i < 4; ++i) *refs[static_cast<size_t>(i)] = {n[i], n[i]->id};
                }
            page->defaultSelected = {grid[0][0], 0};
        }
        return menu;
    }();
    return *ig->GetAt(0)->GetAt(0);
}

void BM_MapLargeMenu(benchmark::State& state) {
    const CIcData& menu = Menu();
    size_t edges = 0;
    int states = 0;
    for (auto _ : state) {
        const SMenuMap map = ExploreMenu(menu);
        if (map.boundReached) return state.SkipWithError("bound reached");
        edges = map.edges.size();
        states = map.statesExplored;
    }
    state.counters["states"] = states;
    state.counters["edges"] = static_cast<double>(edges);
}
BENCHMARK(BM_MapLargeMenu)->Unit(benchmark::kMillisecond);

}  // namespace
