// Page composition: the page bitmap, outlines, view picture, hit test and the
// selection rules of a click, over menus built in the model.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "render/page_composer.h"
#include "support/menu_model.h"

namespace tessel {
namespace {

using test::SMenuModel;

constexpr uint32_t kRed = MakeArgb(255, 255, 0, 0);
constexpr uint32_t kGreen = MakeArgb(255, 0, 255, 0);
constexpr uint32_t kBlue = MakeArgb(255, 0, 0, 255);

CPageComposer Composer(CPage* page, int state = 0, bool outlines = false) {
    CPageComposer c;
    c.SetPage(page);
    c.SetState(state);
    c.SetOutlines(outlines);
    c.Recompose();
    return c;
}

TEST(Recompose, ShownButtonStateAndFallbacks) {
    SMenuModel m;
    CBog* bog = m.page->AddNewBog();
    CGraphicObject* red = m.Object(20, 10, 1);
    CGraphicObject* green = m.Object(20, 10, 2);
    m.Button(*bog, 10, 20, red, green);  // no Activated object
    CBog* second = m.page->AddNewBog();
    CBdButton* other = m.Button(*second, 100, 100, m.Object(8, 8, 1));  // Normal only
    CBdButton* current = m.Button(*second, 200, 100, m.Object(8, 8, 3));

    CPageComposer normal = Composer(m.page, 0);
    const Bitmap& p = normal.PageBitmap();
    ASSERT_EQ(p.Width(), 400);
    ASSERT_EQ(p.Height(), 300);
    EXPECT_EQ(p.GetPixel(0, 0), 0u) << "outside every button the page is transparent";
    EXPECT_EQ(p.GetPixel(10, 20), kRed);
    EXPECT_EQ(p.GetPixel(29, 29), kRed);
    EXPECT_EQ(p.GetPixel(30, 29), 0u) << "objects are drawn unscaled";
    EXPECT_EQ(p.GetPixel(100, 100), kRed) << "default valid button of the second group";
    EXPECT_EQ(p.GetPixel(200, 100), 0u) << "only the shown button of a group is drawn";

    EXPECT_EQ(Composer(m.page, 1).PageBitmap().GetPixel(10, 20), kGreen);
    // No Activated object: the Normal one; no Selected object: the Normal one.
    EXPECT_EQ(Composer(m.page, 2).PageBitmap().GetPixel(10, 20), kRed);
    EXPECT_EQ(Composer(m.page, 1).PageBitmap().GetPixel(100, 100), kRed);

    second->currentButton = current;
    EXPECT_EQ(Composer(m.page).PageBitmap().GetPixel(200, 100), kBlue);
    EXPECT_EQ(Composer(m.page).PageBitmap().GetPixel(100, 100), 0u);
    (void)other;
}

TEST(Recompose, FirstOrLastObjectAndPagePalette) {
    SMenuModel m;
    CBog* bog = m.page->AddNewBog();
    CBdButton* b = m.Button(*bog, 0, 0, m.Object(4, 4, 1));
    b->states[0].end.ptr = m.Object(4, 4, 2);
    CPageComposer c = Composer(m.page);
    EXPECT_EQ(c.PageBitmap().GetPixel(1, 1), kRed);
    c.SetFirstObject(false);
    c.Recompose();
    EXPECT_EQ(c.PageBitmap().GetPixel(1, 1), kGreen);

    // The objects' own palettes do not matter; the page's does.
    m.palette->records[0] = {1, 255, 0, 0, 255};
    EXPECT_EQ(Composer(m.page).PageBitmap().GetPixel(1, 1), kBlue);
    // Index 255 is transparent even when the palette names it.
    m.palette->records.push_back({255, 255, 255, 255, 255});
    b->states[0].start.ptr->bitmap->Fill(255);
    EXPECT_EQ(Composer(m.page).PageBitmap().GetPixel(1, 1), 0u);
}

TEST(Recompose, NothingToDraw) {
    {
        SMenuModel m(0, 1080);
        m.Button(*m.page->AddNewBog(), 0, 0, m.Object(4, 4, 1));
        CPageComposer c = Composer(m.page);
        EXPECT_TRUE(c.PageBitmap().IsEmpty()) << "video width 0 gives no page bitmap";
        const Bitmap frame = c.ViewPicture(false);
        ASSERT_FALSE(frame.IsEmpty()) << "the frame is still drawn";
        EXPECT_EQ(frame.GetPixel(0, 0), ArgbOfColourValue(kDefaultBackgroundColour));
    }
    {
        SMenuModel m(720, 0);
        EXPECT_TRUE(Composer(m.page).PageBitmap().IsEmpty());
    }
    CPageComposer none = Composer(nullptr);
    EXPECT_TRUE(none.PageBitmap().IsEmpty());
    EXPECT_EQ(none.ViewPicture(false).Width(), 1920);

    // A group without buttons draws nothing and is never hit.
    SMenuModel m;
    m.page->AddNewBog();
    CBog* bog = m.page->AddNewBog();
    m.Button(*bog, 0, 0, m.Object(50, 50, 1));
    CPageComposer c = Composer(m.page, 0, true);
    EXPECT_EQ(c.HitTest(10, 10), (SButtonHit{1, 0}));
    EXPECT_EQ(c.HitTest(60, 60), SButtonHit{});
}

TEST(Outlines, PensAndWidths) {
    EXPECT_DOUBLE_EQ(MakeOutlinePen(EOutlinePen::Unselected, 0.5).width, 8.0);
    EXPECT_DOUBLE_EQ(MakeOutlinePen(EOutlinePen::Focus, 1.0).width, 4.0);
    EXPECT_DOUBLE_EQ(MakeOutlinePen(EOutlinePen::Selected, 0.125).width, 32.0);
    int hatch = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) hatch += HatchAt(x, y);
    EXPECT_NEAR(hatch / 64.0, 0.70, 0.01) << "the 70 percent pattern";

