// Building the menu model from display sets as read and writing it back:
// palettes and objects taken from the segments, composition states, time
// stamps, several epochs, objects split over several ODS, page palettes.
#include <gtest/gtest.h>

#include <random>

#include "codec/colour.h"
#include "model/ig_object.h"
#include "platform/image_io.h"
#include "support/recorders.h"
#include "support/test_support.h"

namespace tessel {
namespace {

constexpr uint32_t kColours[] = {MakeArgb(255, 20, 20, 20), MakeArgb(255, 200, 40, 40),
                                 MakeArgb(255, 40, 200, 40), MakeArgb(255, 40, 40, 200)};

// An indexed picture: stripes of the four colours, or (noisy) a random index
// below 200 per pixel, which codes to several ODS for a few hundred pixels
// square.
std::shared_ptr<Bitmap> Picture(int w, int h, bool noisy = false, uint32_t seed = 1) {
    auto b = std::make_shared<Bitmap>(w, h, EPixelFormat::Indexed8);
    SPalette pal;
    pal.entries.assign(std::begin(kColours), std::end(kColours));
    b->SetPalette(pal);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b->SetIndex(x, y, static_cast<uint8_t>(noisy ? rng() % 200 : (y / 8) % 4));
    return b;
}

// Model builder: objects hold bitmaps, so no image files are involved.
struct SMenu {
    explicit SMenu(uint16_t w = 1920, uint16_t h = 1080, uint8_t rate = 1) {
        ig.video = {w, h, rate, 0};
    }
    CEpoch* Epoch() { return ig.AddNewEpoch(); }
    static CGraphicObject* Object(CEpoch& e, int id, int w, int h, bool noisy = false) {
        CGraphicObject* o = e.graphics.AddNewObject();
        o->id = id;
        o->width = w;
        o->height = h;
        o->bitmap = Picture(w, h, noisy, static_cast<uint32_t>(id) + 1);
        return o;
    }
    static CErgbPalette* Palette(CEpoch& e, int id) {
        CErgbPalette* pal = e.palettes.AddPalette();
        pal->id = id;
        for (int i = 0; i < 256; ++i) {
            const uint32_t c = kColours[i % 4];
            pal->records.push_back({static_cast<uint8_t>(i), ArgbBlue(c), ArgbGreen(c), ArgbRed(c),
                                    static_cast<uint8_t>(i == 255 ? 0 : 255)});
        }
        return pal;
    }
    // A display set of one page; the page has one group with one button
    // showing objects n, s, a in its three states at (x, y).
    static CPage* Page(CDisplaySet& ds, CNamedObject* pal, CGraphicObject* n, CGraphicObject* s,
                       CGraphicObject* a, bool defaultSelected = true, int x = 0, int y = 0) {
        CPage* page = ds.AddNewPage();
        page->palette.Set(pal);
        AddButton(*page->AddNewBog(), n, s, a, x, y);
        if (defaultSelected) page->defaultSelected.Set(page->GetAt(0)->GetAt(0));
        return page;
    }
    static CBdButton* AddButton(CBog& g, CGraphicObject* n, CGraphicObject* s, CGraphicObject* a,
                                int x, int y) {
        CBdButton* b = g.AddNewButton();
        b->x = static_cast<uint16_t>(x);
        b->y = static_cast<uint16_t>(y);
        CGraphicObject* objects[3] = {n, s, a};
        for (int i = 0; i < 3; ++i) {
            b->states[i].start.Set(objects[i]);
            b->states[i].end.Set(objects[i]);
        }
        return b;
    }
    // One epoch, one display set, one page over a single object of w x h.
    CDisplaySet* Simple(int w = 120, int h = 40, uint8_t state = kStateEpochStart) {
        CEpoch* e = Epoch();
        CGraphicObject* o = Object(*e, 0, w, h);
        CErgbPalette* pal = Palette(*e, 0);
        CDisplaySet* ds = AddDisplaySet(*e);
        ds->compositionState = state;
        Page(*ds, pal, o, o, o);
        return ds;
    }
    std::vector<uint8_t> Write() {
        CMemorySink sink;
        test::CLogLines log;
        EXPECT_TRUE(ig.WriteStream(sink, nullptr, &log));
        return sink.data;
    }
    CIgObject ig;
};

CGsData Read(const std::vector<uint8_t>& marked) {
    CGsData data;
    CMemorySource source(marked);
    EXPECT_TRUE(data.Read(source, false));
    return data;
}

struct SStamp {
    uint8_t type;
    uint32_t pts, dts;
    bool operator==(const SStamp&) const = default;
};
std::ostream& operator<<(std::ostream& os, const SStamp& s) {
    return os << "{" << SegmentTypeName(s.type) << " " << s.pts << " " << s.dts << "}";
}

std::vector<SStamp> Stamps(const CDsData& ds) {
    std::vector<SStamp> out;
    for (const CSegmentBase* s : ds.StreamOrder()) out.push_back({s->segmentType, s->pts, s->dts});
    return out;
}

std::vector<int> PaletteIds(const CEpoch& e) {
    std::vector<int> ids;
    for (const auto& p : e.palettes.items) ids.push_back(p->id);
    return ids;
}

std::vector<int> ObjectIds(const CEpoch& e) {
    std::vector<int> ids;
    for (const CGraphicObject* o : e.graphics.List()) ids.push_back(o->id);
    return ids;
}

TEST(BuildDisplaySet, PalettesComeFromPdsWithIdsBelowTheirCount) {
    struct SRow {
        std::vector<int> pdsIds;
        std::vector<int> palettes;
    };
    const SRow rows[] = {
        {{0, 5}, {0}}, {{5, 0}, {0}},          {{1, 0}, {0, 1}},    {{0, 0}, {0}},
        {{3}, {}},     {{2, 1, 0}, {0, 1, 2}}, {{0, 2, 2}, {0, 2}},
    };
    SMenu m;
    m.Simple();
    const std::vector<uint8_t> marked = m.Write();
    for (const SRow& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.pdsIds));
        CGsData data = Read(marked);
        CDsData& c = *data.epochs.at(0)->GetAt(0);
        ASSERT_EQ(c.pdsList->GetSize(), 1);
        std::unique_ptr<CPds> original = std::move(c.pdsList->items[0]);
        c.pdsList->items.clear();
        for (int id : row.pdsIds) {
            auto pds = std::make_unique<CPds>();
            pds->paletteId = static_cast<uint8_t>(id);
            pds->entries = original->entries;
            // Each palette's first entry tells the PDS apart.
            pds->entries[0].y = static_cast<uint8_t>(16 + id);
            c.pdsList->Append(std::move(pds));
        }
        CIgObject ig;
        ASSERT_EQ(ig.BuildFromStream(data), 1);
        const CEpoch& e = *ig.GetAt(0);
        EXPECT_EQ(PaletteIds(e), row.palettes);
        for (const auto& p : e.palettes.items) {
            const SRgb rgb = YcbcrToRgb(static_cast<uint8_t>(16 + p->id), original->entries[0].cr,
                                        original->entries[0].cb);
            EXPECT_EQ(p->records.at(0).red, rgb.red) << p->id;
        }
        // The page names palette 0: without it the object has nothing to be
        // decoded with and is not built.
        const bool hasZero = !row.palettes.empty() && row.palettes[0] == 0;
        EXPECT_EQ(e.graphics.CountItems(), hasZero ? 1 : 0);
        EXPECT_EQ(e.GetAt(0)->GetAt(0)->palette.ptr != nullptr, hasZero);
    }
}

