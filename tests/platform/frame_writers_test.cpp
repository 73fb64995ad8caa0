// Frames written fast as PNG (palette or RGB, read back pixel for pixel) and
// as animations: APNG chunks with their frame count and delays, WebP read
// back through libwebp's demux API, held frames merged, and failures that
// leave no file.
#include <gtest/gtest.h>

#include <webp/demux.h>

#include <cstring>
#include <filesystem>

#include "platform/animated_picture.h"
#include "platform/files.h"
#include "platform/frame_png.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

// A teal frame with a square of colour c at (x, y); noise adds a pixel of
// its own colour on every row (more than 256 colours).
Bitmap Frame(int x, int y, uint32_t c, bool noise = false) {
    Bitmap f(64, 48, EPixelFormat::Argb32);
    f.Fill(0xFF008080u);
    f.FillRect(x, y, 10, 10, c);
    if (noise)
        for (int r = 0; r < 48; ++r)
            for (int i = 0; i < 6; ++i) f.SetPixel(i, r, MakeArgb(255, r, i * 40, 7));
    return f;
}

uint32_t Be32(const std::vector<uint8_t>& d, size_t at) {
    return uint32_t{d[at]} << 24 | uint32_t{d[at + 1]} << 16 | uint32_t{d[at + 2]} << 8 | d[at + 3];
}

struct SChunk {
    std::string type;
    size_t data;  // offset of its data
    uint32_t size;
};

std::vector<SChunk> Chunks(const std::vector<uint8_t>& png) {
    std::vector<SChunk> out;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t size = Be32(png, at);
        out.push_back({std::string(png.begin() + at + 4, png.begin() + at + 8), at + 8, size});
        at += 12 + size;
    }
    return out;
}

class FrameWriters : public ::testing::Test {
protected:
    test::CTempDir dir;
};

TEST_F(FrameWriters, FramePngsReadBackAsTheyWere) {
    struct SCase {
        Bitmap frame;
        uint8_t colourType;  // IHDR byte 9
    };
    Bitmap translucent = Frame(3, 4, 0x80FF0000u);
    translucent.SetPixel(0, 0, 0x40123456u);
    Bitmap rgb = Frame(1, 1, 0xFFFFFF00u).ConvertTo(EPixelFormat::Rgb24);
    SCase cases[] = {{Frame(5, 5, 0xFFFF0000u), 3},
                     {translucent, 3},
                     {rgb, 3},
                     {Frame(5, 5, 0xFF00FF00u, true), 2}};
    for (const SCase& c : cases) {
        std::vector<uint8_t> png;
        ASSERT_EQ(EncodeFramePng(c.frame, png).Message(), "");
        EXPECT_EQ(png[25], c.colourType);
        Bitmap back;
        ASSERT_EQ(DecodeImage(png, back).Message(), "");
        for (int y = 0; y < c.frame.Height(); ++y)
            for (int x = 0; x < c.frame.Width(); ++x)
                ASSERT_EQ(back.GetPixel(x, y), c.frame.GetPixel(x, y)) << x << "," << y;
    }
    const std::string bad = (dir.Path() / "no" / "f.png").string();
    const CResult saved = SaveFramePng(bad, Frame(0, 0, 0xFFFFFFFFu));
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.Text().rfind(bad + ": ", 0), 0u) << saved.Text();
}

TEST_F(FrameWriters, ApngHoldsUnchangedFramesAndSplitsLongDelays) {
    const std::string path = (dir.Path() / "a.apng").string();
    CAnimationWriter w(EAnimationFormat::Apng, path, 64, 48);
    // Shown: A 40 ms, B 30 + 50 ms (held), A 70,000 ms (two frame controls).
    ASSERT_EQ(w.AddFrame(Frame(0, 0, 0xFFFF0000u), 40).Message(), "");
    ASSERT_EQ(w.AddFrame(Frame(20, 30, 0xFFFF0000u), 30).Message(), "");
    ASSERT_EQ(w.AddFrame(Frame(20, 30, 0xFFFF0000u), 50).Message(), "");
    ASSERT_EQ(w.AddFrame(Frame(0, 0, 0xFFFF0000u), 70000).Message(), "");
    EXPECT_EQ(w.Frames(), 3);
    ASSERT_EQ(w.Finish().Message(), "");
    const std::vector<uint8_t> png = test::ReadBytes(path);
    std::vector<uint32_t> delays, boxes;
    uint32_t frames = 0;
    std::string order;
    for (const SChunk& c : Chunks(png)) {
        if (c.type == "acTL") frames = Be32(png, c.data);
        if (c.type == "fcTL") {
            delays.push_back(uint32_t{png[c.data + 20]} << 8 | png[c.data + 21]);
            boxes.push_back(Be32(png, c.data + 4) * Be32(png, c.data + 8));
            EXPECT_EQ(png[c.data + 22] << 8 | png[c.data + 23], 1000);
        }
        order += c.type[1];
    }
    EXPECT_EQ(order, "HccDcdcdcdE");  // IHDR acTL fcTL IDAT, (fcTL fdAT) x 3, IEND
    EXPECT_EQ(frames, 4u);
    EXPECT_EQ(delays, (std::vector<uint32_t>{40, 80, 65535, 70000 - 65535}));
    // The first frame whole; then the changed boxes (both squares), and 1 x 1.
    EXPECT_EQ(boxes, (std::vector<uint32_t>{64 * 48, 30 * 40, 30 * 40, 1}));
    Bitmap first;
    ASSERT_EQ(DecodeImage(png, first).Message(), "");
    EXPECT_EQ(first.GetPixel(5, 5), 0xFFFF0000u);
}

