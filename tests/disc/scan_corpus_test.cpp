// Disc scan over the shared corpus: the independently authored disc against
// its truth, and the real discs' own playlists and clip information with
// generated transport streams.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "authoring/m2ts_muxer.h"
#include "authoring/sample_disc.h"
#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "disc/rip.h"
#include "disc/scan_support.h"
#include "platform/image_io.h"
#include "platform/text.h"
#include "support/corpus_json.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::CMessageCapture;
using test::CTempDir;

using test::ReadJson;

std::string Hex(const CNavCmd& c) {
    std::string s;
    for (uint8_t b : c.bytes) s += StrFormat("%02X", b);
    return s;
}

const fs::path kIndependent = "independent/menu_a_single_page";

// The independently authored disc scanned, beside its truth.
class IndependentDisc : public ::testing::Test {
protected:
    void SetUp() override {
        TESSEL_REQUIRE_CORPUS();
        root = test::CorpusDir() / kIndependent;
        truth = ReadJson(root / "truth.json");
        ASSERT_EQ(ScanDisc(disc, (root / "BDMV").string(), nullptr), 0) << messages.Last();
    }

    fs::path root;
    json truth;
    CTlDisc disc;
    CMessageCapture messages;
};

TEST_F(IndependentDisc, ScansToTheTreeOfItsTruth) {
    EXPECT_EQ(disc.name, "menu_a_single_page");
    ASSERT_EQ(disc.clips.size(), 1u);
    const CTlM2tsObject& clip = *disc.clips[0];
    EXPECT_EQ(clip.name, "00001");
    ASSERT_NE(clip.clipInfo, nullptr);
    EXPECT_EQ(clip.clipInfo->clipInfo.applicationType, 1);
    ASSERT_EQ(clip.igObjects.size(), 1u);
    const CIgObject& ig = *clip.igObjects[0];
    EXPECT_EQ(ig.id, std::stoi(truth["ts"]["ig_pid"].get<std::string>(), nullptr, 16));
    EXPECT_EQ(ig.name, "5120");
    const json& ics = truth["ics"];
    EXPECT_EQ(ig.video.width, ics["video_width"]);
    EXPECT_EQ(ig.video.height, ics["video_height"]);
    EXPECT_EQ(ig.video.frameRate, ics["frame_rate_id"]);
    ASSERT_EQ(ig.GetSize(), 1);
    const CEpoch& epoch = *ig.GetAt(0);
    ASSERT_EQ(epoch.GetSize(), 1);
    const CDisplaySet& ds = *epoch.GetAt(0);
    EXPECT_EQ(ds.compositionState, ics["composition_state"]);
    // The clip's presentation starts about 600 s in (45 kHz ticks).
    ASSERT_FALSE(clip.clipInfo->sequenceInfo.stcSequences.empty());
    EXPECT_NEAR(clip.clipInfo->sequenceInfo.stcSequences[0].startPts / 45000.0, 600.0, 1.0);

    const json& pages = ics["interactive_composition"]["pages"];
    ASSERT_EQ(ds.GetSize(), static_cast<int>(pages.size()));
    for (size_t p = 0; p < pages.size(); ++p) {
        const json& tp = pages[p];
        const CPage& page = *ds.GetAt(static_cast<int>(p));
        EXPECT_EQ(page.id, tp["id"]);
        EXPECT_EQ(test::RefId(page.defaultSelected), tp["default_selected_button_id"]);
        EXPECT_EQ(test::RefId(page.defaultActivated), tp["default_activated_button_id"]);
        EXPECT_EQ(test::RefId(page.palette), tp["palette_id"]);
        ASSERT_EQ(page.GetSize(), static_cast<int>(tp["bogs"].size()));
        for (size_t g = 0; g < tp["bogs"].size(); ++g) {
            const json& tg = tp["bogs"][g];
            const CBog& bog = *page.GetAt(static_cast<int>(g));
            EXPECT_EQ(test::RefId(bog.defaultValid), tg["default_valid_button_id"]);
            ASSERT_EQ(bog.GetSize(), static_cast<int>(tg["buttons"].size()));
            for (size_t b = 0; b < tg["buttons"].size(); ++b) {
                const json& tb = tg["buttons"][b];
                const CBdButton& button = *bog.GetAt(static_cast<int>(b));
                SCOPED_TRACE("button " + tb["id"].dump());
                EXPECT_EQ(button.id, tb["id"]);
                EXPECT_EQ(button.numericSelectValue, tb["numeric_select_value"]);
                EXPECT_EQ(button.autoAction, tb["auto_action"]);
                EXPECT_EQ(button.x, tb["x"]);
                EXPECT_EQ(button.y, tb["y"]);
                EXPECT_EQ(test::RefId(button.neighbors.upper), tb["neighbors"]["up"]);
                EXPECT_EQ(test::RefId(button.neighbors.lower), tb["neighbors"]["down"]);
                EXPECT_EQ(test::RefId(button.neighbors.left), tb["neighbors"]["left"]);
                EXPECT_EQ(test::RefId(button.neighbors.right), tb["neighbors"]["right"]);
                const char* states[] = {"normal", "selected", "activated"};
                for (int s = 0; s < 3; ++s) {
                    const json& ts = tb[states[s]];
                    EXPECT_EQ(test::RefId(button.states[s].start), ts["start_object_id"]);
                    EXPECT_EQ(test::RefId(button.states[s].end), ts["end_object_id"]);
                    if (ts.contains("sound_id")) {
                        EXPECT_EQ(button.states[s].soundId, ts["sound_id"]);
                    }
                    if (ts.contains("repeat")) {
                        EXPECT_EQ(button.states[s].repeat, ts["repeat"]);
                    }
                }
                std::vector<std::string> commands;
                for (const CNavCmd& c : button.commands.records) commands.push_back(Hex(c));
                EXPECT_EQ(commands, tb["commands"].get<std::vector<std::string>>());
            }
        }
    }
    const json& objects = truth["objects"];
    ASSERT_EQ(epoch.graphics.items.size(), objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        const CGraphicObject& go = *epoch.graphics.items[i];
        EXPECT_EQ(go.id, objects[i]["id"]);
        EXPECT_EQ(go.width, objects[i]["width"]);
        EXPECT_EQ(go.height, objects[i]["height"]);
    }
}