TEST(BuildDisplaySet, ObjectsAreFoundThroughTheirLastFragment) {
    // Object 0 is small (one ODS), object 1 noisy (several ODS).
    SMenu m;
    CEpoch* e = m.Epoch();
    CGraphicObject* small = SMenu::Object(*e, 0, 60, 20);
    CGraphicObject* big = SMenu::Object(*e, 1, 500, 400, true);
    CErgbPalette* pal = SMenu::Palette(*e, 0);
    SMenu::Page(*AddDisplaySet(*e), pal, small, big, small);
    const std::vector<uint8_t> marked = m.Write();

    struct SRow {
        int clearedId;  // object whose fragments all lose the last flag; -1 none
        std::vector<int> built;
    };
    for (const SRow& row : {SRow{-1, {0, 1}}, SRow{0, {1}}, SRow{1, {0}}}) {
        SCOPED_TRACE(row.clearedId);
        CGsData data = Read(marked);
        CDsData& c = *data.epochs.at(0)->GetAt(0);
        int fragments = 0;
        for (const auto& ods : c.odsList->items) {
            if (ods->objectId == 1) ++fragments;
            if (ods->objectId == row.clearedId) ods->lastInSequence = false;
        }
        ASSERT_GE(fragments, 3);
        if (row.clearedId >= 0) {
            EXPECT_FALSE(
                JoinObjectData(c.odsList.get(), static_cast<uint16_t>(row.clearedId)).empty());
        }
        CIgObject ig;
        ig.BuildFromStream(data);
        EXPECT_EQ(ObjectIds(*ig.GetAt(0)), row.built);
    }
}

