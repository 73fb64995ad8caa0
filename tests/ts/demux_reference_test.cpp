// The reference time comes from the whole first block even though the block
// is read and walked piece by piece.
#include <gtest/gtest.h>

#include <vector>

#include "authoring/m2ts_muxer.h"
#include "platform/read_file.h"
#include "support/test_support.h"
#include "ts/demux.h"
#include "ts/demux_support.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/track_file.h"

namespace tessel {
namespace {

using authoring::CTsMuxer;
using authoring::SRecord;

using test::kIg;
using test::kVideo;
constexpr size_t kPiecePackets = kDemuxPieceSize / kSourcePacketSize;

// The records of the IG PID, demuxed from a file (walked where the system
// keeps it) or from memory (copied piece by piece).
std::vector<SRecord> DemuxRecords(const CTsMuxer& mux, size_t blockSize = kDemuxBlockSize,
                                  bool inMemory = false) {
    test::CTempDir dir;
    CReadFile file;
    if (inMemory)
        file.OpenMemory(mux.data, "t.m2ts");
    else
        EXPECT_EQ(file.Open(mux.Save(dir.Str() + "/t.m2ts")).Message(), "");
    CTrackInfoMap map;
    auto info = std::make_unique<STrackInfo>();
    info->streamType = kStreamTypeIg;
    auto memory = std::make_unique<CMemoryFile>();
    CMemoryFile* out = memory.get();
    info->main = std::make_unique<SIgTrackFile>(std::move(memory));
    AddTrack(map, kIg, std::move(info));
    EXPECT_EQ(Demux(file, map, nullptr, blockSize).Message(), "");
    std::vector<SRecord> records;
    EXPECT_TRUE(authoring::SplitRecords(out->Data(), records));
    return records;
}

struct SReferenceCase {
    const char* name;
    size_t fillerBeforePes;  // video packets without PES start
    size_t fillerBeforePcr;  // after the first IG PES
    size_t blockPackets;
    uint32_t firstDts;  // expected in the first record
};

TEST(DemuxReference, SettledFromTheWholeFirstBlockAcrossReadPieces) {
    // IG PES with DTS 54,000,000 first; PCR base 50,000,000 later.
    const SReferenceCase cases[] = {
        {"PCR in the first piece", 0, 10, kDemuxBlockSize / 192, 4000000},
        {"PCR two pieces later", 0, 2 * kPiecePackets + 5, kDemuxBlockSize / 192, 4000000},
        {"PES and PCR in later pieces", kPiecePackets + 7, kPiecePackets, kDemuxBlockSize / 192,
         4000000},
        {"PCR in the last packet of the block", 0, 3 * kPiecePackets - 2, 3 * kPiecePackets + 1,
         4000000},
        // past the first block the PCR does not count: the first PTS is the
        // reference and the first record is shifted to 131,070
        {"PCR after the first block", 0, 3 * kPiecePackets - 1, 3 * kPiecePackets + 1, 131070},
        {"PCR after a small first block", 0, 50, 40, 131070},
    };
    for (const auto& c : cases) {
        CTsMuxer mux;
        mux.AddPmt({{0x1B, kVideo, {}}, {0x91, kIg, {}}});
        mux.AddFiller(kVideo, c.fillerBeforePes);
        mux.AddPes(kIg, 54090000, 54000000, authoring::Segment(0x18, 10));
        mux.AddFiller(kVideo, c.fillerBeforePcr);
        mux.AddPcr(50000000);
        mux.AddPes(kIg, 54180000, std::nullopt, authoring::Segment(0x80, 0));
        const auto records = DemuxRecords(mux, c.blockPackets * kSourcePacketSize);
        ASSERT_EQ(records.size(), 2u) << c.name;
        EXPECT_EQ(records[0].dts, c.firstDts) << c.name;
        EXPECT_EQ(records[0].pts, c.firstDts + 90000) << c.name;
        EXPECT_EQ(records[1].pts, c.firstDts + 180000) << c.name;
    }
}

TEST(DemuxReference, PcrBeforeALaterFirstPesStillCounts) {
    CTsMuxer mux;
    mux.AddPcr(50000000);
    mux.AddFiller(kVideo, 2 * kPiecePackets);
    mux.AddPes(kIg, 54090000, 54000000, authoring::Segment(0x18, 10));
    const auto records = DemuxRecords(mux);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].dts, 4000000u);
}

TEST(DemuxReference, VideoFirstNeedsNoPcr) {
    CTsMuxer mux;
    mux.AddPes(kVideo, 1000, std::nullopt, std::vector<uint8_t>(300, 0));
    mux.AddFiller(kVideo, kPiecePackets);
    mux.AddPes(kIg, 1000 + 200000, std::nullopt, authoring::Segment(0x18, 4));
    mux.AddPcr(1);  // later than the video PES: not the reference
    const auto records = DemuxRecords(mux);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].pts, 200000u);
}

TEST(DemuxReference, FileAndMemoryGiveTheSameRecordsAtAnyBlockSize) {
    CTsMuxer mux;
    mux.AddPmt({{0x1B, kVideo, {}}, {0x91, kIg, {}}});
    mux.AddPcr(50000000);
    for (uint32_t i = 0; i < 400; ++i) {
        const uint32_t dts = 54000000 + i * 9000;
        mux.AddPes(kIg, dts + 4500, dts,
                   authoring::Segment(0x15, 40 + i * 37 % 2900, static_cast<uint8_t>(i)));
        mux.AddFiller(kVideo, 20 + i % 90);
    }
    const auto expected = DemuxRecords(mux, kDemuxBlockSize, true);
    ASSERT_EQ(expected.size(), 400u);
    for (const size_t blockPackets : {kDemuxBlockSize / 192, 3 * kPiecePackets + 11, size_t{40}}) {
        const auto records = DemuxRecords(mux, blockPackets * kSourcePacketSize);
        ASSERT_EQ(records.size(), expected.size()) << blockPackets;
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].dts, expected[i].dts) << blockPackets << " " << i;
            EXPECT_EQ(records[i].segment, expected[i].segment) << blockPackets << " " << i;
        }
    }
}

}  // namespace
}  // namespace tessel
