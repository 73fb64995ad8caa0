#include <gtest/gtest.h>

#include "authoring/m2ts_muxer.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using authoring::CTsMuxer;
using test::CTempDir;
using test::RunCli;

TEST(DemuxCommand, WritesEachIgPidInPmtOrder) {
    CTsMuxer mux;
    mux.AddPat();
    mux.AddPmt({{0x1B, 0x1011, {}}, {0x91, 0x1401, {}}, {0x90, 0x1200, {}}, {0x91, 0x1400, {}}});
    mux.AddPes(0x1011, 1000, std::nullopt, std::vector<uint8_t>(100, 0));
    mux.AddPes(0x1400, 400000, 390000, authoring::Segment(0x18, 300));
    mux.AddPes(0x1401, 400000, std::nullopt, authoring::Segment(0x80, 0));
    mux.AddPes(0x1200, 400000, std::nullopt, authoring::Segment(0x80, 0));
    CTempDir dir;
    const std::string in = mux.Save(dir.Str() + "/00001.m2ts");
    auto r = RunCli({"demux", in, dir.Str() + "/out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = r.out;
    EXPECT_LT(lines.find("5121.ig"), lines.find("5120.ig"));
    std::vector<authoring::SRecord> a, b;
    ASSERT_TRUE(authoring::SplitRecords(test::ReadBytes(dir.Path() / "out/5120.ig"), a));
    ASSERT_TRUE(authoring::SplitRecords(test::ReadBytes(dir.Path() / "out/5121.ig"), b));
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].segment, authoring::Segment(0x18, 300));
    EXPECT_EQ(a[0].pts, 399000u);
    EXPECT_EQ(a[0].dts, 389000u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out/4608.ig"));
}

TEST(DemuxCommand, FailuresGiveTheirMessagesAndExitTwo) {
    CTempDir dir;
    CTsMuxer noPmt;
    noPmt.AddFiller(0x1011, 10);
    CTsMuxer noIg;
    noIg.AddPmt({{0x1B, 0x1011, {}}, {0x90, 0x1200, {}}});
    const std::string noPmtPath = noPmt.Save(dir.Str() + "/nopmt.m2ts");
    const std::string noIgPath = noIg.Save(dir.Str() + "/noig.m2ts");
    struct {
        std::string input;
        std::string message;
    } rows[] = {
        {dir.Str() + "/missing.m2ts", "No such file or directory"},
        {noPmtPath, noPmtPath + ": Wrong M2ts format ! "},
        {noIgPath, noIgPath + ": has no IG(menu) ! "},
    };
    for (const auto& row : rows) {
        auto r = RunCli({"demux", row.input, dir.Str() + "/out"});
        EXPECT_EQ(r.exitCode, 2) << row.input;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
    }
    // An output folder that cannot be made.
    CTsMuxer ok;
    ok.AddPmt({{0x91, 0x1400, {}}});
    const std::string okPath = ok.Save(dir.Str() + "/ok.m2ts");
    auto r = RunCli({"demux", okPath, dir.Str() + "/ok.m2ts/sub"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("ok.m2ts/sub: Failed to create the folder ("), std::string::npos) << r.err;
}

TEST(DemuxCommand, RealCutHasNoIg) {
    TESSEL_REQUIRE_CORPUS();
    CTempDir dir;
    auto r = RunCli(
        {"demux", (test::CorpusDir() / "m2ts/Test_H264_DTS2.m2ts").string(), dir.Str() + "/out"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("has no IG(menu) ! "), std::string::npos);
}

}  // namespace
}  // namespace tessel
