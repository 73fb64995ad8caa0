// PNG reading and writing beside libpng: every row filter undone, palettes
// with alpha kept, and damaged files refused rather than read past their
// checks.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/files.h"
#include "platform/image_io.h"
#include "support/test_support.h"

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

// The picture written with the options and read back: the same pixels.
void ExpectReadsBack(const Bitmap& img, const SPngOptions& o, Bitmap& back) {
    std::vector<uint8_t> png;
    ASSERT_EQ(EncodePng(img, png, o).Message(), "");
    ASSERT_EQ(DecodeImage(png, back).Message(), "");
    ExpectSamePixels(img, back);
}

TEST(PngFastPath, EveryFilterAndFormatReadsBack) {
    using EFilter = SPngOptions::EFilter;
    for (EPixelFormat format : {EPixelFormat::Rgb24, EPixelFormat::Argb32}) {
        const Bitmap img = Noisy(37, 23, format, 5);
        for (EFilter f : {EFilter::None, EFilter::Sub, EFilter::Up, EFilter::Paeth,
                          EFilter::Adaptive, EFilter::Default}) {
            SPngOptions o;
            o.filter = f;
            Bitmap back;
            ExpectReadsBack(img, o, back);
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
        Bitmap back;
        ASSERT_NO_FATAL_FAILURE(ExpectReadsBack(img, o, back));
        EXPECT_EQ(back.Palette().entries, palette.entries) << level;
        EXPECT_TRUE(back.Palette().flags & kPaletteHasAlpha);
    }
}

TEST(PngFastPath, DamagedFilesAreRefused) {
    for (EPixelFormat format : {EPixelFormat::Indexed8, EPixelFormat::Rgb24}) {
        Bitmap img = Noisy(40, 30, format, 3);
        if (format == EPixelFormat::Indexed8) img.SetPalette({0, std::vector<uint32_t>(256, ~0u)});
        std::vector<uint8_t> png;
        ASSERT_EQ(EncodePng(img, png).Message(), "");
        size_t idat = 0;
        for (size_t i = 8; i + 8 < png.size(); ++i)
            if (std::memcmp(&png[i + 4], "IDAT", 4) == 0) idat = i;
        ASSERT_GT(idat, 0u);
        std::vector<uint8_t> flipped = png;
        flipped[idat + 20] ^= 0x10;  // a data byte: the chunk's CRC no longer holds
        Bitmap back;
        EXPECT_FALSE(DecodeImage(flipped, back));
        const std::vector<uint8_t> cut(png.begin(),
                                       png.begin() + static_cast<ptrdiff_t>(idat + 30));
        EXPECT_FALSE(DecodeImage(cut, back));
        EXPECT_TRUE(back.IsEmpty());
    }
}

// The file with its one IDAT chunk cut into parts of at most piece bytes, as
// libpng and other writers save large pictures; damage flips the byte of the
// deflate data at that offset (from the end when negative) under a CRC that
// still holds.
std::vector<uint8_t> SplitIdat(const std::vector<uint8_t>& png, size_t piece,
                               std::optional<ptrdiff_t> damage = {}) {
    std::vector<uint8_t> out(png.begin(), png.begin() + 8);
    auto be32 = [](const uint8_t* p) {
        return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    };
    auto put32 = [&out](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
    };
    auto chunk = [&](const char* type, const uint8_t* body, size_t n) {
        put32(static_cast<uint32_t>(n));
        const size_t at = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), body, body + n);
        put32(static_cast<uint32_t>(crc32(0, out.data() + at, static_cast<uInt>(n + 4))));
    };
    std::vector<uint8_t> idat;
    for (size_t p = 8; p + 12 <= png.size();) {
        const size_t n = be32(&png[p]);
        const char* type = reinterpret_cast<const char*>(&png[p + 4]);
        if (std::memcmp(type, "IDAT", 4) == 0) {
            idat.insert(idat.end(), &png[p + 8], &png[p + 8] + n);
        } else {
            if (!idat.empty()) {
                if (damage)
                    idat[static_cast<size_t>(
                        *damage < 0 ? static_cast<ptrdiff_t>(idat.size()) + *damage : *damage)] ^=
                        0x5A;
                for (size_t at = 0; at < idat.size(); at += piece)
                    chunk("IDAT", idat.data() + at, std::min(piece, idat.size() - at));
                idat.clear();
            }
            chunk(type, &png[p + 8], n);
        }
        p += 12 + n;
    }
    return out;
}

