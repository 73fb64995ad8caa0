#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "support/corpus_json.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using test::CorpusExpected;

TEST(CliPlaylists, JsonListsEveryPlaylistAndTheSortedClips) {
    TESSEL_REQUIRE_CORPUS();
    const json expected = CorpusExpected("mpls.json");
    for (const char* disc : {"disc1", "disc5", "disc14"}) {
        SCOPED_TRACE(disc);
        const auto r = test::RunCli(
            {"playlists", (test::CorpusDir() / "discs" / disc / "BDMV").string(), "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json out = json::parse(r.out);
        EXPECT_EQ(out["disc"], disc);
        std::vector<int> clips;
        for (const auto& id : expected[disc]) clips.push_back(std::stoi(id.get<std::string>()));
        EXPECT_EQ(out["clips"].get<std::vector<int>>(), clips);
        for (const auto& p : out["playlists"]) {
            const std::string key =
                std::string(disc) + "/PLAYLIST/" + p["name"].get<std::string>() + ".mpls";
            ASSERT_TRUE(expected.contains(key)) << key;
            std::vector<int> refs;
            for (const auto& id : expected[key]["clip_references"])
                refs.push_back(std::stoi(id.get<std::string>()));
            EXPECT_EQ(p["clips"].get<std::vector<int>>(), refs) << key;
        }
    }
}

TEST(CliPlaylists, TextShowsEachPlaylistThenTheClips) {
    TESSEL_REQUIRE_CORPUS();
    const auto r = test::RunCli({"playlists", (test::CorpusDir() / "discs/disc1/BDMV").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Disc: disc1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  00000: 00000 00001\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Clips: 00000 00001 00002"), std::string::npos) << r.out;
}

TEST(CliPlaylists, BadFoldersFailWithAMessage) {
    test::CTempDir tmp;
    struct {
        std::string folder;
        std::string message;
    } cases[] = {
        {(tmp.Path() / "missing" / "BDMV").string(), "No such file or directory"},
        {tmp.Str(), "tessel: " + tmp.Str() +
                        "/: has no corresponding mpls file! (no PLAYLIST folder in it)\n"},
    };
    for (const auto& c : cases) {
        const auto r = test::RunCli({"playlists", c.folder});
        EXPECT_EQ(r.exitCode, 2) << c.folder;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    fs::create_directories(tmp.Path() / "PLAYLIST");
    std::ofstream(tmp.Path() / "PLAYLIST" / "00000.mpls") << "MPLS0200";
    const auto r = test::RunCli({"playlists", tmp.Str()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "tessel: " + (tmp.Path() / "PLAYLIST" / "00000.mpls").string() +
                         ": invalid playlist: 8 bytes, too short for a playlist\n");
}

TEST(CliClipinfo, JsonAgreesWithTheIndependentReading) {
    TESSEL_REQUIRE_CORPUS();
    const json expected = CorpusExpected("clpi.json");
    int menus = 0;
    for (const auto& [key, exp] : expected.items()) {
        if (exp["application_type"] != 5 || ++menus > 3) continue;
        SCOPED_TRACE(key);
        const size_t slash = key.find('/');
        const fs::path file =
            test::CorpusDir() / "discs" / key.substr(0, slash) / "BDMV" / key.substr(slash + 1);
        const auto r = test::RunCli({"clipinfo", file.string(), "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json out = json::parse(r.out);
        EXPECT_EQ(out["application_type"], 5);
        EXPECT_EQ(out["application_type_text"], "SubTS for a SubPath of Interactive Graphics menu");
        EXPECT_EQ(out["clip_stream_type"], exp["clip_stream_type"]);
        EXPECT_EQ(out["ts_recording_rate"], exp["ts_recording_rate"]);
        EXPECT_EQ(out["num_source_packets"], exp["num_source_packets"]);
        ASSERT_EQ(out["stc_sequences"].size(), exp["stc"].size());
        EXPECT_EQ(out["stc_sequences"][0]["start"], exp["stc"][0]["presentation_start_time"]);
        EXPECT_EQ(out["stc_sequences"][0]["end"], exp["stc"][0]["presentation_end_time"]);
        EXPECT_EQ(out["stc_sequences"][0]["pcr_pid"], exp["stc"][0]["pcr_pid"]);
        ASSERT_EQ(out["streams"].size(), exp["streams"].size());
        for (size_t i = 0; i < exp["streams"].size(); ++i) {
            EXPECT_EQ(out["streams"][i]["pid"], exp["streams"][i]["pid"]);
            EXPECT_EQ(out["streams"][i]["coding_type"], exp["streams"][i]["coding_type"]);
            EXPECT_EQ(out["streams"][i]["language"], exp["streams"][i]["lang"]);
        }
        const std::string clip = file.stem().string();
        bool ig = false;
        for (const auto& t : out["tracks"]) {
            const std::string line = t.get<std::string>();
            EXPECT_EQ(line.rfind(clip + ".M2TS, 0x", 0), 0u) << line;
            ig = ig || line.find(", IG/Menu(0x91), ") != std::string::npos;
        }
        EXPECT_TRUE(ig);
    }
    EXPECT_EQ(menus, 43);
}

TEST(CliClipinfo, TextShowsTypeStreamsAndTracks) {
    TESSEL_REQUIRE_CORPUS();
    const auto r = test::RunCli(
        {"clipinfo", (test::CorpusDir() / "discs/disc1/BDMV/CLIPINF/00000.clpi").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Application type: 1 (MainTS for a MainPath of Movie)"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Track(s): 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("00000.M2TS, 0x1011, MPEG-4 AVC/h.264(0x1B), 1080p, 23.976, 16:9"),
              std::string::npos)
        << r.out;
}

TEST(CliClipinfo, BadFilesFailWithAMessage) {
    test::CTempDir tmp;
    const fs::path bad = tmp.Path() / "00009.clpi";
    std::ofstream(bad) << "HDMV0200 too short";
    auto r = test::RunCli({"clipinfo", bad.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err,
              "tessel: " + bad.string() +
                  ": invalid file format. (damaged or cut short (18 bytes): the SequenceInfo at "
                  "byte 544501615 lies past the end)\n");
    EXPECT_EQ(r.out, "");

    r = test::RunCli({"clipinfo", (tmp.Path() / "00001.clpi").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("00001.clpi: No such file or directory"), std::string::npos) << r.err;

    r = test::RunCli({"clipinfo"});
    EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace tessel
