// Incremental frames: the frame composer gives the page composer's view
// picture (zoom 1, no outlines), a changed picture redraws only its
// rectangles, and crops and windows cut the pictures.
#include <gtest/gtest.h>

#include <cstring>

#include "render/frame_composer.h"
#include "render/page_composer.h"
#include "support/menu_model.h"

namespace tessel {
namespace {

constexpr uint32_t kTeal = MakeArgb(255, 0, 128, 128);

class FrameComposer : public ::testing::Test {
protected:
    void SetUp() override {
        // Half-transparent white over red where the two pictures overlap.
        first = m.Button(*m.page->AddNewBog(), 10, 20, m.Object(40, 30, 1), m.Object(40, 30, 3));
        second = m.Button(*m.page->AddNewBog(), 30, 30, Striped(50, 20));
    }

    // Rows of index 4 (translucent) and 2 (green) in turn.
    CGraphicObject* Striped(int w, int h) {
        CGraphicObject* o = m.Object(w, h, 4);
        for (int y = 1; y < h; y += 2) o->bitmap->FillRect(0, y, w, 1, 2);
        return o;
    }

    std::vector<SFrameItem> Items(int firstState) {
        return {{first->ShownObject(firstState, false), first->x, first->y, {}, m.palette, {}},
                {second->ShownObject(0, false), second->x, second->y, {}, m.palette, {}}};
    }

    Bitmap View(int firstState) {
        CPageComposer c;
        c.SetPage(m.page);
        c.SetOutlines(false);
        c.SetZoom(1.0);
        c.SetBackground(kTeal);
        c.SetButtonView(
            {nullptr, [&](const CBdButton& b) { return &b == first ? firstState : 0; }});
        c.Recompose();
        return c.ViewPicture(false);
    }

    static bool Same(const Bitmap& a, const Bitmap& b) {
        for (int y = 0; y < a.Height(); ++y)
            if (std::memcmp(a.Row(y), b.Row(y), static_cast<size_t>(a.Width()) * 4)) return false;
        return a.Width() == b.Width() && a.Height() == b.Height();
    }

    test::SMenuModel m;
    CBdButton* first = nullptr;
    CBdButton* second = nullptr;
};

TEST_F(FrameComposer, FramesAreTheViewPictureAndOnlyChangesAreRedrawn) {
    CFrameComposer c(400, 300, kTeal);
    const std::vector<SFrameRect> all = c.Show(Items(0));
    ASSERT_EQ(all.size(), 1u) << "overlapping pictures join into one rectangle";
    EXPECT_EQ(all[0], (SFrameRect{10, 20, 70, 30}));
    EXPECT_TRUE(Same(c.Frame(), View(0)));
    EXPECT_TRUE(c.Show(Items(0)).empty()) << "nothing changed";

    const std::vector<SFrameRect> changed = c.Show(Items(1));
    EXPECT_EQ(changed, (std::vector<SFrameRect>{{10, 20, 40, 30}}));
    EXPECT_TRUE(Same(c.Frame(), View(1)));

    // Only the rectangles asked for are redrawn.
    c.SetItems(Items(0));
    const SFrameRect left{10, 20, 15, 30};
    c.Recompose({&left, 1});
    EXPECT_EQ(c.Frame().GetPixel(24, 25), View(0).GetPixel(24, 25));
    EXPECT_EQ(c.Frame().GetPixel(26, 25), View(1).GetPixel(26, 25));
    c.RecomposeAll();
    EXPECT_TRUE(Same(c.Frame(), View(0)));
    EXPECT_EQ(c.Show({}).size(), 1u) << "the pictures taken away";
    EXPECT_EQ(c.Frame().GetPixel(30, 30), kTeal);
}

TEST_F(FrameComposer, CropsAndWindowsCutThePictures) {
    CGraphicObject* stripes = Striped(50, 20);
    struct SCase {
        std::optional<SFrameRect> crop, window;
        SFrameRect bounds;
    };
    const SCase cases[] = {
        {{}, {}, {100, 100, 50, 20}},
        {SFrameRect{10, 3, 20, 5}, {}, {100, 100, 20, 5}},
        {{}, SFrameRect{90, 110, 30, 100}, {100, 110, 20, 10}},
        {SFrameRect{40, 0, 30, 20}, SFrameRect{0, 0, 105, 300}, {100, 100, 5, 20}},
        {{}, SFrameRect{0, 0, 50, 50}, {}},
    };
    for (const SCase& t : cases) {
        CFrameComposer c(400, 300, kTeal);
        const SFrameItem item{stripes, 100, 100, t.crop, m.palette, t.window};
        EXPECT_EQ(c.Bounds(item), t.bounds);
        c.Show({item});
        const int cx = t.crop ? t.crop->x : 0, cy = t.crop ? t.crop->y : 0;
        const uint32_t green = MakeArgb(255, 0, 255, 0);
        for (int y = 95; y < 130; ++y)
            for (int x = 95; x < 160; ++x) {
                const SFrameRect& b = t.bounds;
                const bool inside = x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height;
                const bool odd = (y - 100 + cy) % 2 == 1;
                const uint32_t want = !inside ? kTeal : odd ? green : BlendOver(0x80FFFFFFu, kTeal);
                ASSERT_EQ(c.Frame().GetPixel(x, y), want) << x << "," << y << " crop x " << cx;
            }
    }
}

TEST_F(FrameComposer, ButtonsAndEffectsBecomeItems) {
    EXPECT_EQ(ButtonItem(*m.page, *first, first->ShownObject(1, false)), Items(1)[0]);
    CEffectSequenceObject& seq = m.page->inEffects;
    CWindowObject* windows[2] = {seq.AddNewWindow(), seq.AddNewWindow()};
    windows[0]->left = 5, windows[0]->top = 6, windows[0]->right = 50, windows[0]->bottom = 60;
    windows[1]->left = 100, windows[1]->right = 400, windows[1]->bottom = 300;
    CEffectObject* effect = seq.AddNewEffect();
    effect->palette.Set(m.palette);
    CGraphicObject* object = m.Object(30, 30, 2);
    CCompositionObject* cropped = effect->AddNewObject();
    cropped->object.Set(object);
    cropped->window.Set(windows[0]);
    cropped->x = 7, cropped->y = 8, cropped->cropped = 1;
    cropped->cropLeft = 2, cropped->cropTop = 3, cropped->cropRight = 12, cropped->cropBottom = 23;
    CCompositionObject* plain = effect->AddNewObject();
    plain->object.Set(object);
    plain->window.Set(windows[1]);
    plain->x = 150;
    EXPECT_EQ(EffectItems(*effect),
              (std::vector<SFrameItem>{
                  {object, 7, 8, SFrameRect{2, 3, 10, 20}, m.palette, SFrameRect{5, 6, 45, 54}},
                  {object, 150, 0, {}, m.palette, SFrameRect{100, 0, 300, 300}}}));
    plain->window.Set(nullptr);
    EXPECT_EQ(EffectItems(*effect).size(), 1u) << "an object without its window is left out";
}

}  // namespace
}  // namespace tessel
