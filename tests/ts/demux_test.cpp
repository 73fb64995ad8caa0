#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

#include "authoring/m2ts_muxer.h"
#include "platform/files.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "support/test_support.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/track_file.h"

namespace tessel {
namespace {

using authoring::CTsMuxer;
using authoring::SRecord;
using test::CTempDir;

constexpr uint16_t kIg = 0x1400;
constexpr uint16_t kVideo = 0x1011;

// Records the captions and text lines it shows.
class CRecordingProgress : public CProgressWnd {
public:
    std::vector<std::string> captions, texts;

protected:
    void Redraw() override {
        if (captions.empty() || captions.back() != Caption()) captions.push_back(Caption());
        if (!Text().empty() && (texts.empty() || texts.back() != Text())) texts.push_back(Text());
    }
    void SleepMs(int) override {}
};

struct SDemuxRun {
    int result = -1;
    std::vector<uint8_t> out;         // main track of the first PID
    std::vector<uint8_t> out2;        // second track, when asked for
    std::vector<SPesDamage> damages;  // of the main track of the first PID
};

// Demuxes the PIDs of the muxer's stream into memory marked-form tracks.
SDemuxRun RunDemux(const CTsMuxer& mux, std::vector<uint16_t> pids = {kIg},
                   CProgressWnd* progress = nullptr, size_t blockSize = kDemuxBlockSize,
                   bool second = false, size_t capacity = STrackFile::kDefaultCapacity) {
    CTempDir dir;
    CReadFile file;
    std::string error;
    EXPECT_TRUE(file.Open(mux.Save(dir.Str() + "/t.m2ts"), error)) << error;
    CTrackInfoMap map;
    std::vector<CMemoryFile*> outs;
    for (uint16_t pid : pids) {
        auto info = std::make_unique<STrackInfo>();
        info->streamType = kStreamTypeIg;
        auto mem = std::make_unique<CMemoryFile>();
        outs.push_back(mem.get());
        info->main = std::make_unique<SIgTrackFile>(std::move(mem), capacity);
        if (second) {
            auto mem2 = std::make_unique<CMemoryFile>();
            outs.push_back(mem2.get());
            info->second = std::make_unique<SIgTrackFile>(std::move(mem2), capacity);
        }
        EXPECT_TRUE(AddTrack(map, pid, std::move(info)));
    }
    SDemuxRun run;
    run.result = Demux(file, map, progress, blockSize);
    auto data = outs[0]->Data();
    run.out.assign(data.begin(), data.end());
    run.damages = static_cast<const SGsTrackFile&>(*map.tracks[0]->main).damages;
    if (second) {
        auto d2 = outs[1]->Data();
        run.out2.assign(d2.begin(), d2.end());
    }
    return run;
}

std::vector<SRecord> Records(const std::vector<uint8_t>& out) {
    std::vector<SRecord> records;
    EXPECT_TRUE(authoring::SplitRecords(out, records));
    return records;
}

// A stream that starts with a video PES (the reference time) and a PMT.
CTsMuxer StreamWithVideo(uint64_t videoPts) {
    CTsMuxer mux;
    mux.AddPat();
    mux.AddPmt({{0x1B, kVideo, {}}, {0x91, kIg, {}}});
    mux.AddPes(kVideo, videoPts, std::nullopt, std::vector<uint8_t>(300, 0));
    return mux;
}

TEST(Demux, FirstRecordIsShiftedTo131070AndLaterRecordsKeepTheirDistance) {
    CTsMuxer mux = StreamWithVideo(1000);
    mux.AddPes(kIg, 1000 + 60000, 1000 + 50000, authoring::Segment(0x18, 40));
    mux.AddPes(kIg, 1000 + 150000, 1000 + 140000, authoring::Segment(0x80, 0));
    auto run = RunDemux(mux);
    ASSERT_EQ(run.result, 0);
    auto records = Records(run.out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].tag, "IG");
    EXPECT_EQ(records[0].dts, 131070u);
    EXPECT_EQ(records[0].pts, 141070u);
    EXPECT_EQ(records[1].dts, 131070u + 90000);
    EXPECT_EQ(records[1].pts, 141070u + 90000);
    EXPECT_EQ(records[0].segment, authoring::Segment(0x18, 40));
}

TEST(Demux, NoShiftWhenTheFirstRecordIsLateEnough) {
    CTsMuxer mux = StreamWithVideo(1000);
    mux.AddPes(kIg, 1000 + 200000, std::nullopt, authoring::Segment(0x18, 4));
    auto records = Records(RunDemux(mux).out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].pts, 200000u);
    EXPECT_EQ(records[0].dts, 0u);  // no DTS in the PES header
}

