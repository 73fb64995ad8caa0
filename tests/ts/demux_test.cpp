// Demuxing: time stamps shifted to the reference, progress, tracks by PID and
// priority, and a real disc's IG stream.
#include <cerrno>
#include <functional>
#include <optional>

#include "ts/demux_support.h"

namespace tessel {
namespace {

using authoring::CTsMuxer;
using authoring::SRecord;
using test::CRecordingProgress;
using test::CTempDir;
using test::kIg;
using test::kVideo;
using test::Records;
using test::RunDemux;
using test::StreamWithVideo;

TEST(Demux, FirstRecordIsShiftedTo131070AndLaterRecordsKeepTheirDistance) {
    CTsMuxer mux = StreamWithVideo(1000);
    mux.AddPes(kIg, 1000 + 60000, 1000 + 50000, authoring::Segment(0x18, 40));
    mux.AddPes(kIg, 1000 + 150000, 1000 + 140000, authoring::Segment(0x80, 0));
    auto run = RunDemux(mux);
    ASSERT_EQ(run.result.Message(), "");
    auto records = Records(run.out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].tag, "IG");
    EXPECT_EQ(records[0].dts, 131070u);
    EXPECT_EQ(records[0].pts, 141070u);
    EXPECT_EQ(records[1].dts, 131070u + 90000);
    EXPECT_EQ(records[1].pts, 141070u + 90000);
    EXPECT_EQ(records[0].segment, authoring::Segment(0x18, 40));
}

// Each row's IG PES packets and the times of the records demuxed from them:
// shifted to the reference (the first video PES, else the PCR, else the
// first PTS) unless late enough, 32 bits kept.
TEST(Demux, RecordTimesFollowTheReference) {
    struct STime {
        size_t record;
        uint32_t pts;
        std::optional<uint32_t> dts;
    };
    struct SRow {
        const char* what;
        std::function<void(CTsMuxer&)> build;
        size_t records;
        std::vector<STime> times;
    };
    const uint64_t wide = (1ull << 32) + 500000;
    const SRow rows[] = {
        {"no shift when the first record is late enough (no DTS in the header)",
         [](CTsMuxer& m) {
             m = StreamWithVideo(1000);
             m.AddPes(kIg, 1000 + 200000, std::nullopt, authoring::Segment(0x18, 4));
         },
         1,
         {{0, 200000, 0}}},
        {"graphics first: the PCR base is the reference",
         [](CTsMuxer& m) {
             m.AddPmt({{0x91, kIg, {}}});
             m.AddPes(kIg, 54090000, 54000000, authoring::Segment(0x18, 10));
             m.AddPcr(1000, 123);
             m.AddPes(kIg, 54180000, std::nullopt, authoring::Segment(0x80, 0));
         },
         2,
         {{0, 54090000 - 1000, 54000000 - 1000}, {1, 54180000 - 1000, std::nullopt}}},
        {"graphics first without a PCR: the first PTS",
         [](CTsMuxer& m) { m.AddPes(kIg, 54090000, 54000000, authoring::Segment(0x18, 10)); },
         1,
         {{0, 131070 + 90000, 131070}}},
        {"33-bit time stamps keep their low 32 bits",
         [&](CTsMuxer& m) {
             m = StreamWithVideo(1000);
             m.AddPes(kIg, wide, wide - 10000, authoring::Segment(0x18, 4));
         },
         1,
         {{0, 499000, 489000}}},
        {"a header without PTS repeats the previous time",
         [](CTsMuxer& m) {
             m = StreamWithVideo(1000);
             m.AddPes(kIg, 1000 + 200000, std::nullopt, authoring::Segment(0x18, 4));
             m.AddPes(kIg, std::nullopt, std::nullopt, authoring::Segment(0x80, 0));
         },
         2,
         {{1, 200000, 0}}},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.what);
        CTsMuxer mux;
        row.build(mux);
        const auto records = Records(RunDemux(mux).out);
        ASSERT_EQ(records.size(), row.records);
        for (const STime& t : row.times) {
            EXPECT_EQ(records[t.record].pts, t.pts) << t.record;
            if (t.dts) {
                EXPECT_EQ(records[t.record].dts, *t.dts) << t.record;
            }
        }
    }
}

