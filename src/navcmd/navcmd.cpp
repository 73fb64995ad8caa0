#include "navcmd/navcmd.h"

#include "platform/text.h"

namespace tessel {

namespace {

const char* const kCompareOps[8] = {"", "&", "==", "!=", ">=", ">", "<=", "<"};
const char* const kSetOps[16] = {"",       "=", "Swap", "+",   "-",      "x",        "/",  "%",
                                 "Random", "&", "|",    "Xor", "BitSet", "BitClear", "<<", ">>"};

const char* const kGpr = "GPR";
const char* const kPsr = "PSR";
const char* const kNone = "X";

// One part of a SetStream operand: "X" without its flag, else a value or GPR.
std::string StreamPart(bool flag, bool immediate, uint32_t value, uint32_t half) {
    if (!flag) return kNone;
    return immediate ? StrFormat("%u", value) : StrFormat("%s%u", kGpr, half & 0x0FFF);
}

std::string SetStreamText(const SNavInstruction& in) {
    const SNavOperand &d = in.dst, &s = in.src;
    const std::string a = StreamPart(d.Bit(31), d.immediate, d.High() & 0xFF, d.High());
    const std::string b = StreamPart(d.Bit(15), d.immediate, d.Low() & 0x0FFF, d.Low());
    const std::string c = StreamPart(s.Bit(31), s.immediate, s.High() & 0xFF, s.High());
    const std::string e = StreamPart(s.Bit(15), s.immediate, s.Low() & 0xFF, s.Low());
    return StrFormat("%s %s %s %d %s %s", NavOpName(in.op), a.c_str(), b.c_str(), d.Bit(14) ? 1 : 0,
                     c.c_str(), e.c_str());
}

std::string SetButtonPageText(const SNavInstruction& in) {
    const SNavOperand &d = in.dst, &s = in.src;
    const std::string button = StreamPart(d.Bit(31), d.immediate, d.Low(), d.Low());
    const std::string page = StreamPart(s.Bit(31), s.immediate, s.Low() & 0xFF, s.Low());
    if (s.Bit(31))
        return StrFormat("%s %s %s %d", NavOpName(in.op), button.c_str(), page.c_str(),
                         s.Bit(30) ? 1 : 0);
    return StrFormat("%s %s %s %s", NavOpName(in.op), button.c_str(), page.c_str(), kNone);
}

}  // namespace

std::string HexCommand(const CNavCmd& cmd) {
    std::string s = "0x";
    for (uint8_t b : cmd.bytes) s += StrFormat("%02X", b);
    return s;
}

std::string FormatOperand(const SNavOperand& operand, bool decimal) {
    if (operand.immediate) {
        const int32_t v = static_cast<int32_t>(operand.value);
        return decimal || v == 0 ? StrFormat("%d", v) : StrFormat("0x%X", operand.value);
    }
    return StrFormat("%s%d", operand.Psr() ? kPsr : kGpr, operand.Register());
}

bool CommandText(const SNavInstruction& in, std::string& text) {
    text.clear();
    if (in.group == 3) {
        text = "Unknown command !";
        return false;
    }
    const char* name = NavOpName(in.op);
    switch (in.op) {
        case ENavOp::kUnknown:
            return false;
        case ENavOp::kNop:
        case ENavOp::kBreak:
        case ENavOp::kResume:
        case ENavOp::kTerminatePlaylist:
        case ENavOp::kSetSecondaryStream:
        case ENavOp::kPopUpMenuOff:
        case ENavOp::kStillOn:
        case ENavOp::kStillOff:
            text = name;
            return true;
        case ENavOp::kPlayPlaylistAtPlayItem:
        case ENavOp::kPlayPlaylistAtMark:
        case ENavOp::kSetNVTimer:
            text = StrFormat("%s %s %s", name, FormatOperand(in.dst, true).c_str(),
                             FormatOperand(in.src, true).c_str());
            return true;
        case ENavOp::kIf:
            text = StrFormat("%s %s %s %s", name, FormatOperand(in.dst, true).c_str(),
                             kCompareOps[in.compareOption], FormatOperand(in.src, true).c_str());
            return true;
        case ENavOp::kSet:
            if (in.dst.immediate || in.dst.Psr()) return false;
            if (in.setOption == 2 && (in.src.immediate || in.src.Psr())) return false;
            text = StrFormat("%s %s %s %s", name, FormatOperand(in.dst, false).c_str(),
                             kSetOps[in.setOption], FormatOperand(in.src, false).c_str());
            return true;
        case ENavOp::kSetStream:
            text = SetStreamText(in);
            return true;
        case ENavOp::kSetButtonPage:
            text = SetButtonPageText(in);
            return true;
        case ENavOp::kGoTo:
        case ENavOp::kJumpObject:
        case ENavOp::kJumpTitle:
        case ENavOp::kCallObject:
        case ENavOp::kCallTitle:
        case ENavOp::kPlayPlaylist:
        case ENavOp::kLinkPlayItem:
        case ENavOp::kLinkMark:
        case ENavOp::kEnableButton:
        case ENavOp::kDisableButton:
            text = StrFormat("%s %s", name, FormatOperand(in.dst, true).c_str());
            return true;
    }
    return false;
}

bool DecodeCommand(const CNavCmd& cmd, std::string& text) {
    return CommandText(DecodeInstruction(cmd), text);
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
