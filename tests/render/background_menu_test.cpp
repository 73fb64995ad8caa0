// Generated menus with a background picture: the frame is tiled by the groups
// without overlaps, the menu's buttons keep their ids, neighbours and
// commands, the tiles cannot be reached, and the composed page is opaque but
// for the cells of the buttons its groups do not show; the first page's motion
// (object runs, repeat flags, the wipe's in-effects) comes back from the stream.
#include <gtest/gtest.h>

#include <set>

#include "authoring/sample_disc.h"
#include "codec/segment.h"
#include "model/ig_object.h"
#include "render/page_composer.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using authoring::SMenuOptions;

// Four columns of eight buttons: the last column ends at the right edge of the
// frame (no right margin) and its cells and the bottom row of cells cross the
// frame line of the picture.
SMenuOptions WideOptions() {
    return {.pages = 2,
            .bogsPerPage = 4,
            .buttonsPerBog = 8,
            .buttonWidth = 420,
            .buttonHeight = 80,
            .background = true};
}

CPage* PageOf(CIgObject& ig, int p) {
    return ig.GetAt(0)->GetAt(0)->GetAt(p);
}

struct SRectI {
    int l, t, r, b;
};

SRectI Rect(const CBog& g) {
    SRectI r{};
    EXPECT_TRUE(g.GetRect(r.l, r.t, r.r, r.b));
    return r;
}

// Menus authored into a temporary folder, each in its own sub-folder.
class BackgroundMenu : public ::testing::Test {
protected:
    CResult Author(const SMenuOptions& options, CIgObject& ig, const char* folder = "p") {
        return authoring::AuthorMenu(options, (dir.Path() / folder).string(), ig);
    }

    test::CTempDir dir;
    const SMenuOptions o = WideOptions();
};

TEST_F(BackgroundMenu, GroupsTileTheFrameWithoutOverlapAndTheStreamIsWritten) {
    CIgObject ig;
    ASSERT_EQ(Author(o, ig).Message(), "");
    for (int p = 0; p < o.pages; ++p) {
        CPage* page = PageOf(ig, p);
        // Top band, bottom band, left margin and three gaps; no right margin.
        ASSERT_EQ(page->GetSize(), o.bogsPerPage + 6);
        int64_t area = 0;
        for (int i = 0; i < page->GetSize(); ++i) {
            const SRectI a = Rect(*page->GetAt(i));
            EXPECT_GE(a.l, 0);
            EXPECT_GE(a.t, 0);
            EXPECT_LE(a.r, o.videoWidth);
            EXPECT_LE(a.b, o.videoHeight);
            area += int64_t{a.r - a.l} * (a.b - a.t);
            for (int j = i + 1; j < page->GetSize(); ++j) {
                const SRectI b = Rect(*page->GetAt(j));
                EXPECT_FALSE(std::min(a.r, b.r) > std::max(a.l, b.l) &&
                             std::min(a.b, b.b) > std::max(a.t, b.t))
                    << "groups " << i << " and " << j;
            }
        }
        // Disjoint and inside the frame with the frame's area: they cover it.
        EXPECT_EQ(area, int64_t{o.videoWidth} * o.videoHeight);
        // A menu group is covered by its buttons: their areas add up to its own.
        for (int k = 0; k < o.bogsPerPage; ++k) {
            const CBog& g = *page->GetAt(k);
            const SRectI r = Rect(g);
            int64_t cells = 0;
            for (const auto& b : g.items) {
                int l, t, rr, bb;
                ASSERT_TRUE(b->GetRect(l, t, rr, bb));
                cells += int64_t{rr - l} * (bb - t);
            }
            EXPECT_EQ(cells, int64_t{r.r - r.l} * (r.b - r.t));
        }
    }
    std::vector<uint8_t> marked;
    EXPECT_EQ(authoring::MenuStream(ig, marked).Message(), "");
    EXPECT_FALSE(marked.empty());
}

