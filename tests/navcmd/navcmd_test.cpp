#include "navcmd/navcmd.h"

#include <gtest/gtest.h>

#include <string>

namespace tessel {
namespace {

CNavCmd Cmd(std::initializer_list<int> bytes) {
    CNavCmd c;
    int i = 0;
    for (int b : bytes) c.bytes[i++] = static_cast<uint8_t>(b);
    return c;
}

struct SDecodeCase {
    CNavCmd cmd;
    bool ok;
    const char* text;
};

class DecodeTest : public ::testing::TestWithParam<SDecodeCase> {};

TEST_P(DecodeTest, GivesText) {
    const auto& c = GetParam();
    std::string text = "stale";
    EXPECT_EQ(DecodeCommand(c.cmd, text), c.ok) << HexCommand(c.cmd);
    EXPECT_EQ(text, c.text) << HexCommand(c.cmd);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DecodeTest,
    ::testing::Values(
        // Worked examples.
        SDecodeCase{Cmd({0x21, 0x81, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}), true, "JumpTitle 1"},
        SDecodeCase{Cmd({0x50, 0x40, 0, 1, 0, 0, 0, 1, 0, 0, 0, 5}), true, "Set GPR1 = 0x5"},
        SDecodeCase{Cmd({0x50, 0x40, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0}), true, "Set GPR1 = 0"},
        SDecodeCase{Cmd({0x48, 0x40, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0x0A}), true, "If GPR1 == 10"},
        // Set failures: immediate destination, PSR destination, Swap with
        // immediate or PSR source.
        SDecodeCase{Cmd({0x50, 0xC0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 5}), false, ""},
        SDecodeCase{Cmd({0x50, 0x40, 0, 1, 0x80, 0, 0, 1, 0, 0, 0, 5}), false, ""},
        SDecodeCase{Cmd({0x50, 0x00, 0, 2, 0, 0, 0, 1, 0x80, 0, 0, 3}), false, ""},
        SDecodeCase{Cmd({0x50, 0x40, 0, 2, 0, 0, 0, 1, 0, 0, 0, 3}), false, ""},
        SDecodeCase{Cmd({0x50, 0x00, 0, 2, 0, 0, 0, 1, 0, 0, 0, 3}), true, "Set GPR1 Swap GPR3"},
        // Group 3 and invalid combinations.
        SDecodeCase{Cmd({0x18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false, "Unknown command !"},
        SDecodeCase{Cmd({0x00, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false, ""},
        SDecodeCase{Cmd({0x03, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false, ""},
        SDecodeCase{Cmd({0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false, ""},
        SDecodeCase{Cmd({0x08, 0x00, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false, ""},
        SDecodeCase{Cmd({0x51, 0x00, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0}), false, ""},
        SDecodeCase{Cmd({0x50, 0x00, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0}), false, ""},
        // Branch mnemonics.
        SDecodeCase{Cmd({0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), true, "Nop"},
        SDecodeCase{Cmd({0x20, 0x81, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0}), true, "GoTo 7"},
        SDecodeCase{Cmd({0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), true, "Break"},
        SDecodeCase{Cmd({0x21, 0x80, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0}), true, "JumpObject 2"},
        SDecodeCase{Cmd({0x21, 0x82, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0}), true, "CallObject 3"},
        SDecodeCase{Cmd({0x21, 0x83, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0}), true, "CallTitle 4"},
        SDecodeCase{Cmd({0x01, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), true, "Resume"},
        SDecodeCase{Cmd({0x22, 0x00, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0}), true, "PlayPlaylist GPR3"},
        SDecodeCase{Cmd({0x42, 0xC1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2}), true,
                    "PlayPlaylistAtPlayItem 1 2"},
        SDecodeCase{Cmd({0x42, 0x82, 0, 0, 0, 0, 0, 1, 0x80, 0, 0, 0x85}), true,
                    "PlayPlaylistAtMark 1 PSR5"},
        SDecodeCase{Cmd({0x02, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), true, "TerminatePlaylist"},
        SDecodeCase{Cmd({0x22, 0x84, 0, 0, 0, 0, 0x0C, 0, 0, 0, 0, 0}), true, "LinkPlayItem 3072"},
        SDecodeCase{Cmd({0x22, 0x85, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}), true,
                    "LinkMark -1"},
        // Compare operators, decimal immediates.
        SDecodeCase{Cmd({0x48, 0x40, 7, 0, 0x80, 0, 0, 4, 0, 0, 0, 0x10}), true, "If PSR4 < 16"},
        SDecodeCase{Cmd({0x48, 0x00, 1, 0, 0, 0, 0x01, 0x02, 0, 0, 0x0F, 0xFF}), true,
                    "If GPR258 & GPR4095"},
        // Set operators with hexadecimal immediates.
        SDecodeCase{Cmd({0x50, 0x40, 0, 3, 0, 0, 0, 2, 0, 0, 0x01, 0x00}), true,
                    "Set GPR2 + 0x100"},
        SDecodeCase{Cmd({0x50, 0x40, 0, 15, 0, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0xFF}), true,
                    "Set GPR2 >> 0xFFFFFFFF"},
        SDecodeCase{Cmd({0x50, 0x00, 0, 8, 0, 0, 0, 2, 0x80, 0, 0, 1}), true,
                    "Set GPR2 Random PSR1"},
        // Set sub-group 1.
        SDecodeCase{Cmd({0x51, 0xC0, 0, 1, 0x80, 0x02, 0x80, 0x03, 0x80, 0x04, 0x80, 0x05}), true,
                    "SetStream 2 3 0 4 5"},
        SDecodeCase{Cmd({0x51, 0x00, 0, 1, 0x81, 0x02, 0xC0, 0x03, 0x00, 0x04, 0x82, 0x05}), true,
                    "SetStream GPR258 GPR3 1 X GPR517"},
        SDecodeCase{Cmd({0x51, 0xC0, 0, 2, 0, 0, 0, 5, 0, 0, 0, 6}), true, "SetNVTimer 5 6"},
        SDecodeCase{Cmd({0x51, 0xC0, 0, 3, 0x80, 0, 0x01, 0x02, 0xC0, 0, 0, 3}), true,
                    "SetButtonPage 258 3 1"},
        SDecodeCase{Cmd({0x51, 0x00, 0, 3, 0x80, 0, 0x01, 0x02, 0x80, 0, 0x02, 3}), true,
                    "SetButtonPage GPR258 GPR515 0"},
        SDecodeCase{Cmd({0x51, 0xC0, 0, 3, 0x00, 0, 0x01, 0x02, 0x00, 0, 0, 3}), true,
                    "SetButtonPage X X X"},
        SDecodeCase{Cmd({0x51, 0x80, 0, 4, 0, 0, 0, 9, 0, 0, 0, 0}), true, "EnableButton 9"},
        SDecodeCase{Cmd({0x51, 0x80, 0, 5, 0, 0, 0, 9, 0, 0, 0, 0}), true, "DisableButton 9"},
        SDecodeCase{Cmd({0x51, 0x00, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0}), true, "SetSecondaryStream"},
        SDecodeCase{Cmd({0x51, 0x00, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0}), true, "PopUpMenuOff"},
        SDecodeCase{Cmd({0x51, 0x00, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0}), true, "StillOn"},
        SDecodeCase{Cmd({0x51, 0x00, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0}), true, "StillOff"}));

TEST(NavCmdText, HexAndPaneLine) {
    EXPECT_EQ(HexCommand(CNavCmd{}), "0x000000000000000000000000");
    CNavCmd jump = Cmd({0x21, 0x81, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xAB});
    EXPECT_EQ(HexCommand(jump), "0x2181000000000001000000AB");
    EXPECT_EQ(CommandPaneLine(3, jump), "0003:  0x2181000000000001000000AB  (JumpTitle 1)");
    EXPECT_EQ(CommandPaneLine(12, Cmd({0x18})),
              "0012:  0x180000000000000000000000  (Unknown command !)");
    EXPECT_EQ(CommandPaneLine(1, Cmd({0x03})), "0001:  0x030000000000000000000000  ()");
}

TEST(NavCmdText, FormatOperand) {
    EXPECT_EQ(FormatOperand({0xFFFFFFFE, true}, true), "-2");
    EXPECT_EQ(FormatOperand({0xFFFFFFFE, true}, false), "0xFFFFFFFE");
    EXPECT_EQ(FormatOperand({0, true}, false), "0");
    EXPECT_EQ(FormatOperand({0x80FFFFFF, false}, true), "PSR127");
    EXPECT_EQ(FormatOperand({0x7FFFFFFF, false}, true), "GPR4095");
}

// The fields of one record, each from its own bits.
TEST(NavInstruction, FieldsAndOperands) {
    const SNavInstruction in = DecodeInstruction(
        Cmd({0x72, 0x6B, 0xF5, 0xE9, 0x80, 0, 0x12, 0x85, 0x7F, 0xFF, 0xFA, 0x01}));
    EXPECT_EQ(in.operandCount, 3);
    EXPECT_EQ(in.group, 2);
    EXPECT_EQ(in.subGroup, 2);
    EXPECT_FALSE(in.dst.immediate);
    EXPECT_TRUE(in.src.immediate);
    EXPECT_EQ(in.branchOption, 0x0B);
    EXPECT_EQ(in.compareOption, 5);
    EXPECT_EQ(in.setOption, 9);
    EXPECT_EQ(in.op, ENavOp::kUnknown);
    EXPECT_TRUE(in.dst.Psr());
    EXPECT_EQ(in.dst.Register(), 5);
    EXPECT_FALSE(in.src.Psr());
    EXPECT_EQ(in.src.Register(), 0xA01);
    EXPECT_EQ(in.src.High(), 0x7FFFu);
    EXPECT_EQ(in.src.Low(), 0xFA01u);
    struct {
        uint8_t b0, b1, b3;
        ENavOp op;
    } const kOps[] = {{0x20, 0x02, 0, ENavOp::kBreak},     {0x21, 0x04, 0, ENavOp::kResume},
                      {0x22, 0x05, 0, ENavOp::kLinkMark},  {0x22, 0x06, 0, ENavOp::kUnknown},
                      {0x50, 0x00, 15, ENavOp::kSet},      {0x50, 0x00, 16, ENavOp::kUnknown},
                      {0x51, 0x00, 1, ENavOp::kSetStream}, {0x51, 0x00, 9, ENavOp::kStillOff},
                      {0x51, 0x00, 10, ENavOp::kUnknown},  {0x18, 0x00, 0, ENavOp::kUnknown}};
    for (const auto& c : kOps)
        EXPECT_EQ(DecodeInstruction(Cmd({c.b0, c.b1, 0, c.b3})).op, c.op) << int{c.b0} << int{c.b3};
    EXPECT_STREQ(NavOpName(ENavOp::kPlayPlaylistAtMark), "PlayPlaylistAtMark");
}

// Every one of the 2^16 operation-code heads decodes without reading past the
// record and gives text exactly when it succeeds (or for group 3).
TEST(NavCmdText, AllHeadsAreTotal) {
    for (int head = 0; head < 0x10000; ++head) {
        CNavCmd c = Cmd({head >> 8, 0xC0 | (head & 0x3F), head & 0x0F, head & 0x1F, 0x80, 1, 0xC0,
                         2, 0x80, 3, 0x80, 4});
        std::string text;
        bool ok = DecodeCommand(c, text);
        bool group3 = ((c.bytes[0] >> 3) & 3) == 3;
        if (group3)
            ASSERT_EQ(text, "Unknown command !");
        else
            ASSERT_EQ(ok, !text.empty()) << HexCommand(c);
    }
}

}  // namespace
}  // namespace tessel
