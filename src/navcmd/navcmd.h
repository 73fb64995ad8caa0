// HDMV navigation commands: the 12-byte record and its readable text.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

// One command exactly as stored in the stream: operation code (bytes 0-3),
// destination operand (4-7), source operand (8-11).
struct CNavCmd {
    uint8_t bytes[12] = {};

    bool operator==(const CNavCmd&) const = default;
};

// "0x" and the 12 bytes as 24 upper-case hex digits.
std::string HexCommand(const CNavCmd& cmd);

// The readable statement; false when the command cannot be decoded (text is
// then empty, or "Unknown command !" for command group 3).
bool DecodeCommand(const CNavCmd& cmd, std::string& text);

// One operand (4 bytes): immediate value, PSRn or GPRn.
std::string FormatOperand(const uint8_t* operand, bool immediate, bool decimal);

// The command pane line "%04d:  %s  (%s)"; number is 1-based.
std::string CommandPaneLine(int number, const CNavCmd& cmd);

// The 12 bytes as three groups of 8 hex digits: operation, destination,
// source ("21810000 00000001 000000AB").
std::string GroupedHexCommand(const CNavCmd& cmd);
// The window's command line: "%04d:  " with the grouped bytes and the
// statement in parentheses.
std::string GroupedCommandLine(int number, const CNavCmd& cmd);

}  // namespace tessel