TEST_F(BackgroundMenu, MenuButtonsAsWithoutBackgroundAndTilesUnreachable) {
    CIgObject with, without;
    SMenuOptions plain{.pages = 2, .bogsPerPage = 3, .buttonsPerBog = 2, .background = true};
    ASSERT_EQ(Author(plain, with, "a").Message(), "");
    plain.background = false;
    ASSERT_EQ(Author(plain, without, "b").Message(), "");
    const int menuButtons = plain.bogsPerPage * plain.buttonsPerBog;
    auto id = [](const CRef<CBdButton>& r) { return r.ptr ? r.ptr->id : -2; };
    for (int p = 0; p < plain.pages; ++p) {
        CPage* a = PageOf(with, p);
        CPage* b = PageOf(without, p);
        ASSERT_EQ(b->GetSize(), plain.bogsPerPage);
        ASSERT_GT(a->GetSize(), plain.bogsPerPage);
        ASSERT_TRUE(a->defaultSelected.ptr);
        EXPECT_EQ(a->defaultSelected.ptr->id, b->defaultSelected.ptr->id);
        std::set<const CBdButton*> targets;
        for (int k = 0; k < plain.bogsPerPage; ++k) {
            ASSERT_EQ(a->GetAt(k)->GetSize(), b->GetAt(k)->GetSize());
            EXPECT_EQ(a->GetAt(k)->defaultValid.ptr->id, b->GetAt(k)->defaultValid.ptr->id);
            for (int j = 0; j < plain.buttonsPerBog; ++j) {
                CBdButton* x = a->GetAt(k)->GetAt(j);
                CBdButton* y = b->GetAt(k)->GetAt(j);
                EXPECT_EQ(x->id, y->id);
                EXPECT_EQ(x->numericSelectValue, y->numericSelectValue);
                EXPECT_EQ(x->x, y->x);
                for (size_t n = 0; n < 4; ++n) {
                    EXPECT_EQ(id(*x->neighbors.refs()[n]), id(*y->neighbors.refs()[n]));
                    targets.insert(x->neighbors.refs()[n]->ptr);
                }
                ASSERT_EQ(x->commands.records.size(), y->commands.records.size());
                for (size_t c = 0; c < x->commands.records.size(); ++c)
                    EXPECT_TRUE(std::equal(x->commands.records[c].bytes,
                                           x->commands.records[c].bytes + 12,
                                           y->commands.records[c].bytes));
                // Every state has its picture, one cell of the same size.
                const CGraphicObject* normal = x->states[CBdButton::kNormal].start.ptr;
                ASSERT_TRUE(normal);
                EXPECT_EQ(normal->width, plain.buttonWidth);
                EXPECT_GT(normal->height, plain.buttonHeight);
                for (const auto& s : x->states) {
                    ASSERT_TRUE(s.start.ptr);
                    EXPECT_EQ(s.start.ptr->height, normal->height);
                }
            }
        }
        std::set<int32_t> ids;
        for (int k = 0; k < a->GetSize(); ++k)
            for (const auto& btn : a->GetAt(k)->items) EXPECT_TRUE(ids.insert(btn->id).second);
        for (int k = plain.bogsPerPage; k < a->GetSize(); ++k) {
            const CBog& g = *a->GetAt(k);
            ASSERT_EQ(g.GetSize(), 1);
            const CBdButton* t = g.GetAt(0);
            EXPECT_EQ(g.defaultValid.ptr, t);
            EXPECT_GE(t->id, menuButtons);
            EXPECT_EQ(t->commands.records.size(), 0u);
            EXPECT_EQ(t->numericSelectValue, 0xFFFF);
            EXPECT_NE(a->defaultSelected.ptr, t);
            EXPECT_FALSE(targets.count(t)) << t->name;
            for (auto* n : const_cast<CBdButton*>(t)->neighbors.refs()) EXPECT_EQ(n->ptr, t);
            EXPECT_TRUE(t->states[CBdButton::kNormal].start.ptr);
            EXPECT_FALSE(t->states[CBdButton::kSelected].start.ptr);
            EXPECT_FALSE(t->states[CBdButton::kActivated].start.ptr);
        }
    }
}