// Data split over many IDAT chunks, however small, reads from a file as the
// same bytes in memory do, whether the rows fit in place or not, and when
// the fast reader gives up libpng gets the file as it was: a broken zlib
// head or check value gives the error (or, where libpng does not read the
// check value, the pixels) the untouched bytes give.
TEST(PngFastPath, SplitDataReadsTheSameFromFileAndMemory) {
    test::CTempDir tmp;
    const std::string path = (tmp.Path() / "split.png").string();
    struct SCase {
        int w;
        EPixelFormat format;
    };
    for (const SCase c : {SCase{37, EPixelFormat::Rgb24}, SCase{2, EPixelFormat::Rgb24},
                          SCase{61, EPixelFormat::Indexed8}, SCase{9, EPixelFormat::Argb32}}) {
        Bitmap img = Noisy(c.w, 29, c.format, 11);
        if (c.format == EPixelFormat::Indexed8)
            img.SetPalette({0, std::vector<uint32_t>(256, 0xFF102030)});
        SPngOptions o = DefaultPngOptions(c.format);
        o.level = 0;  // stored: the data reaches over several chunks
        std::vector<uint8_t> png;
        ASSERT_EQ(EncodePng(img, png, o).Message(), "");
        for (size_t piece : {size_t{1}, size_t{7}, size_t{100}}) {
            const std::vector<uint8_t> split = SplitIdat(png, piece);
            ASSERT_EQ(WriteWholeFile(path, split.data(), split.size()).Message(), "");
            Bitmap fromFile, fromMemory;
            ASSERT_EQ(LoadImage(path, fromFile).Message(), "");
            ASSERT_EQ(DecodeImage(split, fromMemory).Message(), "");
            ExpectSamePixels(img, fromFile);
            ExpectSamePixels(img, fromMemory);
            EXPECT_EQ(fromFile.Stride(), img.Stride());

            for (const ptrdiff_t at : {ptrdiff_t{0}, ptrdiff_t{-1}}) {
                const std::vector<uint8_t> bad = SplitIdat(png, piece, at);
                ASSERT_EQ(WriteWholeFile(path, bad.data(), bad.size()).Message(), "");
                const CResult fileResult = LoadImage(path, fromFile);
                const CResult memoryResult = DecodeImage(bad, fromMemory);
                const bool file = fileResult.Ok(), memory = memoryResult.Ok();
                const std::string fileError = fileResult.Message(),
                                  memoryError = memoryResult.Message();
                ASSERT_EQ(file, memory) << fileError << memoryError;
                if (at == 0) {
                    EXPECT_FALSE(file);
                }
                if (file)
                    ExpectSamePixels(fromMemory, fromFile);
                else
                    EXPECT_EQ(fileError, path + ": " + memoryError) << c.w << " " << piece;
            }
        }
    }
}

