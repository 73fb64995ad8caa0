#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "codec/colour.h"
#include "codec/ods.h"
#include "codec/pds.h"
#include "codec/quantizer.h"
#include "model/palette.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

TEST(Colour, YcbcrToRgbWorkedValues) {
    struct {
        int y, cr, cb;
        SRgb rgb;
    } const cases[] = {
        {16, 128, 128, {0, 0, 0}},        {235, 128, 128, {255, 255, 255}},
        {255, 128, 128, {255, 255, 255}},  // clamps
        {0, 128, 128, {0, 0, 0}},          // clamps below
        {81, 240, 90, {255, 0, 0}},        // studio red
        {41, 110, 240, {0, 0, 255}},       // studio blue, G and R clamp
    };
    for (const auto& c : cases) {
        const SRgb got = YcbcrToRgb(c.y, c.cr, c.cb);
        EXPECT_EQ(got.red, c.rgb.red) << c.y << "," << c.cr << "," << c.cb;
        EXPECT_EQ(got.green, c.rgb.green) << c.y << "," << c.cr << "," << c.cb;
        EXPECT_EQ(got.blue, c.rgb.blue) << c.y << "," << c.cr << "," << c.cb;
    }
}

// Every (Y, Cr, Cb) triple against the formula evaluated with floor division.
TEST(Colour, YcbcrToRgbWholeCube) {
    auto ref = [](double v) {
        const double f = std::floor(v / 256.0);
        return static_cast<int>(f < 0 ? 0 : f > 255 ? 255 : f);
    };
    long mismatches = 0;
    for (int y = 0; y < 256; ++y)
        for (int cr = 0; cr < 256; ++cr)
            for (int cb = 0; cb < 256; ++cb) {
                const double c = 298.0 * (y - 16), d = cb - 128, e = cr - 128;
                const SRgb got = YcbcrToRgb(y, cr, cb);
                mismatches += got.red != ref(c + 409 * e + 128);
                mismatches += got.green != ref(c - 100 * d - 208 * e + 128);
                mismatches += got.blue != ref(c + 516 * d + 128);
            }
    EXPECT_EQ(mismatches, 0);
}

TEST(Colour, RgbToYcbcrWorkedValuesAndRanges) {
    EXPECT_EQ(RgbToYcbcr(255, 255, 255), (SYcbcr{235, 128, 128}));
    EXPECT_EQ(RgbToYcbcr(0, 0, 0), (SYcbcr{16, 128, 128}));
    // 0.257*255 + 16 = 81.535 -> 81; 0.439*255 + 128 = 239.9 -> 239; 128 - 0.148*255 = 90.26 -> 90
    EXPECT_EQ(RgbToYcbcr(255, 0, 0), (SYcbcr{81, 239, 90}));
    // 0.098*255 + 16 = 40.99 -> 40 (truncation, not rounding)
    EXPECT_EQ(RgbToYcbcr(0, 0, 255), (SYcbcr{40, 109, 239}));
    long outOfRange = 0, greysOff = 0;
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 7) {
                const SYcbcr c = RgbToYcbcr(r, g, b);
                outOfRange +=
                    c.y < 16 || c.y > 235 || c.cr < 16 || c.cr > 240 || c.cb < 16 || c.cb > 240;
            }
    for (int v = 0; v < 256; ++v) {
        const SYcbcr c = RgbToYcbcr(v, v, v);
        greysOff += c.cr != 128 || c.cb != 128;
    }
    EXPECT_EQ(outOfRange, 0);
    EXPECT_EQ(greysOff, 0);
}

CPds MakePds(std::initializer_list<SPaletteEntry> entries) {
    CPds pds;
    pds.paletteId = 3;
    pds.paletteVersion = 7;
    pds.entries = entries;
    return pds;
}