TEST_F(BackgroundMenu, ComposedPageIsOpaqueButForTheHiddenButtonsAndHasItsTitle) {
    CIgObject ig;
    ASSERT_EQ(Author(o, ig).Message(), "");
    CPage* page = PageOf(ig, 1);
    // A group shows one of its buttons: first the top ones, then the bottom ones.
    for (bool bottomShown : {false, true})
        for (int state = 0; state < 3; ++state) {
            int64_t hidden = 0;
            for (int k = 0; k < o.bogsPerPage; ++k) {
                CBog& g = *page->GetAt(k);
                g.defaultValid.Set(bottomShown ? g.items.back().get() : g.items.front().get());
                for (const auto& b : g.items)
                    if (b.get() != g.defaultValid.ptr) {
                        int l, t, r, btm;
                        ASSERT_TRUE(b->GetRect(l, t, r, btm));
                        hidden += int64_t{r - l} * (btm - t);
                    }
            }
            CPageComposer c;
            c.SetPage(page);
            c.SetState(state);
            c.Recompose();
            const Bitmap& bmp = c.PageBitmap();
            ASSERT_EQ(bmp.Width(), o.videoWidth);
            ASSERT_EQ(bmp.Height(), o.videoHeight);
            // Opaque everywhere but in the cells of the buttons not shown.
            int64_t holes = 0;
            for (int y = 0; y < bmp.Height(); ++y)
                for (int x = 0; x < bmp.Width(); ++x)
                    if ((bmp.GetPixel(x, y) >> 24) != 0xFF) ++holes;
            EXPECT_EQ(holes, hidden) << "state " << state;
            // The title: white pixels in the top band.
            int white = 0;
            const SRectI top = Rect(*page->GetAt(o.bogsPerPage));
            for (int y = top.t; y < top.b; ++y)
                for (int x = top.l; x < top.r; ++x)
                    if (bmp.GetPixel(x, y) == 0xFFFFFFFFu) ++white;
            EXPECT_GT(white, 100);
        }
}

TEST_F(BackgroundMenu, ButtonsThatDoNotFitTheFrameAreRefused) {
    CIgObject ig;
    SMenuOptions wide = o;
    wide.bogsPerPage = 5;
    const CResult refused = Author(wide, ig);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.Message().find("fit"), std::string::npos) << refused.Message();
    wide = o;
    wide.buttonsPerBog = 9;
    EXPECT_FALSE(Author(wide, ig, "q"));
    // Without a background the same buttons are authored (clamped to the frame).
    wide.background = false;
    EXPECT_EQ(Author(wide, ig, "r").Message(), "");
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// The first page's motion survives the stream: runs of consecutive objects
// with their repeat flags, the animation code and the wipe's cropped
// in-effects over the title band.
TEST(MenuMotion, RunsAndWipeInComeBackFromTheStream) {
    test::CTempDir dir;
    CIgObject authored;
    SMenuOptions o = WideOptions();
    o.animationFrames = 4;
    o.wipeIn = true;
    ASSERT_EQ(authoring::AuthorMenu(o, (dir.Path() / "p").string(), authored).Message(), "");
    std::vector<uint8_t> marked;
    ASSERT_EQ(authoring::MenuStream(authored, marked).Message(), "");
    CMemorySource source(marked);
    CGsData data;
    CIgObject ig;
    ASSERT_TRUE(data.Read(source, false));
    ASSERT_EQ(ig.BuildFromStream(data), 1);
    const CPage& first = *PageOf(ig, 0);
    EXPECT_EQ(first.frameRateCode, 3);
    const std::vector<CBdButton*> buttons = first.AllButtons();
    struct SRun {
        int button, state, length;
        bool repeat;
    };
    for (const SRun& r :
         {SRun{0, 1, 4, false}, SRun{1, 0, 4, true}, SRun{0, 0, 1, false}, SRun{2, 1, 1, false}}) {
        const CButtonStateInfo& s = buttons[static_cast<size_t>(r.button)]->states[r.state];
        EXPECT_EQ(s.end.id - s.start.id + 1, r.length) << r.button << "/" << r.state;
        EXPECT_EQ(s.repeat, r.repeat) << r.button << "/" << r.state;
    }
    const CEffectSequenceObject& in = first.inEffects;
    ASSERT_EQ(in.GetSize(), 4);
    ASSERT_EQ(in.windows.GetSize(), 1);
    const CWindowObject& w = *in.windows.items[0];
    EXPECT_EQ(w.right - w.left, o.videoWidth);
    // The band is the first background tile's picture.
    const CBdButton& band = *PageOf(ig, 0)->GetAt(o.bogsPerPage)->GetAt(0);
    for (int i = 0; i < 4; ++i) {
        const CCompositionObject& co = *in.items[static_cast<size_t>(i)]->items[0];
        EXPECT_TRUE(co.cropped);
        EXPECT_EQ(co.cropRight - co.cropLeft, o.videoWidth * (i + 1) / 4);
        EXPECT_EQ(co.cropBottom - co.cropTop, w.bottom - w.top);
        EXPECT_EQ(co.object.id, band.states[0].start.id);
    }
    EXPECT_EQ(PageOf(ig, 1)->inEffects.GetSize(), 0);
    EXPECT_EQ(PageOf(ig, 1)->frameRateCode, 0);
}

}  // namespace
}  // namespace tessel