TEST(Demux, MapOffsetIsAddedToEveryTimeStamp) {
    CTsMuxer mux = StreamWithVideo(1000);
    mux.AddPes(kIg, 1000 + 200000, 1000 + 190000, authoring::Segment(0x18, 4));
    CTempDir dir;
    CReadFile file;
    std::string error;
    ASSERT_TRUE(file.Open(mux.Save(dir.Str() + "/t.m2ts"), error));
    CTrackInfoMap map;
    map.timeOffset = 5000;
    auto info = std::make_unique<STrackInfo>();
    info->streamType = kStreamTypeIg;
    auto mem = std::make_unique<CMemoryFile>();
    CMemoryFile* out = mem.get();
    info->main = std::make_unique<SIgTrackFile>(std::move(mem));
    AddTrack(map, kIg, std::move(info));
    ASSERT_EQ(Demux(file, map, nullptr), 0);
    std::vector<SRecord> records;
    ASSERT_TRUE(authoring::SplitRecords(out->Data(), records));
    EXPECT_EQ(records[0].pts, 205000u);
    EXPECT_EQ(records[0].dts, 195000u);
}

TEST(Demux, GraphicsFirstUsesThePcrBaseAsReference) {
    CTsMuxer mux;
    mux.AddPmt({{0x91, kIg, {}}});
    mux.AddPes(kIg, 54090000, 54000000, authoring::Segment(0x18, 10));
    mux.AddPcr(1000, 123);
    mux.AddPes(kIg, 54180000, std::nullopt, authoring::Segment(0x80, 0));
    auto records = Records(RunDemux(mux).out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].dts, 54000000u - 1000);
    EXPECT_EQ(records[0].pts, 54090000u - 1000);
    EXPECT_EQ(records[1].pts, 54180000u - 1000);
}

TEST(Demux, GraphicsFirstWithoutPcrUsesTheFirstPts) {
    CTsMuxer mux;
    mux.AddPes(kIg, 54090000, 54000000, authoring::Segment(0x18, 10));
    auto records = Records(RunDemux(mux).out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].dts, 131070u);
    EXPECT_EQ(records[0].pts, 131070u + 90000);
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

TEST(Demux, ThirtyThreeBitTimeStampsKeepTheirLow32Bits) {
    CTsMuxer mux = StreamWithVideo(1000);
    const uint64_t pts = (1ull << 32) + 500000;
    mux.AddPes(kIg, pts, pts - 10000, authoring::Segment(0x18, 4));
    auto records = Records(RunDemux(mux).out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].pts, 499000u);
    EXPECT_EQ(records[0].dts, 489000u);
}

TEST(Demux, HeaderWithoutPtsRepeatsThePreviousTime) {
    CTsMuxer mux = StreamWithVideo(1000);
    mux.AddPes(kIg, 1000 + 200000, std::nullopt, authoring::Segment(0x18, 4));
    mux.AddPes(kIg, std::nullopt, std::nullopt, authoring::Segment(0x80, 0));
    auto records = Records(RunDemux(mux).out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].pts, 200000u);
    EXPECT_EQ(records[1].dts, 0u);
}

