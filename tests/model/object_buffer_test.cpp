// Memory the model takes for a stream's graphic objects: an object whose
// coded lines cannot fill its declared size is not allocated, and the decoded
// objects of an epoch stay within the decoder's object buffer. Peak memory is
// measured in a forked child through its own resident-set high-water mark.
#include <gtest/gtest.h>

#include <functional>

#include "codec/stream_builder.h"
#include "model/ig_object.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using test::Bytes;

// ODS payload carrying a whole object: head declaring width x height and
// codedBytes of line ends (0x00 0x00 pairs).
Bytes OdsPayload(uint16_t id, int width, int height, size_t codedBytes) {
    const size_t length = 4 + codedBytes;
    Bytes b = {static_cast<uint8_t>(id >> 8),
               static_cast<uint8_t>(id),
               0x00,
               0xC0,
               static_cast<uint8_t>(length >> 16),
               static_cast<uint8_t>(length >> 8),
               static_cast<uint8_t>(length),
               static_cast<uint8_t>(width >> 8),
               static_cast<uint8_t>(width),
               static_cast<uint8_t>(height >> 8),
               static_cast<uint8_t>(height)};
    b.reserve(b.size() + codedBytes);  // (also keeps GCC 12's bounds warning quiet)
    b.resize(b.size() + codedBytes, 0x00);
    return b;
}

// One PG display set: PCS, a one-entry PDS, count ODS with ids 0..count-1, END.
Bytes PgStream(int count, int width, int height, size_t codedBytes) {
    Bytes s = test::Record("PG", 90000, 0, kSegmentPcs, test::PcsPayload(kStateEpochStart, 1));
    test::Append(s, test::Record("PG", 90000, 0, kSegmentPds, {0x00, 0x00, 1, 128, 128, 128, 255}));
    for (int i = 0; i < count; ++i)
        test::Append(s,
                     test::Record("PG", 90000, 0, kSegmentOds,
                                  OdsPayload(static_cast<uint16_t>(i), width, height, codedBytes)));
    test::Append(s, test::Record("PG", 90000, 0, kSegmentEnd, {}));
    return s;
}

struct SBuilt {
    int objects = 0;
    int64_t pixels = 0;
    int64_t droppedAt = -1;
    std::string why;
};

SBuilt Build(const Bytes& stream) {
    SBuilt out;
    CMemorySource source(stream);
    CGsData data;
    if (!data.Read(source, false)) return out;
    CIgObject ig;
    CResult dropped;
    ig.BuildFromStream(data, &dropped);
    for (const auto& epoch : ig)
        for (const CGraphicObject* o : epoch->graphics.List()) {
            ++out.objects;
            out.pixels += int64_t{o->width} * o->height;
        }
    out.droppedAt = dropped.Offset();
    out.why = dropped.Text();
    return out;
}

constexpr int64_t kPeakLimit = int64_t{64} << 20;

TEST(ObjectBuffer, FortyHeadsWithoutLinesAllocateNothing) {
    // 40 objects of 8192 x 8192 declared by their 7-byte heads alone: a
    // decoder would need 2.5 GiB; the data cannot code a single line.
    const Bytes stream = PgStream(40, 8192, 8192, 0);
    EXPECT_LT(stream.size(), 1100u);
    const SBuilt built = Build(stream);
    EXPECT_EQ(built.objects, 0);
    EXPECT_GT(built.droppedAt, 0);
    EXPECT_LT(built.droppedAt, static_cast<int64_t>(stream.size()));
    EXPECT_NE(built.why.find("graphic object 0"), std::string::npos) << built.why;
    EXPECT_NE(built.why.find("too short"), std::string::npos) << built.why;

    const int64_t peak = test::PeakMemoryGrowth([&] { Build(stream); });
    ASSERT_GE(peak, 0);
    EXPECT_LT(peak, kPeakLimit);
}

TEST(ObjectBuffer, EpochStopsAtTheObjectBuffer) {
    // Objects whose data does hold a line end per row, 4 MiB of pixels each:
    // a PG epoch keeps what fits in its 4 MiB buffer and reports the rest.
    const Bytes stream = PgStream(40, 2048, 2048, 2 * 2048);
    const SBuilt built = Build(stream);
    EXPECT_EQ(built.objects, 1);
    EXPECT_LE(built.pixels, kPgObjectBufferBytes);
    EXPECT_NE(built.why.find("graphic object 1"), std::string::npos) << built.why;
    EXPECT_NE(built.why.find("object buffer"), std::string::npos) << built.why;

    const int64_t peak = test::PeakMemoryGrowth([&] { Build(stream); });
    ASSERT_GE(peak, 0);
    EXPECT_LT(peak, kPeakLimit);

    // One row short of its line ends: the object is refused outright.
    const SBuilt shortData = Build(PgStream(1, 16, 16, 2 * 16 - 1));
    EXPECT_EQ(shortData.objects, 0);
    EXPECT_NE(shortData.why.find("too short"), std::string::npos);
    EXPECT_EQ(Build(PgStream(1, 16, 16, 2 * 16)).objects, 1);
}

TEST(ObjectBuffer, LoadStreamNamesTheFileAndOffset) {
    test::CTempDir dir;
    const std::string path = dir.Str() + "/heads.sup";
    const Bytes stream = PgStream(40, 8192, 8192, 0);
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(stream.data(), 1, stream.size(), f);
        std::fclose(f);
    }
    test::CMessageCapture capture;
    CIgObject ig;
    std::vector<std::string> notes;
    EXPECT_TRUE(ig.LoadStream(path, false, &notes));
    EXPECT_TRUE(capture.messages.empty());
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find(path), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find("(at byte "), std::string::npos) << notes[0];
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// Found by the bare-stream harness: an ODS of no bytes is left out with a
// reason (it had none) at the offset it was read from.
TEST(ObjectBuffer, ObjectWithoutDataIsLeftOutWithItsReason) {
    const std::vector<uint8_t> data = {0x16, 0, 0, 0x15, 0, 0, 0x80, 0, 0, 0x80, 0, 0, 0, 0};
    CMemorySource source({data.data(), data.size()});
    CGsData gs;
    SStreamInfo info;
    EXPECT_FALSE(ReadStream(gs.epochs, source, true, &info));  // cut in its last header
    EXPECT_EQ(info.error.Offset(), 12);
    CIgObject ig;
    CResult dropped;
    ig.BuildFromStream(gs, &dropped);
    EXPECT_EQ(dropped.Offset(), 3);
    EXPECT_EQ(dropped.Text(), "graphic object 0 left out: the object data has no head");
}

}  // namespace
}  // namespace tessel
