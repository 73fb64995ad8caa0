// tessel subs on a clip: each PG PID of its transport stream gives the same
// pictures as the .sup it was muxed from, at times moved by one offset.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "authoring/m2ts_muxer.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

nlohmann::json ReadJson(const fs::path& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path.string(), bytes, error)) << error;
    return nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
}

TEST(CliSubsClip, PgPidsOfAClipMatchTheirSupFile) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir dir;
    const fs::path sup = test::CorpusDir() / "pg/libpgs-test.sup";
    std::vector<uint8_t> marked;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(sup.string(), marked, error)) << error;
    const std::string clip = dir.Str() + "/00003.m2ts";
    authoring::SMuxResult mux;
    ASSERT_TRUE(
        authoring::MuxM2ts(clip, {{0x1200, 0x90, marked}, {0x1201, 0x90, marked}}, {}, mux, error))
        << error;

    const auto fromSup =
        test::RunCli({"subs", sup.string(), dir.Str() + "/sup", "--format", "json"});
    ASSERT_EQ(fromSup.exitCode, 0) << fromSup.err;
    const auto fromClip =
        test::RunCli({"subs", clip, dir.Str() + "/clip", "--format", "json", "--pid", "0x1201"});
    ASSERT_EQ(fromClip.exitCode, 0) << fromClip.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "clip/00003_4608.json"));
    const nlohmann::json a = ReadJson(dir.Path() / "sup/libpgs-test.json");
    const nlohmann::json b = ReadJson(dir.Path() / "clip/00003_4609.json");
    ASSERT_TRUE(a.contains("events") && b.contains("events"));
    ASSERT_EQ(a["events"].size(), b["events"].size());
    ASSERT_FALSE(a["events"].empty());
    const int64_t shift =
        b["events"][0]["start_90khz"].get<int64_t>() - a["events"][0]["start_90khz"].get<int64_t>();
    for (size_t i = 0; i < a["events"].size(); ++i) {
        SCOPED_TRACE(i);
        const auto& x = a["events"][i];
        const auto& y = b["events"][i];
        EXPECT_EQ(y["start_90khz"].get<int64_t>() - x["start_90khz"].get<int64_t>(), shift);
        EXPECT_EQ(y["end_90khz"].get<int64_t>() - x["end_90khz"].get<int64_t>(), shift);
        EXPECT_EQ(x["x"], y["x"]);
        EXPECT_EQ(x["y"], y["y"]);
        Bitmap p, q;
        ASSERT_TRUE(LoadImage(dir.Str() + "/sup/" + x["file"].get<std::string>(), p, error));
        ASSERT_TRUE(LoadImage(dir.Str() + "/clip/" + y["file"].get<std::string>(), q, error));
        ASSERT_EQ(p.Width(), q.Width());
        ASSERT_EQ(p.Height(), q.Height());
        int wrong = 0;
        for (int r = 0; r < p.Height(); ++r)
            for (int c = 0; c < p.Width(); ++c) wrong += p.GetPixel(c, r) != q.GetPixel(c, r);
        EXPECT_EQ(wrong, 0);
    }

    // Without --pid every PG PID is written; a PID the clip lacks and a
    // clip without PG fail with their reason.
    EXPECT_EQ(test::RunCli({"subs", clip, dir.Str() + "/all"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir.Path() / "all/00003_4608.xml"));
    EXPECT_TRUE(fs::exists(dir.Path() / "all/00003_4609.xml"));
    const auto missing = test::RunCli({"subs", clip, dir.Str() + "/none", "--pid", "0x1202"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("no PG stream with PID 0x1202"), std::string::npos) << missing.err;
    const std::string noPg = dir.Str() + "/00004.m2ts";
    ASSERT_TRUE(authoring::MuxM2ts(noPg, {{0x1400, 0x91, {}}}, {}, mux, error)) << error;
    const auto none = test::RunCli({"subs", noPg, dir.Str() + "/none"});
    EXPECT_NE(none.exitCode, 0);
    EXPECT_NE(none.err.find("has no PG stream (subtitles)"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace tessel
