// `tessel play` over an authored menu: the frames as JSON, as PNG files and
// as animated WebP and APNG, and bad requests that exit 2 and leave no file.
#include <gtest/gtest.h>

#include <webp/demux.h>

#include <nlohmann/json.hpp>

#include "platform/files.h"
#include "support/authored_menu.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using test::SAuthored;

uint32_t Be(const std::vector<uint8_t>& d, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | d[at + static_cast<size_t>(i)];
    return v;
}

// The milliseconds each frame of an animated picture is shown.
std::vector<int> Durations(const std::string& path, bool webp) {
    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    std::vector<int> out;
    if (!webp) {
        for (size_t at = 8; at + 12 <= bytes.size(); at += 12 + Be(bytes, at, 4))
            if (std::string(bytes.begin() + at + 4, bytes.begin() + at + 8) == "fcTL")
                out.push_back(
                    static_cast<int>(Be(bytes, at + 28, 2) * 1000 / Be(bytes, at + 30, 2)));
        return out;
    }
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoder* dec = WebPAnimDecoderNew(&data, nullptr);
    if (!dec) return out;
    int last = 0;
    for (uint8_t* pixels; WebPAnimDecoderHasMoreFrames(dec);) {
        int end = 0;
        if (!WebPAnimDecoderGetNext(dec, &pixels, &end)) break;
        out.push_back(end - last);
        last = end;
    }
    WebPAnimDecoderDelete(dec);
    return out;
}

// The two-epoch authored menu each case plays.
class CliPlay : public ::testing::Test {
protected:
    SAuthored a;
};

TEST_F(CliPlay, FramesAsJsonAndAsPngFiles) {
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

TEST_F(CliPlay, AnimatedPicturesHoldEachFrameUntilTheNextChange) {
    // The key moves the selection in frame 12 (0.5005 s); 24 frames are 1.001 s.
    for (const char* name : {"menu.webp", "menu.apng"}) {
        const std::string path = (a.dir.Path() / name).string();
        const auto r = test::RunCli(
            {"play", a.stream, "--out", path, "--seconds", "1", "--keys", "right@0.5"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("2 picture(s)"), std::string::npos) << r.out;
        EXPECT_EQ(Durations(path, name[5] == 'w'), (std::vector<int>{501, 500})) << name;
    }
    // "-": the WebP on standard output, the summary on stderr.
    const auto r =
        test::RunCli({"play", a.stream, "--out", "-", "--seconds", "1", "--keys", "right@0.5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("2 picture(s)"), std::string::npos) << r.err;
    const std::string piped = (a.dir.Path() / "piped.webp").string();
    ASSERT_EQ(WriteWholeFile(piped, reinterpret_cast<const uint8_t*>(r.out.data()), r.out.size())
                  .Message(),
              "");
    EXPECT_EQ(Durations(piped, true), (std::vector<int>{501, 500}));
}

TEST_F(CliPlay, BadRequestsExitTwoAndLeaveNoFile) {
    const std::string empty = (a.dir.Path() / "empty.ig").string();
    ASSERT_EQ(WriteWholeFile(empty, nullptr, 0).Message(), "");
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
    for (const char* name : {"menu.gif", "menu.png"}) {
        const std::string path = (a.dir.Path() / name).string();
        const auto r = test::RunCli({"play", a.stream, "--out", path});
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_NE(r.err.find("nor FILE.webp / FILE.apng"), std::string::npos) << r.err;
        EXPECT_FALSE(PathExists(path)) << name;
    }
    const auto r = test::RunCli({"play", a.stream, "--page", "99", "--out", webp});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(PathExists(webp)) << "a failed play writes no animated picture";
}

}  // namespace
}  // namespace tessel
