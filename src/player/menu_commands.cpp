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

int Reg12(uint8_t hi, uint8_t lo) {
    return (hi & 0x0F) * 256 + lo;
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

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

uint32_t CMenuPlayer::Read(const uint8_t* operand, bool immediate) {
    if (immediate) return Be32(operand);
    if (operand[0] & 0x80) return psr_[operand[3] & 0x7F];
    const int n = Reg12(operand[2], operand[3]);
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

void CMenuPlayer::Write(const uint8_t* operand, uint32_t value, SMenuStep& step) {
    if (operand[0] & 0x80)
        WriteReg(true, operand[3] & 0x7F, value, step);
    else
        WriteReg(false, Reg12(operand[2], operand[3]), value, step);
}

void CMenuPlayer::Run(const CBdButton& button, SMenuStep& step) {
    const std::vector<CNavCmd>& list = button.commands.records;
    int pc = 0;
    auto exitTo = [&](std::string command, std::string target) {
        ended_ = SMenuExit{std::move(command), std::move(target)};
        step.exit = ended_;
    };
    while (pc >= 0 && pc < static_cast<int>(list.size()) && !ended_) {
        if (++stepCommands_ > kCommandBound) {
            step.note = StrFormat("cut after %d commands: the commands of %s loop", kCommandBound,
                                  ButtonText(button).c_str());
            return;
        }
        const uint8_t* b = list[static_cast<size_t>(pc)].bytes;
        std::string text;
        if (record_) {
            if (!DecodeCommand(list[static_cast<size_t>(pc)], text))
                text = HexCommand(list[static_cast<size_t>(pc)]) + " (not a command)";
            step.commands.push_back(text);
            step.commandHex.push_back(HexCommand(list[static_cast<size_t>(pc)]));
        }
        const int group = (b[0] >> 3) & 3, sub = b[0] & 7;
        const bool dstImm = (b[1] & 0x80) != 0, srcImm = (b[1] & 0x40) != 0;
        const int branch = b[1] & 0x0F;
        ++pc;
        if (group == 0 && sub == 0) {
            if (branch == 1) pc = static_cast<int>(Read(b + 4, dstImm));
            if (branch == 2) return;
            continue;
        }
        if (group == 0 && sub == 1) {
            static const char* const kNames[] = {"JumpObject", "JumpTitle", "CallObject",
                                                 "CallTitle", "Resume"};
            if (branch > 4) continue;
            const uint32_t n = Read(b + 4, dstImm);
            if (branch == 4) return exitTo("Resume", "Resume playback");
            const bool title = branch == 1 || branch == 3, call = branch >= 2;
            exitTo(
                StrFormat("%s %u", kNames[branch], n),
                StrFormat("%s %u%s", title ? "Title" : "Movie object", n, call ? " (call)" : ""));
            return;
        }
        if (group == 0 && sub == 2) {
            // Only the play commands with an item or mark have a second operand.
            const uint32_t a = branch == 3 ? 0 : Read(b + 4, dstImm);
            const uint32_t c = branch == 1 || branch == 2 ? Read(b + 8, srcImm) : 0;
            switch (branch) {
                case 0:
                    return exitTo(StrFormat("PlayPlaylist %u", a), StrFormat("Playlist %05u", a));
                case 1:
                    return exitTo(StrFormat("PlayPlaylistAtPlayItem %u %u", a, c),
                                  StrFormat("Playlist %05u item %u", a, c));
                case 2:
                    return exitTo(StrFormat("PlayPlaylistAtMark %u %u", a, c),
                                  StrFormat("Playlist %05u mark %u", a, c));
                case 3:
                    return exitTo("TerminatePlaylist", "Playlist stopped");
                case 4:
                    return exitTo(StrFormat("LinkPlayItem %u", a), StrFormat("Play item %u", a));
                case 5:
                    return exitTo(StrFormat("LinkMark %u", a), StrFormat("Mark %u", a));
                default:
                    continue;
            }
        }
        if (group == 1) {
            // A false comparison skips the next command.
            if (!Compare(b[2] & 0x0F, Read(b + 4, dstImm), Read(b + 8, srcImm))) ++pc;
            continue;
        }
        if (group == 2 && sub == 0) {
            const int op = b[3] & 0x1F;
            if (dstImm || op < 1 || op > 15) continue;
            if (op == 2) {
                if (srcImm) continue;
                const uint32_t x = Read(b + 4, false), y = Read(b + 8, false);
                Write(b + 4, y, step);
                Write(b + 8, x, step);
                continue;
            }
            const uint32_t src = Read(b + 8, srcImm);
            // A move does not read its destination.
            const uint32_t dst = op == 1 ? 0 : Read(b + 4, false);
            Write(b + 4, SetOperation(op, dst, src, random_), step);
            continue;
        }
        if (group == 2 && sub == 1) {
            switch (b[3] & 0x1F) {
                case 3: {  // SetButtonPage
                    const bool buttonFlag = (b[4] & 0x80) != 0, pageFlag = (b[8] & 0x80) != 0;
                    const int buttonId = static_cast<int>(
                        dstImm ? (b[6] << 8 | b[7]) : Register(false, Reg12(b[6], b[7])) & 0xFFFF);
                    const int pageId = static_cast<int>(
                        srcImm ? b[11] : Register(false, Reg12(b[10], b[11])) & 0xFF);
                    if (pageFlag) {
                        const CPage* target = nullptr;
                        for (const auto& p : composition_)
                            if (p->id == pageId) target = p.get();
                        if (!target) {
                            step.note = StrFormat("SetButtonPage: no page %d", pageId);
                            continue;
                        }
                        if (b[8] & 0x40) {
                            step.stateChanges.push_back("out effects skipped");
                            step.outEffectsSkipped = true;
                        }
                        ShowButtonPage(target, buttonFlag ? buttonId : -1, step);
                        continue;
                    }
                    if (buttonFlag) ShowButtonPage(nullptr, buttonId, step);
                    continue;
                }
                case 4:
                case 5: {  // EnableButton, DisableButton
                    const int id = static_cast<int>(Read(b + 4, dstImm) & 0xFFFF);
                    if (CBdButton* t = FindButton(id))
                        (b[3] & 0x1F) == 4 ? Enable(*t, step) : Disable(*t, step);
                    continue;
                }
                case 7:
                    // Only a pop-up hides; an always-on menu stays.
                    if (IsPopUp()) visible_ = false;
                    step.stateChanges.push_back(IsPopUp() ? "PopUpMenuOff: the menu is hidden"
                                                          : "PopUpMenuOff: not a pop-up menu");
                    continue;
                default:
                    if (record_) step.stateChanges.push_back(text);
                    continue;
            }
        }
        step.note = "an unknown command ends the run";
        return;
    }
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
