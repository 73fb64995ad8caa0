// PNG reading and writing beside libpng: every row filter undone, palettes
// with alpha kept, and damaged files refused rather than read past their
// checks.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/image_io.h"

namespace tessel {
namespace {

Bitmap Noisy(int w, int h, EPixelFormat format, uint32_t seed) {
    Bitmap img(w, h, format);
    const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(BitsPerPixel(format)) / 8;
    for (int y = 0; y < h; ++y)
        for (size_t i = 0; i < bytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            // Smooth with noise, so that every filter type gets chosen.
            img.Row(y)[i] = static_cast<uint8_t>(i + y * 3 + (seed >> 29));
        }
    return img;
}

void ExpectSamePixels(const Bitmap& a, const Bitmap& b) {
    ASSERT_EQ(a.Format(), b.Format());
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    const size_t bytes =
        static_cast<size_t>(a.Width()) * static_cast<size_t>(BitsPerPixel(a.Format())) / 8;
    for (int y = 0; y < a.Height(); ++y)
        ASSERT_EQ(0, std::memcmp(a.Row(y), b.Row(y), bytes)) << "row " << y;
}

TEST(PngFastPath, EveryFilterAndFormatReadsBack) {
    using EFilter = SPngOptions::EFilter;
    for (EPixelFormat format : {EPixelFormat::Rgb24, EPixelFormat::Argb32}) {
        const Bitmap img = Noisy(37, 23, format, 5);
        for (EFilter f : {EFilter::None, EFilter::Sub, EFilter::Up, EFilter::Paeth,
                          EFilter::Adaptive, EFilter::Default}) {
            SPngOptions o;
            o.filter = f;
            std::vector<uint8_t> png;
            std::string error;
            ASSERT_TRUE(EncodePng(img, png, error, o)) << error;
            Bitmap back;
            ASSERT_TRUE(DecodeImage(png, back, error)) << error;
            ExpectSamePixels(img, back);
        }
    }
}

TEST(PngFastPath, PaletteWithAlphaAndEveryLevelReadsBack) {
    Bitmap img = Noisy(61, 17, EPixelFormat::Indexed8, 9);
    SPalette palette;
    for (int i = 0; i < 256; ++i)
        palette.entries.push_back(MakeArgb(i < 10 ? static_cast<uint8_t>(i * 20) : 255,
                                           static_cast<uint8_t>(i), 7, static_cast<uint8_t>(~i)));
    img.SetPalette(palette);
    for (int level : {0, 1, 6, 12}) {
        SPngOptions o = DefaultPngOptions(img.Format());
        o.level = level;
        std::vector<uint8_t> png;
        std::string error;
        ASSERT_TRUE(EncodePng(img, png, error, o)) << error;
        Bitmap back;
        ASSERT_TRUE(DecodeImage(png, back, error)) << error;
        ExpectSamePixels(img, back);
        EXPECT_EQ(back.Palette().entries, palette.entries) << level;
        EXPECT_TRUE(back.Palette().flags & kPaletteHasAlpha);
    }
}

TEST(PngFastPath, DamagedFilesAreRefused) {
    for (EPixelFormat format : {EPixelFormat::Indexed8, EPixelFormat::Rgb24}) {
        Bitmap img = Noisy(40, 30, format, 3);
        if (format == EPixelFormat::Indexed8) img.SetPalette({0, std::vector<uint32_t>(256, ~0u)});
        std::vector<uint8_t> png;
        std::string error;
        ASSERT_TRUE(EncodePng(img, png, error));
        size_t idat = 0;
        for (size_t i = 8; i + 8 < png.size(); ++i)
            if (std::memcmp(&png[i + 4], "IDAT", 4) == 0) idat = i;
        ASSERT_GT(idat, 0u);
        std::vector<uint8_t> flipped = png;
        flipped[idat + 20] ^= 0x10;  // a data byte: the chunk's CRC no longer holds
        Bitmap back;
        EXPECT_FALSE(DecodeImage(flipped, back, error));
        const std::vector<uint8_t> cut(png.begin(),
                                       png.begin() + static_cast<ptrdiff_t>(idat + 30));
        EXPECT_FALSE(DecodeImage(cut, back, error));
        EXPECT_TRUE(back.IsEmpty());
    }
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// The palette writer: rows handed over in any pieces (or not at all before
// Finish) give the same file, which reads back as EncodePng's does.
TEST(IndexedPngWriter, SameFileWhateverThePiecesAndReadsBack) {
    Bitmap img = Noisy(301, 77, EPixelFormat::Indexed8, 3);
    SPalette palette;
    for (int i = 0; i < 200; ++i)
        palette.entries.push_back(MakeArgb(i == 5 ? 0 : 255, static_cast<uint8_t>(i), 1, 2));
    img.SetPalette(palette);
    std::vector<uint8_t> reference;
    std::string error;
    {
        CIndexedPngWriter writer(img.Width(), img.Height());
        ASSERT_TRUE(writer.Finish(img, reference, error)) << error;
    }
    for (int step : {1, 16, 50, 77}) {
        CIndexedPngWriter writer(img.Width(), img.Height());
        for (int rows = step; rows < img.Height(); rows += step) writer.TakeRows(img, rows);
        writer.TakeRows(img, 3);  // rows already taken are not taken again
        std::vector<uint8_t> png;
        ASSERT_TRUE(writer.Finish(img, png, error)) << error;
        EXPECT_EQ(png, reference) << step;
    }
    Bitmap back;
    ASSERT_TRUE(DecodeImage(reference, back, error)) << error;
    ExpectSamePixels(img, back);
    std::vector<uint8_t> encoded;
    ASSERT_TRUE(EncodePng(img, encoded, error)) << error;
    Bitmap viaEncode;
    ASSERT_TRUE(DecodeImage(encoded, viaEncode, error)) << error;
    EXPECT_EQ(back.Palette().entries, viaEncode.Palette().entries);
    EXPECT_EQ(back.Palette().flags, viaEncode.Palette().flags);
}

TEST(IndexedPngWriter, RefusesOtherPicturesAndStopsWhenLeft) {
    const Bitmap img = Noisy(40, 30, EPixelFormat::Indexed8, 4);
    std::string error;
    std::vector<uint8_t> png;
    {
        CIndexedPngWriter writer(41, 30);
        writer.TakeRows(img, 30);  // ignored: not the writer's size
        EXPECT_FALSE(writer.Finish(img, png, error));
        EXPECT_TRUE(png.empty());
        EXPECT_FALSE(error.empty());
    }
    {
        CIndexedPngWriter writer(40, 30);
        EXPECT_FALSE(writer.Finish(Noisy(40, 30, EPixelFormat::Rgb24, 4), png, error));
    }
    {
        CIndexedPngWriter writer(0, 30);
        EXPECT_FALSE(writer.Finish(img, png, error));
    }
    // Left half way: the destructor stops the deflate instead of waiting.
    CIndexedPngWriter writer(40, 30);
    writer.TakeRows(img, 12);
}

}  // namespace
}  // namespace tessel
