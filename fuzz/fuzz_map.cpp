// Map drawing over fuzzed menus, as `tessel map --format svg|png` and the
// window's map draw it: the tree of a marked-form stream, the map of its
// first composition explored to a small state bound, its DOT text laid out
// by Graphviz's library and rendered as SVG and PNG, and once more as the
// window's picture with its node boxes.
#include <string>
#include <vector>

#include "codec/display_set.h"
#include "fuzz_support.h"
#include "model/epoch.h"
#include "model/ig_object.h"
#include "player/menu_map.h"

namespace {

using namespace tessel;

constexpr int kStateBound = 16;
// Layout time grows faster than the nodes: larger maps are drawn by the
// corpus test, not here.
constexpr size_t kMaxButtons = 48;

void Draw(const CIcData& composition) {
    const SMenuMap map = ExploreMenu(composition, kStateBound);
    const std::string dot = MapToDot(map);
    size_t buttons = 0;
    for (const SMapPage& p : map.pages) buttons += p.buttons.size();
    if (!MapPicturesAvailable() || buttons > kMaxButtons) return;
    for (const char* format : {"svg", "png"}) {
        std::vector<uint8_t> out;
        if (RenderDot(dot, format, out)) fuzz::Require(out.size() > 8, "a drawn map has bytes");
    }
    SMapPicture picture;
    if (RenderMapPicture(dot, picture)) {
        fuzz::Require(picture.width > 0 && picture.height > 0, "a picture has a size");
        for (const SMapNodeBox& box : picture.nodes)
            fuzz::Require(box.width >= 0 && box.height >= 0, "a node box has a size");
    }
}

}  // namespace

TESSEL_FUZZ_MAX_LEN(16384)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    CMemorySource source({data, size});
    CGsData gs;
    if (!gs.Read(source, false)) return 0;
    if (fuzz::DeclaredPixels(gs.epochs) > fuzz::kModelPixelCap) return 0;
    CIgObject ig;
    ig.BuildFromStream(gs);
    for (const auto& epoch : ig)
        for (const auto& ds : *epoch)
            if (ds->GetSize() > 0) {
                Draw(*ds);
                return 0;
            }
    return 0;
}
