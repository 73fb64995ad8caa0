// The navigation commands of a button as a player runs them: branches,
// jumps and plays that leave the menu, comparisons, register arithmetic and
// the set-system commands that change the menu.
#include <algorithm>

#include "model/ic_data.h"
#include "navcmd/navcmd.h"
#include "platform/text.h"
#include "player/menu_player.h"

namespace tessel {

namespace {

std::string ButtonText(const CBdButton& b) {
    return StrFormat("%s (id %d)", b.name.c_str(), b.id);
}

// Saturating arithmetic of the set commands on unsigned 32-bit registers.
uint32_t SetOperation(int op, uint32_t dst, uint32_t src, uint32_t& random) {
    switch (op) {
        case 1:
            return src;
        case 3:
            return dst > 0xFFFFFFFFu - src ? 0xFFFFFFFFu : dst + src;
        case 4:
            return src > dst ? 0 : dst - src;
        case 5: {
            const uint64_t v = uint64_t{dst} * src;
            return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
        }
        case 6:
            return src == 0 ? 0xFFFFFFFFu : dst / src;
        case 7:
            return src == 0 ? 0xFFFFFFFFu : dst % src;
        case 8:
            // A fixed sequence, so that walks and maps repeat.
            random = random * 1103515245u + 12345u;
            return src == 0 ? 0 : 1 + (random >> 8) % src;
        case 9:
            return dst & src;
        case 10:
            return dst | src;
        case 11:
            return dst ^ src;
        case 12:
            return src < 32 ? dst | (1u << src) : dst;
        case 13:
            return src < 32 ? dst & ~(1u << src) : dst;
        case 14:
            return src < 32 ? dst << src : 0;
        case 15:
            return src < 32 ? dst >> src : 0;
        default:
            return dst;
    }
}

bool Compare(int op, uint32_t a, uint32_t b) {
    switch (op) {
        case 1:
            return (a & b) != 0;
        case 2:
            return a == b;
        case 3:
            return a != b;
        case 4:
            return a >= b;
        case 5:
            return a > b;
        case 6:
            return a <= b;
        case 7:
            return a < b;
        default:
            return false;
    }
}

}  // namespace

uint32_t CMenuPlayer::Read(const SNavOperand& operand) {
    if (operand.immediate) return operand.value;
    if (operand.Psr()) return psr_[static_cast<size_t>(operand.Register())];
    const int n = operand.Register();
    auto it = gpr_.find(n);
    if (it != gpr_.end()) return it->second;
    if (std::find(readFirst_.begin(), readFirst_.end(), n) == readFirst_.end())
        readFirst_.push_back(n);
    return 0;
}

void CMenuPlayer::WriteReg(bool psr, int number, uint32_t value, SMenuStep& step) {
    if (psr)
        psr_[static_cast<size_t>(number)] = value;
    else
        gpr_[number] = value;
    step.registers.push_back({psr, number, value});
}

void CMenuPlayer::Write(const SNavOperand& operand, uint32_t value, SMenuStep& step) {
    WriteReg(operand.Psr(), operand.Register(), value, step);
}

void CMenuPlayer::Leave(std::string command, std::string target, SMenuStep& step) {
    ended_ = SMenuExit{std::move(command), std::move(target)};
    step.exit = ended_;
}

void CMenuPlayer::Run(const CBdButton& button, SMenuStep& step) {
    const std::vector<CNavCmd>& list = button.commands.records;
    int pc = 0;
    while (pc >= 0 && pc < static_cast<int>(list.size()) && !ended_) {
        if (++stepCommands_ > kCommandBound) {
            step.note = StrFormat("cut after %d commands: the commands of %s loop", kCommandBound,
                                  ButtonText(button).c_str());
            return;
        }
        const CNavCmd& cmd = list[static_cast<size_t>(pc)];
        const SNavInstruction in = DecodeInstruction(cmd);
        std::string text;
        if (record_) {
            if (!CommandText(in, text)) text = HexCommand(cmd) + " (not a command)";
            step.commands.push_back(text);
            step.commandHex.push_back(HexCommand(cmd));
        }
        ++pc;
        if (!Execute(in, text, pc, step)) return;
    }
}

bool CMenuPlayer::Execute(const SNavInstruction& in, const std::string& text, int& pc,
                          SMenuStep& step) {
    switch (in.group) {
        case kNavBranchGroup:
            if (in.subGroup == kNavGoToSub) return RunGoTo(in, pc);
            if (in.subGroup == kNavJumpSub) return RunJump(in, step);
            if (in.subGroup == kNavPlaySub) return RunPlay(in, step);
            break;
        case kNavCompareGroup:
            // A false comparison skips the next command.
            if (!Compare(in.compareOption, Read(in.dst), Read(in.src))) ++pc;
            return true;
        case kNavSetGroup:
            if (in.subGroup == kNavSetSub) {
                RunSet(in, step);
                return true;
            }
            if (in.subGroup == kNavSetSystemSub) {
                RunSetSystem(in, text, step);
                return true;
            }
            break;
        default:
            break;
    }
    step.note = "an unknown command ends the run";
    return false;
}

bool CMenuPlayer::RunGoTo(const SNavInstruction& in, int& pc) {
    if (in.op == ENavOp::kGoTo) pc = static_cast<int>(Read(in.dst));
    return in.op != ENavOp::kBreak;
}

bool CMenuPlayer::RunJump(const SNavInstruction& in, SMenuStep& step) {
    if (in.op == ENavOp::kUnknown) return true;
    const uint32_t n = Read(in.dst);
    if (in.op == ENavOp::kResume) {
        Leave("Resume", "Resume playback", step);
        return false;
    }
    const bool title = in.op == ENavOp::kJumpTitle || in.op == ENavOp::kCallTitle;
    const bool call = in.op == ENavOp::kCallObject || in.op == ENavOp::kCallTitle;
    Leave(StrFormat("%s %u", NavOpName(in.op), n),
          StrFormat("%s %u%s", title ? "Title" : "Movie object", n, call ? " (call)" : ""), step);
    return false;
}

bool CMenuPlayer::RunPlay(const SNavInstruction& in, SMenuStep& step) {
    // Only the play commands with an item or mark have a second operand.
    const uint32_t a = in.op == ENavOp::kTerminatePlaylist ? 0 : Read(in.dst);
    const bool two =
        in.op == ENavOp::kPlayPlaylistAtPlayItem || in.op == ENavOp::kPlayPlaylistAtMark;
    const uint32_t c = two ? Read(in.src) : 0;
    switch (in.op) {
        case ENavOp::kPlayPlaylist:
            Leave(StrFormat("PlayPlaylist %u", a), StrFormat("Playlist %05u", a), step);
            return false;
        case ENavOp::kPlayPlaylistAtPlayItem:
            Leave(StrFormat("PlayPlaylistAtPlayItem %u %u", a, c),
                  StrFormat("Playlist %05u item %u", a, c), step);
            return false;
        case ENavOp::kPlayPlaylistAtMark:
            Leave(StrFormat("PlayPlaylistAtMark %u %u", a, c),
                  StrFormat("Playlist %05u mark %u", a, c), step);
            return false;
        case ENavOp::kTerminatePlaylist:
            Leave("TerminatePlaylist", "Playlist stopped", step);
            return false;
        case ENavOp::kLinkPlayItem:
            Leave(StrFormat("LinkPlayItem %u", a), StrFormat("Play item %u", a), step);
            return false;
        case ENavOp::kLinkMark:
            Leave(StrFormat("LinkMark %u", a), StrFormat("Mark %u", a), step);
            return false;
        default:
            return true;
    }
}

void CMenuPlayer::RunSet(const SNavInstruction& in, SMenuStep& step) {
    const int op = in.setOption;
    if (in.dst.immediate || in.op != ENavOp::kSet) return;
    if (op == 2) {
        if (in.src.immediate) return;
        const uint32_t x = Read(in.dst), y = Read(in.src);
        Write(in.dst, y, step);
        Write(in.src, x, step);
        return;
    }
    const uint32_t src = Read(in.src);
    // A move does not read its destination.
    const uint32_t dst = op == 1 ? 0 : Read(in.dst);
    Write(in.dst, SetOperation(op, dst, src, random_), step);
}

void CMenuPlayer::RunSetSystem(const SNavInstruction& in, const std::string& text,
                               SMenuStep& step) {
    switch (in.op) {
        case ENavOp::kSetButtonPage:
            RunSetButtonPage(in, step);
            return;
        case ENavOp::kEnableButton:
        case ENavOp::kDisableButton: {
            const int id = static_cast<int>(Read(in.dst) & 0xFFFF);
            if (CBdButton* t = FindButton(id))
                in.op == ENavOp::kEnableButton ? Enable(*t, step) : Disable(*t, step);
            return;
        }
        case ENavOp::kPopUpMenuOff:
            // Only a pop-up hides; an always-on menu stays.
            if (IsPopUp()) visible_ = false;
            step.stateChanges.push_back(IsPopUp() ? "PopUpMenuOff: the menu is hidden"
                                                  : "PopUpMenuOff: not a pop-up menu");
            return;
        default:
            if (record_) step.stateChanges.push_back(text);
            return;
    }
}

void CMenuPlayer::RunSetButtonPage(const SNavInstruction& in, SMenuStep& step) {
    const SNavOperand &d = in.dst, &s = in.src;
    // The button in the destination's low half, the page in the source's
    // low byte; a register holds them where the operand is not immediate.
    const bool buttonFlag = d.Bit(31), pageFlag = s.Bit(31);
    const int buttonId = static_cast<int>(
        d.immediate ? d.Low() : Register(false, static_cast<int>(d.Low() & 0x0FFF)) & 0xFFFF);
    const int pageId = static_cast<int>(
        s.immediate ? s.Low() & 0xFF : Register(false, static_cast<int>(s.Low() & 0x0FFF)) & 0xFF);
    if (!pageFlag) {
        if (buttonFlag) ShowButtonPage(nullptr, buttonId, step);
        return;
    }
    const CPage* target = nullptr;
    for (const auto& p : composition_)
        if (p->id == pageId) target = p.get();
    if (!target) {
        step.note = StrFormat("SetButtonPage: no page %d", pageId);
        return;
    }
    if (s.Bit(30)) {
        step.stateChanges.push_back("out effects skipped");
        step.outEffectsSkipped = true;
    }
    ShowButtonPage(target, buttonFlag ? buttonId : -1, step);
}

void CMenuPlayer::ShowButtonPage(const CPage* target, int buttonId, SMenuStep& step) {
    if (target && target != page_) {
        ShowPage(target, buttonId, step);
        return;
    }
    // Selected by command: no auto action.
    CBdButton* t = buttonId >= 0 ? FindButton(buttonId) : nullptr;
    if (t && IsEnabled(*t)) Select(t, step, false);
}

}  // namespace tessel
