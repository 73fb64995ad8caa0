// The full-size photo path, pinned to the results the quantiser and the
// quantize command gave before their speed work: the palette in order and
// every index of a 1920x1080 photo, in process and through the files.
#include <gtest/gtest.h>

#include "authoring/synthetic_photo.h"
#include "codec/quantizer.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using test::Fnv;

uint64_t HashRows(uint64_t h, const Bitmap& indexed) {
    for (int y = 0; y < indexed.Height(); ++y)
        for (int x = 0; x < indexed.Width(); ++x) h = Fnv(h, indexed.Row(y)[x]);
    return h;
}

constexpr uint64_t kPhotoHash = 0xf1d81831d923f41cull;

TEST(QuantizePhoto, FullHdInProcessAndThroughFiles) {
    const Bitmap photo = authoring::SyntheticPhoto(1920, 1080);
    Bitmap out;
    const auto colours = QuantizeImage(photo, {}, out);
    ASSERT_EQ(colours.size(), 255u);
    uint64_t h = 14695981039346656037ull;
    for (const auto& c : colours) h = Fnv(Fnv(Fnv(h, c.red), c.green), c.blue);
    h = HashRows(h, out);
    EXPECT_EQ(h, kPhotoHash) << std::hex << h;

    test::CTempDir tmp;
    const std::string in = (tmp.Path() / "photo.png").string();
    const std::string result = (tmp.Path() / "out.png").string();
    ASSERT_EQ(SavePng(in, photo).Message(), "");
    const auto r = test::RunCli({"quantize", in, result});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Bitmap file;
    ASSERT_EQ(LoadImage(result, file).Message(), "");
    ASSERT_EQ(file.Format(), EPixelFormat::Indexed8);
    ASSERT_GE(file.Palette().entries.size(), 255u);
    uint64_t f = 14695981039346656037ull;
    for (size_t i = 0; i < 255; ++i) {
        const uint32_t c = file.Palette().entries[i];
        f = Fnv(Fnv(Fnv(f, ArgbRed(c)), ArgbGreen(c)), ArgbBlue(c));
    }
    EXPECT_EQ(HashRows(f, file), kPhotoHash) << std::hex << HashRows(f, file);
}

}  // namespace
}  // namespace tessel