TEST(Colour, PaletteFromPdsAndBack) {
    const CPds pds =
        MakePds({{5, 235, 128, 128, 200}, {0, 16, 128, 128, 255}, {5, 81, 240, 90, 0}});
    CErgbPalette pal;
    PaletteFromPds(pds, pal);
    ASSERT_EQ(pal.GetSize(), 3);  // order and duplicates kept
    EXPECT_EQ(pal.records[0], (ERGBQUAD{5, 255, 255, 255, 200}));
    EXPECT_EQ(pal.records[1], (ERGBQUAD{0, 0, 0, 0, 255}));
    EXPECT_EQ(pal.records[2], (ERGBQUAD{5, 0, 0, 255, 0}));

    pal.id = 9;
    CPds back = MakePds({{1, 2, 3, 4, 5}});
    PdsFromPalette(pal, back);
    EXPECT_EQ(back.paletteId, 9);
    EXPECT_EQ(back.paletteVersion, 7);
    ASSERT_EQ(back.entries.size(), 3u);
    EXPECT_EQ(back.entries[0], (SPaletteEntry{5, 235, 128, 128, 200}));
    EXPECT_EQ(back.entries[2], (SPaletteEntry{5, 81, 239, 90, 0}));

    // Only the first 256 entries reach the PDS.
    pal.records.assign(300, ERGBQUAD{});
    PdsFromPalette(pal, back);
    EXPECT_EQ(back.entries.size(), 256u);
}

TEST(Colour, ArgbPaletteFromPdsKeepsUnnamedAndFailsOutside) {
    SPalette p;
    p.entries.assign(4, 0x12345678u);
    EXPECT_TRUE(ArgbPaletteFromPds(MakePds({{2, 235, 128, 128, 128}}), p));
    EXPECT_EQ(p.entries[2], 0x80FFFFFFu);
    EXPECT_EQ(p.entries[1], 0x12345678u);
    // Entry id 4 does not fit 4 entries; the one before it is set.
    EXPECT_FALSE(ArgbPaletteFromPds(MakePds({{0, 16, 128, 128, 255}, {4, 16, 128, 128, 255}}), p));
    EXPECT_EQ(p.entries[0], 0xFF000000u);
}

