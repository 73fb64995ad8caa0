// The state a player's graphics controller keeps for one interactive
// composition, and the navigation commands its buttons run: pages, the
// selected button, each group's enabled button, button states, and the
// general-purpose and player-status registers. Keys move the selection along
// the buttons' neighbours and activate buttons; activation runs the button's
// commands until they end, change the menu, or leave it for a title, movie
// object, playlist, play item or mark (an exit).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessel {

class CBdButton;
class CBog;
class CIcData;
class CPage;
struct CNavCmd;
struct SNavInstruction;
struct SNavOperand;

// The remote's keys a menu takes: the arrows, enter, the pop-up key and the
// number keys 0 to 9 (Digit0 + n).
enum class EMenuKey { Up, Down, Left, Right, Enter, Popup, Digit0 };
constexpr int kMenuKeyCount = 16;
const char* MenuKeyName(EMenuKey key);
// "up", "down", "left", "right", "enter", "popup", "0".."9" (any case);
// false otherwise.
bool ParseMenuKey(const std::string& text, EMenuKey& key);
constexpr EMenuKey DigitKey(int n) {
    return static_cast<EMenuKey>(static_cast<int>(EMenuKey::Digit0) + n);
}
// The digit of a number key; -1 for the other keys.
int KeyDigit(EMenuKey key);

constexpr int kGprCount = 4096;
constexpr int kPsrCount = 128;
// Player-status registers the menu reads and writes.
constexpr int kPsrIgStream = 0;
constexpr int kPsrAudioStream = 1;
constexpr int kPsrPgStream = 2;
constexpr int kPsrAngle = 3;
constexpr int kPsrTitle = 4;
constexpr int kPsrChapter = 5;
constexpr int kPsrPlaylist = 6;
constexpr int kPsrPlayItem = 7;
constexpr int kPsrSelectedButton = 10;
constexpr int kPsrPage = 11;
constexpr int kPsrSecondaryStreams = 14;

// A place outside the menu where a command leads.
struct SMenuExit {
    std::string command;  // the statement with its operands' values: "JumpTitle 2"
    std::string target;   // what it names: "Title 2", "Playlist 00005 mark 3"
    bool operator==(const SMenuExit&) const = default;
    // The statement's name: "JumpTitle", "PlayPL", ...
    std::string Kind() const { return command.substr(0, command.find(' ')); }
};

// A register write of a command.
struct SRegisterWrite {
    bool psr = false;
    int number = 0;
    uint32_t value = 0;
    std::string Text() const;  // "GPR5=3"
    std::string Name() const;  // "GPR5"
};

// What one key (or the start) changed.
struct SMenuStep {
    std::string key;  // "start" for the first step
    int page = -1;    // page id after the step
    int button = -1;  // selected button id after the step (-1 none)
    bool activated = false;
    int autoActivated = -1;  // a button activated as it was selected (its id)
    bool pageChanged = false;
    bool selectionChanged = false;
    std::vector<std::string> commands;       // statements run, in order
    std::vector<std::string> commandHex;     // their bytes in hex ("0x2181..."), alike
    std::vector<SRegisterWrite> registers;   // written, in order
    std::vector<std::string> buttonChanges;  // "Button#2 (id 1): enabled", ...
    std::vector<std::string> stateChanges;   // set-system commands recorded
    std::optional<SMenuExit> exit;
    std::string note;                // e.g. a loop cut after the command bound
    bool menuVisible = true;         // after the step
    bool outEffectsSkipped = false;  // a SetButtonPage turned the out-effects off
};

// One composition walked as a player does.
class CMenuPlayer {
public:
    // Commands one step (a key, the start or a show) may run, in all its
    // activations, before the run is cut as a loop.
    static constexpr int kCommandBound = 10000;
    // Activations one step may nest (a command shows a page whose button
    // activates as it is selected, and so on) before the chain is cut.
    static constexpr int kActivationDepth = 64;
    enum EButtonState { kNormal = 0, kSelected = 1, kActivated = 2 };

    explicit CMenuPlayer(const CIcData& composition);

    // Register values before the start (e.g. what a disc's first-play program
    // set); they survive Start.
    void SetRegister(bool psr, int number, uint32_t value);
    uint32_t Register(bool psr, int number) const;
    // Whether steps list the commands run and the buttons and states they
    // changed (on by default); a caller that needs only where a step leads
    // (the map's exploration) saves the texts.
    void RecordSteps(bool record) { record_ = record; }
    // Registers read by commands before anything wrote them (GPR numbers).
    const std::vector<int>& GprsReadBeforeWritten() const { return readFirst_; }