TEST(Demux, MapOffsetIsAddedToEveryTimeStamp) {
    CTsMuxer mux = StreamWithVideo(1000);
    mux.AddPes(kIg, 1000 + 200000, 1000 + 190000, authoring::Segment(0x18, 4));
    CTempDir dir;
    CReadFile file;
    ASSERT_EQ(file.Open(mux.Save(dir.Str() + "/t.m2ts")).Message(), "");
    CTrackInfoMap map;
    map.timeOffset = 5000;
    auto info = std::make_unique<STrackInfo>();
    info->streamType = kStreamTypeIg;
    auto mem = std::make_unique<CMemoryFile>();
    CMemoryFile* out = mem.get();
    info->main = std::make_unique<SIgTrackFile>(std::move(mem));
    AddTrack(map, kIg, std::move(info));
    ASSERT_EQ(Demux(file, map, nullptr).Message(), "");
    std::vector<SRecord> records;
    ASSERT_TRUE(authoring::SplitRecords(out->Data(), records));
    EXPECT_EQ(records[0].pts, 205000u);
    EXPECT_EQ(records[0].dts, 195000u);
}

TEST(Demux, PesSpanningPacketsBecomesOneRecord) {
    CTsMuxer mux = StreamWithVideo(0);
    const auto big = authoring::Segment(0x15, 1500);
    mux.AddPes(kIg, 300000, 290000, big);
    mux.AddFiller(kVideo, 2);
    mux.AddPes(kIg, 400000, 390000, authoring::Segment(0x80, 0));
    auto run = RunDemux(mux);
    auto records = Records(run.out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].segment, big);
    EXPECT_EQ(run.out.size(), 10 + big.size() + 10 + 3);
}

TEST(Demux, EmptyMapReturnsZeroWithoutReading) {
    CTsMuxer mux = StreamWithVideo(0);
    CTempDir dir;
    CReadFile file;
    ASSERT_EQ(file.Open(mux.Save(dir.Str() + "/t.m2ts")).Message(), "");
    CTrackInfoMap map;
    CRecordingProgress progress;
    EXPECT_EQ(Demux(file, map, &progress).Message(), "");
    EXPECT_EQ(file.Position(), 0);
    EXPECT_TRUE(progress.captions.empty());
    CReadFile closed;
    EXPECT_EQ(Demux(closed, map, nullptr).Message(), "");
}

TEST(Demux, UnreadableFileFailsWithItsPathAndTheSystemReason) {
    // Reading a process's memory file at offset 0 fails, even for root.
    CReadFile file;
    ASSERT_EQ(file.Open("/proc/self/mem").Message(), "");
    CTrackInfoMap map;
    auto info = std::make_unique<STrackInfo>();
    info->streamType = kStreamTypeIg;
    info->main = std::make_unique<SIgTrackFile>(std::make_unique<CMemoryFile>());
    AddTrack(map, kIg, std::move(info));
    test::CMessageCapture messages;
    const CResult demuxed = Demux(file, map, nullptr);
    EXPECT_TRUE(demuxed.Failed());
    EXPECT_EQ(demuxed.Path(), file.Path());
    EXPECT_EQ(demuxed.Text(), SystemErrorText(EIO));
    EXPECT_TRUE(messages.messages.empty());
}

TEST(Demux, ReportsCaptionPathAndPercent) {
    CTsMuxer mux = StreamWithVideo(0);
    mux.AddFiller(kVideo, 400);
    mux.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x80, 0));
    CRecordingProgress progress;
    auto run = RunDemux(mux, {kIg}, &progress, 100 * 192);
    EXPECT_EQ(run.result.Message(), "");
    EXPECT_EQ(progress.captions.front(), "Demuxing");
    ASSERT_EQ(progress.texts.size(), 1u);
    EXPECT_EQ(FileName(progress.texts[0]), "t.m2ts");
    EXPECT_EQ(progress.Position(), 100);
    EXPECT_EQ(Records(run.out).size(), 1u);
}

TEST(Demux, CancelReturnsOneAndFlushesNothing) {
    CTsMuxer mux = StreamWithVideo(0);
    mux.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x18, 10));
    mux.AddFiller(kVideo, 300);
    class CCancelling : public CProgressWnd {
    protected:
        void Redraw() override {
            if (Position() == 0 && Caption() == "Demuxing" && ++calls > 1) Cancel();
        }
        void SleepMs(int) override {}

    public:
        int calls = 0;
    } progress;
    auto run = RunDemux(mux, {kIg}, &progress, 100 * 192);
    EXPECT_TRUE(run.result.Cancelled());
    EXPECT_TRUE(run.out.empty());
}