TEST(WriteDisplaySet, CompositionStateStaysInEveryIcs) {
    for (uint8_t state :
         {kStateNormalCase, kStateAcquisitionPoint, kStateEpochStart, kStateEpochContinue}) {
        SCOPED_TRACE(static_cast<int>(state));
        SMenu m;
        CDisplaySet* ds = m.Simple(120, 40, state);
        // Enough commands that the composition needs two ICS.
        CBdButton* b = ds->GetAt(0)->GetAt(0)->GetAt(0);
        CNavCmd cmd;
        cmd.bytes[0] = 0x21;
        cmd.bytes[1] = 0x81;
        b->commands.records.assign(6000, cmd);
        CGsData data = Read(m.Write());
        ASSERT_EQ(data.epochs.size(), 1u);
        const CDsData& c = *data.epochs[0]->GetAt(0);
        EXPECT_EQ(c.compositionState, state);
        ASSERT_EQ(c.icsList->GetSize(), 2);
        for (const auto& ics : c.icsList->items) EXPECT_EQ(ics->compositionState, state);
        CIgObject ig;
        ig.BuildFromStream(data);
        EXPECT_EQ(ig.GetAt(0)->GetAt(0)->compositionState, state);
        EXPECT_EQ(ig.GetAt(0)->GetAt(0)->GetAt(0)->GetAt(0)->GetAt(0)->commands.GetSize(), 6000);
    }
}

