// A menu in time: the menu player driven frame by frame at the video frame
// rate, with the page effects, the button animations, activations shown
// before their commands run, keys at given times and the time-outs. Each
// frame says what a player shows: whether the menu is shown, the page, the
// effect being shown, and every shown button's state and object. No timers:
// the caller advances the clock.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "player/menu_player.h"

namespace tessel {

class CBdButton;
class CBog;
class CEffectObject;
class CEffectSequenceObject;
class CGraphicObject;
class CIcData;
class CPage;

// A video frame rate as a fraction of frames per second.
struct SFrameRate {
    int code = 0;
    uint32_t numerator = 0;
    uint32_t denominator = 1;
    const char* name = "";  // "23.976"
};
// The rate of a frame rate code (1, 2, 3, 4, 6, 7); false for the others.
bool FrameRateOf(int code, SFrameRate& rate);

// A button as a frame shows it; object null shows nothing.
struct SShownButton {
    const CBog* bog = nullptr;
    const CBdButton* button = nullptr;
    int state = 0;  // CMenuPlayer::EButtonState
    const CGraphicObject* object = nullptr;
    int objectId = -1;
    bool operator==(const SShownButton&) const = default;
};

// The effect a frame shows.
struct SShownEffect {
    bool out = false;  // an out-effect of the page it belongs to
    int index = 0;     // in its sequence
    const CEffectObject* effect = nullptr;
    const CEffectSequenceObject* sequence = nullptr;
    const CPage* page = nullptr;  // the page whose sequence it is
    bool operator==(const SShownEffect&) const = default;
};

struct SMenuFrame {
    int64_t frame = 0;
    uint64_t pts = 0;  // 90 kHz from the start of the play
    bool visible = false;
    const CPage* page = nullptr;
    std::optional<SShownEffect> effect;
    std::vector<SShownButton> buttons;  // empty while an effect runs or the menu is hidden
    std::vector<std::string> keys;      // keys and time-outs taken in this frame
    std::vector<std::string> commands;  // statements run in this frame
    std::optional<SMenuExit> exit;
    std::vector<std::string> notes;
};

class CMenuClock {
public:
    // The composition's graphic objects are those of the epoch above it.
    CMenuClock(const CIcData& composition, const SFrameRate& rate);

    // Registers before the start.
    CMenuPlayer& Player() { return player_; }
    // The page shown at the start instead of the first (-1: the first), as a
    // SetButtonPage shows it.
    void StartAt(int pageId) { startPage_ = pageId; }
    // A key taken in the first frame at or after pts (90 kHz), once the menu
    // takes keys (no effect running, no activation shown, no run with the
    // complete flag unfinished); keys are taken in the order given.
    void AddKey(uint64_t pts, EMenuKey key);
    // The next frame: frame 0 at the first call.
    const SMenuFrame& Advance();
    const SMenuFrame& Frame() const { return frame_; }
    // After a frame: no key, effect or activation waits and every shown
    // button's run has reached its end once.
    bool Settled() const;
    uint64_t PtsOf(int64_t frame) const;
    const SFrameRate& Rate() const { return rate_; }

private:
    struct SEffectRun {
        const CEffectSequenceObject* sequence = nullptr;
        const CPage* page = nullptr;
        bool out = false;
        int index = 0;
    };
    struct SRun {
        int state = -1;
        int64_t entry = 0;
    };
    // The run of a button's state: its first object id and length, step +1
    // or -1; false when the state shows nothing.
    struct SRunSpan {
        int first = -1;
        int length = 0;
        int step = 1;
        bool repeat = false;
        bool complete = false;
        const CGraphicObject* firstObject = nullptr;
    };
    bool SpanOf(const CBdButton& button, int state, SRunSpan& span) const;
    // Whether the run entered at entry has shown its end object by frame
    // shownUpTo (a still state: shown at all).
    bool RunDone(const CBdButton& button, int state, int64_t entry, int64_t shownUpTo) const;
    void Take(const SMenuStep& step, const std::string& key);
    void AdvanceEffects(uint64_t now);
    bool TakesKeys() const;
    void TakeKeys(uint64_t now);
    void CheckTimeOuts(uint64_t now);
    void ShowButtons();
    const CGraphicObject* ObjectById(int id) const;
    int FrameRateCode() const;

    const CIcData& composition_;
    SFrameRate rate_;
    CMenuPlayer player_;
    std::map<int, const CGraphicObject*> objects_;
    std::deque<std::pair<uint64_t, EMenuKey>> keys_;
    std::deque<SEffectRun> effects_;
    uint64_t effectStart_ = 0;
    bool effectStarted_ = false;
    std::map<const CBdButton*, SRun> runs_;
    int64_t next_ = 0;
    SMenuFrame frame_;
    const CPage* shownPage_ = nullptr;
    bool shownVisible_ = false;
    uint64_t lastEvent_ = 0;
    // Selection and composition time-outs from the start (90 kHz), when the
    // composition is multiplexed and names them after its presentation time.
    std::optional<uint64_t> selectionEnd_;
    std::optional<uint64_t> compositionEnd_;
    bool removed_ = false;
    int startPage_ = -1;
};

}  // namespace tessel
