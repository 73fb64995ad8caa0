#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "codec/colour.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "support/recorders.h"
#include "support/test_support.h"

namespace tessel {
namespace {

// An indexed picture with transparent corners and a few colours.
std::string WritePicture(const test::CTempDir& dir, const std::string& name, int w, int h,
                         int seed) {
    Bitmap b(w, h, EPixelFormat::Indexed8);
    SPalette pal;
    pal.flags = kPaletteHasAlpha;
    pal.entries = {MakeArgb(0, 0, 0, 0), MakeArgb(255, 200, 30, 30), MakeArgb(255, 30, 200, 30),
                   MakeArgb(128, 30, 30, 200), MakeArgb(255, 240, 240, 240)};
    b.SetPalette(pal);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool corner = (x < 2 || x >= w - 2) && (y < 2 || y >= h - 2);
            b.SetIndex(x, y, corner ? 0 : static_cast<uint8_t>(1 + (x / 7 + y / 5 + seed) % 4));
        }
    const std::string path = (dir.Path() / name).string();
    EXPECT_EQ(SavePng(path, b).Message(), "");
    return path;
}

struct SObjectMenu {
    CIgObject ig;
    CEpoch* epoch = nullptr;
    CDisplaySet* ds = nullptr;
    CPage* page = nullptr;
    std::vector<CGraphicObject*> objects;
};

// One page, one group, one button with three state pictures of 200 x 80.
void BuildMenu(SObjectMenu& m, const test::CTempDir& dir, bool defaultSelected, uint8_t state) {
    m.ig.video = {1920, 1080, 1, 0};
    m.epoch = m.ig.AddNewEpoch();
    for (int i = 0; i < 3; ++i) {
        CGraphicObject* o = m.epoch->graphics.AddNewObject();
        o->id = i;
        ASSERT_TRUE(
            o->SetImageFile(WritePicture(dir, "state" + std::to_string(i) + ".png", 200, 80, i)));
        m.objects.push_back(o);
    }
    CErgbPalette* pal = m.epoch->palettes.AddPalette();
    pal->id = 0;
    pal->records = m.objects[0]->palette->records;
    m.ds = AddDisplaySet(*m.epoch);
    m.ds->compositionState = state;
    m.page = m.ds->AddNewPage();
    m.page->id = 0;
    m.page->palette.Set(pal);
    CBog* bog = m.page->AddNewBog();
    CBdButton* b = bog->AddNewButton();
    b->id = 1;
    b->x = 100;
    b->y = 200;
    for (int s = 0; s < 3; ++s) {
        b->states[s].start.Set(m.objects[static_cast<size_t>(s)]);
        b->states[s].end.Set(m.objects[static_cast<size_t>(s)]);
    }
    for (auto* n : b->neighbors.refs()) n->Set(b);
    CNavCmd cmd;
    const uint8_t jump[12] = {0x21, 0x81, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    std::copy(jump, jump + 12, cmd.bytes);
    b->commands.records.push_back(cmd);
    bog->defaultValid.Set(b);
    if (defaultSelected) m.page->defaultSelected.Set(b);
}

struct SMarkedStamp {
    uint8_t type;
    uint32_t pts, dts;
};

std::vector<SMarkedStamp> Stamps(const std::vector<uint8_t>& marked) {
    std::vector<SMarkedStamp> out;
    size_t p = 0;
    while (p + 13 <= marked.size()) {
        auto be = [&](size_t q) {
            return static_cast<uint32_t>(marked[q] << 24 | marked[q + 1] << 16 |
                                         marked[q + 2] << 8 | marked[q + 3]);
        };
        out.push_back({marked[p + 10], be(p + 2), be(p + 6)});
        p += 13 + (static_cast<size_t>(marked[p + 11]) << 8 | marked[p + 12]);
    }
    return out;
}

TEST(IgObject, TimeStampsOfAnEpochStartWithDefaultSelectedButton) {
    test::CTempDir dir;
    SObjectMenu m;
    BuildMenu(m, dir, true, kStateEpochStart);
    CMemorySink sink;
    test::CLogLines log;
    ASSERT_TRUE(m.ig.WriteStream(sink, nullptr, &log));
    // Decode time: 11664 (video floor) + ceil(16000 * 0.005625) = 11754;
    // K = 131070, so DTS0 = 119316; each 200 x 80 object takes 180 ticks.
    const std::vector<SMarkedStamp> expected = {{0x18, 131070, 119316}, {0x14, 119316, 0},
                                                {0x15, 119496, 119316}, {0x15, 119676, 119496},
                                                {0x15, 119856, 119676}, {0x80, 119856, 0}};
    const auto got = Stamps(sink.data);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].type, expected[i].type) << i;
        EXPECT_EQ(got[i].pts, expected[i].pts) << i;
        EXPECT_EQ(got[i].dts, expected[i].dts) << i;
    }
}