    // The first page, its default selected button (or the first enabled one),
    // each group's default valid button enabled.
    SMenuStep Start();
    // One key; a walk that reached an exit ignores further keys. A hidden
    // pop-up takes only the pop-up key, which shows it at page 0 with that
    // page's defaults (and hides a shown one); an always-on menu ignores it.
    // A number key selects the enabled button with that numeric select value.
    SMenuStep Press(EMenuKey key);
    // The end of the user time-out: an always-on menu goes back to page 0, a
    // pop-up hides. The step's key is "timeout".
    SMenuStep TimeOut();
    // With deferred activations an activation puts the button in the
    // Activated state and leaves its commands for RunActivation (a clock
    // shows the state first); keys wait meanwhile.
    void DeferActivations(bool defer) { defer_ = defer; }
    const CBdButton* PendingActivation() const { return pending_; }
    // Runs the pending activation's commands; the step's key is "activation".
    SMenuStep RunActivation();
    // The page and button as a SetButtonPage command shows them: another
    // page shows with the button selected when it is enabled (else as the
    // page starts); on the current page an enabled button is selected
    // without its auto action. The step's key is "show".
    SMenuStep Show(int pageId, int buttonId);

    const CPage* Page() const { return page_; }
    int PageId() const;
    // The selected button (null for none), its id (-1).
    CBdButton* Selected() const { return selected_; }
    int SelectedId() const;
    // The enabled button of a group of the current page (null for none).
    CBdButton* EnabledButton(const CBog& bog) const;
    bool IsEnabled(const CBdButton& button) const;
    int ButtonState(const CBdButton& button) const;
    bool Ended() const { return ended_.has_value(); }
    const std::optional<SMenuExit>& Exit() const { return ended_; }
    bool MenuVisible() const { return visible_; }
    bool IsPopUp() const;

    // A compact key of the whole state (page, selection, enabled buttons,
    // states and registers), for exploring the reachable states.
    std::string StateKey() const;

private:
    void ShowPage(const CPage* page, int buttonId, SMenuStep& step);
    void Select(CBdButton* button, SMenuStep& step, bool autoAction = true);
    // The page (null: the current one) and button of a SetButtonPage.
    void ShowButtonPage(const CPage* target, int buttonId, SMenuStep& step);
    void Activate(CBdButton& button, SMenuStep& step);
    void Complete(CBdButton& button, SMenuStep& step);
    void PressNavigation(EMenuKey key, SMenuStep& step);
    // Runs the button's commands until they end or leave the menu.
    void Run(const CBdButton& button, SMenuStep& step);
    // One command (text: its statement when steps are recorded); pc is the
    // next command's index. False ends the run.
    bool Execute(const SNavInstruction& in, const std::string& text, int& pc, SMenuStep& step);
    bool RunGoTo(const SNavInstruction& in, int& pc);
    bool RunJump(const SNavInstruction& in, SMenuStep& step);
    bool RunPlay(const SNavInstruction& in, SMenuStep& step);
    void RunSet(const SNavInstruction& in, SMenuStep& step);
    void RunSetSystem(const SNavInstruction& in, const std::string& text, SMenuStep& step);
    void RunSetButtonPage(const SNavInstruction& in, SMenuStep& step);
    // Leaves the menu for a place outside it.
    void Leave(std::string command, std::string target, SMenuStep& step);
    uint32_t Read(const SNavOperand& operand);
    void Write(const SNavOperand& operand, uint32_t value, SMenuStep& step);
    void WriteReg(bool psr, int number, uint32_t value, SMenuStep& step);
    CBdButton* FindButton(int id) const;
    CBdButton* FirstEnabled() const;
    void Enable(CBdButton& button, SMenuStep& step);
    void Disable(CBdButton& button, SMenuStep& step);
    void Finish(SMenuStep& step) const;

    const CIcData& composition_;
    const CPage* page_ = nullptr;
    bool record_ = true;
    CBdButton* selected_ = nullptr;
    // Enabled button of each group of the current page, by group pointer.
    std::map<const CBog*, CBdButton*> enabled_;
    std::map<const CBdButton*, int> states_;
    // Registers that hold a value (the others read 0); sparse, as menus use
    // few of the 4096 and states are copied while a menu is explored.
    std::map<int, uint32_t> gpr_;
    std::array<uint32_t, kPsrCount> psr_{};
    std::vector<int> readFirst_;
    std::optional<SMenuExit> ended_;
    bool visible_ = true;
    bool defer_ = false;
    CBdButton* pending_ = nullptr;
    uint32_t random_ = 1;
    // Commands run and activations open in the current step.
    int stepCommands_ = 0;
    int depth_ = 0;
};

}  // namespace tessel
