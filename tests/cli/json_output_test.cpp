// What the --json documents say, against the files and trees they describe:
// segment offsets and sizes against the stream's bytes, button sizes against
// their objects, the files a command lists against what is on disk, and the
// rebased time stamps of a demux.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "authoring/sample_disc.h"
#include "codec/ics.h"
#include "codec/segment.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/authored_menu.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using nlohmann::json;

using test::SAuthored;

json Parse(const test::SRunResult& r) {
    json j = json::parse(r.out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << r.out.substr(0, 200);
    return j;
}

TEST(DumpJson, SegmentsTileTheStreamAndDamageIsNamed) {
    SAuthored a;
    const auto r = test::RunCli({"dump", a.stream, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json doc = Parse(r);
    EXPECT_EQ(doc["form"], "marked");
    EXPECT_TRUE(doc["complete"].get<bool>());
    ASSERT_EQ(doc["epochs"].size(), 2u);
    // Each segment follows its record head, right after the previous segment.
    int64_t next = kRecordHeadSize;
    int segments = 0;
    for (const auto& e : doc["epochs"])
        for (const auto& ds : e["display_sets"]) {
            const json& first = ds["segments"][0];
            EXPECT_EQ(first["type_name"], "ICS");
            EXPECT_EQ(ds["pts_90khz"], first["pts_90khz"]);
            EXPECT_EQ(ds["dts_90khz"], first["dts_90khz"]);
            for (const auto& s : ds["segments"]) {
                ++segments;
                const int64_t offset = s["offset"];
                ASSERT_EQ(offset, next) << s.dump();
                EXPECT_EQ(s["type_name"], SegmentTypeName(s["type"].get<uint8_t>()));
                ASSERT_LE(offset + s["size"].get<int64_t>(), static_cast<int64_t>(a.bytes.size()));
                // The size and the header's length field agree with the bytes.
                const size_t at = static_cast<size_t>(offset);
                EXPECT_EQ(a.bytes[at], s["type"].get<uint8_t>());
                EXPECT_EQ(a.bytes[at + 1] << 8 | a.bytes[at + 2], s["segment_length"].get<int>());
                next = offset + s["size"].get<int64_t>() + kRecordHeadSize;
            }
            EXPECT_EQ(ds["segments"].back()["type_name"], "END");
        }
    EXPECT_EQ(next - kRecordHeadSize, static_cast<int64_t>(a.bytes.size()));
    EXPECT_GT(segments, 4);

    // Cut inside the last display set: the JSON keeps what was read and names
    // the byte where the stream broke; the exit status says failure.
    const std::string cut = (a.dir.Path() / "cut.ig").string();
    ASSERT_EQ(WriteWholeFile(cut, a.bytes.data(), a.bytes.size() - 40).Message(), "");
    const auto c = test::RunCli({"dump", cut, "--json"});
    EXPECT_EQ(c.exitCode, 2);
    const json broken = Parse(c);
    EXPECT_FALSE(broken["complete"].get<bool>());
    ASSERT_TRUE(broken["error"].is_object());
    EXPECT_GT(broken["error"]["offset"].get<int64_t>(), 0);
    EXPECT_NE(c.err.find(cut), std::string::npos) << c.err;
    EXPECT_FALSE(broken["epochs"].back()["display_sets"].back()["complete"].get<bool>());
}

TEST(MenuJson, ButtonsCarryTheirObjectsSizeAndNamedCodes) {
    SAuthored a;
    const auto r = test::RunCli({"menu", a.stream, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json doc = Parse(r);
    ASSERT_FALSE(doc.empty());
    int buttons = 0;
    for (const auto& c : doc) {
        EXPECT_EQ(c["video"]["frame_rate_name"], FrameRateName(c["video"]["frame_rate"]));
        EXPECT_EQ(c["composition_state_name"],
                  CompositionStateName(c["composition_state"].get<int>()));
        EXPECT_TRUE(c["pts_90khz"].is_number_integer());
        EXPECT_GE(c["pts_90khz"].get<int64_t>(), c["dts_90khz"].get<int64_t>());
        for (const auto& p : c["pages"])
            for (const auto& g : p["bogs"])
                for (const auto& b : g["buttons"]) {
                    ++buttons;
                    EXPECT_TRUE(b["sized"].get<bool>());
                    EXPECT_EQ(b["width"], 96);
                    EXPECT_EQ(b["height"], 32);
                    EXPECT_EQ(b["rect"]["left"], b["x"]);
                    EXPECT_EQ(b["rect"]["top"], b["y"]);
                    EXPECT_EQ(b["rect"]["right"].get<int>() - b["rect"]["left"].get<int>(), 96);
                    EXPECT_EQ(b["rect"]["bottom"].get<int>() - b["rect"]["top"].get<int>(), 32);
                }
    }
    EXPECT_GT(buttons, 0);
}

TEST(ObjectsJson, ListedFilesAreTheOnesWritten) {
    SAuthored a;
    const std::string out = (a.dir.Path() / "objects").string();
    const auto r = test::RunCli({"objects", a.stream, out, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json doc = Parse(r);
    int listed = 0;
    for (const auto& e : doc["epochs"])
        for (const auto& o : e["objects"]) {
            ASSERT_TRUE(o["file"].is_string()) << o.dump();
            EXPECT_TRUE(PathExists(o["file"].get<std::string>())) << o["file"];
            EXPECT_EQ(o["file"].get<std::string>(),
                      JoinPath(e["folder"].get<std::string>(),
                               StrFormat("%04d.png", o["id"].get<int>() + 1)));
            EXPECT_TRUE(o["version"].is_number_integer());
            ++listed;
        }
    EXPECT_EQ(listed, doc["images_written"].get<int>());
    EXPECT_EQ(listed, doc["objects"].get<int>());
}

TEST(DemuxJson, TracksMatchTheFilesAndTheTimeStampsSayHowTheyWereWritten) {
    const std::string m2ts = (test::SourceDir() / "samples/demo/BDMV/STREAM/00001.m2ts").string();
    test::CTempDir dir;
    int64_t rebasedPts = -1, keptPts = -1;
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "--keep-time" : "rebased");
        const std::string out = (dir.Path() / (keep ? "kept" : "rebased")).string();
        std::vector<std::string> args = {"demux", m2ts, out, "--json"};
        if (keep) args.push_back("--keep-time");
        const auto r = test::RunCli(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json doc = Parse(r);
        EXPECT_EQ(doc["time_stamps"], keep ? "kept" : "rebased");
        ASSERT_FALSE(doc["tracks"].empty());
        const json& t = doc["tracks"][0];
        ASSERT_TRUE(t["file"].is_string());
        const std::string file = t["file"];
        EXPECT_EQ(t["kind"], "IG");
        EXPECT_EQ(static_cast<int64_t>(test::ReadBytes(file).size()), t["bytes"].get<int64_t>());
        EXPECT_EQ(t["cut_pes_bytes"], 0);
        const auto d = test::RunCli({"dump", file, "--json"});
        ASSERT_EQ(d.exitCode, 0) << d.err;
        const int64_t pts = Parse(d)["epochs"][0]["display_sets"][0]["pts_90khz"];
        (keep ? keptPts : rebasedPts) = pts;
    }
    EXPECT_GE(rebasedPts, 131070);
    EXPECT_NE(rebasedPts, keptPts);
}

}  // namespace
}  // namespace tessel
