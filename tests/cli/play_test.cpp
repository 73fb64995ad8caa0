// `tessel play` over an authored menu: the frames as JSON and as PNG files,
// and bad requests that exit 2 and leave no file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/files.h"
#include "support/authored_menu.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using test::SAuthored;

TEST(CliPlay, FramesAsJsonAndAsPngFiles) {
    SAuthored a;
    auto r = test::RunCli({"play", a.stream, "--json", "--seconds", "1", "--keys", "down@0.5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["frame_rate"]["code"], 1);
    EXPECT_EQ(j["frame_rate"]["name"], "23.976");
    ASSERT_EQ(j["frames"].size(), 24u) << "frames before 1 s at 23.976";
    EXPECT_EQ(j["frames"][1]["pts_90khz"], 3753);
    EXPECT_EQ(j["frames"][12]["keys"], nlohmann::json::array({"down"}))
        << "the first frame at or after 0.5 s";
    EXPECT_TRUE(j["frames"][0]["visible"].get<bool>());

    const std::string folder = (a.dir.Path() / "frames").string();
    r = test::RunCli({"play", a.stream, "--out", folder, "--seconds", "0.2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(PathExists(folder + "/frame0000" + std::to_string(i) + ".png")) << i;
    EXPECT_FALSE(PathExists(folder + "/frame00005.png"));
}

TEST(CliPlay, BadRequestsExitTwoAndLeaveNoFile) {
    SAuthored a;
    const std::string empty = (a.dir.Path() / "empty.ig").string();
    std::string error;
    ASSERT_TRUE(WriteWholeFile(empty, nullptr, 0, error)) << error;
    const std::string folder = (a.dir.Path() / "out").string();
    const std::string webp = (a.dir.Path() / "menu.webp").string();
    struct {
        std::vector<std::string> args;
        const char* reason;
    } rows[] = {
        {{a.stream, "--keys", "sideways@1"}, "is not KEY@SECONDS"},
        {{a.stream, "--keys", "down@2,up@1"}, "comes before the key ahead of it"},
        {{a.stream, "--seconds", "0"}, "--seconds 0: outside"},
        {{a.stream, "--seconds", "601"}, "--seconds 601: outside"},
        {{a.stream, "--page", "99"}, "no page with id 99"},
        {{empty}, "empty.ig"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = {"play"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        args.insert(args.end(), {"--out", folder});
        const auto r = test::RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << row.reason;
        EXPECT_NE(r.err.find(row.reason), std::string::npos) << r.err;
        EXPECT_FALSE(PathExists(folder)) << row.reason;
    }
    const auto r = test::RunCli({"play", a.stream, "--out", webp});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("not available in this build"), std::string::npos) << r.err;
    EXPECT_FALSE(PathExists(webp));
}

}  // namespace
}  // namespace tessel