TEST(Demux, BlockBoundariesDoNotChangeTheOutput) {
    CTsMuxer mux = StreamWithVideo(0);
    for (int i = 0; i < 20; ++i) {
        mux.AddPes(kIg, 300000 + i * 9000, std::nullopt, authoring::Segment(0x15, 200 + i * 37));
        mux.AddFiller(kVideo, 3);
    }
    const auto whole = RunDemux(mux).out;
    EXPECT_EQ(Records(whole).size(), 20u);
    for (size_t block : {192u, 7 * 192u, 1000u}) {
        EXPECT_EQ(RunDemux(mux, {kIg}, nullptr, block).out, whole) << block;
        // a staging buffer smaller than one record spills straight through
        EXPECT_EQ(RunDemux(mux, {kIg}, nullptr, block, false, 300).out, whole) << block;
    }
}

TEST(Demux, ReadPiecesAcrossLargeBlocksDoNotChangeTheOutput) {
    CTsMuxer mux = StreamWithVideo(0);
    for (int i = 0; i < 24; ++i) {
        mux.AddPes(kIg, 300000 + i * 9000, std::nullopt, authoring::Segment(0x15, 500 + i * 11));
        mux.AddFiller(kVideo, 600 + i);
    }
    ASSERT_GT(mux.Count(), 2 * kDemuxPieceSize / 192);
    const auto whole = RunDemux(mux).out;
    EXPECT_EQ(Records(whole).size(), 24u);
    for (size_t block : {kDemuxPieceSize + 1000 * 192, kDemuxPieceSize, kDemuxPieceSize + 192})
        EXPECT_EQ(RunDemux(mux, {kIg}, nullptr, block).out, whole) << block;
}

TEST(Demux, SecondTrackTakesPriorityZeroPackets) {
    CTsMuxer mux = StreamWithVideo(0);
    mux.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x18, 10), 0xBD, true);
    mux.AddPes(kIg, 310000, std::nullopt, authoring::Segment(0x15, 10), 0xBD, false);
    auto run = RunDemux(mux, {kIg}, nullptr, kDemuxBlockSize, true);
    auto a = Records(run.out), b = Records(run.out2);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(a[0].segment[0], 0x18);
    EXPECT_EQ(b[0].segment[0], 0x15);
}

TEST(Demux, TwoPidsGoToTheirOwnTracks) {
    CTsMuxer mux = StreamWithVideo(0);
    mux.AddPes(0x1401, 300000, std::nullopt, authoring::Segment(0x15, 10));
    mux.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x18, 10));
    auto records = Records(RunDemux(mux, {kIg, 0x1401}).out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].segment[0], 0x18);
}

// Damaged input: each case damages the stream around three IG PES packets
// and says which records survive.
TEST(Demux, IndependentDiscIgStream) {
    TESSEL_REQUIRE_CORPUS();
    const auto path = test::CorpusDir() / "independent/menu_a_single_page/BDMV/STREAM/00001.m2ts";
    CReadFile file;
    ASSERT_EQ(file.Open(path.string()).Message(), "");
    auto pmt = ReadProgramMap(file);
    ASSERT_TRUE(pmt);
    CTrackInfoMap map;
    std::vector<CMemoryFile*> outs;
    for (const ESI& es : pmt->streams) {
        if (es.streamType != kStreamTypeIg) continue;
        auto info = std::make_unique<STrackInfo>();
        info->streamType = es.streamType;
        auto mem = std::make_unique<CMemoryFile>();
        outs.push_back(mem.get());
        info->main = std::make_unique<SIgTrackFile>(std::move(mem));
        AddTrack(map, es.elementaryPid, std::move(info));
    }
    ASSERT_EQ(map.Count(), 1u);
    ASSERT_EQ(Demux(file, map, nullptr).Message(), "");
    std::vector<SRecord> records;
    ASSERT_TRUE(authoring::SplitRecords(outs[0]->Data(), records));
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records.front().segment[0], 0x18);
    EXPECT_EQ(records.back().segment[0], 0x80);
    EXPECT_EQ(map.tracks[0]->main->pesCount, records.size());
    for (const auto& r : records) {
        EXPECT_EQ(r.tag, "IG");
        EXPECT_GE(r.pts, records.front().dts ? records.front().dts : records.front().pts);
    }
    // The bare stream of the same menu holds the same segments.
    auto bare = test::ReadBytes(test::CorpusDir() / "independent/menu_a_single_page/menu.ies");
    std::vector<uint8_t> joined;
    for (const auto& r : records) joined.insert(joined.end(), r.segment.begin(), r.segment.end());
    EXPECT_EQ(joined, bare);
}

}  // namespace
}  // namespace tessel
