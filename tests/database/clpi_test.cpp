#include <gtest/gtest.h>

#include <cerrno>

#include "database/clpi.h"
#include "disc_builder.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using test::BuildClipInfo;
using test::SClipInfoSpec;
using test::SStreamSpec;

const SStreamSpec kVideo{0x1011, 0x1B, {0x61, 0x30, 0, 0}};
const SStreamSpec kAudio{0x1100, 0x81, {0x31, 'j', 'p', 'n'}};
const SStreamSpec kIg{0x1400, 0x91, {'e', 'n', 'g', 0}};

// The clip information each case builds from its spec.
class Clpi : public ::testing::Test {
protected:
    SClipInfoSpec spec;
};

TEST_F(Clpi, StreamsTimingAndKeyPoints) {
    spec.streams = {kVideo, kAudio, kIg};
    const auto file = BuildClipInfo(spec);
    CClpiObject clpi;
    ASSERT_EQ(clpi.ParseClpi(file), static_cast<int>(file.size()));
    EXPECT_EQ(clpi.clipInfo.applicationType, 1);
    EXPECT_EQ(clpi.clipInfo.tsRecordingRate, 6000000u);
    EXPECT_EQ(clpi.clipInfo.numberOfSourcePackets, 1234u);
    EXPECT_EQ(clpi.clipInfo.formatIdentifier, "HDMV");
    ASSERT_EQ(clpi.programInfo.streams.size(), 3u);
    const auto& v = clpi.programInfo.streams[0].codingInfo;
    EXPECT_EQ(v.videoFormat, 6);
    EXPECT_EQ(v.frameRate, 1);
    EXPECT_EQ(v.aspectRatio, 3);
    EXPECT_EQ(AttributeText(v), "1080p, 23.976, 16:9");
    EXPECT_EQ(AttributeText(clpi.programInfo.streams[1].codingInfo), "Stereo, 48 kHz, jpn");
    EXPECT_EQ(clpi.programInfo.streams[2].codingInfo.language, "eng");
    EXPECT_EQ(clpi.FindStream(0x91), &clpi.programInfo.streams[2]);
    EXPECT_EQ(clpi.FindStream(0x90), nullptr);

    clpi.DeriveTiming();
    EXPECT_EQ(clpi.timing.start, 54000000u);
    EXPECT_EQ(clpi.timing.end, 55800000u);
    EXPECT_EQ(clpi.timing.duration, 1800000);
    EXPECT_EQ(clpi.timing.Start27M(), 54000000ull * 300);
    EXPECT_EQ(clpi.timing.frameDuration27M, 1126125);  // 1001/24 ms

    ASSERT_EQ(clpi.epMap.GetSize(), 1);
    const CKpiFolder& k = *clpi.epMap.GetAt(0);
    EXPECT_EQ(k.streamPid, 0x1011);
    EXPECT_EQ(k.epStreamType, 1);
    ASSERT_EQ(k.keyPoints.size(), 3u);
    EXPECT_EQ(k.keyPoints[0].pts, (1ull << 20) + (7 << 9));
    EXPECT_EQ(k.keyPoints[0].spnStart, 0x20005u);
    EXPECT_EQ(k.keyPoints[0].iEndPosition, 1);
    EXPECT_EQ(k.keyPoints[1].coarseIndex, 0);
    EXPECT_EQ(k.keyPoints[1].spnStart, 0x20006u);
    EXPECT_EQ(k.keyPoints[2].coarseIndex, 1);
    EXPECT_EQ(k.keyPoints[2].pts, (2ull << 20) + (2 << 9));
    EXPECT_EQ(k.keyPoints[2].spnStart, 0x40009u);
}

TEST_F(Clpi, OnlyTheFirstProgramSequenceCounts) {
    spec.streams = {kVideo};
    spec.secondProgramStreams = {kIg};
    CClpiObject clpi;
    ASSERT_GE(clpi.ParseClpi(BuildClipInfo(spec)), 1);
    EXPECT_EQ(clpi.programInfo.head.numberOfSequences, 2);
    ASSERT_EQ(clpi.programInfo.streams.size(), 1u);
    EXPECT_EQ(clpi.FindStream(0x91), nullptr);
}

