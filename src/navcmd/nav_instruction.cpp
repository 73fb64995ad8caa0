#include "navcmd/nav_instruction.h"

#include <cstddef>
#include <iterator>

namespace tessel {

namespace {

const char* const kNames[] = {
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
    "",
};
static_assert(std::size(kNames) == static_cast<std::size_t>(ENavOp::kUnknown) + 1);

ENavOp Op(int index) {
    return static_cast<ENavOp>(index);
}

ENavOp SelectOp(const SNavInstruction& in) {
    const int branch = in.branchOption, set = in.setOption;
    switch (in.group) {
        case kNavBranchGroup:
            if (in.subGroup == kNavGoToSub && branch <= 2) return Op(branch);
            if (in.subGroup == kNavJumpSub && branch <= 4)
                return Op(static_cast<int>(ENavOp::kJumpObject) + branch);
            if (in.subGroup == kNavPlaySub && branch <= 5)
                return Op(static_cast<int>(ENavOp::kPlayPlaylist) + branch);
            return ENavOp::kUnknown;
        case kNavCompareGroup:
            return in.compareOption >= 1 && in.compareOption <= 7 ? ENavOp::kIf : ENavOp::kUnknown;
        case kNavSetGroup:
            if (in.subGroup == kNavSetSub && set >= 1 && set <= 15) return ENavOp::kSet;
            if (in.subGroup == kNavSetSystemSub && set >= 1 && set <= 9)
                return Op(static_cast<int>(ENavOp::kSetStream) + set - 1);
            return ENavOp::kUnknown;
        default:
            return ENavOp::kUnknown;
    }
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

const char* NavOpName(ENavOp op) {
    return kNames[static_cast<int>(op)];
}

SNavInstruction DecodeInstruction(const CNavCmd& cmd) {
    const uint8_t* b = cmd.bytes;
    SNavInstruction in;
    in.operandCount = b[0] >> 5;
    in.group = (b[0] >> 3) & 3;
    in.subGroup = b[0] & 7;
    in.dst.immediate = (b[1] & 0x80) != 0;
    in.src.immediate = (b[1] & 0x40) != 0;
    in.branchOption = b[1] & 0x0F;
    in.compareOption = b[2] & 0x0F;
    in.setOption = b[3] & 0x1F;
    in.dst.value = Be32(b + 4);
    in.src.value = Be32(b + 8);
    in.op = SelectOp(in);
    return in;
}

}  // namespace tessel
