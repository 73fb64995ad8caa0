// `tessel menu` over the independently authored stream and bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace tessel {
namespace {

using nlohmann::json;

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

TEST(MenuCommand, IndependentStreamAgreesWithTruth) {
    TESSEL_REQUIRE_CORPUS();
    auto dir = test::CorpusDir() / "independent" / "menu_a_single_page";
    auto r = test::RunCli({"menu", (dir / "menu.ies").string(), "--bare", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    json out = json::parse(r.out);
    std::ifstream in(dir / "truth.json");
    json truth = json::parse(in)["ics"];
    ASSERT_EQ(out.size(), 1u);
    const json& c = out[0];
    EXPECT_EQ(c["epoch"], 1);
    EXPECT_EQ(c["display_set"], 1);
    EXPECT_EQ(c["video"]["width"], truth["video_width"]);
    EXPECT_EQ(c["video"]["height"], truth["video_height"]);
    EXPECT_EQ(c["video"]["frame_rate"], truth["frame_rate_id"]);
    EXPECT_EQ(c["composition_number"], truth["composition_number"]);
    EXPECT_EQ(c["composition_state"], truth["composition_state"]);
    const json& ic = truth["interactive_composition"];
    EXPECT_EQ(c["stream_model"], ic["stream_model_bit"]);
    EXPECT_EQ(c["ui_model"], ic["ui_model_bit"]);
    EXPECT_EQ(c["user_time_out_duration"], ic["user_time_out_duration"]);
    ASSERT_EQ(c["pages"].size(), ic["pages"].size());
    for (size_t p = 0; p < ic["pages"].size(); ++p) {
        const json& tp = ic["pages"][p];
        const json& op = c["pages"][p];
        EXPECT_EQ(op["id"], tp["id"]);
        EXPECT_EQ(op["animation_frame_rate_code"], tp["animation_frame_rate_code"]);
        EXPECT_EQ(op["default_selected_button"], tp["default_selected_button_id"]);
        EXPECT_EQ(op["default_activated_button"], tp["default_activated_button_id"]);
        EXPECT_EQ(op["palette"], tp["palette_id"]);
        EXPECT_EQ(op["uo_mask"], Upper(tp["uo_mask"]));
        EXPECT_EQ(op["in_effects"]["effects"].size(), tp["in_effects"]["effects"].size());
        EXPECT_EQ(op["out_effects"]["windows"].size(), tp["out_effects"]["windows"].size());
        ASSERT_EQ(op["bogs"].size(), tp["bogs"].size());
        for (size_t g = 0; g < tp["bogs"].size(); ++g) {
            const json& tg = tp["bogs"][g];
            const json& og = op["bogs"][g];
            EXPECT_EQ(og["default_valid_button"], tg["default_valid_button_id"]);
            ASSERT_EQ(og["buttons"].size(), tg["buttons"].size());
            for (size_t b = 0; b < tg["buttons"].size(); ++b) {
                const json& tb = tg["buttons"][b];
                const json& ob = og["buttons"][b];
                SCOPED_TRACE(tb.dump());
                for (const char* k : {"id", "numeric_select_value", "auto_action", "x", "y"})
                    EXPECT_EQ(ob[k], tb[k]);
                EXPECT_EQ(ob["neighbors"]["upper"], tb["neighbors"]["up"]);
                EXPECT_EQ(ob["neighbors"]["lower"], tb["neighbors"]["down"]);
                EXPECT_EQ(ob["neighbors"]["left"], tb["neighbors"]["left"]);
                EXPECT_EQ(ob["neighbors"]["right"], tb["neighbors"]["right"]);
                for (const char* s : {"normal", "selected", "activated"}) {
                    EXPECT_EQ(ob[s]["start"], tb[s]["start_object_id"]);
                    EXPECT_EQ(ob[s]["end"], tb[s]["end_object_id"]);
                    if (tb[s].contains("repeat")) {
                        EXPECT_EQ(ob[s]["repeat"], tb[s]["repeat"]);
                    }
                    if (tb[s].contains("sound_id")) {
                        EXPECT_EQ(ob[s]["sound"], tb[s]["sound_id"]);
                    }
                }
                ASSERT_EQ(ob["commands"].size(), tb["commands"].size());
                for (size_t k = 0; k < tb["commands"].size(); ++k)
                    EXPECT_EQ(ob["commands"][k]["hex"], "0x" + Upper(tb["commands"][k]));
            }
        }
    }
    // Command texts follow the decoder.
    EXPECT_EQ(c["pages"][0]["bogs"][1]["buttons"][0]["commands"][1]["text"], "JumpTitle 2");
}

TEST(MenuCommand, TextTreeShowsPaneLines) {
    TESSEL_REQUIRE_CORPUS();
    auto path = test::CorpusDir() / "independent" / "menu_a_single_page" / "menu.ies";
    auto r = test::RunCli({"menu", path.string(), "--bare"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Epoch#1 DisplaySet#1: 1920x1080 23.976"), std::string::npos);
    EXPECT_NE(r.out.find("0002:  0x218100000000000200000000  (JumpTitle 2)"), std::string::npos);
    EXPECT_NE(r.out.find("Bog#3"), std::string::npos);
}

TEST(MenuCommand, BadInputFails) {
    test::CTempDir dir;
    auto missing = test::RunCli({"menu", (dir.Path() / "none.ig").string()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_FALSE(missing.err.empty());

    // A bare stream: an ICS whose body declares a page that is not there,
    // then END.
    std::vector<uint8_t> bytes = {0x18, 0x00, 0x11, 0x07, 0x80, 0x04, 0x38, 0x10,
                                  0x00, 0x00, 0x80, 0xC0, 0x00, 0x00, 0x05, 0x80,
                                  0x00, 0x00, 0x00, 0x01, 0x80, 0x00, 0x00};
    bytes[2] = static_cast<uint8_t>(bytes.size() - 3);
    bytes.insert(bytes.end(), {0x80, 0x00, 0x00});
    auto path = dir.Path() / "cut.ies";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    auto r = test::RunCli({"menu", path.string(), "--bare", "--json"});
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("incomplete"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tessel
