// Display sets and epochs: how streams are cut and how they end.
#include <gtest/gtest.h>

#include "codec/display_set.h"
#include "stream_builder.h"

namespace tessel {
namespace {

using test::Bytes;

struct SRead {
    bool ok = false;
    CEpochList epochs;
    SStreamInfo info;
};

SRead Read(const Bytes& bytes, bool bare = false) {
    SRead r;
    CMemorySource src(bytes);
    r.ok = ReadStream(r.epochs, src, bare, &r.info);
    return r;
}

std::vector<int> EpochSizes(const CEpochList& epochs) {
    std::vector<int> sizes;
    for (const auto& e : epochs) sizes.push_back(e->GetSize());
    return sizes;
}

TEST(ReadStream, EpochBoundaries) {
    struct SCase {
        const char* name;
        std::vector<Bytes> sets;
        std::vector<int> epochs;
    };
    const Bytes body = {0, 0, 5, 0x80, 0, 0, 0, 0};  // an empty composition body
    const SCase cases[] = {
        {"PG show, clear, show, clear",
         {test::PgDisplaySet(2, 1), test::PgDisplaySet(0, 0), test::PgDisplaySet(2, 1),
          test::PgDisplaySet(0, 0)},
         {2, 2}},
        {"PG normal case continues the epoch",
         {test::PgDisplaySet(2, 1), test::PgDisplaySet(0, 2), test::PgDisplaySet(0, 0)},
         {3}},
        {"two Epoch Start display sets in a row",
         {test::IgDisplaySet(2, body), test::IgDisplaySet(2, body)},
         {1, 1}},
        {"IG acquisition points stay in the epoch",
         {test::IgDisplaySet(2, body), test::IgDisplaySet(1, body), test::IgDisplaySet(3, body),
          test::IgDisplaySet(2, body)},
         {3, 1}},
        {"a display set without PCS or ICS ends its epoch",
         {test::Record("IG", 0, 0, 0x80, {}), test::Record("IG", 0, 0, 0x80, {})},
         {1, 1}},
        {"empty stream", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes stream;
        for (const auto& s : c.sets) test::Append(stream, s);
        SRead r = Read(stream);
        ASSERT_TRUE(r.ok) << r.info.error.Text();
        EXPECT_EQ(EpochSizes(r.epochs), c.epochs);
    }
}

TEST(ReadStream, SecondEpochBeginsWithTheDisplaySetThatEndedTheFirst) {
    Bytes stream = test::IgDisplaySet(2, {1, 2, 3}, 100);
    test::Append(stream, test::IgDisplaySet(2, {4, 5}, 200));
    SRead r = Read(stream);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.epochs.size(), 2u);
    EXPECT_EQ(r.epochs[1]->GetAt(0)->icsList->GetAt(0)->pts, 200u);
    EXPECT_EQ(r.epochs[1]->GetAt(0)->icsList->GetAt(0)->fragment, (Bytes{4, 5}));
    EXPECT_TRUE(r.info.interactive);
    EXPECT_TRUE(r.info.hasVideo);
    EXPECT_EQ(r.info.video, (SVideoDescriptor{1920, 1080, 1, 0}));
}

TEST(ReadStream, CompositionState) {
    Bytes stream = test::PgDisplaySet(3, 1);
    Bytes ig = test::IgDisplaySet(1, {});
    test::Append(stream, ig);
    test::Append(stream, test::Record("IG", 0, 0, 0x80, {}));
    CMemorySource src(stream);
    CDsData ds;
    ASSERT_EQ(ReadDisplaySet(ds, src, false), kReadOk);
    EXPECT_EQ(ds.compositionState, 3);
    ASSERT_EQ(ReadDisplaySet(ds, src, false), kReadOk);
    EXPECT_EQ(ds.compositionState, 1);
    ds.compositionState = 2;
    ASSERT_EQ(ReadDisplaySet(ds, src, false), kReadOk);
    EXPECT_EQ(ds.compositionState, 2);  // no PCS or ICS: the default stays
    EXPECT_EQ(ReadDisplaySet(ds, src, false), kReadEndOfStream);
}

TEST(ReadStream, HowMarkedStreamsEnd) {
    Bytes one = test::PgDisplaySet(2, 1);
    test::Append(one, test::PgDisplaySet(0, 0));
    const Bytes unfinished = test::Record("PG", 0, 0, 0x16, test::PcsPayload(2, 1));
    struct SCase {
        const char* name;
        Bytes tail;
        bool ok;
        std::vector<int> epochs;
        int64_t errorOffset;
    };
    const int64_t at = static_cast<int64_t>(one.size());
    const SCase cases[] = {
        {"ends before a marker", {}, true, {2}, -1},
        {"a display set without END is an error at its start", unfinished, false, {2}, at},
        {"one byte of a marker", {'P'}, false, {2}, at},
        {"ends inside a record head", {'P', 'G', 0, 0}, false, {2}, at},
        {"ends inside a segment", Bytes(unfinished.begin(), unfinished.end() - 1), false, {2}, at},
        {"bad segment type", test::Record("PG", 0, 0, 0x21, {}), false, {2}, at},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes stream = one;
        test::Append(stream, c.tail);
        SRead r = Read(stream);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(EpochSizes(r.epochs), c.epochs);
        EXPECT_EQ(r.info.error.Offset(), c.errorOffset) << r.info.error.Text();
    }
}

TEST(ReadStream, FailureKeepsWhatWasReadForTheCaller) {
    Bytes stream = test::PgDisplaySet(2, 1);
    test::Append(stream, test::PgDisplaySet(0, 0));
    test::Append(stream, test::PgDisplaySet(2, 1));
    test::Append(stream, test::Record("PG", 0, 0, 0x16, test::PcsPayload(0, 1)));
    test::Append(stream, test::Record("PG", 0, 0, 0x17, {0}));
    const int64_t failing = static_cast<int64_t>(stream.size());
    test::Append(stream, test::Record("PG", 0, 0, 0x17, {0}));  // second WDS
    SRead r = Read(stream);
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(r.info.error.Offset(), failing);
    EXPECT_EQ(r.info.error.Text(), "second WDS in one display set");
    EXPECT_EQ(EpochSizes(r.epochs), std::vector<int>{2});
    ASSERT_TRUE(r.info.failedEpoch);
    EXPECT_EQ(r.info.failedEpoch->GetSize(), 1);
    ASSERT_TRUE(r.info.failedDisplaySet);
    EXPECT_EQ(r.info.failedDisplaySet->SegmentCount(), 2);
    EXPECT_FALSE(r.info.hasVideo);
}

TEST(ReadStream, HowBareStreamsEnd) {
    Bytes stream = test::Segment(0x16, test::PcsPayload(2, 1));
    test::Append(stream, test::Segment(0x80, {}));
    test::Append(stream, test::Segment(0x16, test::PcsPayload(0, 0)));
    test::Append(stream, test::Segment(0x80, {}));
    SRead r = Read(stream, true);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(EpochSizes(r.epochs), std::vector<int>{2});
    EXPECT_FALSE(r.info.interactive);
    EXPECT_EQ(r.epochs[0]->GetAt(0)->pcs->pts, 0u);

    Bytes unfinished = stream;
    test::Append(unfinished, test::Segment(0x16, test::PcsPayload(2, 1)));
    const SRead cut = Read(unfinished, true);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.info.error.Offset(), static_cast<int64_t>(stream.size()));
    EXPECT_EQ(cut.info.error.Text(),
              "display set cut off by the end of the stream (no END segment)");
    EXPECT_EQ(EpochSizes(cut.epochs), std::vector<int>{2});
    for (size_t cut : {1, 2}) {
        Bytes partial = stream;
        partial.insert(partial.end(), cut, 0x14);
        SRead p = Read(partial, true);
        EXPECT_FALSE(p.ok) << cut;
        EXPECT_EQ(p.info.error.Offset(), static_cast<int64_t>(stream.size()));
        EXPECT_EQ(p.info.error.Text(), "truncated segment header");
    }
}

TEST(DsData, StreamOrderFollowsArrivalAndReplacement) {
    Bytes stream = test::Record("IG", 0, 0, 0x14, {0, 0});
    test::Append(stream, test::Record("IG", 0, 0, 0x18, test::IcsPayload(2, {1})));
    test::Append(stream, test::Record("IG", 0, 0, 0x18, test::IcsPayload(2, {2})));
    test::Append(stream, test::Record("IG", 0, 0, 0x80, {}));
    CMemorySource src(stream);
    CDsData ds;
    ASSERT_EQ(ReadDisplaySet(ds, src, false), kReadOk);
    auto types = [&ds](bool stream) {
        std::string s;
        for (auto* seg : stream ? ds.StreamOrder() : ds.WriteOrder())
            s += SegmentTypeName(seg->segmentType) + std::string(" ");
        return s;
    };
    EXPECT_EQ(types(true), "PDS ICS ICS END ");
    EXPECT_EQ(types(false), "ICS ICS PDS END ");
    std::vector<std::unique_ptr<CIcs>> list;
    list.push_back(std::make_unique<CIcs>());
    ds.ReplaceIcsList(std::move(list));
    EXPECT_EQ(types(true), "PDS ICS END ");
    CMemorySink sink;
    ASSERT_TRUE(WriteDsData(ds, sink, nullptr, false, true));
    EXPECT_EQ(sink.data.size(), 15u + 22u + 13u);
    EXPECT_EQ(sink.data[0], 'I');
    ds.RemoveSegment(ds.end.get());
    EXPECT_EQ(types(true), "PDS ICS ");
}

}  // namespace
}  // namespace tessel
