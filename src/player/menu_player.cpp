#include "player/menu_player.h"

#include <algorithm>

#include "model/ic_data.h"
#include "navcmd/navcmd.h"
#include "platform/text.h"

namespace tessel {

namespace {

constexpr const char* kKeyNames[] = {"up", "down", "left", "right", "enter"};

// Player-status registers at power-on, as far as menus read them: IG stream
// 1, no audio (0xFF) and no subtitle stream (0x0FFF in both halves), angle
// 1, no title, chapter or button (0xFFFF), page 0, no user style and age
// (0xFF), no secondary streams (0xFFFF).
std::array<uint32_t, kPsrCount> InitialPsrs() {
    std::array<uint32_t, kPsrCount> p{};
    p[kPsrIgStream] = 1;
    p[kPsrAudioStream] = 0xFF;
    p[kPsrPgStream] = 0x0FFF0FFF;
    p[kPsrAngle] = 1;
    p[kPsrTitle] = 0xFFFF;
    p[kPsrChapter] = 0xFFFF;
    p[kPsrSelectedButton] = 0xFFFF;
    p[12] = 0xFF;
    p[13] = 0xFF;
    p[kPsrSecondaryStreams] = 0xFFFF;
    return p;
}

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

const char* MenuKeyName(EMenuKey key) {
    return kKeyNames[static_cast<int>(key)];
}

bool ParseMenuKey(const std::string& text, EMenuKey& key) {
    for (int i = 0; i < 5; ++i)
        if (EqualsNoCase(text, kKeyNames[i])) {
            key = static_cast<EMenuKey>(i);
            return true;
        }
    return false;
}

std::string SRegisterWrite::Text() const {
    return StrFormat("%s=%u", Name().c_str(), value);
}

std::string SRegisterWrite::Name() const {
    return StrFormat("%s%d", psr ? "PSR" : "GPR", number);
}

CMenuPlayer::CMenuPlayer(const CIcData& composition)
    : composition_(composition), psr_(InitialPsrs()) {}

void CMenuPlayer::SetRegister(bool psr, int number, uint32_t value) {
    if (psr) {
        if (number >= 0 && number < kPsrCount) psr_[static_cast<size_t>(number)] = value;
    } else if (number >= 0 && number < kGprCount) {
        gpr_[number] = value;
    }
}

uint32_t CMenuPlayer::Register(bool psr, int number) const {
    if (psr) return number >= 0 && number < kPsrCount ? psr_[static_cast<size_t>(number)] : 0;
    auto it = gpr_.find(number);
    return it == gpr_.end() ? 0 : it->second;
}

int CMenuPlayer::PageId() const {
    return page_ ? page_->id : -1;
}

int CMenuPlayer::SelectedId() const {
    return selected_ ? selected_->id : -1;
}

CBdButton* CMenuPlayer::EnabledButton(const CBog& bog) const {
    auto it = enabled_.find(&bog);
    return it == enabled_.end() ? nullptr : it->second;
}

bool CMenuPlayer::IsEnabled(const CBdButton& button) const {
    auto* bog = dynamic_cast<const CBog*>(button.parent);
    return bog && EnabledButton(*bog) == &button;
}

int CMenuPlayer::ButtonState(const CBdButton& button) const {
    auto it = states_.find(&button);
    return it == states_.end() ? kNormal : it->second;
}

CBdButton* CMenuPlayer::FindButton(int id) const {
    if (!page_) return nullptr;
    for (const auto& bog : *page_)
        for (const auto& b : *bog)
            if (b->id == id) return b.get();
    return nullptr;
}

CBdButton* CMenuPlayer::FirstEnabled() const {
    if (!page_) return nullptr;
    for (const auto& bog : *page_)
        if (CBdButton* b = EnabledButton(*bog)) return b;
    return nullptr;
}

SMenuStep CMenuPlayer::Start() {
    SMenuStep step;
    step.key = "start";
    stepCommands_ = 0;
    ended_.reset();
    visible_ = true;
    const CPage* first = composition_.GetSize() > 0 ? composition_.GetAt(0) : nullptr;
    if (!first) {
        step.note = "the composition has no page";
        Finish(step);
        return step;
    }
    ShowPage(first, -1, step);
    Finish(step);
    return step;
}

void CMenuPlayer::ShowPage(const CPage* page, int buttonId, SMenuStep& step) {
    const bool changed = page != page_;
    page_ = page;
    enabled_.clear();
    states_.clear();
    selected_ = nullptr;
    for (const auto& bog : *page)
        if (bog->defaultValid.ptr) enabled_[bog.get()] = bog->defaultValid.ptr;
    step.pageChanged = step.pageChanged || changed;
    WriteReg(true, kPsrPage, static_cast<uint32_t>(page->id), step);
    CBdButton* chosen = nullptr;
    if (CBdButton* b = buttonId >= 0 ? FindButton(buttonId) : nullptr; b && IsEnabled(*b))
        chosen = b;
    else if (CBdButton* d = page->defaultSelected.ptr; d && IsEnabled(*d))
        chosen = d;
    else
        chosen = FirstEnabled();
    Select(chosen, step);
    // A page with a default activated button activates it as it shows.
    if (CBdButton* a = page->defaultActivated.ptr; a && IsEnabled(*a) && !ended_) {
        if (selected_ != a) Select(a, step);
        if (ButtonState(*a) != kActivated) Activate(*a, step);
    }
}

void CMenuPlayer::Select(CBdButton* button, SMenuStep& step, bool autoAction) {
    if (button == selected_) return;
    if (selected_) states_[selected_] = kNormal;
    selected_ = button;
    step.selectionChanged = true;
    WriteReg(true, kPsrSelectedButton, button ? static_cast<uint32_t>(button->id) : 0xFFFF, step);
    if (!button) return;
    states_[button] = kSelected;
    if (autoAction && button->autoAction && !ended_) {
        step.autoActivated = button->id;
        Activate(*button, step);
    }
}

void CMenuPlayer::Activate(CBdButton& button, SMenuStep& step) {
    states_[&button] = kActivated;
    step.activated = true;
    if (depth_ >= kActivationDepth) {
        step.note = StrFormat(
            "cut after %d activations within one another: the buttons' "
            "commands and auto actions loop",
            kActivationDepth);
        return;
    }
    const CPage* before = page_;
    ++depth_;
    Run(button, step);
    --depth_;
    // Back to Selected unless the commands moved on.
    if (!ended_ && page_ == before && selected_ == &button) states_[&button] = kSelected;
}

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

void CMenuPlayer::Enable(CBdButton& button, SMenuStep& step) {
    auto* bog = dynamic_cast<CBog*>(button.parent);
    if (!bog) return;
    CBdButton*& slot = enabled_[bog];
    if (slot == &button) return;
    if (slot && record_) step.buttonChanges.push_back(ButtonText(*slot) + ": disabled");
    const bool wasSelected = slot && slot == selected_;
    if (slot) states_[slot] = kNormal;
    slot = &button;
    if (record_) step.buttonChanges.push_back(ButtonText(button) + ": enabled");
    // The group's new button takes over the selection of the one it replaces.
    if (wasSelected) {
        selected_ = nullptr;
        Select(&button, step);
    }
}

void CMenuPlayer::Disable(CBdButton& button, SMenuStep& step) {
    auto* bog = dynamic_cast<CBog*>(button.parent);
    if (!bog || EnabledButton(*bog) != &button) return;
    enabled_.erase(bog);
    states_[&button] = kNormal;
    if (record_) step.buttonChanges.push_back(ButtonText(button) + ": disabled");
    if (selected_ == &button) {
        selected_ = nullptr;
        Select(FirstEnabled(), step);
        step.selectionChanged = true;
    }
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
                        if (b[8] & 0x40) step.stateChanges.push_back("out effects skipped");
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
                    visible_ = false;
                    step.stateChanges.push_back("PopUpMenuOff: the menu is hidden");
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

SMenuStep CMenuPlayer::Show(int pageId, int buttonId) {
    SMenuStep step;
    step.key = "show";
    stepCommands_ = 0;
    if (ended_) {
        step.note = "the walk has left the menu";
    } else {
        const CPage* target = nullptr;
        for (const auto& p : composition_)
            if (p->id == pageId) target = p.get();
        if (target)
            ShowButtonPage(target, buttonId, step);
        else
            step.note = StrFormat("no page %d", pageId);
    }
    Finish(step);
    return step;
}

SMenuStep CMenuPlayer::Press(EMenuKey key) {
    SMenuStep step;
    step.key = MenuKeyName(key);
    stepCommands_ = 0;
    if (ended_) {
        step.note = "the walk has left the menu";
    } else if (!visible_) {
        step.note = "the menu is hidden";
    } else if (selected_) {
        if (key == EMenuKey::Enter) {
            Activate(*selected_, step);
        } else {
            CRef<CBdButton>* refs[4] = {&selected_->neighbors.upper, &selected_->neighbors.lower,
                                        &selected_->neighbors.left, &selected_->neighbors.right};
            CBdButton* next = refs[static_cast<int>(key)]->ptr;
            if (next && next != selected_ && IsEnabled(*next)) Select(next, step);
        }
    }
    Finish(step);
    return step;
}

void CMenuPlayer::Finish(SMenuStep& step) const {
    step.page = PageId();
    step.button = SelectedId();
}

std::string CMenuPlayer::StateKey() const {
    // Raw bytes: the key is only compared, never shown.
    std::string key;
    auto put = [&key](uint32_t v) { key.append(reinterpret_cast<const char*>(&v), sizeof v); };
    put(static_cast<uint32_t>(PageId()));
    put(static_cast<uint32_t>(SelectedId()));
    put(visible_ ? 1 : 0);
    if (page_)
        for (const auto& bog : *page_) {
            const CBdButton* e = EnabledButton(*bog);
            put(e ? static_cast<uint32_t>(e->id) : 0xFFFFFFFFu);
        }
    for (const auto& [button, state] : states_)
        if (state != kNormal) put(static_cast<uint32_t>(button->id) << 2 | state);
    put(0xFFFFFFFFu);
    for (const auto& [n, v] : gpr_) put(static_cast<uint32_t>(n)), put(v);
    std::array<uint32_t, kPsrCount> psr = psr_;
    psr[kPsrSelectedButton] = psr[kPsrPage] = 0;
    key.append(reinterpret_cast<const char*>(psr.data()), sizeof psr);
    put(random_);
    return key;
}

}  // namespace tessel