TEST_F(IndependentDisc, RipsOnePictureForEveryInputWithItsAlpha) {
    CTempDir out;
    ASSERT_TRUE(RipToFolder(disc, out.Str())) << messages.Last();
    const fs::path epoch = out.Path() / "menu_a_single_page/00001/5120/Epoch#1";
    size_t inputs = 0;
    for (const auto& e : fs::directory_iterator(root / "input/png"))
        inputs += e.path().extension() == ".png";
    size_t ripped = 0;
    for (const auto& e : fs::directory_iterator(epoch)) ripped += e.path().extension() == ".png";
    EXPECT_EQ(ripped, inputs);
    ASSERT_EQ(truth["objects"].size(), inputs);
    for (const json& o : truth["objects"]) {
        const fs::path picture = epoch / StrFormat("%04d.png", o["id"].get<int>() + 1);
        const fs::path input = root / "input" / o["png"].get<std::string>();
        SCOPED_TRACE(picture.string());
        Bitmap mine, theirs;
        std::string error;
        ASSERT_EQ(LoadImage(picture.string(), mine).Message(), "");
        ASSERT_EQ(LoadImage(input.string(), theirs).Message(), "");
        EXPECT_EQ(mine.Format(), EPixelFormat::Indexed8);
        ASSERT_EQ(mine.Width(), theirs.Width());
        ASSERT_EQ(mine.Height(), theirs.Height());
        int differ = 0;
        for (int y = 0; y < mine.Height(); ++y)
            for (int x = 0; x < mine.Width(); ++x)
                differ += ArgbAlpha(mine.GetPixel(x, y)) != ArgbAlpha(theirs.GetPixel(x, y));
        EXPECT_EQ(differ, 0);
    }
}

