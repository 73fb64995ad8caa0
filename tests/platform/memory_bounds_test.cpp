// Readers refuse sizes their input cannot carry before allocating for them:
// image files declaring huge pictures, archive counts past the bytes left,
// and disc images held in memory.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/archive.h"
#include "platform/bitmap.h"
#include "platform/disc_image.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int64_t kSmallGrowth = int64_t{16} << 20;

void Le(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Be32(Bytes& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A BMP head (24 bits) declaring the size, with a few bytes of pixels.
Bytes BmpHead(int32_t width, int32_t height) {
    Bytes b = {'B', 'M'};
    Le(b, 54 + 16, 4);
    Le(b, 0, 4);
    Le(b, 54, 4);
    Le(b, 40, 4);
    Le(b, static_cast<uint32_t>(width), 4);
    Le(b, static_cast<uint32_t>(height), 4);
    Le(b, 1, 2);
    Le(b, 24, 2);
    Le(b, 0, 4);  // no compression
    for (int i = 0; i < 5; ++i) Le(b, 0, 4);
    b.resize(b.size() + 16, 0x7F);
    return b;
}

void Chunk(Bytes& png, const char* type, const Bytes& body) {
    Be32(png, static_cast<uint32_t>(body.size()));
    const size_t at = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    Be32(png, static_cast<uint32_t>(crc32(0, png.data() + at, static_cast<uInt>(png.size() - at))));
}

// A PNG (8-bit RGB) declaring the size, every CRC right, with one small
// compressed IDAT: only the declared size is wrong.
Bytes PngHead(uint32_t width, uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    Be32(ihdr, width);
    Be32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    Chunk(png, "IHDR", ihdr);
    Bytes raw(64, 0);
    Bytes idat(compressBound(static_cast<uLong>(raw.size())));
    uLongf n = static_cast<uLongf>(idat.size());
    compress(idat.data(), &n, raw.data(), static_cast<uLong>(raw.size()));
    idat.resize(n);
    Chunk(png, "IDAT", idat);
    Chunk(png, "IEND", {});
    return png;
}

// A GIF screen and image declaring the size, with an empty table.
Bytes GifHead(uint16_t width, uint16_t height) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    Le(b, width, 2);
    Le(b, height, 2);
    b.insert(b.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C, 0, 0, 0, 0});
    Le(b, width, 2);
    Le(b, height, 2);
    b.insert(b.end(), {0, 2, 2, 0x44, 0x01, 0, 0x3B});
    return b;
}

