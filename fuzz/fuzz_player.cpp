// The menu player over fuzzed menus, as `tessel walk` and `tessel map` use
// it: the tree of a marked-form stream, then for each composition with a
// page a walk by the keys the input's tail gives, its map explored to a
// small state bound, and a play of it on the menu clock with the same keys
// one a frame (effects, animations, activations and time-outs in time).
//
// Input: <marked stream> <key bytes> <n>, where the last byte n gives the
// number of key bytes before it (n % 33). Each key byte: low three bits the
// action (0-3 arrows, 4 Enter, 5 Show of a page and button, 6 a register
// write, 7 a fresh Start), the high bits its operand.
#include <algorithm>
#include <string>

#include "codec/display_set.h"
#include "fuzz_support.h"
#include "model/epoch.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "player/menu_clock.h"
#include "player/menu_map.h"
#include "player/menu_player.h"

namespace {

using namespace tessel;

constexpr size_t kMaxKeys = 32;
constexpr int kStateBound = 16;
constexpr int kMaxCompositions = 2;
constexpr int kPlayFrames = 96;

void CheckStep(const CMenuPlayer& player, const SMenuStep& step) {
    fuzz::Require(step.page == player.PageId(), "a step names the page it left the player on");
    fuzz::Require(step.button == player.SelectedId(), "a step names the button it left selected");
    fuzz::Require(!player.Selected() || player.IsEnabled(*player.Selected()),
                  "the selected button is enabled");
    if (step.exit) fuzz::Require(player.Ended(), "a step with an exit ends the walk");
}

// The map's text takes the same paths for every map: the first one only.
void Walk(const CIcData& composition, const uint8_t* keys, size_t count, bool withDot) {
    CMenuPlayer player(composition);
    CheckStep(player, player.Start());
    for (size_t i = 0; i < count; ++i) {
        const uint8_t k = keys[i];
        const int operand = k >> 3;
        switch (k & 7) {
            case 5: {
                // A page and button of the composition (or a missing one).
                const int pages = composition.GetSize();
                const int page =
                    operand & 1 || !pages ? 0xFF : composition.GetAt((operand >> 1) % pages)->id;
                CheckStep(player, player.Show(page, operand >> 2));
                break;
            }
            case 6:
                // The selected-button and page registers, and GPRs the
                // commands read.
                if (operand & 1)
                    player.SetRegister(true, operand & 2 ? kPsrSelectedButton : kPsrPage,
                                       static_cast<uint32_t>(operand >> 2));
                else
                    player.SetRegister(false, (operand >> 1) & 7, static_cast<uint32_t>(operand));
                break;
            case 7:
                CheckStep(player, player.Start());
                break;
            default:
                CheckStep(player, player.Press(static_cast<EMenuKey>(std::min(k & 7, 4))));
                break;
        }
    }
    (void)player.StateKey();

    // The keys in time: key i at frame 2i, every key of the remote.
    SFrameRate rate;
    FrameRateOf(1, rate);
    CMenuClock clock(composition, rate);
    for (size_t i = 0; i < count; ++i)
        clock.AddKey(clock.PtsOf(static_cast<int64_t>(2 * i)),
                     static_cast<EMenuKey>(keys[i] % kMenuKeyCount));
    for (int f = 0; f < kPlayFrames; ++f) {
        const SMenuFrame& frame = clock.Advance();
        fuzz::Require(frame.frame == f, "the clock shows every frame in turn");
        fuzz::Require(frame.visible || frame.buttons.empty(), "a hidden menu shows no button");
        fuzz::Require(!frame.effect || frame.buttons.empty(), "no button while an effect runs");
    }

    const SMenuMap map = ExploreMenu(composition, kStateBound);
    fuzz::Require(map.statesExplored <= kStateBound, "the map stops at its state bound");
    if (withDot) {
        const std::string dot = MapToDot(map);
        (void)dot;
    }
}

}  // namespace

TESSEL_FUZZ_MAX_LEN(16384)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    if (size == 0) return 0;
    const size_t keyCount = std::min<size_t>(data[size - 1] % (kMaxKeys + 1), size - 1);
    const size_t streamSize = size - 1 - keyCount;
    const uint8_t* keys = data + streamSize;
    CMemorySource source({data, streamSize});
    CGsData gs;
    if (!gs.Read(source, false)) return 0;
    // Only the first compositions are walked: the display sets after them
    // would only add to the tree's work.
    int compositions = 0;
    for (size_t e = 0; e < gs.epochs.size(); ++e) {
        auto& sets = gs.epochs[e]->items;
        for (size_t d = 0; d < sets.size(); ++d)
            if (sets[d]->icsList && !sets[d]->icsList->IsEmpty() &&
                ++compositions == kMaxCompositions) {
                sets.resize(d + 1);
                gs.epochs.resize(e + 1);
                break;
            }
        if (compositions == kMaxCompositions) break;
    }
    if (fuzz::DeclaredPixels(gs.epochs) > fuzz::kModelPixelCap) return 0;
    CIgObject ig;
    ig.BuildFromStream(gs);
    int walked = 0;
    for (const auto& epoch : ig)
        for (const auto& ds : *epoch) {
            if (ds->GetSize() == 0) continue;
            if (++walked > kMaxCompositions) return 0;
            Walk(*ds, keys, keyCount, walked == 1);
        }
    return 0;
}
