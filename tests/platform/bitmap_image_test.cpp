#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/bitmap.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

TEST(Bitmap, StrideAndLimits) {
    const struct {
        int w;
        EPixelFormat f;
        size_t stride;
    } rows[] = {
        {9, EPixelFormat::Indexed1, 4}, {33, EPixelFormat::Indexed1, 8},
        {3, EPixelFormat::Indexed4, 4}, {9, EPixelFormat::Indexed4, 8},
        {5, EPixelFormat::Indexed8, 8}, {3, EPixelFormat::Rgb24, 12},
        {4, EPixelFormat::Rgb24, 12},   {3, EPixelFormat::Argb32, 12},
    };
    for (const auto& r : rows) {
        const Bitmap b(r.w, 2, r.f);
        ASSERT_FALSE(b.IsEmpty());
        EXPECT_EQ(b.Stride(), r.stride) << r.w;
        EXPECT_EQ(b.GetPixel(0, 1) & 0xFFFFFFu, 0u);  // zeroed
    }
    EXPECT_TRUE(Bitmap(0, 5, EPixelFormat::Rgb24).IsEmpty());
    EXPECT_TRUE(Bitmap(5, -1, EPixelFormat::Rgb24).IsEmpty());
    EXPECT_TRUE(Bitmap(70000, 1, EPixelFormat::Rgb24).IsEmpty());
    EXPECT_TRUE(Bitmap(65535, 65535, EPixelFormat::Indexed1).IsEmpty());
}

TEST(Bitmap, PixelAccessPerFormat) {
    Bitmap i8(4, 2, EPixelFormat::Indexed8);
    i8.SetPalette({kPaletteHasAlpha, {0x80112233u, 0xFF445566u}});
    i8.SetIndex(1, 1, 1);
    i8.SetIndex(2, 1, 9);  // no such entry
    EXPECT_EQ(i8.GetPixel(0, 0), 0x80112233u);
    EXPECT_EQ(i8.GetPixel(1, 1), 0xFF445566u);
    EXPECT_EQ(i8.GetPixel(2, 1), 0u);
    EXPECT_EQ(i8.GetPixel(4, 0), 0u);  // outside
    EXPECT_EQ(i8.GetPixel(-1, 0), 0u);

    Bitmap rgb(2, 1, EPixelFormat::Rgb24);
    rgb.SetPixel(1, 0, 0x10203040u);
    EXPECT_EQ(rgb.GetPixel(1, 0), 0xFF203040u);
    EXPECT_EQ(rgb.Row(0)[3], 0x40);  // blue first in memory
    EXPECT_EQ(rgb.Row(0)[5], 0x20);

    Bitmap argb(2, 1, EPixelFormat::Argb32);
    argb.SetPixel(0, 0, 0x10203040u);
    EXPECT_EQ(argb.GetPixel(0, 0), 0x10203040u);
    EXPECT_EQ(argb.Row(0)[3], 0x10);

    Bitmap i1(10, 1, EPixelFormat::Indexed1);
    i1.SetIndex(0, 0, 1);
    i1.SetIndex(9, 0, 1);
    EXPECT_EQ(i1.Row(0)[0], 0x80);
    EXPECT_EQ(i1.Row(0)[1], 0x40);
    i1.SetIndex(0, 0, 0);
    EXPECT_EQ(i1.Row(0)[0], 0x00);
}

TEST(Bitmap, FillAndConvert) {
    Bitmap b(5, 4, EPixelFormat::Argb32);
    b.FillRect(-2, 1, 4, 10, 0xFF00FF00u);
    EXPECT_EQ(b.GetPixel(1, 3), 0xFF00FF00u);
    EXPECT_EQ(b.GetPixel(2, 3), 0u);
    EXPECT_EQ(b.GetPixel(0, 0), 0u);
    const Bitmap rgb = b.ConvertTo(EPixelFormat::Rgb24);
    EXPECT_EQ(rgb.GetPixel(1, 3), 0xFF00FF00u);
    EXPECT_EQ(rgb.GetPixel(0, 0), 0xFF000000u);  // alpha dropped
    EXPECT_TRUE(b.ConvertTo(EPixelFormat::Indexed8).IsEmpty());

    Bitmap i4(3, 1, EPixelFormat::Indexed4);
    i4.Fill(0xB);
    EXPECT_EQ(i4.Row(0)[0], 0xBB);
    EXPECT_EQ(i4.Row(0)[1], 0xB0);
}