TEST(Colour, BitmapFromObjectIndex255AlwaysTransparent) {
    SIndexedImage obj{3, 2, {0, 1, 255, 255, 1, 0}};
    const CPds pds = MakePds({{0, 235, 128, 128, 255}, {255, 235, 128, 128, 255}});
    const Bitmap bmp = BitmapFromObject(obj, &pds);
    ASSERT_FALSE(bmp.IsEmpty());
    EXPECT_EQ(bmp.Format(), EPixelFormat::Indexed8);
    EXPECT_TRUE(bmp.Palette().flags & kPaletteHasAlpha);
    EXPECT_EQ(bmp.GetPixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(bmp.GetPixel(2, 0), 0u);  // 255: transparent though the PDS says opaque white
    EXPECT_EQ(bmp.GetPixel(1, 0), 0u);  // entry 1 not named
    EXPECT_EQ(bmp.GetIndex(1, 1), 1);
    EXPECT_EQ(bmp.GetIndex(2, 1), 0);

    EXPECT_TRUE(BitmapFromObject(obj, nullptr).IsEmpty());
    EXPECT_TRUE(BitmapFromObject(SIndexedImage{0, 2, {}}, &pds).IsEmpty());
    EXPECT_TRUE(BitmapFromObject(SIndexedImage{3, 2, {1, 2, 3}}, &pds).IsEmpty());  // short
}

Bitmap Argb(int w, int h, uint32_t fill) {
    Bitmap b(w, h, EPixelFormat::Argb32);
    b.Fill(fill);
    return b;
}

TEST(Colour, ExactPathWith255ColoursAndTransparency) {
    Bitmap img = Argb(16, 17, 0);
    for (int i = 0; i < 255; ++i)
        img.SetPixel(i % 16, i / 16, MakeArgb(255, static_cast<uint8_t>(i), 7, 9));
    img.SetPixel(15, 16, MakeArgb(0, 1, 2, 3));  // transparent, colour ignored
    EIndexedPath path;
    const Bitmap out = ToIndexed(img, &path);
    ASSERT_FALSE(out.IsEmpty());
    EXPECT_EQ(path, EIndexedPath::Exact);
    ASSERT_EQ(out.Palette().entries.size(), 256u);
    EXPECT_EQ(out.Palette().entries[255], 0u);
    EXPECT_EQ(out.GetIndex(3, 0), 3);
    EXPECT_EQ(out.GetIndex(15, 16), 255);
    EXPECT_EQ(out.GetPixel(14, 15), img.GetPixel(14, 15));
}

TEST(Colour, ExactPathGivesUp) {
    // 256 opaque colours: quantised.
    Bitmap img = Argb(16, 16, 0);
    for (int i = 0; i < 256; ++i)
        img.SetPixel(i % 16, i / 16, MakeArgb(255, static_cast<uint8_t>(i), 0, 0));
    SPalette p;
    EXPECT_FALSE(ExactPalette(img, p));
    EIndexedPath path;
    Bitmap out = ToIndexed(img, &path);
    EXPECT_EQ(path, EIndexedPath::Quantized);
    EXPECT_LE(out.Palette().entries.size(), 256u);

    // One opaque colour and no transparency: fewer than 2 entries.
    const Bitmap flat = Argb(5, 5, 0xFF336699u);
    EXPECT_FALSE(ExactPalette(flat, p));
    out = ToIndexed(flat, &path);
    EXPECT_EQ(path, EIndexedPath::Quantized);
    ASSERT_EQ(out.Palette().entries.size(), 2u);  // one colour plus the transparent entry
    EXPECT_EQ(out.GetIndex(4, 4), 0);

    // One opaque colour plus transparency is exact: colour, then transparent black.
    Bitmap two = flat;
    two.SetPixel(0, 0, 0x00FFFFFFu);
    ASSERT_TRUE(ExactPalette(two, p));
    EXPECT_EQ(p.entries, (std::vector<uint32_t>{0xFF336699u, 0u}));
}

TEST(Colour, MapExactFallsBackTo255AndTransparentIndex) {
    Bitmap img = Argb(3, 1, 0xFF010203u);
    img.SetPixel(1, 0, 0x00000000u);
    img.SetPixel(2, 0, 0xFF0A0B0Cu);
    SPalette p;
    p.entries = {0xFF010203u};  // no transparent entry: 255
    const Bitmap out = MapExact(img, p);
    EXPECT_EQ(out.GetIndex(0, 0), 0);
    EXPECT_EQ(out.GetIndex(1, 0), 255);
    EXPECT_EQ(out.GetIndex(2, 0), 255);
}

TEST(Colour, GeneralPathWithAlpha) {
    // Many colours so the exact path gives up; a transparent band.
    Bitmap img(40, 20, EPixelFormat::Argb32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            img.SetPixel(x, y,
                         MakeArgb(y < 5 ? 0 : (y < 10 ? 3 : (y == 10 ? 128 : 255)),
                                  static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 12), 77));
    EIndexedPath path;
    const Bitmap out = ToIndexed(img, &path);
    EXPECT_EQ(path, EIndexedPath::Quantized);
    const auto& pal = out.Palette().entries;
    const size_t m = pal.size() - 1;
    ASSERT_LE(m, 255u);
    EXPECT_EQ(pal[m], 0u);
    for (int x = 0; x < 40; ++x) {
        EXPECT_EQ(out.GetIndex(x, 0), m);  // alpha 0
        EXPECT_EQ(out.GetIndex(x, 9), m);  // alpha 3 < 5
        EXPECT_LT(out.GetIndex(x, 10), m);
    }
    // The entry of each row-10 pixel took alpha 128 unless an earlier pixel mapped there.
    EXPECT_EQ(ArgbAlpha(pal[out.GetIndex(0, 10)]), 128);
    for (int y = 11; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const uint8_t a = ArgbAlpha(pal[out.GetIndex(x, y)]);
            EXPECT_TRUE(a == 255 || a == 128);
        }
}

TEST(Colour, BackgroundCornerRule) {
    struct {
        uint32_t tl, tr, bl, br;
        int corner;
    } const cases[] = {
        {1, 2, 3, 4, 0},  // no pair: top-left
        {1, 2, 1, 4, 0},  // pair (0, 2)
        {1, 2, 3, 2, 1},  // pair (1, 3)
        {1, 1, 2, 2, 2},  // pairs (0, 1) and (2, 3): the last formed wins
        {5, 5, 5, 5, 2},  // all equal: pairs (0,1) (1,2) (2,3)
        {7, 2, 2, 7, 1},  // pairs (0, 3) and (1, 2)
    };
    for (const auto& c : cases) {
        Bitmap img(4, 3, EPixelFormat::Argb32);
        img.SetPixel(0, 0, 0xFF000000u | c.tl);
        img.SetPixel(3, 0, 0xFF000000u | c.tr);
        img.SetPixel(0, 2, 0xFF000000u | c.bl);
        img.SetPixel(3, 2, 0xFF000000u | c.br);
        EXPECT_EQ(BackgroundCorner(img), c.corner) << c.tl << c.tr << c.bl << c.br;
    }
    Bitmap clear(2, 2, EPixelFormat::Argb32);  // transparent top-left
    clear.SetPixel(1, 0, 0xFFFFFFFFu);
    clear.SetPixel(1, 1, 0xFFFFFFFFu);
    EXPECT_EQ(BackgroundCorner(clear), 0);
}

TEST(Colour, WhiteCornersBecomeTransparentBackground) {
    Bitmap img(64, 48, EPixelFormat::Rgb24);
    img.Fill(0xFFFFFFFFu);
    for (int y = 8; y < 40; ++y)
        for (int x = 8; x < 56; ++x)
            img.SetPixel(
                x, y, MakeArgb(255, static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5), 90));
    img.SetPixel(0, 0, 0xFF000000u);  // top-left differs from the other three
    const Bitmap out = ToIndexed(img);
    ASSERT_FALSE(out.IsEmpty());
    const auto& pal = out.Palette().entries;
    const uint8_t white = out.GetIndex(63, 47);
    EXPECT_EQ(pal[white] & 0xFFFFFFu, 0xFCFEFCu);  // the white cell's centre
    EXPECT_EQ(ArgbAlpha(pal[white]), 0);
    int transparent = 0;
    for (uint32_t c : pal) transparent += ArgbAlpha(c) == 0;
    EXPECT_EQ(transparent, 1);
    EXPECT_NE(ArgbAlpha(pal[out.GetIndex(0, 0)]), 0);
}

