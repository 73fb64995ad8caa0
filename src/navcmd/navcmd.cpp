#include "navcmd/navcmd.h"

#include "platform/text.h"

namespace tessel {

std::string HexCommand(const CNavCmd& cmd) {
    std::string s = "0x";
    for (uint8_t b : cmd.bytes) s += StrFormat("%02X", b);
    return s;
}

bool DecodeCommand(const CNavCmd&, std::string& text) {
    text.clear();
    return false;
}

std::string FormatOperand(const uint8_t*, bool, bool) {
    return {};
}

std::string CommandPaneLine(int number, const CNavCmd& cmd) {
    std::string text;
    DecodeCommand(cmd, text);
    return StrFormat("%04d:  %s  (%s)", number, HexCommand(cmd).c_str(), text.c_str());
}

}  // namespace tessel