TEST_F(FrameWriters, WebpReadsBackWithItsFramesAndDurations) {
    const std::string path = (dir.Path() / "a.webp").string();
    EAnimationFormat format;
    ASSERT_TRUE(AnimationFormatOfPath(path, format));
    EXPECT_EQ(format, EAnimationFormat::WebP);
    CAnimationWriter w(format, path, 64, 48);
    const Bitmap frames[] = {Frame(0, 0, 0xFFFF0000u), Frame(30, 20, 0xFF0000FFu, true),
                             Frame(30, 20, 0xFF0000FFu, true), Frame(8, 8, 0xFFFFFFFFu)};
    const int durations[] = {42, 41, 42, 1000};
    for (int i = 0; i < 4; ++i) ASSERT_EQ(w.AddFrame(frames[i], durations[i]).Message(), "");
    ASSERT_EQ(w.Finish().Message(), "");

    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    ASSERT_TRUE(WebPAnimDecoderOptionsInit(&options));
    options.color_mode = MODE_BGRA;
    WebPAnimDecoder* dec = WebPAnimDecoderNew(&data, &options);
    ASSERT_NE(dec, nullptr);
    WebPAnimInfo info;
    ASSERT_TRUE(WebPAnimDecoderGetInfo(dec, &info));
    EXPECT_EQ(info.frame_count, 3u);
    const int shown[] = {0, 1, 3};  // the held frame merged
    std::vector<int> ends;
    for (int i = 0; WebPAnimDecoderHasMoreFrames(dec); ++i) {
        uint8_t* pixels;
        int end;
        ASSERT_TRUE(WebPAnimDecoderGetNext(dec, &pixels, &end));
        ends.push_back(end);
        ASSERT_LT(i, 3);
        const Bitmap& f = frames[shown[i]];
        for (int y = 0; y < 48; ++y)
            ASSERT_EQ(0, std::memcmp(pixels + y * 64 * 4, f.Row(y), 64 * 4)) << i << " row " << y;
    }
    WebPAnimDecoderDelete(dec);
    EXPECT_EQ(ends, (std::vector<int>{42, 125, 1125}));
}

TEST_F(FrameWriters, FailuresNameThePathAndLeaveNoFile) {
    struct SCase {
        EAnimationFormat format;
        std::string path;
        int frameWidth, duration;
        const char* reason;
    };
    const std::string folder = (dir.Path() / "missing").string();
    const SCase cases[] = {
        {EAnimationFormat::Apng, (dir.Path() / "w.apng").string(), 32, 40, "frame 1 is 32x48"},
        {EAnimationFormat::WebP, (dir.Path() / "d.webp").string(), 64, 0, "a frame of 0 ms"},
        {EAnimationFormat::Apng, folder + "/x.apng", 64, 40, ""},
        {EAnimationFormat::WebP, folder + "/x.webp", 64, 40, ""},
    };
    for (const SCase& c : cases) {
        CAnimationWriter w(c.format, c.path, 64, 48);
        Bitmap f(c.frameWidth, 48, EPixelFormat::Argb32);
        CResult written = w.AddFrame(f, c.duration);
        if (written) written = w.Finish();
        EXPECT_FALSE(written) << c.path;
        EXPECT_EQ(written.Text().rfind(c.path + ": ", 0), 0u) << written.Text();
        EXPECT_NE(written.Text().find(c.reason), std::string::npos) << written.Text();
        EXPECT_FALSE(std::filesystem::exists(c.path));
    }
    CAnimationWriter empty(EAnimationFormat::Apng, (dir.Path() / "e.apng").string(), 8, 8);
    EXPECT_NE(empty.Finish().Text().find("no frames"), std::string::npos);
    EAnimationFormat format;
    EXPECT_FALSE(AnimationFormatOfPath("a.png", format));
    EXPECT_TRUE(AnimationFormatOfPath("A.APNG", format));
}

}  // namespace
}  // namespace tessel