TEST(Colour, ToIndexedExpandsPackedIndices) {
    Bitmap b4(3, 2, EPixelFormat::Indexed4);
    b4.SetPalette({0, std::vector<uint32_t>(16, 0xFF00FF00u)});
    b4.SetIndex(0, 0, 0xA);
    b4.SetIndex(1, 0, 0x3);
    b4.SetIndex(2, 1, 0xF);
    EXPECT_EQ(b4.Row(0)[0], 0xA3);  // high nibble first
    EIndexedPath path;
    Bitmap out = ToIndexed(b4, &path);
    EXPECT_EQ(path, EIndexedPath::Expanded);
    EXPECT_EQ(out.GetIndex(0, 0), 0xA);
    EXPECT_EQ(out.GetIndex(1, 0), 0x3);
    EXPECT_EQ(out.GetIndex(2, 1), 0xF);
    EXPECT_EQ(out.Palette().entries.size(), 16u);

    Bitmap b1(10, 1, EPixelFormat::Indexed1);
    b1.SetPalette({0, {0xFF000000u, 0xFFFFFFFFu}});
    b1.Row(0)[0] = 0x81;
    b1.Row(0)[1] = 0x40;
    out = ToIndexed(b1);
    const uint8_t expect[10] = {1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(out.GetIndex(x, 0), expect[x]) << x;

    EXPECT_TRUE(ToIndexed(Bitmap(4, 4, EPixelFormat::Indexed8), &path).IsEmpty());
    EXPECT_EQ(path, EIndexedPath::None);
    EXPECT_TRUE(ToIndexed(Bitmap(0, 4, EPixelFormat::Argb32)).IsEmpty());
}

// Colours counted while a photo is being loaded give what ToIndexed gives,
// whether the loader went through, started over or told only part.
TEST(Colour, ConverterCountsWhileLoading) {
    Bitmap photo(700, 520, EPixelFormat::Rgb24);  // over 1 MiB inflated
    uint32_t seed = 7;
    for (int y = 0; y < photo.Height(); ++y)
        for (int x = 0; x < photo.Width() * 3; ++x) {
            seed = seed * 1664525u + 1013904223u;
            photo.Row(y)[x] = static_cast<uint8_t>(x / 5 + y / 3 + (seed >> 28));
        }
    test::CTempDir tmp;
    const std::string path = (tmp.Path() / "photo.png").string();
    ASSERT_EQ(SavePng(path, photo).Message(), "");
    EIndexedPath path1 = EIndexedPath::None, path2 = EIndexedPath::None;
    const Bitmap reference = ToIndexed(photo, &path2);
    ASSERT_EQ(path2, EIndexedPath::Quantized);
    auto same = [&reference](const Bitmap& b) {
        ASSERT_EQ(b.Format(), EPixelFormat::Indexed8);
        EXPECT_EQ(b.Palette().entries, reference.Palette().entries);
        for (int y = 0; y < b.Height(); ++y)
            ASSERT_EQ(0, std::memcmp(b.Row(y), reference.Row(y), static_cast<size_t>(b.Width())))
                << "row " << y;
    };
    {
        CIndexedConverter converter;
        Bitmap loaded;
        int calls = 0;
        ASSERT_EQ(LoadImage(path, loaded,
                            [&](const Bitmap& b, int rows) {
                                ++calls;
                                converter.Rows(b, rows);
                            })
                      .Message(),
                  "");
        EXPECT_GT(calls, 2);
        same(converter.Convert(loaded, &path1));
        EXPECT_EQ(path1, EIndexedPath::Quantized);
    }
    {
        CIndexedConverter converter;  // told some rows, then started over
        converter.Rows(photo, 100);
        converter.Rows(photo, 0);
        converter.Rows(photo, 48);
        converter.Rows(photo, photo.Height());
        same(converter.Convert(photo));
    }
    {
        CIndexedConverter converter;  // told only part: counted again in full
        converter.Rows(photo, 64);
        same(converter.Convert(photo));
    }
    {
        CIndexedConverter converter;  // told another picture's rows
        converter.Rows(photo.ConvertTo(EPixelFormat::Argb32), photo.Height());
        same(converter.Convert(photo));
    }
}

TEST(Colour, PaletteFromImage) {
    // 256 entries give 255; the top-left index is the transparent one.
    Bitmap img(2, 2, EPixelFormat::Indexed8);
    SPalette p;
    for (int i = 0; i < 256; ++i) p.entries.push_back(MakeArgb(10, static_cast<uint8_t>(i), 1, 2));
    img.SetPalette(p);
    img.SetIndex(0, 0, 7);
    CErgbPalette pal;
    EXPECT_EQ(PaletteFromImage(img, 0.5, pal), 255);
    EXPECT_EQ(pal.transparentIndex, 7);
    EXPECT_EQ(pal.records[7], (ERGBQUAD{7, 2, 1, 7, 128}));  // no alpha flag: opacity rule
    EXPECT_EQ(pal.records[8].alpha, 255);

    struct {
        double opacity;
        uint8_t alpha;
    } const opacities[] = {{0.5, 128}, {-1, 0}, {2, 255}, {0.1, 26}};
    for (const auto& o : opacities) {
        EXPECT_EQ(PaletteFromImage(img, o.opacity, pal), 255);
        EXPECT_EQ(pal.records[7].alpha, o.alpha) << o.opacity;
    }

    // With the alpha flag the entries keep their own alpha.
    p.flags = kPaletteHasAlpha;
    img.SetPalette(p);
    PaletteFromImage(img, 1.0, pal);
    EXPECT_EQ(pal.records[7].alpha, 10);

    // A non-indexed image goes through ToIndexed.
    Bitmap two = Argb(2, 1, 0xFF112233u);
    two.SetPixel(0, 0, 0);
    EXPECT_EQ(PaletteFromImage(two, 1.0, pal), 2);
    EXPECT_EQ(pal.transparentIndex, 1);
    EXPECT_EQ(pal.records[0], (ERGBQUAD{0, 0x33, 0x22, 0x11, 255}));
    EXPECT_EQ(PaletteFromImage(Bitmap(), 1.0, pal), 0);
}

TEST(Colour, ErgbPaletteArchiveAndFolder) {
    CPoFolder folder;
    CErgbPalette* a = folder.AddPalette();
    CErgbPalette* b = folder.AddPalette();
    EXPECT_EQ(a->name, "Palettte#0");
    EXPECT_EQ(b->name, "Palettte#1");
    EXPECT_EQ(b->parent, &folder);
    a->id = 4;
    a->transparentIndex = 9;
    a->records = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
    CArchive out;
    a->Serialize(out);
    CArchive in(out.Buffer());
    CErgbPalette loaded;
    loaded.Serialize(in);
    EXPECT_EQ(loaded.id, 4);
    EXPECT_EQ(loaded.transparentIndex, 9);
    EXPECT_EQ(loaded.records, a->records);
    EXPECT_TRUE(in.AtEnd());
    CErgbPalette copy;
    copy.CopyFrom(*a);
    EXPECT_EQ(copy.records, a->records);
    EXPECT_EQ(copy.transparentIndex, 9);
    // A truncated archive fails.
    std::vector<uint8_t> cut(out.Buffer().begin(), out.Buffer().end() - 3);
    CArchive bad(cut);
    loaded.Serialize(bad);
    EXPECT_TRUE(bad.Failed());
}

}  // namespace
}  // namespace tessel
