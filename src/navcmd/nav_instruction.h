// A navigation command: the 12-byte record, and the record taken apart
// once into its group, sub-group, operand kinds, options and operands, and
// the operation they name. The command text, the menu player and the checks
// all read commands through it.
#pragma once

#include <cstdint>

namespace tessel {

// One command exactly as stored in the stream: operation code (bytes 0-3),
// destination operand (4-7), source operand (8-11).
struct CNavCmd {
    uint8_t bytes[12] = {};

    bool operator==(const CNavCmd&) const = default;
};

// The operations; kUnknown where group, sub-group and option name none.
enum class ENavOp {
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
    kUnknown,
};

// The statement's name ("JumpTitle"); empty for kUnknown.
const char* NavOpName(ENavOp op);

// Command groups, and the sub-groups of the branch and set groups.
enum ENavGroup { kNavBranchGroup, kNavCompareGroup, kNavSetGroup };
enum ENavBranchSub { kNavGoToSub, kNavJumpSub, kNavPlaySub };
enum ENavSetSub { kNavSetSub, kNavSetSystemSub };

// A destination or source operand: an immediate value, or a register (the
// top bit: a player-status register, else a general-purpose one).
struct SNavOperand {
    uint32_t value = 0;  // the four bytes, most significant first
    bool immediate = false;

    bool Psr() const { return (value & 0x80000000u) != 0; }
    // PSR0-127 or GPR0-4095.
    int Register() const { return static_cast<int>(Psr() ? value & 0x7F : value & 0x0FFF); }
    // Bit n (31 the top), and the halves set-system commands pack fields in.
    bool Bit(int n) const { return (value >> n & 1) != 0; }
    uint32_t High() const { return value >> 16; }
    uint32_t Low() const { return value & 0xFFFF; }
};

struct SNavInstruction {
    int operandCount = 0;   // byte 0, bits 7-5
    int group = 0;          // byte 0, bits 4-3
    int subGroup = 0;       // byte 0, bits 2-0
    int branchOption = 0;   // byte 1, bits 3-0
    int compareOption = 0;  // byte 2, bits 3-0
    int setOption = 0;      // byte 3, bits 4-0
    SNavOperand dst;        // bytes 4-7 (byte 1, bit 7: immediate)
    SNavOperand src;        // bytes 8-11 (byte 1, bit 6: immediate)
    ENavOp op = ENavOp::kUnknown;
};

SNavInstruction DecodeInstruction(const CNavCmd& cmd);

}  // namespace tessel