TEST(IgObject, TimeStampsWithoutDefaultSelectedButtonAndFromFrameNumber) {
    test::CTempDir dir;
    SObjectMenu m;
    BuildMenu(m, dir, false, kStateNormalCase);
    CMemorySink sink;
    ASSERT_TRUE(m.ig.WriteStream(sink, nullptr, nullptr));
    // Split index 2: b = 3 * 180 = 540, no video floor in Normal Case;
    // c stays 128000 bits, so X = 540 + 90 = 630.
    auto got = Stamps(sink.data);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].pts, 131070u);
    EXPECT_EQ(got[0].dts, 130440u);
    EXPECT_EQ(got[5].pts, 130980u);
    // The written ICS keep the Normal Case state.
    EXPECT_EQ(sink.data[10 + 10] >> 6, 0);

    // Frame 1000 at 23.976: K = 1000 * 3753.75.
    m.ds->frameNumber = 1000;
    CMemorySink later;
    ASSERT_TRUE(m.ig.WriteStream(later, nullptr, nullptr));
    got = Stamps(later.data);
    EXPECT_EQ(got[0].pts, 3753750u);
    EXPECT_EQ(got[0].dts, 3753750u - 630u);
}

TEST(IgObject, SaveAndLoadKeepTreePixelsAndPalette) {
    test::CTempDir dir;
    SObjectMenu m;
    BuildMenu(m, dir, true, kStateEpochStart);
    const std::string path = (dir.Path() / "menu.ig").string();
    test::CLogLines log;
    const CResultOf<bool> saved = m.ig.SaveStream(path, true, &log);
    ASSERT_TRUE(saved) << saved.Result().Message();
    ASSERT_TRUE(*saved);

    CIgObject back;
    const CResult loaded = back.LoadStream(path);
    ASSERT_TRUE(loaded) << loaded.Message();
    ASSERT_EQ(back.GetSize(), 1);
    CEpoch* e = back.GetAt(0);
    EXPECT_EQ(e->name, "Epoch#1");
    ASSERT_EQ(e->GetSize(), 1);
    EXPECT_EQ(e->GetAt(0)->name, "DisplaySet#1");
    ASSERT_EQ(e->graphics.CountItems(), 3);
    ASSERT_EQ(e->palettes.GetSize(), 1);
    EXPECT_EQ(back.video, m.ig.video);
    const CPage* page = e->GetAt(0)->GetAt(0);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->GetSize(), 1);
    const CBdButton* b = page->GetAt(0)->GetAt(0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->id, 1);
    EXPECT_EQ(b->name, "Button#2");  // named after the id the stream gives
    EXPECT_EQ(b->x, 100);
    EXPECT_EQ(b->y, 200);
    EXPECT_EQ(page->defaultSelected.ptr, b);
    EXPECT_EQ(page->palette.ptr, e->palettes.GetAt(0));
    EXPECT_EQ(b->commands.records, m.page->GetAt(0)->GetAt(0)->commands.records);
    for (int s = 0; s < 3; ++s) ASSERT_NE(b->states[s].start.ptr, nullptr);

    // Every object carries the authored indices; colours pass the Y/Cr/Cb round.
    for (int i = 0; i < 3; ++i) {
        const CGraphicObject* o = e->graphics.FindById(i);
        ASSERT_NE(o, nullptr);
        ASSERT_TRUE(o->bitmap);
        Bitmap src;
        ASSERT_EQ(LoadImage(m.objects[static_cast<size_t>(i)]->imageFile, src).Message(), "");
        ASSERT_EQ(o->bitmap->Width(), 200);
        ASSERT_EQ(o->bitmap->Height(), 80);
        int wrong = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 200; ++x) wrong += o->bitmap->GetIndex(x, y) != src.GetIndex(x, y);
        EXPECT_EQ(wrong, 0);
        for (size_t k = 0; k < src.Palette().entries.size(); ++k) {
            const uint32_t c = src.Palette().entries[k];
            const SYcbcr ycc = RgbToYcbcr(ArgbRed(c), ArgbGreen(c), ArgbBlue(c));
            const SRgb rgb = YcbcrToRgb(ycc.y, ycc.cr, ycc.cb);
            EXPECT_EQ(o->bitmap->Palette().entries[k],
                      MakeArgb(ArgbAlpha(c), rgb.red, rgb.green, rgb.blue))
                << k;
        }
        EXPECT_EQ(ArgbAlpha(o->bitmap->Palette().entries[255]), 0);
    }

    // The companion: header, one record per segment, trailer.
    const auto mui = test::ReadBytes(path + ".mui");
    const auto stream = test::ReadBytes(path);
    const size_t segments = Stamps(stream).size();
    ASSERT_EQ(mui.size(), 4 + 14 * segments + 14);
    EXPECT_EQ(std::vector<uint8_t>(mui.begin(), mui.begin() + 4),
              (std::vector<uint8_t>{0, 0, 0, 3}));
    EXPECT_EQ(mui[mui.size() - 14], 0xFF);
    for (size_t i = mui.size() - 13; i < mui.size(); ++i) EXPECT_EQ(mui[i], 0);
    EXPECT_EQ(mui[4], 0x18);

    // Written again, the loaded tree gives the same segments and times (the
    // palette colours go through RGB, so only the entries may move).
    CMemorySink again;
    ASSERT_TRUE(back.WriteStream(again, nullptr, nullptr));
    ASSERT_EQ(again.data.size(), stream.size());
    const auto a = Stamps(again.data), s = Stamps(stream);
    ASSERT_EQ(a.size(), s.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].type, s[i].type);
        EXPECT_EQ(a[i].pts, s[i].pts);
        EXPECT_EQ(a[i].dts, s[i].dts);
    }
}

