// ODS syntax, object data and the run-length code.
#include <gtest/gtest.h>

#include <random>

#include "codec/display_set.h"
#include "stream_builder.h"

namespace tessel {
namespace {

using test::Bytes;

Bytes Encode(const Bytes& row) {
    Bytes out(2 * row.size() + 2);
    out.resize(
        static_cast<size_t>(EncodeLine(row.data(), static_cast<int>(row.size()), out.data())));
    return out;
}

TEST(RunLength, WorkedRows) {
    struct SCase {
        const char* name;
        Bytes row;
        Bytes coded;
    };
    const SCase cases[] = {
        {"100 x colour 0", Bytes(100, 0), {0x00, 0x40, 0x64, 0x00, 0x00}},
        {"5 5 0 7 7 7", {5, 5, 0, 7, 7, 7}, {0x05, 0x05, 0x00, 0x01, 0x00, 0x83, 0x07, 0x00, 0x00}},
        {"64 x colour 9", Bytes(64, 9), {0x00, 0xC0, 0x40, 0x09, 0x00, 0x00}},
        {"one pixel 0", {0}, {0x00, 0x01, 0x00, 0x00}},
        {"two pixels 0", {0, 0}, {0x00, 0x02, 0x00, 0x00}},
        {"63 x colour 0", Bytes(63, 0), {0x00, 0x3F, 0x00, 0x00}},
        {"16383 x colour 255", Bytes(16383, 255), {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {"empty row", {}, {0x00, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Encode(c.row), c.coded);
        Bytes row(c.row.size(), 0xAA);
        EXPECT_EQ(DecodeLine(c.coded, row.data(), static_cast<int>(row.size())),
                  static_cast<int>(c.coded.size()));
        EXPECT_EQ(row, c.row);
    }
}

// Rows built from runs of every length class, decoded back.
TEST(RunLength, DecodeOfEncodeGivesTheRowBack) {
    std::mt19937 rng(20240601);
    const int classes[][2] = {{1, 1}, {2, 2}, {3, 63}, {64, 255}, {256, 16383}};
    for (int iteration = 0; iteration < 400; ++iteration) {
        const int width = iteration < 8 ? (iteration < 4 ? iteration + 1 : 16383 - iteration + 4)
                                        : std::uniform_int_distribution<int>(1, 16383)(rng);
        Bytes row;
        row.reserve(static_cast<size_t>(width));
        while (static_cast<int>(row.size()) < width) {
            const auto& cls = classes[rng() % 5];
            const int length = std::uniform_int_distribution<int>(cls[0], cls[1])(rng);
            const uint8_t colour = rng() % 4 == 0 ? 0 : static_cast<uint8_t>(rng());
            row.insert(row.end(), std::min<size_t>(length, width - row.size()), colour);
        }
        const Bytes coded = Encode(row);
        Bytes back(row.size(), 0xAA);
        ASSERT_EQ(DecodeLine(coded, back.data(), width), static_cast<int>(coded.size()));
        ASSERT_EQ(back, row) << "width " << width << " iteration " << iteration;
    }
}

TEST(RunLength, DecodeStaysInsideItsRow) {
    // A run longer than the row, then pixels beyond it: the row is filled and
    // nothing beyond it is written.
    Bytes coded = {0x00, 0xC0, 0x80, 0x07, 0x05, 0x00, 0x00};
    Bytes row(12, 0xAA);
    EXPECT_EQ(DecodeLine(coded, row.data() + 1, 10), 7);
    EXPECT_EQ(row, (Bytes{0xAA, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 0xAA}));
    // Coded data ending inside a code stops without reading further.
    for (const Bytes& cut :
         {Bytes{0x00}, Bytes{0x00, 0x45}, Bytes{0x00, 0x85}, Bytes{0x00, 0xC1, 0x00}}) {
        Bytes r(4, 0xAA);
        EXPECT_EQ(DecodeLine(cut, r.data(), 4), static_cast<int>(cut.size()));
    }
}

Bytes ObjectData(int width, int height, const Bytes& lines) {
    const size_t length = lines.size() + 4;
    Bytes b = {static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 8),
               static_cast<uint8_t>(length),       static_cast<uint8_t>(width >> 8),
               static_cast<uint8_t>(width),        static_cast<uint8_t>(height >> 8),
               static_cast<uint8_t>(height)};
    test::Append(b, lines);
    return b;
}

TEST(ObjectData, DecodeObject) {
    SIndexedImage image;
    // Row 0 codes 2 of 3 pixels, row 1 codes 4 (one dropped), row 2 has no data.
    Bytes data = ObjectData(3, 3, {5, 6, 0, 0, 1, 2, 3, 4, 0, 0});
    ASSERT_TRUE(DecodeObject(data, image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(image.pixels, (Bytes{5, 6, 0xFF, 1, 2, 3, 0xFF, 0xFF, 0xFF}));

    data.push_back(0);  // size no longer object_data_length + 3
    EXPECT_FALSE(DecodeObject(data, image));
    EXPECT_FALSE(DecodeObject({}, image));
    EXPECT_FALSE(DecodeObject(Bytes{0, 0, 4, 0, 1, 0}, image));
    // A damaged head asking for a huge object is refused.
    EXPECT_FALSE(DecodeObject(ObjectData(65535, 65535, {0, 0}), image));
}

TEST(ObjectData, EncodeObjectRoundTrip) {
    SIndexedImage image;
    image.width = 70;
    image.height = 5;
    for (int i = 0; i < 350; ++i) image.pixels.push_back(static_cast<uint8_t>(i / 9 % 4 * 3));
    const Bytes data = EncodeObject(image);
    ASSERT_GE(data.size(), 7u);
    EXPECT_EQ(data[3] << 8 | data[4], 70);
    EXPECT_EQ(data[5] << 8 | data[6], 5);
    SIndexedImage back;
    ASSERT_TRUE(DecodeObject(data, back));
    EXPECT_EQ(back.pixels, image.pixels);

    image.width = 16384;
    image.height = 1;
    image.pixels.assign(16384, 1);
    EXPECT_TRUE(EncodeObject(image).empty());
    image.pixels.resize(3);
    EXPECT_TRUE(EncodeObject(image).empty());
}

TEST(ObjectData, SplitObjectFragments) {
    struct SCase {
        size_t size;
        std::vector<size_t> fragments;
    };
    const SCase cases[] = {
        {0, {}}, {65515, {65515}}, {65516, {65515, 1}}, {131030, {65515, 65515}}};
    for (const auto& c : cases) {
        Bytes data(c.size);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
        auto list = SplitObject(data, 42);
        ASSERT_EQ(list.size(), c.fragments.size());
        COdsArray array;
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i]->fragment.size(), c.fragments[i]);
            EXPECT_EQ(list[i]->objectId, 42);
            EXPECT_EQ(list[i]->firstInSequence, i == 0);
            EXPECT_EQ(list[i]->lastInSequence, i + 1 == list.size());
            EXPECT_LE(list[i]->Write(nullptr), 65535);
            array.Append(std::move(list[i]));
        }
        EXPECT_EQ(JoinObjectData(&array, 42), data);
    }
}

TEST(Ods, ParseWriteDumpAndJoin) {
    COds ods;
    EXPECT_EQ(ods.Parse(Bytes{0, 7, 1, 0x80}), 4);
    EXPECT_EQ(ods.FragmentSize(), 0);
    EXPECT_TRUE(ods.fragment.empty());

    Bytes payload = {0x01, 0x02, 3, 0x95, 0, 0, 8, 0, 2, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(ods.Parse(payload), 15);
    EXPECT_EQ(ods.objectId, 0x0102);
    EXPECT_TRUE(ods.firstInSequence);
    EXPECT_FALSE(ods.lastInSequence);
    EXPECT_EQ(ods.sequenceLowBits, 0x15);
    Bytes out(static_cast<size_t>(ods.Write(nullptr)));
    ods.Write(out.data());
    EXPECT_EQ(out, test::Segment(0x15, payload));
    std::string text;
    ods.Dump(text, "");
    EXPECT_NE(
        text.find("ObjectId: 258\nObjectVersion: 3\nSequenceDescriptor: \n FirstFlag/LastFlag: "
                  "1/0\nFragmentSize: 11\nObjectDataLength: 8\nObjectWidth: 2\nObjectHeight: 1\n"),
        std::string::npos);

    // Fragments of one id join in list order whatever their flags say.
    COdsArray list;
    for (const Bytes& frag : {Bytes{1, 2}, Bytes{9}, Bytes{3}}) {
        auto o = std::make_unique<COds>();
        o->objectId = frag[0] == 9 ? 8 : 7;
        o->firstInSequence = false;
        o->fragment = frag;
        list.Append(std::move(o));
    }
    EXPECT_EQ(JoinObjectData(&list, 7), (Bytes{1, 2, 3}));
    EXPECT_TRUE(JoinObjectData(&list, 5).empty());
    EXPECT_TRUE(JoinObjectData(nullptr, 7).empty());
}

TEST(Ods, AddObjectFromImage) {
    CDsData ds;
    SIndexedImage image{2, 2, {1, 1, 0, 0}};
    ASSERT_TRUE(AddObjectFromImage(image, ds, 3));
    ASSERT_TRUE(ds.odsList);
    ASSERT_EQ(ds.odsList->GetSize(), 1);
    SIndexedImage back;
    ASSERT_TRUE(DecodeObject(JoinObjectData(ds.odsList.get(), 3), back));
    EXPECT_EQ(back.pixels, image.pixels);
}

}  // namespace
}  // namespace tessel