TEST(Demux, EmptyMapReturnsZeroWithoutReading) {
    CTsMuxer mux = StreamWithVideo(0);
    CTempDir dir;
    CReadFile file;
    std::string error;
    ASSERT_TRUE(file.Open(mux.Save(dir.Str() + "/t.m2ts"), error));
    CTrackInfoMap map;
    CRecordingProgress progress;
    EXPECT_EQ(Demux(file, map, &progress), 0);
    EXPECT_EQ(file.Position(), 0);
    EXPECT_TRUE(progress.captions.empty());
    CReadFile closed;
    EXPECT_EQ(Demux(closed, map, nullptr), 0);
}

TEST(Demux, ReportsCaptionPathAndPercent) {
    CTsMuxer mux = StreamWithVideo(0);
    mux.AddFiller(kVideo, 400);
    mux.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x80, 0));
    CRecordingProgress progress;
    auto run = RunDemux(mux, {kIg}, &progress, 100 * 192);
    EXPECT_EQ(run.result, 0);
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
    EXPECT_EQ(run.result, 1);
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
TEST(Demux, DamagedPacketsDoNotBreakTheOtherRecords) {
    const auto seg1 = authoring::Segment(0x15, 400);  // three packets
    const auto seg2 = authoring::Segment(0x14, 20);
    const auto seg3 = authoring::Segment(0x80, 0);
    auto build = [&](size_t& firstIgPacket) {
        CTsMuxer mux = StreamWithVideo(0);
        mux.AddFiller(kVideo, 2);
        firstIgPacket = mux.Count();
        mux.AddPes(kIg, 300000, std::nullopt, seg1);
        mux.AddFiller(kVideo, 2);
        mux.AddPes(kIg, 310000, std::nullopt, seg2);
        mux.AddPes(kIg, 320000, std::nullopt, seg3);
        return mux;
    };
    // The first IG packet is full (no adaptation field): its PES header starts at byte 4.
    struct {
        const char* what;
        int packet;  // relative to the first IG packet; -1 a filler before it
        void (*damage)(uint8_t* ts);
        std::vector<uint8_t> types;  // segment types of the surviving records
    } rows[] = {
        {"bad sync on a filler", -1, [](uint8_t* ts) { ts[0] = 0x00; }, {0x15, 0x14, 0x80}},
        {"bad sync on a PES start", 0, [](uint8_t* ts) { ts[0] = 0x46; }, {0x14, 0x80}},
        {"adaptation field length beyond the packet on a PES start",
         0,
         [](uint8_t* ts) {
             ts[3] |= 0x20;
             ts[4] = 0xF0;
         },
         {0x14, 0x80}},
        {"PES header data length beyond the packet",
         0,
         [](uint8_t* ts) { ts[4 + 8] = 0xFE; },
         {0x14, 0x80}},
        {"PES header with flagged fields beyond its data length",
         0,
         [](uint8_t* ts) { ts[4 + 8] = 2; },
         {0x14, 0x80}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        size_t first = 0;
        CTsMuxer mux = build(first);
        row.damage(&mux.data[(first + row.packet) * 192 + 4]);
        auto run = RunDemux(mux);
        EXPECT_EQ(run.result, 0);
        std::vector<SRecord> records;
        ASSERT_TRUE(authoring::SplitRecords(run.out, records));
        std::vector<uint8_t> types;
        for (const auto& r : records) types.push_back(r.segment[0]);
        EXPECT_EQ(types, row.types);
    }
}

TEST(Demux, LostOrDamagedPesPacketsAreLeftOutAndNamed) {
    // A PES packet of an ODS over three packets, then an END segment.
    const struct {
        const char* what;
        std::function<void(CTsMuxer&, size_t)> damage;
        size_t shows;  // packet after the first where the damage shows
        const char* reason;
    } rows[] = {
        {"a packet lost", [](CTsMuxer& m, size_t f) { m.data[(f + 1) * 192 + 4] = 0x00; }, 2,
         "the continuity counter jumps from 0 to 2 (1 packet(s) lost)"},
        {"a packet repeated",
         [](CTsMuxer& m, size_t f) {
             m.data.insert(m.data.begin() + (f + 2) * 192, m.data.begin() + (f + 1) * 192,
                           m.data.begin() + (f + 2) * 192);
         },
         0, nullptr},
        {"a PES length beyond its bytes",
         [](CTsMuxer& m, size_t f) { m.data[f * 192 + 4 + 4 + 5] += 10; }, 3,
         "a PES packet ends 10 bytes before its length"},
        {"a segment longer than its PES packet",
         [](CTsMuxer& m, size_t f) { m.data[f * 192 + 4 + 4 + 14 + 1] += 1; }, 0,
         "a segment of 659 bytes is cut short to 403"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CTsMuxer mux = StreamWithVideo(0);
        const size_t first = mux.Count();
        mux.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x15, 400));
        mux.AddPes(kIg, 310000, std::nullopt, authoring::Segment(0x80, 0));
        row.damage(mux, first);
        const SDemuxRun run = RunDemux(mux);
        const auto records = Records(run.out);
        if (!row.reason) {  // a duplicate is left out, the record is whole
            ASSERT_EQ(records.size(), 2u);
            EXPECT_EQ(records[0].segment, authoring::Segment(0x15, 400));
            EXPECT_TRUE(run.damages.empty());
            continue;
        }
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].segment[0], 0x80);
        ASSERT_EQ(run.damages.size(), 1u);
        const SPesDamage& d = run.damages[0];
        EXPECT_EQ(d.reason.rfind(row.reason, 0), 0u) << d.reason;
        EXPECT_EQ(d.offset, static_cast<int64_t>((first + row.shows) * 192));
        EXPECT_EQ(d.segmentType, 0x15);
        EXPECT_EQ(d.displaySet, 0);
    }
}