// One 4096 x 2048 object in every state of a default selected button, at
// 23.976 frames per second (D = 3753 ticks):
//   b = ceil(8388608 * 0.01125) = 94372 (above the video floor of 49767),
//   c = 8 * 8388608 bits, ceil(8388608 * 0.005625) = 47186, X = 141558;
//   D * ceil(X / D) = 3753 * 38 = 142614, above the floor of 131070;
//   the object decodes in 94372 ticks from DTS0.
TEST(WriteDisplaySet, PresentationTimeFromDecodeTimeFrameNumberOrExplicitPts) {
    struct SRow {
        int32_t frameNumber;
        uint32_t explicitPts;
        uint32_t k;
    };
    const SRow rows[] = {
        {0, 0, 142614},           // decode time rounded up to whole frames of 3753
        {37, 0, 142614},          // frame 37 = 138889 ticks comes earlier
        {38, 0, 142643},          // frame 38 = floor(142642.5 + 0.5)
        {1000, 0, 3753750},       // frame 1000
        {1000, 500000, 500000},   // an explicit PTS wins over the frame number
        {0, 141558, 141558},      // explicit PTS exactly at the decode time
        {0, 131070, 142614},      // an explicit PTS before the decode end falls back
        {2000, 131070, 7507500},  // ... to the derived time
        {-5, 0, 142614},          // a negative frame number counts as frame 0
    };
    constexpr uint32_t kX = 141558, kObjectTicks = 94372;
    SMenu m(4096, 2160, 1);
    CDisplaySet* ds = m.Simple(4096, 2048);
    for (const SRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.frameNumber << " " << row.explicitPts);
        ds->frameNumber = row.frameNumber;
        ds->explicitPts = row.explicitPts;
        CGsData data = Read(m.Write());
        const uint32_t dts0 = row.k - kX;
        const std::vector<SStamp> expected = {{kSegmentIcs, row.k, dts0},
                                              {kSegmentPds, dts0, 0},
                                              {kSegmentOds, dts0 + kObjectTicks, dts0},
                                              {kSegmentEnd, dts0 + kObjectTicks, 0}};
        EXPECT_EQ(Stamps(*data.epochs.at(0)->GetAt(0)), expected);
    }
}

TEST(WriteDisplaySet, FragmentsRepeatTheirObjectsTimesAndEndFollowsTheLastObject) {
    // Objects in collection order: 0 (normal, 60 x 20), 1 (selected, noisy
    // 500 x 400), 2 (activated, 30 x 30). Normal Case, no default selected
    // button: split index 2, b = 14 + 2250 + 11 = 2275; c = 9600 bits, the
    // button's first non-zero state is its normal one: X = 2275 + 7 = 2282.
    // K = 131070, DTS0 = 128788; objects take 14, 2250 and 11 ticks.
    SMenu m;
    CEpoch* e = m.Epoch();
    CGraphicObject* o0 = SMenu::Object(*e, 0, 60, 20);
    CGraphicObject* o1 = SMenu::Object(*e, 1, 500, 400, true);
    CGraphicObject* o2 = SMenu::Object(*e, 2, 30, 30);
    CDisplaySet* ds = AddDisplaySet(*e);
    ds->compositionState = kStateNormalCase;
    SMenu::Page(*ds, SMenu::Palette(*e, 0), o0, o1, o2, false);
    const std::vector<uint8_t> marked = m.Write();
    CGsData data = Read(marked);
    const CDsData& c = *data.epochs.at(0)->GetAt(0);
    const std::vector<SStamp> got = Stamps(c);
    ASSERT_GE(got.size(), 7u);
    EXPECT_EQ(got.front(), (SStamp{kSegmentIcs, 131070, 128788}));
    EXPECT_EQ(got[1], (SStamp{kSegmentPds, 128788, 0}));
    const uint32_t t0 = 128788 + 14, t1 = t0 + 2250, t2 = t1 + 11;
    std::vector<SStamp> objects(got.begin() + 2, got.end() - 1);
    std::vector<SStamp> expected = {{kSegmentOds, t0, 128788}};
    for (size_t i = 1; i + 1 < objects.size(); ++i) expected.push_back({kSegmentOds, t1, t0});
    expected.push_back({kSegmentOds, t2, t1});
    EXPECT_EQ(objects, expected);
    EXPECT_EQ(got.back(), (SStamp{kSegmentEnd, t2, 0}));

    // The split object comes back pixel for pixel.
    int fragments = 0;
    for (const auto& ods : c.odsList->items) fragments += ods->objectId == 1;
    EXPECT_GE(fragments, 3);
    EXPECT_TRUE(c.odsList->GetAt(1)->firstInSequence);
    EXPECT_FALSE(c.odsList->GetAt(1)->lastInSequence);
    EXPECT_TRUE(c.odsList->GetAt(fragments)->lastInSequence);
    CIgObject back;
    back.BuildFromStream(data);
    const CGraphicObject* o = back.GetAt(0)->graphics.FindById(1);
    ASSERT_NE(o, nullptr);
    ASSERT_TRUE(o->bitmap);
    ASSERT_EQ(o->bitmap->Width(), 500);
    ASSERT_EQ(o->bitmap->Height(), 400);
    int wrong = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 500; ++x)
            wrong += o->bitmap->GetIndex(x, y) != o1->bitmap->GetIndex(x, y);
    EXPECT_EQ(wrong, 0);
}

