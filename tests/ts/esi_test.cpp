#include <gtest/gtest.h>

#include <vector>

#include "authoring/m2ts_muxer.h"
#include "platform/read_file.h"
#include "support/test_support.h"
#include "ts/esi.h"
#include "ts/packet.h"

namespace tessel {
namespace {

using authoring::CTsMuxer;
using authoring::SPmtStream;
using test::CTempDir;

std::unique_ptr<CEsiFolder> ScanMux(const CTsMuxer& mux) {
    CTempDir dir;
    const std::string path = mux.Save(dir.Str() + "/t.m2ts");
    CReadFile file;
    EXPECT_EQ(file.Open(path).Message(), "");
    return ReadProgramMap(file);
}

TEST(ProgramMap, StreamsAndProgramDescriptors) {
    const std::vector<uint8_t> info = {0x05, 4,    'H',  'D',  'M',  'V', 0x88, 4,
                                       0x0F, 0xFF, 0xFC, 0xFC, 0x89, 2,   0x01, 0x02};
    std::vector<SPmtStream> streams = {{0x1B, 0x1011, {0x0A, 2, 'x', 'y'}},
                                       {0x90, 0x1200, {}},
                                       {0x91, 0x1400, {0x0A, 4, 'e', 'n', 'g', 0}}};
    const auto section = authoring::PmtSection(streams, info);
    CTsMuxer mux;
    mux.AddPat();
    mux.AddSection(0x100, section);
    auto pmt = ScanMux(mux);
    ASSERT_TRUE(pmt);
    EXPECT_EQ(pmt->tableId, 2);
    EXPECT_TRUE(pmt->sectionSyntaxIndicator);
    EXPECT_EQ(pmt->sectionLength, section.size() - 3);
    EXPECT_EQ(pmt->programNumber, 1);
    EXPECT_TRUE(pmt->currentNextIndicator);
    EXPECT_EQ(pmt->pcrPid, 0x1001);
    EXPECT_EQ(pmt->programInfoLength, info.size());
    ASSERT_TRUE(pmt->registration);
    EXPECT_EQ(pmt->registration->formatIdentifier, 0x48444D56u);
    ASSERT_TRUE(pmt->descriptor88);
    EXPECT_EQ(pmt->descriptor88->head, 0x0FFF);
    EXPECT_EQ(pmt->descriptor88->rest, (std::vector<uint8_t>{0xFC, 0xFC}));
    ASSERT_TRUE(pmt->descriptor89);
    EXPECT_EQ(pmt->descriptor89->data.size(), 2u);
    ASSERT_EQ(pmt->streams.size(), 3u);
    EXPECT_EQ(pmt->streams[2].streamType, 0x91);
    EXPECT_EQ(pmt->streams[2].elementaryPid, 0x1400);
    EXPECT_EQ(pmt->streams[2].esInfoLength, 6);
    ASSERT_EQ(pmt->streams[2].descriptors.size(), 1u);
    EXPECT_EQ(pmt->streams[2].descriptors[0].tag, 0x0A);
    EXPECT_EQ(pmt->streams[0].descriptors[0].data, (std::vector<uint8_t>{'x', 'y'}));
    const uint32_t crc = (uint32_t(section[section.size() - 4]) << 24) |
                         (uint32_t(section[section.size() - 3]) << 16) |
                         (uint32_t(section[section.size() - 2]) << 8) | section.back();
    EXPECT_EQ(pmt->crc32, crc);
    EXPECT_EQ(pmt->FindStream(0x1200)->streamType, 0x90);
    EXPECT_EQ(pmt->FindStream(0x1300), nullptr);
}

TEST(ProgramMap, UnknownProgramDescriptorEndsTheLoop) {
    const std::vector<uint8_t> info = {0x0E, 3, 1, 2, 3, 0x05, 4, 'H', 'D', 'M', 'V'};
    CTsMuxer mux;
    mux.AddSection(0x100, authoring::PmtSection({{0x91, 0x1400, {}}}, info));
    auto pmt = ScanMux(mux);
    ASSERT_TRUE(pmt);
    EXPECT_FALSE(pmt->registration);
    ASSERT_EQ(pmt->streams.size(), 1u);
    EXPECT_EQ(pmt->streams[0].elementaryPid, 0x1400);
}

// A section of exactly n bytes (table_id to CRC) with m streams padded by ES descriptors.
std::vector<uint8_t> SectionOfSize(size_t n) {
    const size_t fixed = 12 + 4 + 5;  // head, CRC, one stream entry
    std::vector<uint8_t> es(n - fixed, 0);
    es[0] = 0x7F;
    es[1] = static_cast<uint8_t>(es.size() - 2);
    return authoring::PmtSection({{0x91, 0x1400, es}});
}

TEST(ProgramMap, SectionsEndingAtAndAcrossPacketBoundaries) {
    // 183 section bytes fill the first packet behind the pointer field exactly;
    // 367 fill two packets; the others end one byte before or after.
    for (size_t n : {182u, 183u, 184u, 366u, 367u, 368u}) {
        const auto section = SectionOfSize(n);
        ASSERT_EQ(section.size(), n);
        CTsMuxer mux;
        mux.AddSection(0x100, section);
        auto pmt = ScanMux(mux);
        ASSERT_TRUE(pmt) << n;
        ASSERT_EQ(pmt->streams.size(), 1u) << n;
        EXPECT_EQ(pmt->streams[0].elementaryPid, 0x1400);
        EXPECT_EQ(pmt->Received(), n - 12);
    }
}

TEST(ProgramMap, SectionCompleteAtPacketEndIsCompleteInThatPacket) {
    const auto section = SectionOfSize(183);
    CTsMuxer mux;
    mux.AddSection(0x100, section);
    ASSERT_EQ(mux.Count(), 1u);
    STsPacket p;
    p.ParsePacket(std::span(mux.data).subspan(4, 188));
    EXPECT_TRUE(p.HasCompleteProgramMap());
}

TEST(ProgramMap, FoundAfterTheFirstHundredPackets) {
    CTsMuxer mux;
    mux.AddFiller(0x1011, 250);
    mux.AddPmt({{0x91, 0x1401, {}}});
    auto pmt = ScanMux(mux);
    ASSERT_TRUE(pmt);
    EXPECT_EQ(pmt->streams[0].elementaryPid, 0x1401);
}

TEST(ProgramMap, NoneWithoutPmtAndFilePositionRestored) {
    CTsMuxer mux;
    mux.AddFiller(0x1011, 5);
    CTempDir dir;
    CReadFile file;
    ASSERT_EQ(file.Open(mux.Save(dir.Str() + "/t.m2ts")).Message(), "");
    ASSERT_TRUE(file.Seek(384));
    EXPECT_FALSE(ReadProgramMap(file));
    EXPECT_EQ(file.Position(), 384);
    CTsMuxer empty;
    ASSERT_EQ(file.Open(empty.Save(dir.Str() + "/e.m2ts")).Message(), "");
    EXPECT_FALSE(ReadProgramMap(file));
}

TEST(ProgramMap, ContinuationBeforeStartIsIgnored) {
    const auto section = SectionOfSize(300);
    CTsMuxer whole;
    whole.AddSection(0x100, section);
    CTsMuxer mux;
    // the second half alone, then the whole section
    mux.data.assign(whole.data.begin() + 192, whole.data.end());
    mux.AddSection(0x100, authoring::PmtSection({{0x91, 0x1402, {}}}));
    auto pmt = ScanMux(mux);
    ASSERT_TRUE(pmt);
    EXPECT_EQ(pmt->streams[0].elementaryPid, 0x1402);
}

TEST(ProgramMap, DamagedSectionsAreSkippedForTheNextOne) {
    struct {
        const char* what;
        size_t offset;  // in the section
        uint8_t value;
    } rows[] = {
        {"table id", 0, 0x42},
        {"section length beyond the maximum", 1, 0xBF},
        {"section length below the head", 2, 5},
        {"program info beyond the body", 10, 0xFF},
        {"ES info beyond the loop", 16, 0xFF},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto bad = authoring::PmtSection({{0x91, 0x1400, {}}});
        if (row.offset == 1)
            bad[1] = row.value, bad[2] = 0xFF;
        else
            bad[row.offset] = row.value;
        if (row.offset == 2) bad[1] = 0xB0;
        CTsMuxer mux;
        mux.AddSection(0x100, bad);
        mux.AddFiller(0x1011, 3);
        mux.AddPmt({{0x91, 0x1403, {}}});
        auto pmt = ScanMux(mux);
        ASSERT_TRUE(pmt);
        ASSERT_EQ(pmt->streams.size(), 1u);
        EXPECT_EQ(pmt->streams[0].elementaryPid, 0x1403);
    }
}

TEST(ProgramMap, PointerFieldBeyondPacketIsIgnored) {
    CTsMuxer mux;
    std::vector<uint8_t> payload(184, 0xFF);
    payload[0] = 200;
    mux.AddPacket(0x100, true, payload, false);
    mux.AddPmt({{0x91, 0x1404, {}}});
    auto pmt = ScanMux(mux);
    ASSERT_TRUE(pmt);
    EXPECT_EQ(pmt->streams[0].elementaryPid, 0x1404);
}

TEST(ProgramMap, RealCutWithTwelvePgPidsAndNoIg) {
    TESSEL_REQUIRE_CORPUS();
    CReadFile file;
    ASSERT_EQ(file.Open((test::CorpusDir() / "m2ts/Test_H264_DTS2.m2ts").string()).Message(), "");
    auto pmt = ReadProgramMap(file);
    ASSERT_TRUE(pmt);
    // The section spans several transport packets.
    EXPECT_GT(pmt->sectionLength + 3u, 183u);
    size_t pg = 0, ig = 0;
    for (const ESI& es : pmt->streams) {
        if (es.streamType == kStreamTypePg) {
            ++pg;
            EXPECT_EQ(ClassifyPid(es.elementaryPid), EPidClass::PresentationGraphics);
        }
        if (es.streamType == kStreamTypeIg) ++ig;
    }
    EXPECT_EQ(pg, 12u);
    EXPECT_EQ(ig, 0u);
    EXPECT_EQ(pmt->pcrPid, 0x1001);
    EXPECT_EQ(file.Position(), 0);
}

TEST(ProgramMap, IndependentDiscListsItsIgPid) {
    TESSEL_REQUIRE_CORPUS();
    CReadFile file;
    const std::string path =
        (test::CorpusDir() / "independent/menu_a_single_page/BDMV/STREAM/00001.m2ts").string();
    ASSERT_EQ(file.Open(path).Message(), "");
    auto pmt = ReadProgramMap(file);
    ASSERT_TRUE(pmt);
    ASSERT_TRUE(pmt->FindStream(0x1400));
    EXPECT_EQ(pmt->FindStream(0x1400)->streamType, kStreamTypeIg);
    ASSERT_TRUE(pmt->FindStream(0x1011));
}

TEST(FirstStamps, FirstPtsOfElementaryPidAndFirstPcr) {
    CTsMuxer mux;
    mux.AddFiller(0x1011, 2);
    mux.AddPes(0x1012, 1111, std::nullopt, authoring::Segment(0x80, 0));  // dependent view: skipped
    mux.AddPes(0x0300, 2222, std::nullopt, authoring::Segment(0x80, 0));  // not elementary
    mux.AddPcr(5000, 7);
    mux.AddPes(0x1400, 3333, 3000, authoring::Segment(0x16, 10));
    mux.AddPcr(6000, 0);
    auto first = FindFirstPts(mux.data);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->pts, 3333u);
    EXPECT_EQ(first->pid, 0x1400);
    auto pcr = FindFirstPcr(mux.data);
    ASSERT_TRUE(pcr);
    EXPECT_EQ(pcr->pcr, 5000u * 300 + 7);
    EXPECT_EQ(pcr->firstBlockAts, 1000u);
    EXPECT_EQ(pcr->ats, 5000u);
    CTsMuxer none;
    none.AddFiller(0x1011, 3);
    EXPECT_FALSE(FindFirstPts(none.data));
    EXPECT_FALSE(FindFirstPcr(none.data));
    EXPECT_FALSE(FindFirstPcr({}));
}

}  // namespace
}  // namespace tessel