TEST(IgObject, CopyAndArchiveKeepTheTree) {
    test::CTempDir dir;
    SObjectMenu m;
    BuildMenu(m, dir, true, kStateEpochStart);
    CIgObject copy;
    copy.CopyFrom(m.ig);
    CMemorySink a, b;
    ASSERT_TRUE(m.ig.WriteStream(a, nullptr, nullptr));
    ASSERT_TRUE(copy.WriteStream(b, nullptr, nullptr));
    EXPECT_EQ(a.data, b.data);

    CArchive out;
    out.folder = dir.Str() + "/";
    m.ig.Serialize(out);
    CIgObject loaded;
    CArchive in(out.Buffer());
    in.folder = out.folder;
    loaded.Serialize(in);
    EXPECT_TRUE(in.AtEnd());
    CMemorySink c;
    ASSERT_TRUE(loaded.WriteStream(c, nullptr, nullptr));
    EXPECT_EQ(c.data, a.data);
    EXPECT_EQ(loaded.GetAt(0)->graphics.FindById(1)->imageFile, m.objects[1]->imageFile);
}

TEST(IgObject, FailedChecksAndSavesLeaveNoFile) {
    test::CTempDir dir;
    SObjectMenu m;
    BuildMenu(m, dir, true, kStateEpochStart);
    m.page->Clear();  // a page without groups
    test::CLogLines log;
    EXPECT_FALSE(m.ig.CheckAll(&log));
    EXPECT_TRUE(log.HasPart("has no buttons"));
    const std::string path = (dir.Path() / "bad.ig").string();
    test::CMessageCapture messages;
    const CResultOf<bool> saved = m.ig.SaveStream(path, true, &log);
    ASSERT_TRUE(saved) << saved.Result().Message();
    EXPECT_FALSE(*saved);
    EXPECT_TRUE(log.HasPart(path + ": the stream was not saved"));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_FALSE(PathExists(path));
    EXPECT_FALSE(PathExists(path + ".mui"));

    // A companion that cannot be written fails the save; the stream goes too.
    SObjectMenu whole;
    BuildMenu(whole, dir, true, kStateEpochStart);
    const std::string good = (dir.Path() / "good.ig").string();
    std::filesystem::create_directories(good + ".mui");
    const CResultOf<bool> blocked = whole.ig.SaveStream(good, true, &log);
    EXPECT_EQ(blocked.Result().Message(), good + ".mui: " + SystemErrorText(EISDIR));
    EXPECT_FALSE(PathExists(good));
    EXPECT_TRUE(messages.messages.empty());

    SObjectMenu empty;
    empty.ig.video = {1920, 1080, 1, 0};
    AddDisplaySet(*empty.ig.AddNewEpoch());
    test::CLogLines log2;
    EXPECT_FALSE(empty.ig.CheckAll(&log2));
    EXPECT_TRUE(log2.HasPart(" Warning:no graphics"));
    EXPECT_TRUE(log2.HasPart(" Warning:no palette"));
    EXPECT_TRUE(log2.HasPart(" Error:no pages"));
}