TEST(Bitmap, DrawSourceOver) {
    Bitmap dst(4, 4, EPixelFormat::Rgb24);
    dst.Fill(0xFF0000FFu);
    Bitmap src(2, 2, EPixelFormat::Argb32);
    src.Fill(0x80FF0000u);  // half red
    src.SetPixel(1, 1, 0x00FFFFFFu);
    ASSERT_TRUE(DrawImage(dst, src, -1, 3));  // only src (1,0) lands, at (0,3)
    EXPECT_EQ(dst.GetPixel(0, 3), 0xFF80007Fu);
    EXPECT_EQ(dst.GetPixel(1, 3), 0xFF0000FFu);
    ASSERT_TRUE(DrawImage(dst, src, 2, 2));
    EXPECT_EQ(dst.GetPixel(3, 3), 0xFF0000FFu);  // transparent leaves it

    // Onto a transparent ARGB target the colour stays and takes the alpha.
    Bitmap clear(1, 1, EPixelFormat::Argb32);
    DrawImage(clear, src, 0, 0);
    EXPECT_EQ(clear.GetPixel(0, 0), 0x80FF0000u);

    Bitmap indexed(2, 2, EPixelFormat::Indexed8);
    EXPECT_FALSE(DrawImage(indexed, src, 0, 0));
}

TEST(Bitmap, DrawStretched) {
    Bitmap src(2, 2, EPixelFormat::Rgb24);
    src.Fill(0xFF204060u);
    Bitmap dst(8, 8, EPixelFormat::Argb32);
    ASSERT_TRUE(DrawImageStretched(dst, src, 1, 1, 6, 5));
    EXPECT_EQ(dst.GetPixel(0, 0), 0u);
    EXPECT_EQ(dst.GetPixel(1, 1), 0xFF204060u);
    EXPECT_EQ(dst.GetPixel(6, 5), 0xFF204060u);
    EXPECT_EQ(dst.GetPixel(7, 6), 0u);

    // Shrinking a fine checkerboard averages it.
    Bitmap checker(8, 8, EPixelFormat::Rgb24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            checker.SetPixel(x, y, ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u);
    Bitmap small(2, 2, EPixelFormat::Rgb24);
    ASSERT_TRUE(DrawImageStretched(small, checker, 0, 0, 2, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_NEAR(ArgbRed(small.GetPixel(x, y)), 128, 8);

    // Growing keeps a ramp monotonic.
    Bitmap ramp(2, 1, EPixelFormat::Rgb24);
    ramp.SetPixel(1, 0, 0xFFFFFFFFu);
    Bitmap wide(8, 1, EPixelFormat::Rgb24);
    DrawImageStretched(wide, ramp, 0, 0, 8, 1);
    EXPECT_EQ(ArgbRed(wide.GetPixel(0, 0)), 0);
    EXPECT_EQ(ArgbRed(wide.GetPixel(7, 0)), 255);
    for (int x = 1; x < 8; ++x)
        EXPECT_LE(ArgbRed(wide.GetPixel(x - 1, 0)), ArgbRed(wide.GetPixel(x, 0)));
}

// Each case writes into its own temporary folder.
class ImageIo : public ::testing::Test {
protected:
    test::CTempDir tmp;
};

TEST_F(ImageIo, PaletteRoundTripKeepsIndicesAndAlpha) {
    for (EPixelFormat f :
         {EPixelFormat::Indexed8, EPixelFormat::Indexed4, EPixelFormat::Indexed1}) {
        const int colours = f == EPixelFormat::Indexed8   ? 200
                            : f == EPixelFormat::Indexed4 ? 16
                                                          : 2;
        Bitmap img(37, 5, f);
        SPalette pal;
        pal.flags = kPaletteHasAlpha;
        for (int i = 0; i < colours; ++i)
            pal.entries.push_back(MakeArgb(i == 1 ? 0 : (i == 2 ? 77 : 255),
                                           static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3),
                                           9));
        img.SetPalette(pal);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 37; ++x)
                img.SetIndex(x, y, static_cast<uint8_t>((x * 7 + y) % colours));
        const std::string path = (tmp.Path() / "p.png").string();
        ASSERT_EQ(SavePng(path, img).Message(), "");
        Bitmap back;
        ASSERT_EQ(LoadImage(path, back).Message(), "");
        EXPECT_EQ(back.Format(), f);
        EXPECT_EQ(back.Palette().entries, pal.entries);
        EXPECT_TRUE(back.Palette().flags & kPaletteHasAlpha);
        int bad = 0;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 37; ++x) bad += back.GetIndex(x, y) != img.GetIndex(x, y);
        EXPECT_EQ(bad, 0);
    }
}

