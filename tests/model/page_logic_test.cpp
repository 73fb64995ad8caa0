// Checks with their messages, the page's used objects, automatic neighbours.
#include <gtest/gtest.h>

#include "model/auto_neighbors.h"
#include "model/ic_data.h"
#include "support/test_support.h"

namespace tessel {
namespace {

struct CLog : ILogSink {
    void Log(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

struct SObjects {
    explicit SObjects(int n, int w = 10, int h = 10) {
        for (int i = 0; i < n; ++i) {
            owned.push_back(std::make_unique<CGraphicObject>());
            owned.back()->id = i;
            owned.back()->width = w;
            owned.back()->height = h;
            list.push_back(owned.back().get());
        }
    }
    std::vector<std::unique_ptr<CGraphicObject>> owned;
    CGraphicObjectList list;
};

void SetState(CBdButton* b, int state, int start, int end) {
    b->states[state].start.id = start;
    b->states[state].end.id = end;
}

TEST(ButtonCheck, StateMessages) {
    SObjects objects(4);
    objects.owned[1]->width = 200;
    objects.owned[1]->height = 100;
    objects.owned[2]->width = 200;
    objects.owned[2]->height = 101;
    struct {
        int start, end;
        bool ok;
        const char* line;
    } rows[] = {
        {-1, -1, true, "   Warning:Normal has no graphics"},
        {-1, 0, false, "   Error:Normal has no start graphics"},
        {0, -1, false, "   Error:Normal has no end graphics"},
        {1, 2, false, "   Error:Normal size of button graphics is different"},
        {0, 3, true, ""},
    };
    for (const auto& row : rows) {
        CBdButton b;
        b.name = "Button#1";
        SetState(&b, 0, row.start, row.end);
        SetState(&b, 1, 0, 0);
        SetState(&b, 2, 0, 0);
        b.ResolveRefs(CIdIndex<CBdButton>(), CIdIndex<CGraphicObject>(objects.list));
        CLog log;
        EXPECT_EQ(b.Check("  ", &log), row.ok);
        ASSERT_GE(log.lines.size(), 2u);
        EXPECT_EQ(log.lines[0], "   Button#1...");
        if (*row.line) {
            EXPECT_EQ(log.lines[1], row.line);
        }
        if (row.ok) {
            EXPECT_EQ(log.lines.back(), "   Warning:has no commands");
            EXPECT_EQ(log.lines[log.lines.size() - 2],
                      "   Warning:has no directional buttons defined");
        }
    }
}

TEST(GroupCheck, Messages) {
    CLog log;
    CBog empty;
    empty.name = "Bog#1";
    EXPECT_TRUE(empty.Check(" ", &log));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"  Bog#1...", "  Warning:has no buttons"}));

