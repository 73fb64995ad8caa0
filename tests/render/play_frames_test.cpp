// Clock frames as pictures: composed incrementally exactly as composed
// whole, the first frame as the page composer draws the page, and effects
// cropped and clipped to their windows.
#include <gtest/gtest.h>

#include "model/page.h"
#include "player/menu_clock.h"
#include "render/page_composer.h"
#include "render/play_frames.h"
#include "support/menu_model.h"

namespace tessel {
namespace {

using test::SMenuModel;

constexpr uint32_t kBackground = 0xFF008080u;

bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
    return true;
}

// Two groups of buttons whose Selected state runs over three colours and
// whose Normal state is half-transparent white.
struct SAnimatedMenu {
    SAnimatedMenu() {
        for (int g = 0; g < 2; ++g) {
            CBog* bog = m.page->AddNewBog();
            CBdButton* b = m.Button(*bog, 40 + 60 * g, 30, m.Object(30, 20, 4));
            b->id = g;
            bog->defaultValid = {b, g};
            CGraphicObject* first = m.Object(30, 20, 1);
            m.Object(30, 20, 2);
            CGraphicObject* last = m.Object(30, 20, 3);
            b->states[CBdButton::kSelected].start = {first, first->id};
            b->states[CBdButton::kSelected].end = {last, last->id};
            b->states[CBdButton::kSelected].repeat = true;
            buttons[g] = b;
        }
        for (auto* n : buttons[0]->neighbors.refs()) *n = {buttons[1], 1};
        for (auto* n : buttons[1]->neighbors.refs()) *n = {buttons[0], 0};
        m.page->frameRateCode = 1;
        FrameRateOf(3, rate);
    }
    SMenuModel m;
    CBdButton* buttons[2] = {};
    SFrameRate rate;
};

TEST(PlayFrames, IncrementalFramesEqualWholeOnesAndTheFirstEqualsTheRenderedPage) {
    for (double zoom : {1.0, 0.5}) {
        SCOPED_TRACE(zoom);
        SAnimatedMenu a;
        CMenuClock clock(*a.m.ds, a.rate);
        clock.AddKey(3 * 3600, EMenuKey::Right);
        CPlayFrames incremental(400, 300, zoom, kBackground);
        for (int i = 0; i < 8; ++i) {
            const SMenuFrame& f = clock.Advance();
            SCOPED_TRACE(f.frame);
            incremental.Compose(f);
            if (i > 0) {
                EXPECT_GT(incremental.RedrawnPixels(), 0);
                EXPECT_LE(incremental.RedrawnPixels(), 2 * 30 * 20) << "only the buttons";
            }
            CPlayFrames whole(400, 300, zoom, kBackground);
            whole.Compose(f);
            EXPECT_TRUE(SamePixels(incremental.Picture(), whole.Picture()));
            if (i != 0) continue;
            CPageComposer page;
            page.SetOutlines(false);
            page.SetBackground(kBackground);
            page.SetZoom(zoom);
            CMenuPlayer& player = clock.Player();
            page.SetButtonView({[&](const CBog& bog) { return player.EnabledButton(bog); },
                                [&](const CBdButton& b) { return player.ButtonState(b); }});
            page.SetPage(a.m.page);
            page.Recompose();
            EXPECT_TRUE(SamePixels(incremental.Picture(), page.ViewPicture(false)));
        }
        EXPECT_FALSE(incremental.Compose(clock.Frame())) << "nothing changed";
    }
}

TEST(PlayFrames, EffectObjectsAreCroppedAndClippedToTheirWindows) {
    SMenuModel m;
    CEffectSequenceObject& in = m.page->inEffects;
    CWindowObject* w0 = in.AddNewWindow();
    CWindowObject* w1 = in.AddNewWindow();
    w0->right = w0->bottom = 10;
    w1->id = 1, w1->left = 100, w1->right = 120, w1->bottom = 10;
    CEffectObject* e = in.AddNewEffect();
    e->duration = 3600;
    e->palette = {m.palette, 0};
    CCompositionObject* c0 = e->AddNewObject();
    c0->object = {m.Object(20, 20, 2), 0};
    c0->window = {w0, 0};
    c0->cropped = 1, c0->cropRight = c0->cropBottom = 5;
    CCompositionObject* c1 = e->AddNewObject();
    c1->object = {m.Object(40, 8, 3), 1};
    c1->window = {w1, 1};
    c1->x = 90;
    SFrameRate rate;
    FrameRateOf(3, rate);
    CMenuClock clock(*m.ds, rate);
    const SMenuFrame& f = clock.Advance();
    ASSERT_TRUE(f.effect.has_value());
    CPlayFrames composer(400, 300, 1.0, kBackground);
    composer.Compose(f);
    const Bitmap& plane = composer.Plane();
    struct {
        int x, y;
        uint32_t argb;
    } rows[] = {{2, 2, MakeArgb(255, 0, 255, 0)},
                {6, 6, 0},   // cropped away
                {95, 2, 0},  // outside its window
                {105, 2, MakeArgb(255, 0, 0, 255)},
                {125, 2, 0}};
    for (const auto& r : rows) EXPECT_EQ(plane.GetPixel(r.x, r.y), r.argb) << r.x << "," << r.y;
}

}  // namespace
}  // namespace tessel