TEST(MemoryBounds, ImagesDeclaringMorePixelsThanAllowedOrCarriedAreRefusedBeforeDecoding) {
    struct SCase {
        const char* what;
        Bytes file;
        const char* error;  // a part of the message, or null for any
    };
    const std::vector<SCase> cases = {
        {"BMP 100000 x 100000", BmpHead(100000, 100000), "too large"},
        {"BMP 8000 x 8000 in 70 bytes", BmpHead(8000, 8000), "too short for the image size"},
        {"BMP 8000 x -8000 (top-down) in 70 bytes", BmpHead(8000, -8000), nullptr},
        {"PNG 100000 x 100000", PngHead(100000, 100000), nullptr},
        {"PNG 65535 x 65535", PngHead(65535, 65535), "too large"},
        {"PNG 8000 x 8000 in a few bytes", PngHead(8000, 8000), "too short for the image size"},
        {"GIF 65535 x 65535", GifHead(65535, 65535), "too large"},
        {"GIF 8000 x 8000 in a few bytes", GifHead(8000, 8000), "too short for the image size"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bitmap image;
        const CResult decoded = DecodeImage(c.file, image);
        const std::string error = decoded.Message();
        EXPECT_FALSE(decoded);
        EXPECT_FALSE(error.empty());
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
        EXPECT_TRUE(image.IsEmpty());
    }
    // All of them together allocate next to nothing.
    const int64_t growth = test::PeakMemoryGrowth([&] {
        for (const SCase& c : cases) {
            Bitmap image;
            if (DecodeImage(c.file, image)) std::_Exit(1);
        }
    });
    EXPECT_GE(growth, 0);
    EXPECT_LT(growth, kSmallGrowth);
    // The same heads with a size the data can carry still decode.
    Bitmap image;
    EXPECT_EQ(DecodeImage(PngHead(4, 4), image).Message(), "");
    EXPECT_EQ(image.Width(), 4);
}

TEST(MemoryBounds, ArchiveCountsAreCheckedAgainstTheBytesLeft) {
    Bytes bytes(20, 0);
    CArchive ar(bytes);
    EXPECT_TRUE(ar.CheckCount(4, 5, "item"));
    EXPECT_TRUE(ar.CheckCount(20, 0, "item"));
    EXPECT_FALSE(ar.Failed());
    EXPECT_FALSE(ar.CheckCount(5, 5, "item"));
    EXPECT_EQ(ar.Result().Text(), "archive item count exceeds the bytes left");
    CArchive huge(bytes);
    EXPECT_FALSE(huge.CheckCount(UINT64_MAX, 1, "item"));
    EXPECT_TRUE(huge.Failed());
    CArchive storing;
    EXPECT_TRUE(storing.CheckCount(UINT64_MAX, 1, "item"));
    EXPECT_FALSE(storing.Failed());

    // A byte block whose length runs past the end is refused before it is
    // allocated.
    const Bytes blob = {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};
    const int64_t growth = test::PeakMemoryGrowth([&] {
        CArchive in(blob);
        Bytes out;
        in.IoBytes(out);
        if (!in.Failed() || !out.empty()) std::_Exit(1);  // loaded: the growth reads -1
    });
    EXPECT_GE(growth, 0);
    EXPECT_LT(growth, kSmallGrowth);
}

class DiscImageMemory : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("genisoimage")) GTEST_SKIP() << "genisoimage is not installed";
        const auto root = dir_.Path() / "disc";
        std::filesystem::create_directories(root / "BDMV" / "PLAYLIST");
        std::ofstream(root / "BDMV" / "index.bdmv", std::ios::binary) << "INDX0200";
        std::ofstream(root / "BDMV" / "PLAYLIST" / "00001.mpls", std::ios::binary)
            << std::string(5000, 'p');
        iso_ = (dir_.Path() / "disc.iso").string();
        const std::string cmd = "genisoimage -quiet -udf -V TESSELTEST -o '" + iso_ + "' '" +
                                root.string() + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        bytes_ = test::ReadBytes(iso_);
        ASSERT_GT(bytes_.size(), 257u * 2048);
    }

    test::CTempDir dir_;
    std::string iso_;
    Bytes bytes_;
};

TEST_F(DiscImageMemory, ReadsAsTheImageFileDoes) {
    auto openedMemory = CDiscImage::OpenMemory(bytes_, "disc in memory");
    ASSERT_TRUE(openedMemory) << openedMemory.Result().Message();
    auto openedFile = CDiscImage::Open(iso_);
    ASSERT_TRUE(openedFile) << openedFile.Result().Message();
    const auto& memory = *openedMemory;
    const auto& file = *openedFile;
    EXPECT_EQ(memory->Path(), "disc in memory");
    EXPECT_EQ(memory->VolumeId(), file->VolumeId());
    EXPECT_EQ(memory->ListFiles("/BDMV"), file->ListFiles("/BDMV"));
    EXPECT_EQ(memory->ListFiles("/BDMV/PLAYLIST"), (std::vector<std::string>{"00001.mpls"}));
    Bytes a, b;
    ASSERT_TRUE(memory->ReadFile("/BDMV/PLAYLIST/00001.mpls", a).Ok());
    ASSERT_TRUE(file->ReadFile("/BDMV/PLAYLIST/00001.mpls", b).Ok());
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.size(), 5000u);
    int64_t size = 0;
    std::vector<SImageExtent> extents;
    ASSERT_TRUE(memory->FileExtents("/BDMV/PLAYLIST/00001.mpls", size, extents));
    ASSERT_EQ(extents.size(), 1u);
    EXPECT_EQ(Bytes(bytes_.begin() + extents[0].imageOffset,
                    bytes_.begin() + extents[0].imageOffset + extents[0].length),
              a);
    EXPECT_FALSE(memory->ReadFile("/BDMV/missing", a).Ok());
    EXPECT_TRUE(a.empty());
}

TEST_F(DiscImageMemory, CutOrEmptyImagesAreRefusedWithTheirName) {
    for (size_t keep : {size_t{0}, size_t{100}, size_t{20 * 2048}, size_t{200 * 2048}}) {
        SCOPED_TRACE(keep);
        const Bytes cut(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(keep));
        const auto opened = CDiscImage::OpenMemory(cut, "cut.iso");
        EXPECT_FALSE(opened);
        const std::string error = opened.Result().Message();
        EXPECT_NE(error.find("cut.iso: not a readable UDF disc image"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace tessel