TEST(Demux, StreamStartingInsideAPesPacketDropsTheLeadingBytes) {
    CTsMuxer whole;
    whole.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x15, 400));
    CTsMuxer mux;
    mux.data.assign(whole.data.begin() + 192, whole.data.end());  // continuation packets only
    mux.AddPes(kIg, 310000, std::nullopt, authoring::Segment(0x80, 0));
    auto records = Records(RunDemux(mux).out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].segment[0], 0x80);
}

TEST(Demux, TruncatedLastPacketIsIgnored) {
    CTsMuxer mux = StreamWithVideo(0);
    mux.AddPes(kIg, 300000, std::nullopt, authoring::Segment(0x18, 10));
    mux.AddPes(kIg, 310000, std::nullopt, authoring::Segment(0x80, 0));
    mux.data.resize(mux.data.size() - 100);
    auto run = RunDemux(mux);
    EXPECT_EQ(run.result, 0);
    auto records = Records(run.out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].segment[0], 0x18);
}

TEST(Demux, TracksAndTheirBuffersStayWithinTheClipSize) {
    // Worst cases for the output against the clip: every packet a PES of one
    // byte (a record head per packet), and every packet full of payload.
    for (const size_t payload : {size_t{1}, size_t{2000}}) {
        SCOPED_TRACE(payload);
        CTsMuxer mux = StreamWithVideo(900000);
        for (int i = 0; i < 400; ++i) {
            // A segment as long as its PES packet where it has room for a head.
            std::vector<uint8_t> bytes(payload, static_cast<uint8_t>(i));
            if (payload >= 3) bytes[1] = (payload - 3) >> 8, bytes[2] = (payload - 3) & 0xFF;
            mux.AddPes(kIg, 900000 + 3000 * i, std::nullopt, bytes);
        }
        CTempDir dir;
        CReadFile file;
        std::string error;
        const std::string path = mux.Save(dir.Str() + "/t.m2ts");
        ASSERT_TRUE(file.Open(path, error)) << error;
        const int64_t clip = FileLength(path);
        CTrackInfoMap map;
        auto info = std::make_unique<STrackInfo>();
        info->streamType = kStreamTypeIg;
        auto mem = std::make_unique<CMemoryFile>();
        CMemoryFile* out = mem.get();
        constexpr size_t kCapacity = size_t{4} << 20;
        info->main = std::make_unique<SIgTrackFile>(std::move(mem), kCapacity);
        STrackFile* track = info->main.get();
        ASSERT_TRUE(AddTrack(map, kIg, std::move(info)));
        ASSERT_EQ(Demux(file, map, nullptr), 0);
        const int64_t written = out->Length();
        EXPECT_GT(written, 400 * static_cast<int64_t>(std::min<size_t>(payload, 184)));
        // A source packet gives at most its 184 payload bytes and one record
        // head (13 bytes) to one track.
        EXPECT_LE(written, clip + clip / 16);
        if (payload > 1) {
            EXPECT_LE(written, clip);
        }
        // The staging buffer grows with the track, not to its capacity.
        EXPECT_LE(track->allocated,
                  std::max<size_t>(STrackFile::kFirstAllocation, 2 * static_cast<size_t>(written)));
        EXPECT_LT(track->allocated, kCapacity);
    }
}

