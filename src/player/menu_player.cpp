#include "player/menu_player.h"

#include <algorithm>

#include "model/ic_data.h"
#include "navcmd/navcmd.h"
#include "platform/text.h"

namespace tessel {

namespace {

constexpr const char* kKeyNames[kMenuKeyCount] = {"up", "down", "left", "right", "enter", "popup",
                                                  "0",  "1",    "2",    "3",     "4",     "5",
                                                  "6",  "7",    "8",    "9"};

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

std::string ButtonText(const CBdButton& b) {
    return StrFormat("%s (id %d)", b.name.c_str(), b.id);
}

}  // namespace

const char* MenuKeyName(EMenuKey key) {
    return kKeyNames[static_cast<int>(key)];
}

int KeyDigit(EMenuKey key) {
    const int n = static_cast<int>(key) - static_cast<int>(EMenuKey::Digit0);
    return n >= 0 && n <= 9 ? n : -1;
}

bool ParseMenuKey(const std::string& text, EMenuKey& key) {
    for (int i = 0; i < kMenuKeyCount; ++i)
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
    return page_ ? tessel::FindButton(*page_, id) : nullptr;
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
    // Walks and plays start with a pop-up shown, as after the pop-up key.
    if (IsPopUp()) step.stateChanges.push_back("a pop-up menu, shown as after the pop-up key");
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

bool CMenuPlayer::IsPopUp() const {
    return composition_.uiModel == 1;
}

void CMenuPlayer::Activate(CBdButton& button, SMenuStep& step) {
    states_[&button] = kActivated;
    step.activated = true;
    if (defer_) {
        pending_ = &button;
        return;
    }
    Complete(button, step);
}

void CMenuPlayer::Complete(CBdButton& button, SMenuStep& step) {
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
    } else if (key == EMenuKey::Popup) {
        if (!IsPopUp()) {
            step.note = "not a pop-up menu";
        } else if (visible_) {
            visible_ = false;
            pending_ = nullptr;
            step.stateChanges.push_back("the pop-up menu is hidden");
        } else if (composition_.GetSize() > 0) {
            visible_ = true;
            step.stateChanges.push_back("the pop-up menu is shown");
            page_ = nullptr;  // shown afresh with page 0's defaults
            ShowPage(composition_.GetAt(0), -1, step);
        }
    } else if (!visible_) {
        step.note = "the menu is hidden";
    } else if (pending_) {
        step.note = "an activation is running";
    } else {
        PressNavigation(key, step);
    }
    Finish(step);
    return step;
}

void CMenuPlayer::PressNavigation(EMenuKey key, SMenuStep& step) {
    if (const int digit = KeyDigit(key); digit >= 0) {
        CBdButton* match = nullptr;
        if (page_)
            for (const auto& bog : *page_)
                if (CBdButton* b = EnabledButton(*bog);
                    b && b->numericSelectValue == digit && !match)
                    match = b;
        if (!match) {
            step.note = StrFormat("no button with numeric select value %d", digit);
            return;
        }
        Select(match, step);
        return;
    }
    if (!selected_) return;
    if (key == EMenuKey::Enter) {
        Activate(*selected_, step);
        return;
    }
    CRef<CBdButton>* refs[4] = {&selected_->neighbors.upper, &selected_->neighbors.lower,
                                &selected_->neighbors.left, &selected_->neighbors.right};
    CBdButton* next = refs[static_cast<int>(key)]->ptr;
    if (next && next != selected_ && IsEnabled(*next)) Select(next, step);
}

SMenuStep CMenuPlayer::TimeOut() {
    SMenuStep step;
    step.key = "timeout";
    stepCommands_ = 0;
    if (!ended_ && visible_) {
        if (IsPopUp()) {
            visible_ = false;
            pending_ = nullptr;
            step.stateChanges.push_back("user time-out: the pop-up menu is hidden");
        } else if (PageId() != 0 && composition_.GetSize() > 0) {
            step.stateChanges.push_back("user time-out: back to page 0");
            ShowPage(composition_.GetAt(0), -1, step);
        }
    }
    Finish(step);
    return step;
}

SMenuStep CMenuPlayer::RunActivation() {
    SMenuStep step;
    step.key = "activation";
    stepCommands_ = 0;
    if (CBdButton* b = pending_) {
        pending_ = nullptr;
        step.activated = true;
        if (!ended_) Complete(*b, step);
    }
    Finish(step);
    return step;
}

void CMenuPlayer::Finish(SMenuStep& step) const {
    step.page = PageId();
    step.button = SelectedId();
    step.menuVisible = visible_ && !ended_;
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
