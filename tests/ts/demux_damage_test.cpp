// Demuxing damaged input: lost, repeated or damaged packets, streams that
// start inside a PES packet or end in a cut packet, garbage, and the tracks'
// buffers on a large clip.
#include "ts/demux_support.h"

namespace tessel {
namespace {

using authoring::CTsMuxer;
using authoring::SRecord;
using test::CTempDir;
using test::kIg;
using test::kVideo;
using test::Records;
using test::RunDemux;
using test::SDemuxRun;
using test::StreamWithVideo;

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
        EXPECT_EQ(run.result.Message(), "");
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
    EXPECT_EQ(run.result.Message(), "");
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
        const std::string path = mux.Save(dir.Str() + "/t.m2ts");
        ASSERT_EQ(file.Open(path).Message(), "");
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
        ASSERT_EQ(Demux(file, map, nullptr).Message(), "");
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
    EXPECT_EQ(run.result.Message(), "");
}

}  // namespace
}  // namespace tessel