TEST(Demux, GarbageFileYieldsNothing) {
    CTsMuxer mux;
    mux.AddGarbage(kIg, 50);  // every packet claims the IG PID, with random flags
    mux.data.resize(mux.data.size() + 17, 0x5A);  // and a cut packet at the end
    auto run = RunDemux(mux);
    EXPECT_EQ(run.result, 0);
}

TEST(TrackFile, DiskOutputWithoutBytesIsDeleted) {
    CTempDir dir;
    const std::string empty = dir.Str() + "/empty.ig", full = dir.Str() + "/full.ig";
    {
        auto a = std::make_unique<CDiskFile>();
        ASSERT_TRUE(a->Open(empty));
        SIgTrackFile track(std::move(a));
        EXPECT_TRUE(PathExists(empty));
    }
    EXPECT_FALSE(PathExists(empty));
    {
        auto b = std::make_unique<CDiskFile>();
        ASSERT_TRUE(b->Open(full));
        SIgTrackFile track(std::move(b));
        const uint8_t bytes[3] = {1, 2, 3};
        track.WritePayloadWithPrefix(bytes, 3, bytes, 2);
        track.Flush();
        EXPECT_FALSE(track.WriteFailed());
    }
    EXPECT_EQ(FileLength(full), 5);
    auto c = std::make_unique<CDiskFile>();
    const CResult opened = c->Open(dir.Str() + "/no/such/folder.ig");
    EXPECT_TRUE(opened.Failed());
    EXPECT_EQ(opened.Message(), dir.Str() + "/no/such/folder.ig: " + SystemErrorText(ENOENT));
}

