// Segment framing, PDS, ICS, PCS and WDS: syntax, sizes and dumps.
#include <gtest/gtest.h>

#include "codec/display_set.h"
#include "model/ic_data.h"
#include "stream_builder.h"

namespace tessel {
namespace {

using test::Bytes;

CSegmentBase* ReadOne(CDsData& ds, const Bytes& bytes, CResult* error = nullptr) {
    CMemorySource src(bytes);
    CResultOf<CSegmentBase*> read = ReadSegment(ds, src);
    if (!read && error) *error = read.Result();
    return read ? *read : nullptr;
}

TEST(SegmentRead, EndWithoutPayloadIsCreatedWithoutParse) {
    CDsData ds;
    CSegmentBase* s = ReadOne(ds, {0x80, 0x00, 0x00});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s, ds.end.get());
    EXPECT_EQ(s->segmentType, 0x80);
    EXPECT_EQ(s->segmentLength, 0);
}

TEST(SegmentRead, RejectedHeaders) {
    struct SCase {
        const char* name;
        Bytes first;  // read first, must succeed when not empty
        Bytes bytes;
        const char* error;
    };
    const SCase cases[] = {
        {"unknown type", {}, {0x21, 0x00, 0x00}, "unknown segment type 0x21"},
        {"short header", {}, {0x14, 0x00}, "truncated segment header"},
        {"second END", {0x80, 0, 0}, {0x80, 0x00, 0x00}, "second END in one display set"},
        {"second PCS", {0x16, 0, 0}, {0x16, 0x00, 0x00}, "second PCS in one display set"},
        {"second WDS", {0x17, 0, 0}, {0x17, 0x00, 0x00}, "second WDS in one display set"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDsData ds;
        if (!c.first.empty()) {
            ASSERT_NE(ReadOne(ds, c.first), nullptr);
        }
        CResult error;
        EXPECT_EQ(ReadOne(ds, c.bytes, &error), nullptr);
        EXPECT_EQ(error.Text(), c.error);
        EXPECT_EQ(ds.SegmentCount(), c.first.empty() ? 0 : 1);
    }
}

TEST(SegmentRead, TruncatedPayloadIsNotKept) {
    for (uint8_t type : {0x14, 0x15, 0x16, 0x17, 0x18}) {
        CDsData ds;
        CResult error;
        EXPECT_EQ(ReadOne(ds, {type, 0x00, 0x05, 1, 2, 3}, &error), nullptr);
        EXPECT_EQ(ds.SegmentCount(), 0) << int(type);
        EXPECT_EQ(error.Offset(), 0);
    }
}

TEST(SegmentRead, MarkerIsComparedWithoutCase) {
    for (const char* marker : {"pg", "Pg", "IG", "iG"}) {
        Bytes b = test::Record(marker, 90000, 45000, 0x80, {});
        CDsData ds;
        CMemorySource src(b);
        EXPECT_EQ(ReadDisplaySet(ds, src, false), kReadOk) << marker;
        ASSERT_TRUE(ds.end);
        EXPECT_EQ(ds.end->pts, 90000u);
        EXPECT_EQ(ds.end->dts, 45000u);
    }
    Bytes bad = test::Record("XG", 0, 0, 0x80, {});
    CDsData ds;
    CMemorySource src(bad);
    CResult error;
    EXPECT_EQ(ReadDisplaySet(ds, src, false, &error), kReadError);
    EXPECT_EQ(error.Text(), "bad record marker 0x5847");
}

TEST(SegmentWrite, SizeOnlyWriteChangesOnlyTheLength) {
    CPds pds;
    pds.entries.resize(3);
    pds.pts = 7;
    EXPECT_EQ(pds.Write(nullptr), 20);
    EXPECT_EQ(pds.segmentLength, 17);
    EXPECT_EQ(pds.pts, 7u);
    EXPECT_EQ(pds.entries.size(), 3u);
}

TEST(SegmentWrite, RecordAndIndexRecord) {
    CEs end;
    end.pts = 90000;
    end.dts = 0;
    CMemorySink sink, index;
    ASSERT_TRUE(WriteRecord("IG", end, sink, &index));
    EXPECT_EQ(sink.data, (Bytes{'I', 'G', 0, 1, 0x5F, 0x90, 0, 0, 0, 0, 0x80, 0, 0}));
    EXPECT_EQ(end.sourcePosition, 10);
    // DTS 0 is replaced by the PTS: (90000 + 54000000) / 2 = 27045000 = 0x019CAC88,
    // (90000 + 54000000) / 4 = 13522500 = 0x00CE5644.
    EXPECT_EQ(index.data,
              (Bytes{0x80, 0, 0, 0, 3, 0x01, 0x9C, 0xAC, 0x88, 0x00, 0xCE, 0x56, 0x44, 0}));
    end.dts = 1;  // (1 + 54000000) / 2 truncates to 27000000
    uint8_t rec[kIndexRecordSize];
    MakeIndexRecord(end, 3, rec);
    EXPECT_EQ(rec[5] << 24 | rec[6] << 16 | rec[7] << 8 | rec[8], 27000000);
    CMemorySink bare;
    ASSERT_TRUE(WriteRecord(nullptr, end, bare));
    EXPECT_EQ(bare.data, (Bytes{0x80, 0, 0}));
}

TEST(SegmentWrite, UnwritableSegmentWritesNothing) {
    CWds wds;
    wds.windows.resize(3);
    CMemorySink sink;
    EXPECT_FALSE(WriteRecord("PG", wds, sink));
    EXPECT_TRUE(sink.data.empty());
    COds ods;
    ods.fragment.resize(65532);  // 65536 payload bytes: no 16-bit length
    EXPECT_FALSE(WriteRecord("PG", ods, sink));
    EXPECT_TRUE(sink.data.empty());
    ods.fragment.resize(65531);
    EXPECT_TRUE(WriteRecord(nullptr, ods, sink));
    EXPECT_EQ(sink.data.size(), 65538u);
}

TEST(SegmentDump, CommonLines) {
    CEs end;
    end.pts = 90000;
    end.dts = 3723004 * 90 + 89;
    std::string text;
    end.Dump(text, "\t");
    EXPECT_EQ(text,
              "\tPTS: 00:00:01:000(90000)\n"
              "\tDTS: 01:02:03:004(335070449)\n"
              "\tSegmentDescriptor: \n"
              "\t SegmentType: 0x80(128)\n"
              "\t SegmentLength: 0\n");
}

TEST(Pds, ParseWriteAndEdges) {
    CPds pds;
    EXPECT_EQ(pds.Parse(Bytes{3, 4}), 2);
    EXPECT_TRUE(pds.entries.empty());
    EXPECT_EQ(pds.Write(nullptr), 5);

    Bytes payload = {1, 2, 7, 10, 11, 12, 13, 7, 20, 21, 22, 23, 9, 30, 31, 32, 33, 0xEE, 0xEE};
    pds.segmentLength = static_cast<uint16_t>(payload.size());
    EXPECT_EQ(pds.Parse(payload), 17);
    ASSERT_EQ(pds.entries.size(), 3u);  // the 2 trailing bytes are ignored
    EXPECT_EQ(pds.entries[0], (SPaletteEntry{7, 10, 11, 12, 13}));
    EXPECT_EQ(pds.entries[1], (SPaletteEntry{7, 20, 21, 22, 23}));  // duplicate id kept
    Bytes out(static_cast<size_t>(pds.Write(nullptr)));
    pds.Write(out.data());
    EXPECT_EQ(out, test::Segment(0x14, Bytes(payload.begin(), payload.end() - 2)));

    pds.entries.assign(300, SPaletteEntry{});
    EXPECT_EQ(pds.Write(nullptr), 1285);
    EXPECT_EQ(pds.segmentLength, 1282);

    std::string text;
    pds.Dump(text, "");
    EXPECT_NE(text.find("PaletteId: 1\nPaletteVersion: 2\nPaletteEntryCount: 300\n"),
              std::string::npos);
}

TEST(Pds, ArchiveRoundTripAndTruncation) {
    CPdsFolder folder;
    for (int i = 0; i < 2; ++i) {
        auto p = std::make_unique<CPds>();
        p->paletteId = static_cast<uint8_t>(5 + i);
        p->entries = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
        folder.Append(std::move(p));
    }
    CArchive out;
    folder.Serialize(out);
    EXPECT_EQ(out.Buffer().size(), 8u + 2 * (10 + 10));
    CArchive in(out.Buffer());
    CPdsFolder back;
    back.Serialize(in);
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back.GetAt(1)->paletteId, 6);
    EXPECT_EQ(back.GetAt(1)->entries, folder.GetAt(1)->entries);
    EXPECT_EQ(back.GetAt(1)->segmentLength, 0);

    Bytes cut(out.Buffer().begin(), out.Buffer().end() - 1);
    CArchive truncated(cut);
    CPdsFolder broken;
    broken.Serialize(truncated);
    EXPECT_TRUE(truncated.Failed());
    // A huge entry count backed by no bytes fails instead of allocating.
    Bytes huge = {0, 0, 0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    CArchive hugeIn(huge);
    CPds pds;
    pds.Serialize(hugeIn);
    EXPECT_EQ(hugeIn.Result().Text(), "archive palette entry count exceeds the bytes left");
    EXPECT_TRUE(pds.entries.empty());
}

TEST(Pds, FindAndAddPalette) {
    CDsData ds;
    EXPECT_EQ(FindPalette(ds.pdsList.get(), 0), nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ds.AddPalette()->paletteId, i);
    ds.pdsList->GetAt(2)->paletteId = 1;
    EXPECT_EQ(FindPalette(ds.pdsList.get(), 1), ds.pdsList->GetAt(1));
    EXPECT_EQ(FindPalette(ds.pdsList.get(), 9), nullptr);
}

TEST(Ics, ParseWriteDump) {
    CIcs ics;
    ics.Parse(Bytes{0x07, 0x80, 0x04, 0x38, 0x4A, 0x12, 0x34, 0xC5, 0x7F});
    EXPECT_EQ(ics.FragmentSize(), 0);
    EXPECT_EQ(ics.video.frameRate, 4);
    EXPECT_EQ(ics.video.lowBits, 0x0A);
    EXPECT_EQ(ics.compositionNumber, 0x1234);
    EXPECT_EQ(ics.compositionState, 3);
    EXPECT_EQ(ics.compositionLowBits, 5);
    EXPECT_FALSE(ics.firstInSequence);
    EXPECT_TRUE(ics.lastInSequence);
    EXPECT_EQ(ics.sequenceLowBits, 0x3F);
    Bytes out(12);
    EXPECT_EQ(ics.Write(out.data()), 12);
    EXPECT_EQ(out, (Bytes{0x18, 0, 9, 0x07, 0x80, 0x04, 0x38, 0x4A, 0x12, 0x34, 0xC5, 0x7F}));
    std::string text;
    ics.Dump(text, "");
    EXPECT_NE(text.find("\n FrameRate: 4(29.97)\n"), std::string::npos);
    EXPECT_NE(text.find("\n CompositionState: 3(Epoch Continue)\n"), std::string::npos);
    EXPECT_NE(text.find("\n FirstFlag/LastFlag: 0/1\nFragmentSize: 0\n"), std::string::npos);
}

TEST(Ics, VideoDescriptorText) {
    SVideoDescriptor v{1920, 1080, 1, 0};
    EXPECT_EQ(VideoDescriptorText(v), "1920x1080 23.976");
    v.frameRate = 5;
    EXPECT_EQ(VideoDescriptorText(v), "1920x1080 Reserved");
    v.frameRate = 9;
    EXPECT_EQ(VideoDescriptorText(v), "1920x1080");
}

// A composition whose body is a given number of bytes.
class CFixedBody : public CIcData {
public:
    explicit CFixedBody(int size) : size_(size) {}
    int Write(uint8_t* buffer, int) override {
        for (int i = 0; buffer && i < size_; ++i) buffer[i] = static_cast<uint8_t>(i);
        return size_;
    }

private:
    int size_;
};

TEST(Ics, BuildIcsListFragments) {
    struct SCase {
        int size;
        std::vector<int> fragments;
    };
    const SCase cases[] = {{65510, {65510}}, {65511, {65510, 1}}, {131020, {65510, 65510}}};
    for (const auto& c : cases) {
        CDsData ds;
        ds.compositionState = 0;
        ds.CreateSegment(kSegmentIcs);
        ds.CreateSegment(kSegmentIcs);
        CFixedBody body(c.size);
        ASSERT_TRUE(BuildIcsList(body, ds, 1280, 720, 6));
        ASSERT_EQ(ds.icsList->GetSize(), static_cast<int>(c.fragments.size()));
        for (int i = 0; i < ds.icsList->GetSize(); ++i) {
            const CIcs& ics = *ds.icsList->GetAt(i);
            EXPECT_EQ(ics.FragmentSize(), c.fragments[i]);
            EXPECT_EQ(ics.firstInSequence, i == 0);
            EXPECT_EQ(ics.lastInSequence, i + 1 == ds.icsList->GetSize());
            EXPECT_EQ(ics.compositionNumber, 0);
            EXPECT_EQ(ics.compositionState, 0);
            EXPECT_EQ(ics.video, (SVideoDescriptor{1280, 720, 6, 0}));
        }
        EXPECT_EQ(JoinComposition(ds.icsList.get()).size(), static_cast<size_t>(c.size));
        EXPECT_EQ(ds.StreamOrder().size(), c.fragments.size());
    }
}

TEST(Pcs, SizesAndFlags) {
    CPcs pcs;
    EXPECT_EQ(pcs.Write(nullptr), 14);
    EXPECT_EQ(pcs.segmentLength, 11);
    SCompositionObject cropped;
    cropped.cropped = true;
    pcs.objects = {cropped, SCompositionObject{}};
    pcs.Write(nullptr);
    EXPECT_EQ(pcs.segmentLength, 35);

    Bytes payload = test::PcsPayload(1, 0);
    payload[8] = 0xFF;
    payload[10] = 2;
    test::Append(payload, {0, 1, 2, 0xFF, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8});
    test::Append(payload, {0, 9, 1, 0x3F, 0, 1, 0, 2});
    EXPECT_EQ(pcs.Parse(payload), static_cast<int>(payload.size()));
    ASSERT_EQ(pcs.objects.size(), 2u);
    EXPECT_TRUE(pcs.paletteUpdate);
    EXPECT_TRUE(pcs.objects[0].cropped && pcs.objects[0].forcedOn);
    EXPECT_EQ(pcs.objects[0].cropHeight, 8);
    EXPECT_EQ(pcs.objects[1].objectIdRef, 9);
    Bytes out(static_cast<size_t>(pcs.Write(nullptr)));
    pcs.Write(out.data());
    Bytes expected = test::Segment(0x16, payload);
    // Reserved bits are written as zero.
    expected[3 + 8] = 0x80;
    expected[3 + 14] = 0xC0;
    expected[3 + 30] = 0x00;
    EXPECT_EQ(out, expected);

    // A record the payload cannot hold is not created.
    payload.resize(payload.size() - 1);
    pcs.Parse(payload);
    EXPECT_EQ(pcs.objects.size(), 1u);

    std::string text;
    pcs.Dump(text, "");
    EXPECT_NE(text.find("NumberOfCompositionObjects: 1\nCompositionObject 1:\n ObjectIdRef: 1\n"),
              std::string::npos);
    EXPECT_NE(text.find(" ObjectCroppingHeight: 8\n"), std::string::npos);
}

TEST(Wds, SizesAndDump) {
    CWds wds;
    wds.windows = {{0, 1, 2, 3, 4}, {1, 5, 6, 7, 8}};
    EXPECT_EQ(wds.Write(nullptr), 22);
    EXPECT_EQ(wds.segmentLength, 19);
    Bytes out(22);
    wds.Write(out.data());
    CWds back;
    EXPECT_EQ(back.Parse(std::span(out).subspan(3)), 19);
    ASSERT_EQ(back.windows.size(), 2u);
    EXPECT_EQ(back.windows[1].height, 8);
    // Fewer bytes than the count asks for: only complete windows.
    EXPECT_EQ(back.Parse(std::span(out).subspan(3, 15)), 10);
    EXPECT_EQ(back.windows.size(), 1u);
    std::string text;
    wds.Dump(text, "");
    EXPECT_NE(text.find("NumberOfWindows: 2\nWindow 1:\n WindowID: 0\n HorPos/VerPos: 1/2\n "
                        "Width/Height: 3/4\nWindow 2:\n"),
              std::string::npos);
    wds.windows.resize(3);
    EXPECT_EQ(wds.Write(nullptr), 0);
}

}  // namespace
}  // namespace tessel