    // At zoom 0.5 the band is 8 page pixels wide, centred on the edge.
    Bitmap page(200, 200, EPixelFormat::Argb32);
    const SOutlinePen pen = MakeOutlinePen(EOutlinePen::Unselected, 0.5);
    DrawOutline(page, 50, 50, 150, 150, pen);
    auto inked = [&](int x, int y) { return ArgbAlpha(page.GetPixel(x, y)) != 0; };
    EXPECT_FALSE(inked(45, 100));
    for (int x = 46; x < 54; ++x) EXPECT_TRUE(inked(x, 100)) << x;
    EXPECT_FALSE(inked(54, 100));
    EXPECT_FALSE(inked(100, 100)) << "the inside stays clear";
    for (int y = 146; y < 154; ++y) EXPECT_TRUE(inked(100, y)) << y;
    EXPECT_FALSE(inked(100, 154));
    const uint32_t c = page.GetPixel(47, 47);
    EXPECT_TRUE(c == pen.hatch || c == pen.background) << std::hex << c;
}

TEST(Outlines, SelectionAndFocusPens) {
    SMenuModel m(200, 100);
    CBog* a = m.page->AddNewBog();
    CBog* b = m.page->AddNewBog();
    CBdButton* first = m.Button(*a, 20, 20, m.Object(40, 40, 2));
    CBdButton* second = m.Button(*b, 120, 20, m.Object(40, 40, 2));
    auto penAt = [](const Bitmap& p, int x, int y, EOutlinePen kind) {
        const SOutlinePen pen = MakeOutlinePen(kind, 1.0);
        const uint32_t c = p.GetPixel(x, y);
        return c == (HatchAt(x, y) ? pen.hatch : pen.background);
    };
    // An edge pixel outside the object (left edge, 1 pixel out): only the pen.
    CPageComposer c = Composer(m.page, 0, true);
    EXPECT_TRUE(penAt(c.PageBitmap(), 19, 40, EOutlinePen::Unselected));
    EXPECT_TRUE(penAt(c.PageBitmap(), 119, 40, EOutlinePen::Unselected));
    first->used = 1;
    second->used = 1;
    c.SetFocus(1, 0);
    c.Recompose();
    EXPECT_TRUE(penAt(c.PageBitmap(), 19, 40, EOutlinePen::Selected));
    EXPECT_TRUE(penAt(c.PageBitmap(), 119, 40, EOutlinePen::Focus));
    c.SetOutlines(false);
    c.Recompose();
    EXPECT_EQ(c.PageBitmap().GetPixel(19, 40), 0u);
}

TEST(ViewPicture, FrameZoomBackgroundAndSafeAreas) {
    SMenuModel m(1920, 1080);
    m.Button(*m.page->AddNewBog(), 0, 0, m.Object(960, 540, 1));
    CPageComposer c = Composer(m.page);
    c.SetZoom(0.5);
    c.SetBackground(MakeArgb(0, 10, 20, 30));
    const Bitmap v = c.ViewPicture(false);
    ASSERT_EQ(v.Width(), 960);
    ASSERT_EQ(v.Height(), 540);
    EXPECT_EQ(v.GetPixel(100, 100), kRed) << "the page stretched over the frame";
    EXPECT_EQ(v.GetPixel(900, 500), MakeArgb(255, 10, 20, 30)) << "the background made opaque";
    const Bitmap safe = c.ViewPicture(true);
    // The 90 % frame's top edge at y = round(0.05 * 540) = 27.
    int changed = 0;
    for (int x = 480; x < 900; ++x) changed += safe.GetPixel(x, 27) != v.GetPixel(x, 27);
    EXPECT_GT(changed, 300) << "a dashed line";
    EXPECT_LT(changed, 420) << "with gaps";
    EXPECT_EQ(safe.GetPixel(700, 300), v.GetPixel(700, 300));

    c.SetZoom(0.75);
    EXPECT_EQ(c.ScaledWidth(), 1440);
    c.SetZoom(5);
    EXPECT_DOUBLE_EQ(c.Zoom(), 0.75) << "a zoom outside (0, 4] is refused";
    c.SetZoomIndex(4);
    EXPECT_DOUBLE_EQ(c.Zoom(), 0.125);
    EXPECT_EQ(c.ScaledHeight(), 135);
}

TEST(HitTest, ScaledRectanglesAndFirstGroupWins) {
    SMenuModel m(1920, 1080);
    CBog* a = m.page->AddNewBog();
    CBog* b = m.page->AddNewBog();
    m.Button(*a, 100, 100, m.Object(100, 50, 1));
    m.Button(*a, 600, 600, m.Object(10, 10, 1));
    CBdButton* over = m.Button(*b, 150, 120, m.Object(100, 50, 2));
    CPageComposer c = Composer(m.page);
    c.SetZoom(0.5);
    EXPECT_EQ(c.HitTest(50, 50), (SButtonHit{0, 0}));
    EXPECT_EQ(c.HitTest(99, 74), (SButtonHit{0, 0}));
    EXPECT_EQ(c.HitTest(100, 74), (SButtonHit{1, 0})) << "past the first, inside the second";
    EXPECT_EQ(c.HitTest(80, 65), (SButtonHit{0, 0})) << "the overlap goes to the first group";
    EXPECT_EQ(c.HitTest(300, 300), SButtonHit{}) << "a group's other buttons are not shown";
    b->currentButton = over;
    EXPECT_EQ(c.HitTest(124, 84), (SButtonHit{1, 0}));
}

struct SClickFixture : ::testing::Test {
    SClickFixture() {
        a = m.page->AddNewBog();
        b = m.page->AddNewBog();
        x = m.Button(*a, 0, 0, m.Object(10, 10, 1));
        y = m.Button(*b, 50, 0, m.Object(10, 10, 1));
        c.SetPage(m.page);
        c.Recompose();
    }
    SMenuModel m;
    CBog* a;
    CBog* b;
    CBdButton* x;
    CBdButton* y;
    CPageComposer c;
};

TEST_F(SClickFixture, PlainClick) {
    SClickOutcome o = c.Click({0, 0}, EClickKind::Plain);
    EXPECT_TRUE(o.recomposed && o.redraw);
    EXPECT_EQ(o.notify, x);
    EXPECT_EQ(c.Focus(), (SButtonHit{0, 0}));
    EXPECT_TRUE(x->used);
    // The only marked button, focused: nothing to redraw.
    o = c.Click({0, 0}, EClickKind::Plain);
    EXPECT_FALSE(o.redraw);
    EXPECT_EQ(o.notify, nullptr);
    // Another button: the marks move.
    o = c.Click({1, 0}, EClickKind::Plain);
    EXPECT_FALSE(x->used);
    EXPECT_TRUE(y->used);
    EXPECT_EQ(o.notify, y);
    EXPECT_EQ(c.Focus(), (SButtonHit{1, 0}));
    // A marked focus among several marks: clicking it leaves it alone marked.
    x->used = 1;
    o = c.Click({1, 0}, EClickKind::Plain);
    EXPECT_TRUE(o.redraw);
    EXPECT_FALSE(x->used);
}

TEST_F(SClickFixture, CtrlClick) {
    SClickOutcome o = c.Click({0, 0}, EClickKind::Ctrl);
    EXPECT_TRUE(o.redraw);
    o = c.Click({1, 0}, EClickKind::Ctrl);
    EXPECT_TRUE(x->used && y->used) << "Ctrl adds to the marks";
    EXPECT_EQ(c.Focus(), (SButtonHit{1, 0}));
    EXPECT_EQ(o.notify, y);
    o = c.Click({1, 0}, EClickKind::Ctrl);
    EXPECT_FALSE(o.redraw) << "Ctrl on the focus changes nothing";
    EXPECT_TRUE(y->used);
}

TEST_F(SClickFixture, ShiftClick) {
    c.Click({0, 0}, EClickKind::Shift);
    c.Click({1, 0}, EClickKind::Shift);
    EXPECT_TRUE(x->used && y->used);
    EXPECT_EQ(c.Focus(), (SButtonHit{1, 0}));
    // Unmarking the focus moves it to the other marked button.
    SClickOutcome o = c.Click({1, 0}, EClickKind::Shift);
    EXPECT_FALSE(y->used);
    EXPECT_EQ(c.Focus(), (SButtonHit{0, 0}));
    EXPECT_EQ(o.notify, y);
    EXPECT_TRUE(o.redraw);
    // Unmarking the last one: the focus has nowhere to go and stays.
    c.Click({0, 0}, EClickKind::Shift);
    EXPECT_EQ(CountButtonMarks(*m.page), 0);
    EXPECT_EQ(c.Focus(), (SButtonHit{0, 0}));
}

TEST_F(SClickFixture, TreeSelectionAndPageSwitches) {
    CPage* other = m.ds->AddNewPage();
    CBog* og = other->AddNewBog();
    CBdButton* z = m.Button(*og, 0, 0, m.Object(10, 10, 2));
    z->used = 1;
    x->used = 1;
    // A button of a page that is not shown: its page's marks are cleared,
    // the view is untouched.
    EXPECT_FALSE(c.SelectFromTree(*z));
    EXPECT_FALSE(z->used);
    EXPECT_EQ(c.Page(), m.page);
    EXPECT_TRUE(x->used);
    // On the shown page: marked, current in its group, focused.
    EXPECT_TRUE(c.SelectFromTree(*y));
    EXPECT_FALSE(x->used);
    EXPECT_TRUE(y->used);
    EXPECT_EQ(b->currentButton, y);
    EXPECT_EQ(c.Focus(), (SButtonHit{1, 0}));
    // Double-click rules: a group of the shown page does nothing; another
    // page's button shows that page with the button focused.
    EXPECT_FALSE(c.ShowPageOf(*a));
    EXPECT_TRUE(c.ShowButton(*z));
    EXPECT_EQ(c.Page(), other);
    EXPECT_FALSE(y->used) << "the old page's marks are cleared";
    EXPECT_TRUE(z->used);
    EXPECT_EQ(c.Focus(), (SButtonHit{0, 0}));
    EXPECT_FALSE(c.ShowButton(*z));
    c.ShowPage(*other);
    EXPECT_EQ(c.Focus(), SButtonHit{}) << "a page shown again has no focus";
}

}  // namespace
}  // namespace tessel