TEST_F(Clpi, LongCodingInfoIsSkippedByItsLength) {
    SStreamSpec longAudio = kAudio;
    longAudio.attributes.resize(40, 0xEE);
    spec.streams = {longAudio, kIg};
    CClpiObject clpi;
    ASSERT_GE(clpi.ParseClpi(BuildClipInfo(spec)), 1);
    ASSERT_EQ(clpi.programInfo.streams.size(), 2u);
    EXPECT_EQ(clpi.programInfo.streams[1].pid, 0x1400);
    EXPECT_EQ(clpi.programInfo.streams[1].codingInfo.language, "eng");
    // A short one leaves the missing attributes zero.
    spec.streams = {SStreamSpec{0x1200, 0x90, {'f'}}, kIg};
    ASSERT_GE(clpi.ParseClpi(BuildClipInfo(spec)), 1);
    EXPECT_EQ(clpi.programInfo.streams[0].codingInfo.language, "f??");
    EXPECT_EQ(clpi.programInfo.streams[1].pid, 0x1400);
}

TEST_F(Clpi, IgStreamIsFoundAtAnyPosition) {
    for (size_t at = 0; at < 3; ++at) {
        SClipInfoSpec spec;
        spec.streams = {kVideo, kAudio};
        spec.streams.insert(spec.streams.begin() + static_cast<long>(at), kIg);
        CClpiObject clpi;
        ASSERT_GE(clpi.ParseClpi(BuildClipInfo(spec)), 1);
        ASSERT_NE(clpi.FindStream(0x91), nullptr) << at;
        EXPECT_EQ(clpi.FindStream(0x91)->pid, 0x1400);
    }
}

