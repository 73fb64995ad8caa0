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
