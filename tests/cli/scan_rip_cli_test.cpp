// `tessel scan`, `tessel rip` and `tessel demux` on a generated disc.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <numeric>

#include "authoring/sample_disc.h"
#include "support/authored_menu.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::CTempDir;
using test::RunCli;

// Disc "Film": clip 1 (type 1, PID 0x1400, two pages), clip 2 (type 5 by
// sub-path, PIDs 0x1400 and 0x1401), clip 3 (subtitles only).
class CliDisc : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new CTempDir;
        authoring::SDiscOptions o;
        authoring::SClipSpec a, b, c;
        a.number = 1;
        a.igPids = {0x1400};
        a.menu = test::SmallMenu(2, 2, 1);
        b.number = 2;
        b.applicationType = 5;
        b.viaSubPath = true;
        b.igPids = {0x1400, 0x1401};
        b.menu = test::SmallMenu(1, 1, 2);
        c.number = 3;
        c.presentationGraphicsOnly = true;
        o.clips = {a, b, c};
        ASSERT_EQ(authoring::WriteSampleDisc((dir_->Path() / "Film").string(), o).Message(), "");
    }
    static void TearDownTestSuite() { delete dir_; }
    static std::string Bdmv() { return (dir_->Path() / "Film/BDMV").string(); }

    static CTempDir* dir_;
};

CTempDir* CliDisc::dir_ = nullptr;

TEST_F(CliDisc, ScanJsonHasTheDiscClipsIgsAndEpochs) {
    auto r = RunCli({"scan", Bdmv(), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j["disc"], "Film");
    ASSERT_EQ(j["clips"].size(), 2u);
    const int types[] = {1, 5};
    const std::vector<int> pids[] = {{5120}, {5120, 5121}};
    for (size_t c = 0; c < 2; ++c) {
        const json& clip = j["clips"][c];
        EXPECT_EQ(clip["clip"], c + 1);
        EXPECT_EQ(clip["application_type"], types[c]);
        // A full scan reads every byte of the clip (and the program map twice).
        const json& cov = clip["coverage"];
        EXPECT_EQ(cov["mode"], "full");
        EXPECT_EQ(cov["samples"], 0);
        EXPECT_GE(cov["bytes_read"].get<int64_t>(), cov["bytes_total"].get<int64_t>());
        ASSERT_EQ(clip["igs"].size(), pids[c].size());
        for (size_t i = 0; i < pids[c].size(); ++i) {
            const json& ig = clip["igs"][i];
            EXPECT_EQ(ig["pid"], pids[c][i]);
            EXPECT_EQ(ig["name"], std::to_string(pids[c][i]));
            EXPECT_EQ(ig["video"]["width"], 1920);
            EXPECT_EQ(ig["video"]["height"], 1080);
            EXPECT_EQ(ig["video"]["frame_rate"], 1);
            ASSERT_EQ(ig["epochs"].size(), 1u);
            const json& e = ig["epochs"][0];
            EXPECT_EQ(e["name"], "Epoch#1");
            // Three pictures of 24 x 12 per button, listed in the order the pages use them.
            std::vector<int> ids;
            for (const json& g : e["graphics"]) {
                ids.push_back(g["id"]);
                EXPECT_EQ(g["width"], 24);
                EXPECT_EQ(g["height"], 12);
            }
            std::sort(ids.begin(), ids.end());
            std::vector<int> expected(c == 0 ? 12 : 6);
            std::iota(expected.begin(), expected.end(), 0);
            EXPECT_EQ(ids, expected);
            ASSERT_EQ(e["palettes"].size(), 1u);
            EXPECT_EQ(e["palettes"][0]["id"], 0);
            EXPECT_GT(e["palettes"][0]["entries"], 2);
            ASSERT_EQ(e["display_sets"].size(), 1u);
            const json& ds = e["display_sets"][0];
            EXPECT_EQ(ds["pages"].size(), c == 0 ? 2u : 1u);
            EXPECT_TRUE(ds.contains("frame_number"));
        }
    }
}

TEST_F(CliDisc, ScanTextShowsTheTree) {
    auto r = RunCli({"scan", Bdmv()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Film\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n  00001.m2ts\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n  00002.m2ts\n"), std::string::npos);
    EXPECT_EQ(r.out.find("00003.m2ts"), std::string::npos);
    EXPECT_NE(r.out.find("    PID 0x1401 ("), std::string::npos);
    EXPECT_NE(r.out.find("Button#1 (id 0): "), std::string::npos);
    EXPECT_NE(r.out.find(", 1 command(s)"), std::string::npos);
}

TEST_F(CliDisc, RipRefusesAnExistingDiscFolderWithoutYes) {
    CTempDir out;
    auto r = RunCli({"rip", Bdmv(), out.Str()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("The images have been successfully extracted! \n"), std::string::npos);
    const fs::path disc = out.Path() / "Film";
    EXPECT_TRUE(fs::exists(disc / "00001/5120/Epoch#1/0001.png"));
    EXPECT_TRUE(fs::exists(disc / "00002/5121/Epoch#1/0006.png"));
    EXPECT_EQ(fs::file_size(disc / "tessel.rip"), 20u);
    fs::remove(disc / "00001/5120/Epoch#1/0001.png");

    r = RunCli({"rip", Bdmv(), out.Str()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("The folder already exists, overwrite it? "), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("successfully"), std::string::npos);
    EXPECT_FALSE(fs::exists(disc / "00001/5120/Epoch#1/0001.png"));

    r = RunCli({"rip", Bdmv(), out.Str(), "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("The images have been successfully extracted! "), std::string::npos);
    EXPECT_TRUE(fs::exists(disc / "00001/5120/Epoch#1/0001.png"));
}

TEST_F(CliDisc, ScanAndRipFailuresExitTwo) {
    CTempDir dir;
    auto r = RunCli({"scan", (dir.Path() / "Nothing/BDMV").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.empty());
    r = RunCli({"rip", (dir.Path() / "Nothing/BDMV").string(), dir.Str()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(fs::exists(dir.Path() / "Nothing"));
}

TEST_F(CliDisc, DemuxWritesStreamsThatMenuReads) {
    CTempDir out;
    auto r = RunCli({"demux", Bdmv() + "/STREAM/00002.m2ts", out.Str()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* pid : {"5120", "5121"}) {
        const std::string stream = (out.Path() / (std::string(pid) + ".ig")).string();
        ASSERT_TRUE(fs::exists(stream)) << pid;
        auto m = RunCli({"menu", stream, "--json"});
        ASSERT_EQ(m.exitCode, 0) << m.err;
        const json j = json::parse(m.out);
        ASSERT_EQ(j.size(), 1u);
        ASSERT_EQ(j[0]["pages"].size(), 1u);
        ASSERT_EQ(j[0]["pages"][0]["bogs"].size(), 1u);
        EXPECT_EQ(j[0]["pages"][0]["bogs"][0]["buttons"].size(), 2u);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(out.Path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace tessel
