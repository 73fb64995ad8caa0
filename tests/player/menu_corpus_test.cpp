// Real menus through the player and the map: the independently authored
// menu against its truth, and every real composition of the corpus mapped
// and drawn as SVG and PNG.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "authoring/sample_disc.h"
#include "codec/display_set.h"
#include "model/ig_object.h"
#include "player/menu_map.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

const CDisplaySet* FirstDisplaySet(const CIgObject& ig) {
    return ig.GetSize() > 0 && ig.GetAt(0)->GetSize() > 0 ? ig.GetAt(0)->GetAt(0) : nullptr;
}

TEST(MenuCorpus, IndependentMenuWalksAlongItsTruth) {
    TESSEL_REQUIRE_CORPUS();
    const fs::path dir = test::CorpusDir() / "independent" / "menu_a_single_page";
    CIgObject ig;
    ASSERT_TRUE(ig.LoadStream((dir / "menu.ies").string(), true));
    const CDisplaySet* ds = FirstDisplaySet(ig);
    ASSERT_NE(ds, nullptr);
    std::ifstream in(dir / "truth.json");
    const nlohmann::json truth = nlohmann::json::parse(in);
    const auto& pages = truth["ics"]["interactive_composition"]["pages"];

    static const char* const kDirections[] = {"up", "down", "left", "right"};
    int buttons = 0, arrows = 0;
    for (const auto& page : pages)
        for (const auto& bog : page["bogs"])
            for (const auto& b : bog["buttons"]) {
                ++buttons;
                const int id = b["id"];
                for (int d = 0; d < 4; ++d) {
                    const int to = b["neighbors"][kDirections[d]];
                    arrows += to != id;
                    // From the start, walk to the button, then press the key.
                    CMenuPlayer player(*ds);
                    player.Start();
                    for (int guard = 0; player.SelectedId() != id && guard < 8; ++guard)
                        player.Press(EMenuKey::Down);
                    ASSERT_EQ(player.SelectedId(), id) << "every button is reached going down";
                    const SMenuStep step = player.Press(static_cast<EMenuKey>(d));
                    EXPECT_EQ(step.button, to) << "button " << id << " " << kDirections[d];
                }
            }
    const SMenuMap map = ExploreMenu(*ds);
    EXPECT_FALSE(map.boundReached);
    int nodes = 0;
    for (const SMapPage& p : map.pages) nodes += static_cast<int>(p.buttons.size());
    EXPECT_EQ(nodes, buttons);
    int moves = 0;
    for (const SMapEdge& e : map.edges)
        moves += e.key == "up" || e.key == "down" || e.key == "left" || e.key == "right";
    EXPECT_EQ(moves, arrows);
    // Every button leaves the menu for a playlist or title when activated.
    int exits = 0;
    for (const SMapEdge& e : map.edges) exits += e.key == "enter" && e.to.exit.has_value();
    EXPECT_EQ(exits, buttons);
}

TEST(MenuCorpus, EveryRealCompositionMapsWithinTheBound) {
    TESSEL_REQUIRE_CORPUS();
    int payloads = 0;
    for (const auto& entry : fs::directory_iterator(test::CorpusDir() / "discs")) {
        const fs::path path = entry.path() / "ics_payload.bin";
        if (!fs::exists(path)) continue;
        SCOPED_TRACE(path.string());
        ++payloads;
        std::vector<uint8_t> marked;
        ASSERT_EQ(authoring::StreamFromIcsPayload(test::ReadBytes(path), marked).Message(), "");
        CMemorySource source(marked);
        CGsData data;
        ASSERT_TRUE(data.Read(source, false));
        CIgObject ig;
        ASSERT_EQ(ig.BuildFromStream(data), 1);
        const CDisplaySet* ds = FirstDisplaySet(ig);
        ASSERT_NE(ds, nullptr);
        const SMenuMap map = ExploreMenu(*ds);
        EXPECT_FALSE(map.boundReached);
        EXPECT_GT(map.statesExplored, 0);
        size_t mapped = 0, composed = 0;
        for (const SMapPage& p : map.pages) mapped += p.buttons.size();
        for (const auto& page : *ds) composed += page->AllButtons().size();
        EXPECT_EQ(mapped, composed);
        const std::string dot = MapToDot(map);
        EXPECT_FALSE(dot.empty());
        for (const char* format : {"svg", "png"}) {
            if (!MapPicturesAvailable()) break;
            std::vector<uint8_t> picture;
            EXPECT_EQ(RenderDot(dot, format, picture).Message(), "") << format;
            EXPECT_GT(picture.size(), 100u) << format;
        }
    }
    EXPECT_EQ(payloads, 7);
}

}  // namespace
}  // namespace tessel