    CBog g;
    g.name = "Bog#2";
    g.AddNewButton();
    g.defaultValid.Set(nullptr);
    log.lines.clear();
    EXPECT_TRUE(g.Check(" ", &log));
    EXPECT_EQ(log.lines[1], "  Warning:has no display button");
    EXPECT_EQ(log.lines[2], "    Button#1...");
}

TEST(PageCheck, ErrorsAndOverlap) {
    SObjects objects(2, 100, 50);
    CLog log;
    CPage page;
    page.name = "Page#1";
    EXPECT_FALSE(page.Check("", &log));
    EXPECT_EQ(log.lines, (std::vector<std::string>{" Page#1...", " Error:has no buttons"}));

    // Without a log sink the page errors go to a message box.
    {
        test::CMessageCapture capture;
        EXPECT_FALSE(page.Check("", nullptr));
        EXPECT_EQ(capture.Last(), " Error:has no buttons");
    }

    // Two groups whose buttons touch at an edge do not overlap; moved one
    // pixel they do.
    CBdButton* a = page.AddNewBog()->AddNewButton();
    CBdButton* b = page.AddNewBog()->AddNewButton();
    for (CBdButton* btn : {a, b})
        for (int s = 0; s < 3; ++s) SetState(btn, s, 0, 0);
    a->x = 0;
    b->x = 100;
    a->neighbors.right.id = b->id;
    b->neighbors.left.id = a->id;
    ASSERT_TRUE(page.ResolveRefs(objects.list, {}));
    log.lines.clear();
    EXPECT_TRUE(page.Check("", &log));
    EXPECT_EQ(log.lines[1], " Warning:no palette defined, will get from image automatically.");
    b->x = 99;
    log.lines.clear();
    EXPECT_FALSE(page.Check("", &log));
    EXPECT_EQ(log.lines.back(), " Error:Buttons of different group overlapped (Bog#1 - Bog#2)");
}

TEST(PageCheck, PaletteFromSourceAndIdRefresh) {
    SObjects objects(1);
    CPage page;
    page.name = "Page#1";
    CBdButton* a = page.AddNewBog()->AddNewButton();
    for (int s = 0; s < 3; ++s) SetState(a, s, 0, 0);
    page.inEffects.AddNewWindow()->id = 7;
    CCompositionObject* co = page.inEffects.AddNewEffect()->AddNewObject();
    co->window.id = 7;
    ASSERT_TRUE(page.ResolveRefs(objects.list, {}));
    ASSERT_EQ(co->window.ptr, page.inEffects.windows.GetAt(0));
    CNamedObject derived;
    derived.id = 5;
    CLog log;
    EXPECT_TRUE(page.Check("", &log, [&](CPage&) { return &derived; }));
    EXPECT_EQ(page.palette.id, 5);
    EXPECT_EQ(co->window.id, 0);  // windows renumbered
    EXPECT_EQ(page.defaultSelected.id, -1);
}

// A page: group 1 buttons 0 (default valid) and 1; group 2 button 2 (default
// valid); objects 0..11; effect objects 10 and 11.
struct SUsedPage {
    SUsedPage() : objects(12) {
        CBog* g1 = page.AddNewBog();
        b0 = g1->AddNewButton();
        b1 = g1->AddNewButton();
        b2 = page.AddNewBog()->AddNewButton();
        SetState(b0, 0, 0, 0);
        SetState(b0, 1, 1, 1);
        SetState(b0, 2, 2, 2);
        SetState(b1, 0, 3, 3);
        SetState(b1, 1, 4, 5);
        SetState(b1, 2, 0, 0);  // already collected
        SetState(b2, 0, 8, 6);  // reversed range
        SetState(b2, 1, 7, 7);
        SetState(b2, 2, -1, 9);  // null start: nothing
        page.inEffects.AddNewEffect()->AddNewObject()->object.id = 10;
        page.outEffects.AddNewEffect()->AddNewObject()->object.id = 11;
    }
    std::vector<int> Ids(int* split) {
        EXPECT_TRUE(page.ResolveRefs(objects.list, {}));
        std::vector<int> ids;
        for (auto* o : page.UsedObjects(objects.list, split)) ids.push_back(o->id);
        return ids;
    }
    SObjects objects;
    CPage page;
    CBdButton *b0, *b1, *b2;
};

TEST(UsedObjects, OrderAndSplit) {
    SUsedPage p;
    int split = -2;
    EXPECT_EQ(p.Ids(&split), (std::vector<int>{10, 0, 6, 7, 8, 1, 2, 3, 4, 5, 11}));
    EXPECT_EQ(split, 6);  // last object up to the activated states
    p.page.defaultSelected.id = p.b1->id;
    EXPECT_EQ(p.Ids(&split), (std::vector<int>{10, 0, 6, 7, 8, 4, 5, 1, 2, 11}));
    EXPECT_EQ(split, 5);  // first object of the default selected state
    // Used marks are reset before each collection.
    EXPECT_EQ(p.Ids(&split).size(), 10u);
}

TEST(AutoNeighbors, ByOrder) {
    CPage page;
    std::vector<CBdButton*> b;
    for (int i = 0; i < 3; ++i) b.push_back(page.AddNewBog()->AddNewButton());
    page.AddNewBog();  // no default valid button: skipped
    EXPECT_TRUE(AutoNeighbors(page, 1));
    EXPECT_EQ(b[0]->neighbors.upper.ptr, b[2]);
    EXPECT_EQ(b[0]->neighbors.left.ptr, b[2]);
    EXPECT_EQ(b[0]->neighbors.lower.ptr, b[1]);
    EXPECT_EQ(b[2]->neighbors.right.ptr, b[0]);
    EXPECT_EQ(b[1]->neighbors.lower.id, b[2]->id);
    EXPECT_FALSE(AutoNeighbors(page, 1));

    CPage single;
    single.AddNewBog()->AddNewButton();
    EXPECT_FALSE(AutoNeighbors(single, 1));
}

TEST(AutoNeighbors, ByGeometry) {
    // A 2 x 2 grid of 100 x 50 buttons, 20 pixels apart, one per group, plus
    // a second button in the first group.
    SObjects objects(1, 100, 50);
    CPage page;
    std::vector<CBdButton*> b;
    for (int i = 0; i < 4; ++i) {
        CBdButton* btn = page.AddNewBog()->AddNewButton();
        btn->x = static_cast<uint16_t>((i % 2) * 120);
        btn->y = static_cast<uint16_t>((i / 2) * 70);
        for (int s = 0; s < 3; ++s) SetState(btn, s, 0, 0);
        b.push_back(btn);
    }
    CBdButton* extra = page.GetAt(0)->AddNewButton();
    ASSERT_TRUE(page.ResolveRefs(objects.list, {}));
    EXPECT_TRUE(AutoNeighbors(page, 0));
    // Top-left: right is top-right, left wraps to the same row's far end,
    // lower is bottom-left, upper wraps.
    EXPECT_EQ(b[0]->neighbors.right.ptr, b[1]);
    EXPECT_EQ(b[0]->neighbors.left.ptr, b[1]);
    EXPECT_EQ(b[0]->neighbors.lower.ptr, b[2]);
    EXPECT_EQ(b[0]->neighbors.upper.ptr, b[2]);
    EXPECT_EQ(b[3]->neighbors.left.ptr, b[2]);
    EXPECT_EQ(b[3]->neighbors.upper.ptr, b[1]);
    // Every button of the group gets its default button's targets.
    EXPECT_EQ(extra->neighbors.right.ptr, b[1]);
    EXPECT_FALSE(AutoNeighbors(page, 0));
}

TEST(AutoNeighbors, DiagonalUsesSmallestRatio) {
    // B at the origin; C1 to the right and slightly lower, C2 further right
    // and much lower: C1 is the right neighbour.
    SObjects objects(1, 10, 10);
    CPage page;
    auto add = [&](int x, int y) {
        CBdButton* btn = page.AddNewBog()->AddNewButton();
        btn->x = static_cast<uint16_t>(x);
        btn->y = static_cast<uint16_t>(y);
        SetState(btn, 0, 0, 0);
        return btn;
    };
    CBdButton* b = add(0, 0);
    CBdButton* c1 = add(50, 20);
    CBdButton* c2 = add(100, 80);
    ASSERT_TRUE(page.ResolveRefs(objects.list, {}));
    AutoNeighbors(page, 0);
    EXPECT_EQ(b->neighbors.right.ptr, c1);
    EXPECT_EQ(c2->neighbors.left.ptr, b);  // ratio 80/100 beats 60/50
    EXPECT_EQ(b->neighbors.left.ptr, nullptr);
}

TEST(ButtonGeometry, SizeShownObjectAndUses) {
    SObjects objects(6, 30, 20);
    CBdButton b;
    b.x = 5;
    b.y = 7;
    int l, t, r, bt;
    EXPECT_FALSE(b.GetRect(l, t, r, bt));
    SetState(&b, 1, 2, 4);
    SetState(&b, 2, -1, -1);
    b.ResolveRefs(CIdIndex<CBdButton>(), CIdIndex<CGraphicObject>(objects.list));
    EXPECT_TRUE(b.GetRect(l, t, r, bt));
    EXPECT_EQ(std::vector<int>({l, t, r, bt}), std::vector<int>({5, 7, 35, 27}));
    EXPECT_EQ(b.ShownObject(CBdButton::kSelected, true), objects.owned[4].get());
    EXPECT_EQ(b.ShownObject(CBdButton::kActivated, false), nullptr);
    SetState(&b, 0, 1, 1);
    b.ResolveRefs(CIdIndex<CBdButton>(), CIdIndex<CGraphicObject>(objects.list));
    EXPECT_EQ(b.ShownObject(CBdButton::kActivated, false), objects.owned[1].get());
    EXPECT_TRUE(b.UsesObjectId(3));
    EXPECT_FALSE(b.UsesObjectId(5));
    EXPECT_FALSE(b.UsesObjectId(-1));
}

}  // namespace
}  // namespace tessel
