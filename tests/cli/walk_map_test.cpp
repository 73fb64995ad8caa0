// `tessel walk` and `tessel map` over the independently authored disc: the
// JSON shapes, register presets, step pictures, formats and bad requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/bitmap.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

std::string Bdmv() {
    return (test::CorpusDir() / "independent" / "menu_a_single_page" / "BDMV").string();
}

TEST(CliWalk, StepsAsJsonWithPicturesAndPresets) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir out;
    const fs::path steps = out.Path() / "steps";
    const test::SRunResult r =
        test::RunCli({"walk", Bdmv(), "--keys", "down,left,down,enter", "--json", "--set",
                      "GPR13=7", "--render-steps", steps.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["start"], (nlohmann::json{{"page", 0}, {"button", 1}}));
    ASSERT_EQ(j["steps"].size(), 4u);
    EXPECT_EQ(j["steps"][0]["key"], "down");
    EXPECT_EQ(j["steps"][0]["button"], 2);
    EXPECT_EQ(j["steps"][0]["activated"], false);
    EXPECT_TRUE(j["steps"][0]["exit"].is_null());
    EXPECT_EQ(j["steps"][1]["button"], 2) << "left of button 2 is itself";
    EXPECT_EQ(j["steps"][2]["button"], 3);
    const auto& last = j["steps"][3];
    EXPECT_EQ(last["activated"], true);
    EXPECT_EQ(last["exit"], "JumpTitle 3");
    ASSERT_EQ(last["commands"].size(), 2u);
    EXPECT_EQ(last["commands"][1], "JumpTitle 3");
    EXPECT_TRUE(j["gprs_read_before_written"].empty());
    // One picture per step, the start included, each a whole frame.
    for (int i = 0; i < 5; ++i) {
        const fs::path p = steps / ("step00" + std::to_string(i) + ".png");
        ASSERT_TRUE(fs::exists(p)) << p;
    }
    Bitmap first, second;
    std::string error;
    ASSERT_EQ(LoadImage((steps / "step000.png").string(), first).Message(), "");
    ASSERT_EQ(LoadImage((steps / "step001.png").string(), second).Message(), "");
    EXPECT_EQ(first.Width(), 1920);
    int differing = 0;
    for (int y = 0; y < first.Height(); y += 4)
        for (int x = 0; x < first.Width(); x += 4)
            differing += first.GetPixel(x, y) != second.GetPixel(x, y);
    EXPECT_GT(differing, 0) << "the selection moved: two buttons change their state";
}

TEST(CliWalk, TextAndBadRequests) {
    TESSEL_REQUIRE_CORPUS();
    test::SRunResult r = test::RunCli({"walk", Bdmv(), "--keys", "enter"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("exit: PlayPlaylist 0 (Playlist 00000)"), std::string::npos) << r.out;
    r = test::RunCli({"walk", Bdmv(), "--keys", "down,sideways"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("\"sideways\" is not one of"), std::string::npos) << r.err;
    r = test::RunCli({"walk", Bdmv(), "--keys", "down", "--set", "GPR9999=1"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--set GPR9999=1"), std::string::npos) << r.err;
}

TEST(CliMap, JsonDotAndPictures) {
    TESSEL_REQUIRE_CORPUS();
    test::SRunResult r = test::RunCli({"map", Bdmv()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["pages"].size(), 1u);
    EXPECT_EQ(j["pages"][0]["id"], 0);
    EXPECT_EQ(j["pages"][0]["buttons"][0], (nlohmann::json{{"id", 1}, {"label", "Button#2"}}));
    const nlohmann::json down = {{"from", {{"page", 0}, {"button", 1}}},
                                 {"key", "down"},
                                 {"to", {{"page", 0}, {"button", 2}}}};
    EXPECT_NE(std::find(j["edges"].begin(), j["edges"].end(), down), j["edges"].end());
    bool exitEdge = false;
    for (const auto& e : j["edges"])
        exitEdge |= e["key"] == "enter" && e["to"].value("exit", "") == "JumpTitle 2";
    EXPECT_TRUE(exitEdge);
    EXPECT_EQ(j["bound_reached"], false);

    r = test::RunCli({"map", Bdmv(), "--format", "dot"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("digraph menu {", 0), 0u);

    test::CTempDir out;
    const fs::path png = out.Path() / "map.png";
    r = test::RunCli({"map", Bdmv(), "--format", "png", "-o", png.string()});
    if (r.exitCode == 2 && r.err.find("no Graphviz") != std::string::npos)
        GTEST_SKIP() << "built without Graphviz";
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Bitmap picture;
    std::string error;
    EXPECT_EQ(LoadImage(png.string(), picture).Message(), "");
    r = test::RunCli({"map", Bdmv(), "--format", "svg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("<svg"), std::string::npos);

    r = test::RunCli({"map", Bdmv(), "--format", "gif"});
    EXPECT_EQ(r.exitCode, 2);
    r = test::RunCli({"map", Bdmv(), "--format", "png"});
    EXPECT_EQ(r.exitCode, 0) << "a PNG goes to standard output when it is not a terminal";
    EXPECT_EQ(r.out.substr(0, 4), "\x89PNG");
}

}  // namespace
}  // namespace tessel
