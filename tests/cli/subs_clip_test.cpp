// tessel subs on a clip: each PG PID of its transport stream gives the same
// pictures as the .sup it was muxed from, at times moved by one offset; on a
// disc, every clip with PG streams, from its folder, root or image alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "authoring/m2ts_muxer.h"
#include "authoring/sample_disc.h"
#include "authoring/udf_image.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

nlohmann::json ReadJson(const fs::path& path) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ReadWholeFile(path.string(), bytes).Message(), "");
    return nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
}

TEST(CliSubsClip, PgPidsOfAClipMatchTheirSupFile) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir dir;
    const fs::path sup = test::CorpusDir() / "pg/libpgs-test.sup";
    std::vector<uint8_t> marked;
    ASSERT_EQ(ReadWholeFile(sup.string(), marked).Message(), "");
    const std::string clip = dir.Str() + "/00003.m2ts";
    authoring::SMuxResult mux;
    ASSERT_EQ(authoring::MuxM2ts(clip, {{0x1200, 0x90, marked}, {0x1201, 0x90, marked}}, {}, mux)
                  .Message(),
              "");

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
        ASSERT_EQ(LoadImage(dir.Str() + "/sup/" + x["file"].get<std::string>(), p).Message(), "");
        ASSERT_EQ(LoadImage(dir.Str() + "/clip/" + y["file"].get<std::string>(), q).Message(), "");
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
    ASSERT_EQ(authoring::MuxM2ts(noPg, {{0x1400, 0x91, {}}}, {}, mux).Message(), "");
    const auto none = test::RunCli({"subs", noPg, dir.Str() + "/none"});
    EXPECT_NE(none.exitCode, 0);
    EXPECT_NE(none.err.find("has no PG stream (subtitles)"), std::string::npos) << none.err;
}

// The index files of a folder with their event counts.
std::map<std::string, size_t> Indexes(const fs::path& folder) {
    std::map<std::string, size_t> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".json")
            out[e.path().filename().string()] = ReadJson(e.path())["events"].size();
    return out;
}

TEST(CliSubsDisc, EveryClipWithPgStreams) {
    TESSEL_REQUIRE_CORPUS();
    test::CTempDir dir;
    std::vector<uint8_t> libpgs, sintel;
    ASSERT_EQ(ReadWholeFile((test::CorpusDir() / "pg/libpgs-test.sup").string(), libpgs).Message(),
              "");
    ASSERT_EQ(ReadWholeFile((test::CorpusDir() / "pg/sintel.sup").string(), sintel).Message(), "");
    authoring::SDiscOptions o;
    authoring::SClipSpec film;
    film.number = 1;
    film.igPids = {0x1400};
    film.menu.pages = 1;
    film.pgStreams = {{0x1200, libpgs}};
    authoring::SClipSpec menuOnly;
    menuOnly.number = 2;
    menuOnly.igPids = {0x1400};
    authoring::SClipSpec subtitles;
    subtitles.number = 3;
    subtitles.presentationGraphicsOnly = true;
    subtitles.pgStreams = {{0x1200, sintel}, {0x1201, libpgs}};
    o.clips = {film, menuOnly, subtitles};
    const fs::path root = dir.Path() / "Film";
    ASSERT_EQ(authoring::WriteSampleDisc(root.string(), o).Message(), "");

    const auto count = [&](const std::string& sup) {
        const auto r = test::RunCli({"subs", (test::CorpusDir() / "pg" / sup).string(),
                                     (dir.Path() / "sup").string(), "--format", "json", "--yes"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return ReadJson(dir.Path() / "sup" / (fs::path(sup).stem().string() + ".json"))["events"]
            .size();
    };
    const std::map<std::string, size_t> expected = {{"00001_4608.json", count("libpgs-test.sup")},
                                                    {"00003_4608.json", count("sintel.sup")},
                                                    {"00003_4609.json", count("libpgs-test.sup")}};
    const auto all = test::RunCli(
        {"subs", (root / "BDMV").string(), (dir.Path() / "all").string(), "--format", "json"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(Indexes(dir.Path() / "all"), expected);
    EXPECT_TRUE(fs::exists(dir.Path() / "all/00003_4608_0001.png"));

    // The disc root and an image of the disc give the same files.
    const auto fromRoot =
        test::RunCli({"subs", root.string(), (dir.Path() / "root").string(), "--format", "json"});
    ASSERT_EQ(fromRoot.exitCode, 0) << fromRoot.err;
    EXPECT_EQ(Indexes(dir.Path() / "root"), expected);
    if (authoring::HaveGenisoimage()) {
        const std::string image = (dir.Path() / "film.iso").string();
        ASSERT_EQ(authoring::MakeUdfImage(root.string(), image).Message(), "");
        const auto fromImage =
            test::RunCli({"subs", image, (dir.Path() / "image").string(), "--format", "json"});
        ASSERT_EQ(fromImage.exitCode, 0) << fromImage.err;
        EXPECT_EQ(Indexes(dir.Path() / "image"), expected);
        EXPECT_EQ(ReadJson(dir.Path() / "image/00003_4608.json")["events"],
                  ReadJson(dir.Path() / "all/00003_4608.json")["events"]);
    }

    // --pid picks that PID in every clip; one no clip has fails.
    const auto one = test::RunCli({"subs", (root / "BDMV").string(), (dir.Path() / "one").string(),
                                   "--format", "json", "--pid", "0x1201"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(Indexes(dir.Path() / "one"),
              (std::map<std::string, size_t>{{"00003_4609.json", expected.at("00003_4609.json")}}));
    const auto missing = test::RunCli(
        {"subs", (root / "BDMV").string(), (dir.Path() / "none").string(), "--pid", "0x1300"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("no PG stream with PID 0x1300"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace tessel