// Pictures large enough to be inflated on a second thread while the rows
// already there are unfiltered read as libpng reads them, and are told row
// by row as they become final; damage gives libpng's verdict, and rows told
// before the fast reader gave up are called void.
TEST(PngFastPath, LargePicturesReadWhileInflating) {
    test::CTempDir tmp;
    const std::string path = (tmp.Path() / "large.png").string();
    for (EPixelFormat format : {EPixelFormat::Rgb24, EPixelFormat::Argb32}) {
        const Bitmap img = Noisy(1031, 400, format, 21);  // over 1 MiB inflated
        SPngOptions o;
        o.level = 6;
        o.filter = SPngOptions::EFilter::Adaptive;
        std::vector<uint8_t> png;
        ASSERT_EQ(EncodePng(img, png, o).Message(), "");
        const size_t bytes =
            static_cast<size_t>(img.Width()) * (format == EPixelFormat::Rgb24 ? 3 : 4);
        for (const std::optional<ptrdiff_t> damage :
             {std::optional<ptrdiff_t>{}, std::optional<ptrdiff_t>{200000},
              std::optional<ptrdiff_t>{-2}}) {
            const std::vector<uint8_t> file = SplitIdat(png, 65536, damage);
            ASSERT_EQ(WriteWholeFile(path, file.data(), file.size()).Message(), "");
            std::vector<int> told;
            int rowsNotFinal = 0;
            Bitmap fromFile, fromMemory;
            const CResult fileResult = LoadImage(path, fromFile, [&](const Bitmap& b, int rows) {
                if (!told.empty() && rows > 0 && told.back() > 0)
                    for (int y = told.back(); y < rows && !damage; ++y)
                        rowsNotFinal += std::memcmp(b.Row(y), img.Row(y), bytes) != 0;
                told.push_back(rows);
            });
            const CResult memoryResult = DecodeImage(file, fromMemory);
            const bool fromFileOk = fileResult.Ok(), fromMemoryOk = memoryResult.Ok();
            const std::string fileError = fileResult.Message(),
                              memoryError = memoryResult.Message();
            ASSERT_EQ(fromFileOk, fromMemoryOk) << fileError << memoryError;
            if (!damage) {
                ASSERT_TRUE(fromFileOk) << fileError;
                ExpectSamePixels(img, fromFile);
                EXPECT_EQ(rowsNotFinal, 0);
                ASSERT_GT(told.size(), 2u);
                EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
                EXPECT_EQ(told.back(), img.Height());
                continue;
            }
            if (fromFileOk)
                ExpectSamePixels(fromMemory, fromFile);
            else
                EXPECT_EQ(fileError, path + ": " + memoryError);
            // Given up after telling rows: they are void before anything else.
            const auto restart = std::find(told.begin(), told.end(), 0);
            if (!told.empty() && told.front() != img.Height()) {
                ASSERT_NE(restart, told.end());
                if (fromFileOk)
                    EXPECT_EQ(told.back(), img.Height());
                else
                    EXPECT_EQ(restart + 1, told.end());
            }
        }
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
    {
        CIndexedPngWriter writer(img.Width(), img.Height());
        ASSERT_EQ(writer.Finish(img, reference).Message(), "");
    }
    for (int step : {1, 16, 50, 77}) {
        CIndexedPngWriter writer(img.Width(), img.Height());
        for (int rows = step; rows < img.Height(); rows += step) writer.TakeRows(img, rows);
        writer.TakeRows(img, 3);  // rows already taken are not taken again
        std::vector<uint8_t> png;
        ASSERT_EQ(writer.Finish(img, png).Message(), "");
        EXPECT_EQ(png, reference) << step;
    }
    Bitmap back;
    ASSERT_EQ(DecodeImage(reference, back).Message(), "");
    ExpectSamePixels(img, back);
    std::vector<uint8_t> encoded;
    ASSERT_EQ(EncodePng(img, encoded).Message(), "");
    Bitmap viaEncode;
    ASSERT_EQ(DecodeImage(encoded, viaEncode).Message(), "");
    EXPECT_EQ(back.Palette().entries, viaEncode.Palette().entries);
    EXPECT_EQ(back.Palette().flags, viaEncode.Palette().flags);
}

TEST(IndexedPngWriter, RefusesOtherPicturesAndStopsWhenLeft) {
    const Bitmap img = Noisy(40, 30, EPixelFormat::Indexed8, 4);
    std::vector<uint8_t> png;
    {
        CIndexedPngWriter writer(41, 30);
        writer.TakeRows(img, 30);  // ignored: not the writer's size
        const CResult finished = writer.Finish(img, png);
        EXPECT_FALSE(finished);
        EXPECT_TRUE(png.empty());
        EXPECT_FALSE(finished.Text().empty());
    }
    {
        CIndexedPngWriter writer(40, 30);
        EXPECT_FALSE(writer.Finish(Noisy(40, 30, EPixelFormat::Rgb24, 4), png));
    }
    {
        CIndexedPngWriter writer(0, 30);
        EXPECT_FALSE(writer.Finish(img, png));
    }
    // Left half way: the destructor stops the deflate instead of waiting.
    CIndexedPngWriter writer(40, 30);
    writer.TakeRows(img, 12);
}

}  // namespace
}  // namespace tessel