TEST_F(Clpi, ResultIsTheEndOfClipMarkOrOfTheExtensionData) {
    spec.streams = {kIg};
    auto file = BuildClipInfo(spec);
    const int clipMarkEnd = static_cast<int>(file.size());
    file.insert(file.end(), 7, 0);
    CClpiObject clpi;
    EXPECT_EQ(clpi.ParseClpi(file), clipMarkEnd);
    EXPECT_EQ(clpi.extensionData.GetSize(), 0);

    spec.extension = true;
    file = BuildClipInfo(spec);
    EXPECT_EQ(clpi.ParseClpi(file), static_cast<int>(file.size()));
    ASSERT_NE(clpi.extensionData.Find(0x1000, 1), nullptr);
    EXPECT_EQ(clpi.extensionData.Find(0x1000, 1)->data, (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST_F(Clpi, PrivateBlockInTheClipInfoReservedBytes) {
    spec.streams = {kIg};
    // "ORVA", then a block of one entry (7, 9) with two data bytes.
    spec.reserved = {'O', 'R', 'V', 'A', 0, 0, 0, 22, 0,  0, 0, 24, 0, 0,    0,
                     1,   0,   7,   0,   9, 0, 0, 0,  24, 0, 0, 0,  2, 0xAB, 0xCD};
    CClpiObject clpi;
    ASSERT_GE(clpi.ParseClpi(BuildClipInfo(spec)), 1);
    EXPECT_TRUE(clpi.hasPrivateBlock);
    ASSERT_NE(clpi.privateBlock.Find(7, 9), nullptr);
    EXPECT_EQ(clpi.privateBlock.Find(7, 9)->data, (std::vector<uint8_t>{0xAB, 0xCD}));

    spec.reserved = {'O', 'R', 'V', 'B'};
    ASSERT_GE(clpi.ParseClpi(BuildClipInfo(spec)), 1);
    EXPECT_FALSE(clpi.hasPrivateBlock);
    EXPECT_EQ(clpi.privateBlock.GetSize(), 0);
}

TEST_F(Clpi, TimingWithoutStcSequenceOrPrimaryVideoIsZero) {
    spec.streams = {kIg};
    spec.stc.clear();
    CClpiObject clpi;
    ASSERT_GE(clpi.ParseClpi(BuildClipInfo(spec)), 1);
    clpi.DeriveTiming();
    EXPECT_EQ(clpi.timing.start, 0u);
    EXPECT_EQ(clpi.timing.duration, 0);
    EXPECT_EQ(clpi.timing.frameDuration27M, 0);
    EXPECT_EQ(clpi.timing.recordingRate, 6000000u);
}

TEST_F(Clpi, NamesAndTexts) {
    EXPECT_STREQ(CodingTypeName(0x91), "IG/Menu");
    EXPECT_STREQ(CodingTypeName(0x1B), "MPEG-4 AVC/h.264");
    EXPECT_STREQ(CodingTypeName(0xA2), "DTS-HD LBR (2nd Audio)");
    EXPECT_STREQ(CodingTypeName(0x24), "Unknown");
    EXPECT_STREQ(ApplicationTypeText(0), "Reserved");
    EXPECT_STREQ(ApplicationTypeText(5), "SubTS for a SubPath of Interactive Graphics menu");
    EXPECT_STREQ(ApplicationTypeText(10), "MainTS for a Movie (AVCHD 1080P50/60)");
    EXPECT_STREQ(ApplicationTypeText(11), "Reserved");
    EXPECT_STREQ(ApplicationTypeText(255), "Reserved");
    const std::pair<int, int64_t> durations[] = {{1, 1126125}, {2, 1125000}, {3, 1080000},
                                                 {4, 900900},  {5, 0},       {6, 540000},
                                                 {7, 450450},  {0, 0},       {15, 0}};
    for (const auto& [code, d] : durations) EXPECT_EQ(FrameDuration27M(code), d) << code;
}

TEST_F(Clpi, AddressesOutsideTheBufferAreInvalid) {
    spec.streams = {kVideo, kIg};
    const auto good = BuildClipInfo(spec);
    for (size_t field = 8; field < 28; field += 4) {
        auto bad = good;
        bad[field] = 0x7F;
        CClpiObject clpi;
        EXPECT_LT(clpi.ParseClpi(bad), 1) << "address at " << field;
    }
    CClpiObject clpi;
    EXPECT_LT(clpi.ParseClpi({}), 1);
}

// The loader of a file: its name and number from the file title, tracks and
// timing ready; each failure named with the file, nothing shown.
TEST(ClpiFile, LoadNamesTheClipAndEachFailure) {
    test::CTempDir dir;
    SClipInfoSpec spec;
    spec.streams = {kVideo, kAudio, kIg};
    const auto good = BuildClipInfo(spec);
    for (const char* name : {"00042.clpi", "menu.clpi", "bad.clpi"}) {
        auto bytes = good;
        if (std::string(name) == "bad.clpi") bytes.resize(10);
        ASSERT_EQ(WriteWholeFile(dir.Str() + "/" + name, bytes.data(), bytes.size()).Message(), "");
    }
    test::CMessageCapture messages;
    const auto numbered = LoadClipInfo(dir.Str() + "/00042.clpi");
    ASSERT_TRUE(numbered);
    EXPECT_EQ((*numbered)->name, "00042");
    EXPECT_EQ((*numbered)->clipNumber, 42);
    EXPECT_EQ((*numbered)->tracks.GetSize(), 3);
    EXPECT_EQ((*numbered)->timing.duration, 1800000);
    const auto named = LoadClipInfo(dir.Str() + "/menu.clpi");
    ASSERT_TRUE(named);
    EXPECT_EQ((*named)->name, "menu");
    EXPECT_EQ((*named)->clipNumber, -1);

    const auto bad = LoadClipInfo(dir.Str() + "/bad.clpi");
    EXPECT_FALSE(bad);
    EXPECT_EQ(bad.Result().Message().rfind(dir.Str() + "/bad.clpi: invalid file format. (", 0), 0u)
        << bad.Result().Message();
    const auto missing = LoadClipInfo(dir.Str() + "/00001.clpi");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Result().Message(), dir.Str() + "/00001.clpi: " + SystemErrorText(ENOENT));
    EXPECT_EQ(LoadClipInfo("").Result().Message(), ": " + SystemErrorText(ENOENT));
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace tessel