// For every real disc with IG clips: its own PLAYLIST and CLIPINF files, and a
// generated transport stream per IG clip carrying the clip's IG PIDs.
TEST(RealDiscs, GeneratedStreamsBesideRealDatabasesScan) {
    TESSEL_REQUIRE_CORPUS();
    const fs::path discs = test::CorpusDir() / "discs";
    const json clpi = ReadJson(test::CorpusDir() / "expected/clpi.json");
    const json mpls = ReadJson(test::CorpusDir() / "expected/mpls.json");
    CTempDir work;
    // A menu authored once, for the discs without a real composition.
    std::vector<uint8_t> authoredMenu;
    {
        CIgObject ig;
        ASSERT_EQ(
            authoring::AuthorMenu(test::SmallMenu(), (work.Path() / "pics").string(), ig).Message(),
            "");
        ASSERT_EQ(authoring::MenuStream(ig, authoredMenu).Message(), "");
    }
    int discsWithIg = 0, clipsFound = 0;
    for (const auto& entry : fs::directory_iterator(discs)) {
        const std::string name = entry.path().filename();
        // IG clips by the independent reading of the clip information files.
        std::map<int, std::vector<uint16_t>> igClips;
        for (const auto& [key, c] : clpi.items()) {
            if (key.rfind(name + "/", 0) != 0) continue;
            const int type = c["application_type"];
            if (type != 1 && type != 5) continue;
            std::vector<uint16_t> pids;
            for (const json& s : c["streams"])
                if (s["coding_type"] == 0x91) pids.push_back(s["pid"].get<uint16_t>());
            if (!pids.empty()) igClips[std::stoi(fs::path(key).stem().string())] = pids;
        }
        if (igClips.empty()) continue;
        ++discsWithIg;
        SCOPED_TRACE(name);
        std::vector<uint8_t> stream = authoredMenu;
        if (fs::exists(entry.path() / "ics_payload.bin")) {
            ASSERT_EQ(authoring::StreamFromIcsPayload(
                          test::ReadBytes(entry.path() / "ics_payload.bin"), stream)
                          .Message(),
                      "");
        }
        const fs::path bdmv = work.Path() / name / "BDMV";
        fs::create_directories(bdmv / "STREAM");
        fs::copy(entry.path() / "BDMV/PLAYLIST", bdmv / "PLAYLIST");
        fs::copy(entry.path() / "BDMV/CLIPINF", bdmv / "CLIPINF");
        for (const auto& [number, pids] : igClips) {
            std::vector<authoring::SMuxTrack> tracks;
            for (uint16_t pid : pids) tracks.push_back({pid, 0x91, stream});
            authoring::SMuxResult r;
            ASSERT_EQ(authoring::MuxM2ts((bdmv / StrFormat("STREAM/%05d.m2ts", number)).string(),
                                         tracks, {}, r)
                          .Message(),
                      "");
        }
        // The IG clips that some playlist names, ascending.
        std::vector<int> expected;
        for (const json& c : mpls[name]) {
            const int n = std::stoi(c.get<std::string>());
            if (igClips.count(n)) expected.push_back(n);
        }
        std::sort(expected.begin(), expected.end());
        CTlDisc disc;
        CMessageCapture messages;
        ASSERT_EQ(ScanDisc(disc, bdmv.string(), nullptr), 0) << messages.Last();
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(disc.name, name);
        std::vector<int> found;
        for (const auto& clip : disc.clips) {
            found.push_back(clip->id);
            std::vector<std::string> names;
            for (const auto& ig : clip->igObjects) names.push_back(ig->name);
            std::vector<std::string> want;
            for (uint16_t pid : igClips[clip->id]) want.push_back(std::to_string(pid));
            EXPECT_EQ(names, want) << clip->id;
            for (const auto& ig : clip->igObjects) EXPECT_EQ(ig->GetSize(), 1);
        }
        EXPECT_EQ(found, expected);
        clipsFound += static_cast<int>(found.size());
    }
    // Every disc has IG clips (43 in all) and its playlists name each of them.
    EXPECT_EQ(discsWithIg, 14);
    EXPECT_EQ(clipsFound, 43);
}

}  // namespace
}  // namespace tessel