TEST(IgObject, SeveralEpochsKeepTheirDisplaySetsOnARoundTrip) {
    // Epoch states and pages per display set; frame numbers 100, 200, ...
    const std::vector<std::vector<std::pair<uint8_t, int>>> layout = {
        {{kStateEpochStart, 1}, {kStateNormalCase, 2}, {kStateAcquisitionPoint, 1}},
        {{kStateEpochStart, 3}},
        {{kStateEpochStart, 1}, {kStateEpochContinue, 1}},
    };
    SMenu m;
    int frame = 100;
    for (size_t ei = 0; ei < layout.size(); ++ei) {
        CEpoch* e = m.Epoch();
        CErgbPalette* pal = SMenu::Palette(*e, 0);
        std::vector<CGraphicObject*> objects;
        for (int i = 0; i < 3; ++i)
            objects.push_back(SMenu::Object(*e, i, 80 + 10 * static_cast<int>(ei), 30));
        for (auto [state, pages] : layout[ei]) {
            CDisplaySet* ds = AddDisplaySet(*e);
            ds->compositionState = state;
            ds->frameNumber = frame;
            frame += 100;
            for (int p = 0; p < pages; ++p)
                SMenu::Page(*ds, pal, objects[0], objects[1], objects[2], p == 0);
        }
    }
    CGsData data = Read(m.Write());
    CIgObject back;
    ASSERT_EQ(back.BuildFromStream(data), 3);
    frame = 100;
    for (size_t ei = 0; ei < layout.size(); ++ei) {
        const CEpoch& e = *back.GetAt(static_cast<int>(ei));
        EXPECT_EQ(e.name, "Epoch#" + std::to_string(ei + 1));
        ASSERT_EQ(e.GetSize(), static_cast<int>(layout[ei].size())) << ei;
        // Every display set carries the objects its pages use; an object
        // sent again with the same bytes is held once per epoch.
        EXPECT_EQ(ObjectIds(e), (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(e.graphics.FindById(0)->width, 80 + 10 * static_cast<int>(ei));
        EXPECT_EQ(PaletteIds(e).at(0), 0);
        for (int d = 0; d < e.GetSize(); ++d) {
            const CDisplaySet& ds = *e.GetAt(d);
            EXPECT_EQ(ds.name, "DisplaySet#" + std::to_string(d + 1));
            EXPECT_EQ(ds.compositionState, layout[ei][static_cast<size_t>(d)].first);
            EXPECT_EQ(ds.GetSize(), layout[ei][static_cast<size_t>(d)].second);
            EXPECT_EQ(ds.frameNumber, frame);
            frame += 100;
            for (const auto& page : ds.items) {
                EXPECT_EQ(page->palette.ptr, e.palettes.GetAt(0));
                EXPECT_EQ(page->GetAt(0)->GetAt(0)->states[1].start.ptr, e.graphics.FindById(1));
            }
        }
    }
}

// An opaque palette PNG of w x h with n colours; pixel (x, y) takes x % n.
std::string WriteTable(const test::CTempDir& dir, const std::string& name, int n, int w, int h) {
    Bitmap b(w, h, EPixelFormat::Indexed8);
    SPalette pal;
    for (int i = 0; i < n; ++i)
        pal.entries.push_back(MakeArgb(255, static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                       static_cast<uint8_t>(i * 7)));
    b.SetPalette(pal);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetIndex(x, y, static_cast<uint8_t>(x % n));
    const std::string path = (dir.Path() / name).string();
    EXPECT_EQ(SavePng(path, b).Message(), "");
    return path;
}

TEST(WriteDisplaySet, PageWithoutPaletteTakesAFullImageTableAlone) {
    test::CTempDir dir;
    const std::string full = WriteTable(dir, "full.png", 256, 256, 4);
    const std::string few = WriteTable(dir, "few.png", 5, 256, 4);
    Bitmap check;
    ASSERT_EQ(LoadImage(full, check).Message(), "");
    ASSERT_EQ(check.Palette().entries.size(), 256u);
    // The 256-colour table wins whether its object comes first or second.
    for (bool fullFirst : {true, false}) {
        SCOPED_TRACE(fullFirst);
        SMenu m;
        CEpoch* e = m.Epoch();
        CGraphicObject* a = e->graphics.AddNewObject();
        a->id = 0;
        ASSERT_TRUE(a->SetImageFile(fullFirst ? full : few));
        CGraphicObject* b = e->graphics.AddNewObject();
        b->id = 1;
        ASSERT_TRUE(b->SetImageFile(fullFirst ? few : full));
        SMenu::Page(*AddDisplaySet(*e), nullptr, a, b, a);
        CMemorySink sink;
        test::CLogLines log;
        ASSERT_TRUE(m.ig.WriteStream(sink, nullptr, &log));
        EXPECT_TRUE(log.HasLine(" Warning:no palette"));
        EXPECT_TRUE(
            log.HasLine("   Warning:no palette defined, will get from image automatically."));
        CGsData data = Read(sink.data);
        const CDsData& c = *data.epochs.at(0)->GetAt(0);
        ASSERT_EQ(c.pdsList->GetSize(), 1);
        const CPds& pds = *c.pdsList->GetAt(0);
        ASSERT_EQ(pds.entries.size(), 255u);
        for (int i = 0; i < 255; ++i) {
            const uint32_t colour = check.Palette().entries[static_cast<size_t>(i)];
            const SYcbcr ycc = RgbToYcbcr(ArgbRed(colour), ArgbGreen(colour), ArgbBlue(colour));
            const SPaletteEntry& p = pds.entries[static_cast<size_t>(i)];
            EXPECT_EQ(
                p, (SPaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(ycc.y),
                                  static_cast<uint8_t>(ycc.cr), static_cast<uint8_t>(ycc.cb), 255}))
                << i;
        }
        // The written page names the generated palette; the model keeps none.
        CIgObject back;
        back.BuildFromStream(data);
        EXPECT_EQ(back.GetAt(0)->GetAt(0)->GetAt(0)->palette.id, pds.paletteId);
        EXPECT_EQ(e->GetAt(0)->GetAt(0)->palette.ptr, nullptr);
    }
}

TEST(IgObject, GroupsTouchingAtAnEdgeOrCornerDoNotOverlap) {
    // Group 1's button is 100 x 50 at (200, 200); group 2's button moves.
    struct SRow {
        int x, y;
        bool overlap;
    };
    const SRow rows[] = {
        {300, 200, false}, {100, 200, false}, {200, 250, false}, {200, 150, false},
        {300, 250, false}, {100, 150, false}, {299, 200, true},  {200, 249, true},
        {101, 151, true},  {299, 249, true},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.x << "," << row.y);
        SMenu m;
        CEpoch* e = m.Epoch();
        CGraphicObject* o = SMenu::Object(*e, 0, 100, 50);
        CPage* page =
            SMenu::Page(*AddDisplaySet(*e), SMenu::Palette(*e, 0), o, o, o, true, 200, 200);
        SMenu::AddButton(*page->AddNewBog(), o, o, o, row.x, row.y);
        test::CLogLines log;
        EXPECT_EQ(m.ig.CheckAll(&log), !row.overlap);
        EXPECT_EQ(log.HasLine("   Error:Buttons of different group overlapped (Bog#1 - Bog#2)"),
                  row.overlap);
    }
}

}  // namespace
}  // namespace tessel
