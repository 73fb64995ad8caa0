// HDMV navigation commands as readable text.
#pragma once

#include <cstdint>
#include <string>

#include "navcmd/nav_instruction.h"

namespace tessel {

// "0x" and the 12 bytes as 24 upper-case hex digits.
std::string HexCommand(const CNavCmd& cmd);

// The readable statement; false when the command cannot be decoded (text is
// then empty, or "Unknown command !" for command group 3).
bool DecodeCommand(const CNavCmd& cmd, std::string& text);
// The same for a command already decoded.
bool CommandText(const SNavInstruction& instruction, std::string& text);

// One operand: its immediate value (decimal, or hex unless decimal or 0),
// PSRn or GPRn.
std::string FormatOperand(const SNavOperand& operand, bool decimal);

// The command pane line "%04d:  %s  (%s)"; number is 1-based.
std::string CommandPaneLine(int number, const CNavCmd& cmd);

// The 12 bytes as three groups of 8 hex digits: operation, destination,
// source ("21810000 00000001 000000AB").
std::string GroupedHexCommand(const CNavCmd& cmd);
// The window's command line: "%04d:  " with the grouped bytes and the
// statement in parentheses.
std::string GroupedCommandLine(int number, const CNavCmd& cmd);

}  // namespace tessel