TEST(IgObject, ImageFilesAttachOnceAndNameTheObject) {
    test::CTempDir dir;
    const std::string path = WritePicture(dir, "Play Movie.png", 40, 20, 0);
    CGraphicObject o;
    EXPECT_TRUE(o.SetImageFile(path));
    EXPECT_EQ(o.name, "Play Movie");
    EXPECT_EQ(o.width, 40);
    EXPECT_EQ(o.palette->transparentIndex, 0);
    std::string upper = path;
    upper.replace(upper.size() - 4, 4, ".PNG");
    EXPECT_FALSE(o.SetImageFile(upper));
    CGraphicObject named;
    named.name = "Menu A";
    EXPECT_TRUE(named.SetImageFile(path));
    EXPECT_EQ(named.name, "Menu A");
    EXPECT_FALSE(named.SetImageFile((dir.Path() / "missing.png").string()));
    const std::string zero = (dir.Path() / "zero.png").string();
    ASSERT_EQ(WriteWholeFile(zero, nullptr, 0).Message(), "");
    EXPECT_FALSE(named.SetImageFile(zero));
    EXPECT_TRUE(named.SetImageFile(""));
    EXPECT_EQ(named.width, 0);
}

TEST(IgObject, DamagedStreamsFailWithAMessage) {
    test::CTempDir dir;
    SObjectMenu m;
    BuildMenu(m, dir, true, kStateEpochStart);
    const std::string path = (dir.Path() / "menu.ig").string();
    ASSERT_TRUE(m.ig.SaveStream(path, false).Value());
    auto bytes = test::ReadBytes(path);
    const std::string cut = (dir.Path() / "cut.ig").string();
    ASSERT_EQ(WriteWholeFile(cut, bytes.data(), bytes.size() - 5).Message(), "");
    test::CMessageCapture messages;
    CIgObject back;
    const CResult broken = back.LoadStream(cut);
    EXPECT_TRUE(broken.Failed());
    EXPECT_EQ(broken.Message().rfind(cut + ": ", 0), 0u) << broken.Message();
    const std::string none = (dir.Path() / "none.ig").string();
    EXPECT_EQ(back.LoadStream(none).Message(), none + ": " + SystemErrorText(ENOENT));
    EXPECT_EQ(back.LoadStream("").Message(), ": " + SystemErrorText(ENOENT));
    EXPECT_EQ(back.GetSize(), 0);
    EXPECT_TRUE(messages.messages.empty());

    // Cut after its first display set: the stream loads with a note.
    std::vector<uint8_t> twice = bytes;
    twice.insert(twice.end(), bytes.begin(), bytes.end() - 5);
    const std::string kept = (dir.Path() / "kept.ig").string();
    ASSERT_EQ(WriteWholeFile(kept, twice.data(), twice.size()).Message(), "");
    std::vector<std::string> notes;
    const CResult loaded = back.LoadStream(kept, false, &notes);
    EXPECT_TRUE(loaded) << loaded.Message();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind(kept + ": ", 0), 0u) << notes[0];
    EXPECT_NE(notes[0].find("; the display sets before it are kept"), std::string::npos)
        << notes[0];
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace tessel
