#include "navcmd/navcmd.h"

#include "platform/text.h"

namespace tessel {

namespace {

enum EMnemonic {
    kNop,
    kGoTo,
    kBreak,
    kJumpObject,
    kJumpTitle,
    kCallObject,
    kCallTitle,
    kResume,
    kPlayPlaylist,
    kPlayPlaylistAtPlayItem,
    kPlayPlaylistAtMark,
    kTerminatePlaylist,
    kLinkPlayItem,
    kLinkMark,
    kIf,
    kSet,
    kSetStream,
    kSetNVTimer,
    kSetButtonPage,
    kEnableButton,
    kDisableButton,
    kSetSecondaryStream,
    kPopUpMenuOff,
    kStillOn,
    kStillOff,
};

const char* const kMnemonics[] = {
    "Nop",
    "GoTo",
    "Break",
    "JumpObject",
    "JumpTitle",
    "CallObject",
    "CallTitle",
    "Resume",
    "PlayPlaylist",
    "PlayPlaylistAtPlayItem",
    "PlayPlaylistAtMark",
    "TerminatePlaylist",
    "LinkPlayItem",
    "LinkMark",
    "If",
    "Set",
    "SetStream",
    "SetNVTimer",
    "SetButtonPage",
    "EnableButton",
    "DisableButton",
    "SetSecondaryStream",
    "PopUpMenuOff",
    "StillOn",
    "StillOff",
};

const char* const kCompareOps[8] = {"", "&", "==", "!=", ">=", ">", "<=", "<"};
const char* const kSetOps[16] = {"",       "=", "Swap", "+",   "-",      "x",        "/",  "%",
                                 "Random", "&", "|",    "Xor", "BitSet", "BitClear", "<<", ">>"};

const char* const kGpr = "GPR";
const char* const kPsr = "PSR";
const char* const kNone = "X";

int Reg12(uint8_t hi, uint8_t lo) {
    return (hi & 0x0F) * 256 + lo;
}

// One part of a SetStream operand: "X" without its flag, else a value or GPR.
std::string StreamPart(bool flag, bool immediate, int value, int reg) {
    if (!flag) return kNone;
    return immediate ? StrFormat("%d", value) : StrFormat("%s%d", kGpr, reg);
}

// Mnemonic index for the operation code, or -1.
int SelectMnemonic(const uint8_t* b) {
    int group = (b[0] >> 3) & 3;
    int sub = b[0] & 7;
    int branch = b[1] & 0x0F;
    int compare = b[2] & 0x0F;
    int set = b[3] & 0x1F;
    switch (group) {
        case 0:
            if (sub == 0 && branch <= 2) return branch;
            if (sub == 1 && branch <= 4) return branch + 3;
            if (sub == 2 && branch <= 5) return branch + 8;
            return -1;
        case 1:
            return compare >= 1 && compare <= 7 ? kIf : -1;
        case 2:
            if (sub == 0 && set >= 1 && set <= 15) return kSet;
            if (sub == 1 && set >= 1 && set <= 9) return set + 15;
            return -1;
        default:
            return -1;
    }
}

}  // namespace

std::string HexCommand(const CNavCmd& cmd) {
    std::string s = "0x";
    for (uint8_t b : cmd.bytes) s += StrFormat("%02X", b);
    return s;
}

std::string FormatOperand(const uint8_t* operand, bool immediate, bool decimal) {
    if (immediate) {
        uint32_t u = (uint32_t(operand[0]) << 24) | (uint32_t(operand[1]) << 16) |
                     (uint32_t(operand[2]) << 8) | operand[3];
        int32_t v = static_cast<int32_t>(u);
        return decimal || v == 0 ? StrFormat("%d", v) : StrFormat("0x%X", u);
    }
    if (operand[0] & 0x80) return StrFormat("%s%d", kPsr, operand[3] & 0x7F);
    return StrFormat("%s%d", kGpr, Reg12(operand[2], operand[3]));
}

bool DecodeCommand(const CNavCmd& cmd, std::string& text) {
    text.clear();
    const uint8_t* b = cmd.bytes;
    if (((b[0] >> 3) & 3) == 3) {
        text = "Unknown command !";
        return false;
    }
    int m = SelectMnemonic(b);
    if (m < 0) return false;
    const bool dstImm = (b[1] & 0x80) != 0;
    const bool srcImm = (b[1] & 0x40) != 0;
    const char* mn = kMnemonics[m];
    switch (m) {
        case kNop:
        case kBreak:
        case kResume:
        case kTerminatePlaylist:
        case kSetSecondaryStream:
        case kPopUpMenuOff:
        case kStillOn:
        case kStillOff:
            text = mn;
            return true;
        case kGoTo:
        case kJumpObject:
        case kJumpTitle:
        case kCallObject:
        case kCallTitle:
        case kPlayPlaylist:
        case kLinkPlayItem:
        case kLinkMark:
        case kEnableButton:
        case kDisableButton:
            text = StrFormat("%s %s", mn, FormatOperand(b + 4, dstImm, true).c_str());
            return true;
        case kPlayPlaylistAtPlayItem:
        case kPlayPlaylistAtMark:
        case kSetNVTimer:
            text = StrFormat("%s %s %s", mn, FormatOperand(b + 4, dstImm, true).c_str(),
                             FormatOperand(b + 8, srcImm, true).c_str());
            return true;
        case kIf:
            text = StrFormat("%s %s %s %s", mn, FormatOperand(b + 4, dstImm, true).c_str(),
                             kCompareOps[b[2] & 0x0F], FormatOperand(b + 8, srcImm, true).c_str());
            return true;
        case kSet: {
            int op = b[3] & 0x1F;
            if (dstImm || (b[4] & 0x80)) return false;
            if (op == 2 && (srcImm || (b[8] & 0x80))) return false;
            text = StrFormat("%s %s %s %s", mn, FormatOperand(b + 4, dstImm, false).c_str(),
                             kSetOps[op], FormatOperand(b + 8, srcImm, false).c_str());
            return true;
        }
        case kSetStream: {
            std::string a = StreamPart(b[4] & 0x80, dstImm, b[5], Reg12(b[4], b[5]));
            std::string bb = StreamPart(b[6] & 0x80, dstImm, Reg12(b[6], b[7]), Reg12(b[6], b[7]));
            std::string c = StreamPart(b[8] & 0x80, srcImm, b[9], Reg12(b[8], b[9]));
            std::string d = StreamPart(b[10] & 0x80, srcImm, b[11], Reg12(b[10], b[11]));
            std::string dst = StrFormat("%s %s %d", a.c_str(), bb.c_str(), (b[6] & 0x40) ? 1 : 0);
            std::string src = StrFormat("%s %s", c.c_str(), d.c_str());
            text = StrFormat("%s %s %s", mn, dst.c_str(), src.c_str());
            return true;
        }
        case kSetButtonPage: {
            std::string button =
                StreamPart(b[4] & 0x80, dstImm, b[6] * 256 + b[7], Reg12(b[6], b[7]));
            std::string page = StreamPart(b[8] & 0x80, srcImm, b[11], Reg12(b[10], b[11]));
            if (b[8] & 0x80)
                text = StrFormat("%s %s %s %d", mn, button.c_str(), page.c_str(),
                                 (b[8] & 0x40) ? 1 : 0);
            else
                text = StrFormat("%s %s %s %s", mn, button.c_str(), page.c_str(), kNone);
            return true;
        }
        default:
            return false;
    }
}

std::string CommandPaneLine(int number, const CNavCmd& cmd) {
    std::string text;
    DecodeCommand(cmd, text);
    return StrFormat("%04d:  %s  (%s)", number, HexCommand(cmd).c_str(), text.c_str());
}

std::string GroupedHexCommand(const CNavCmd& cmd) {
    std::string s;
    for (size_t i = 0; i < sizeof cmd.bytes; ++i) {
        if (i > 0 && i % 4 == 0) s += ' ';
        s += StrFormat("%02X", cmd.bytes[i]);
    }
    return s;
}

std::string GroupedCommandLine(int number, const CNavCmd& cmd) {
    std::string text;
    DecodeCommand(cmd, text);
    return StrFormat("%04d:  %s  (%s)", number, GroupedHexCommand(cmd).c_str(), text.c_str());
}

}  // namespace tessel