TEST_F(ImageIo, TrueColourRoundTrip) {
    for (EPixelFormat f : {EPixelFormat::Rgb24, EPixelFormat::Argb32}) {
        Bitmap img(13, 7, f);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                img.SetPixel(x, y,
                             MakeArgb(static_cast<uint8_t>(x * 19), static_cast<uint8_t>(x * 17),
                                      static_cast<uint8_t>(y * 31), static_cast<uint8_t>(x ^ y)));
        std::vector<uint8_t> png;
        ASSERT_EQ(EncodePng(img, png).Message(), "");
        Bitmap back;
        ASSERT_EQ(DecodeImage(png, back).Message(), "");
        EXPECT_EQ(back.Format(), f);
        int bad = 0;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) bad += back.GetPixel(x, y) != img.GetPixel(x, y);
        EXPECT_EQ(bad, 0);
    }
}

TEST_F(ImageIo, PaletteCoversEveryIndexInUse) {
    Bitmap img(2, 1, EPixelFormat::Indexed8);
    img.SetPalette({0, {0xFF123456u}});
    img.SetIndex(1, 0, 3);
    std::vector<uint8_t> png;
    ASSERT_EQ(EncodePng(img, png).Message(), "");
    Bitmap back;
    ASSERT_EQ(DecodeImage(png, back).Message(), "");
    EXPECT_EQ(back.Palette().entries.size(), 4u);
    EXPECT_EQ(back.GetIndex(1, 0), 3);
}

std::vector<uint8_t> TinyBmp() {
    // 2x2, 24-bit, bottom-up rows padded to 4 bytes.
    return {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file
                                                             // header
            40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0,
            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0,
            0,                                          // bottom
                                                        // row: red,
                                                        // green
                                                        // (B,G,R)
            0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0};  // top row: blue, white
}

TEST_F(ImageIo, BmpLoadsThroughStb) {
    Bitmap img;
    ASSERT_EQ(DecodeImage(TinyBmp(), img).Message(), "");
    EXPECT_EQ(img.Format(), EPixelFormat::Rgb24);
    EXPECT_EQ(img.GetPixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(img.GetPixel(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(img.GetPixel(0, 1), 0xFFFF0000u);
    EXPECT_EQ(img.GetPixel(1, 1), 0xFF00FF00u);
}

TEST_F(ImageIo, BadInputGivesClearErrors) {
    Bitmap img;
    const std::string missing = (tmp.Path() / "nothing.png").string();
    const CResult loaded = LoadImage(missing, img);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(loaded.Path(), missing);
    EXPECT_NE(loaded.Message().find("nothing.png: "), std::string::npos) << loaded.Message();

    const std::vector<uint8_t> junk = {'h', 'e', 'l', 'l', 'o'};
    const CResult decoded = DecodeImage(junk, img);
    EXPECT_TRUE(decoded.Failed());
    EXPECT_NE(decoded.Message().find("not a supported image"), std::string::npos)
        << decoded.Message();

    // Every truncation of a valid PNG fails cleanly or decodes.
    Bitmap src(20, 9, EPixelFormat::Argb32);
    src.Fill(0x80102030u);
    std::vector<uint8_t> png;
    ASSERT_EQ(EncodePng(src, png).Message(), "");
    int failures = 0;
    for (size_t n = 0; n < png.size(); ++n) {
        std::vector<uint8_t> cut(png.begin(), png.begin() + static_cast<ptrdiff_t>(n));
        failures += !DecodeImage(cut, img);
    }
    EXPECT_GE(failures, static_cast<int>(png.size()) - 13);  // only a lost IEND may pass
    // Flipped bytes anywhere: no crash.
    for (size_t i = 8; i < png.size(); ++i) {
        std::vector<uint8_t> bad = png;
        bad[i] ^= 0x5A;
        (void)DecodeImage(bad, img);
    }
    std::vector<uint8_t> bmp = TinyBmp();
    bmp.resize(40);
    EXPECT_FALSE(DecodeImage(bmp, img));

    // A huge declared size is refused before allocation.
    std::vector<uint8_t> huge = png;
    huge[16] = 0x00, huge[17] = 0x00, huge[18] = 0xFF, huge[19] = 0xFF;  // width 65535
    huge[20] = 0x00, huge[21] = 0x00, huge[22] = 0xFF, huge[23] = 0xFF;  // height 65535
    EXPECT_FALSE(DecodeImage(huge, img));
}

TEST_F(ImageIo, FailedSaveLeavesNoFile) {
    Bitmap img(3, 3, EPixelFormat::Rgb24);
    const std::string path = (tmp.Path() / "no-such-folder" / "x.png").string();
    const CResult saved = SavePng(path, img);
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.Text().find("x.png"), std::string::npos) << saved.Text();
    EXPECT_FALSE(std::filesystem::exists(path));
    const std::string empty = (tmp.Path() / "empty.png").string();
    EXPECT_FALSE(SavePng(empty, Bitmap()));
    EXPECT_FALSE(std::filesystem::exists(empty));
}

}  // namespace
}  // namespace tessel