// A disk track writes full buffers behind while the other fills: the file
// holds every byte in order whatever the sizes of the pieces, and a write
// that fails (past a file size limit) is reported by the track, not lost.
TEST(TrackFile, BuffersWrittenBehindKeepOrderAndFailures) {
    CTempDir dir;
    const std::string path = dir.Str() + "/behind.ig";
    std::vector<uint8_t> expected;
    std::string error;
    {
        auto out = std::make_unique<CDiskFile>();
        ASSERT_TRUE(out->Open(path));
        STrackFile track(std::move(out), 1000);
        uint8_t next = 0;
        for (size_t n = 1; expected.size() < 100000; n = n % 1500 + 37) {
            std::vector<uint8_t> piece(n);
            for (uint8_t& b : piece) b = next++;
            track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
            expected.insert(expected.end(), piece.begin(), piece.end());
        }
        track.Flush();
        EXPECT_FALSE(track.WriteFailed());
        EXPECT_EQ(track.Output()->Length(), static_cast<int64_t>(expected.size()));
    }
    std::vector<uint8_t> written;
    ASSERT_TRUE(ReadWholeFile(path, written, error)) << error;
    EXPECT_EQ(written, expected);

    // A file size limit makes the writes past 2000 bytes fail (EFBIG).
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 2000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    {
        auto limited = std::make_unique<CDiskFile>();
        ASSERT_TRUE(limited->Open(dir.Str() + "/limited.ig"));
        STrackFile track(std::move(limited), 1000);
        const std::vector<uint8_t> piece(700, 1);
        for (int i = 0; i < 8; ++i) track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
        track.Flush();
        failed = track.WriteFailed();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_TRUE(failed);
}

// The thread behind a track does the pieces in order, one at a time, and an
// exception of its work comes out of the caller's next wait, once.
TEST(TrackFile, WorkBehindKeepsOrderAndHandsOnItsFailure) {
    std::vector<uint8_t> seen;
    CBehindThread behind([&seen](const uint8_t* data, size_t size) {
        if (size == 0) throw std::bad_alloc();
        seen.insert(seen.end(), data, data + size);
    });
    const std::vector<uint8_t> a{1, 2, 3}, b{4, 5};
    ASSERT_TRUE(behind.Post(a.data(), a.size()));
    ASSERT_TRUE(behind.Post(b.data(), b.size()));
    behind.Wait();
    EXPECT_EQ(seen, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(behind.Post(a.data(), 0));
    EXPECT_THROW(behind.Wait(), std::bad_alloc);
    EXPECT_NO_THROW(behind.Wait());
    behind.Stop();
}

// A track whose output fails behind it (out of memory in the work) and is
// destroyed before anyone waited: the failure ends with the track.
TEST(TrackFile, FailureBehindUnwaitedEndsWithTheTrack) {
    class CFailingOutput : public COutputFile {
    public:
        bool Write(const uint8_t*, size_t) override { return true; }
        bool WritesBehind() const override { return true; }
        bool WriteBehind(const uint8_t* data, size_t size) override {
            return behind_.Post(data, size);
        }
        int64_t Length() const override {
            behind_.Wait();
            return 1;
        }

    private:
        CBehindThread behind_{[](const uint8_t*, size_t) { throw std::bad_alloc(); }};
    };
    const std::vector<uint8_t> piece(60, 1);
    {
        STrackFile track(std::make_unique<CFailingOutput>(), 100);
        // the second piece sends the first behind, where it fails
        for (int i = 0; i < 2; ++i) track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
    }
    STrackFile track(std::make_unique<CFailingOutput>(), 100);
    for (int i = 0; i < 2; ++i) track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0);
    // the next hand-over hears of it
    EXPECT_THROW(track.WritePayload(piece.data(), piece.size(), nullptr, 0, 0), std::bad_alloc);
}

TEST(TrackFile, UnflushedBytesAreLostAndFirstPtsSkipsZero) {
    auto mem = std::make_unique<CMemoryFile>();
    CMemoryFile* out = mem.get();
    STrackFile track(std::move(mem));
    const uint8_t b[4] = {1, 2, 3, 4};
    track.WritePayload(b, 4, nullptr, 0, 0);
    EXPECT_EQ(out->Length(), 0);
    track.NotePesStart(0, true);
    track.NotePesStart(77, true);
    track.NotePesStart(88, false);
    EXPECT_EQ(track.pesCount, 3u);
    EXPECT_EQ(track.firstPts, 77u);
    track.Flush();
    EXPECT_EQ(out->Length(), 4);
}

TEST(Demux, IndependentDiscIgStream) {
    TESSEL_REQUIRE_CORPUS();
    const auto path = test::CorpusDir() / "independent/menu_a_single_page/BDMV/STREAM/00001.m2ts";
    CReadFile file;
    std::string error;
    ASSERT_TRUE(file.Open(path.string(), error));
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
    ASSERT_EQ(Demux(file, map, nullptr), 0);
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
