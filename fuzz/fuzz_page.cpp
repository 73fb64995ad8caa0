// Page composition over fuzzed menus: every page of the tree built from a
// marked-form stream composed in each state, drawn as the view shows it, hit
// tested and clicked, as `tessel render` and the page view do.
#include <algorithm>

#include "codec/display_set.h"
#include "fuzz_support.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "render/page_composer.h"

TESSEL_FUZZ_MAX_LEN(8192)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    CMemorySource source({data, size});
    CGsData gs;
    if (!gs.Read(source, false) || fuzz::DeclaredPixels(gs.epochs) > fuzz::kModelPixelCap) return 0;
    CIgObject ig;
    ig.BuildFromStream(gs);
    // The composer draws on a canvas of the video's size: a small one keeps
    // each composition cheap (buttons beyond it take the clipping paths).
    ig.video.width = std::min<uint16_t>(ig.video.width, 320);
    ig.video.height = std::min<uint16_t>(ig.video.height, 180);
    int pages = 0;
    for (CPage* page : PagesById(ig)) {
        if (++pages > 4) break;
        CPageComposer composer;
        composer.SetZoomIndex(4);
        composer.SetPage(page);
        for (int state = 0; state < 3; ++state) {
            composer.SetState(state);
            composer.SetFirstObject(state != 1);
            composer.Recompose();
            // The view's scaling is the same for every state: once a page.
            if (state == 0) {
                const Bitmap view = composer.ViewPicture(true);
                (void)view;
            }
        }
        const int w = composer.ScaledWidth(), h = composer.ScaledHeight();
        const int points[][2] = {{w / 2, h / 2}, {w / 3, h / 4}, {0, 0}, {w - 1, h - 1}};
        EClickKind kind = EClickKind::Plain;
        for (const auto& p : points) {
            const SButtonHit hit = composer.HitTest(p[0], p[1]);
            composer.Click(hit, kind);
            kind = kind == EClickKind::Plain ? EClickKind::Shift : EClickKind::Ctrl;
        }
        // Each selection recomposes the page: the first button of a few
        // groups.
        int groups = 0;
        for (const auto& bog : *page) {
            if (++groups > 4) break;
            if (bog->GetSize() > 0) composer.SelectFromTree(*bog->GetAt(0));
        }
    }
    return 0;
}
