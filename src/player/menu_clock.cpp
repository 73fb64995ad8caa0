#include "player/menu_clock.h"

#include <algorithm>
#include <cstdlib>

#include "model/epoch.h"
#include "model/page.h"
#include "platform/text.h"

namespace tessel {

namespace {

bool IsNoObject(int32_t id) {
    return id < 0 || id == 0xFFFF;
}

}  // namespace

bool FrameRateOf(int code, SFrameRate& rate) {
    struct SRow {
        int code;
        uint32_t numerator, denominator;
        const char* name;
    };
    static constexpr SRow kRates[] = {{1, 24000, 1001, "23.976"}, {2, 24, 1, "24"},
                                      {3, 25, 1, "25"},           {4, 30000, 1001, "29.97"},
                                      {6, 50, 1, "50"},           {7, 60000, 1001, "59.94"}};
    for (const SRow& r : kRates)
        if (r.code == code) {
            rate = {r.code, r.numerator, r.denominator, r.name};
            return true;
        }
    return false;
}

CMenuClock::CMenuClock(const CIcData& composition, const SFrameRate& rate)
    : composition_(composition), rate_(rate), player_(composition) {
    player_.DeferActivations(true);
    for (const CNamedObject* p = composition.parent; p; p = p->parent)
        if (const auto* epoch = dynamic_cast<const CEpoch*>(p)) {
            for (const CGraphicObject* o : epoch->graphics.List()) objects_.emplace(o->id, o);
            break;
        }
    // The time-outs count from the composition's presentation time, and only
    // a composition multiplexed with the video has them.
    if (const auto* ds = dynamic_cast<const CDisplaySet*>(&composition);
        ds && composition.streamModel == 0) {
        const int64_t start = ds->streamPts >= 0 ? ds->streamPts : ds->explicitPts;
        auto after = [start](uint64_t pts) -> std::optional<uint64_t> {
            if (pts == 0 || static_cast<int64_t>(pts) <= start) return std::nullopt;
            return pts - static_cast<uint64_t>(start);
        };
        selectionEnd_ = after(composition.selectionTimeOutPts);
        compositionEnd_ = after(composition.compositionTimeOutPts);
    }
}

uint64_t CMenuClock::PtsOf(int64_t frame) const {
    if (rate_.numerator == 0 || frame < 0) return 0;
    return static_cast<uint64_t>(frame) * 90000u * rate_.denominator / rate_.numerator;
}

void CMenuClock::AddKey(uint64_t pts, EMenuKey key) {
    keys_.emplace_back(pts, key);
}

const CGraphicObject* CMenuClock::ObjectById(int id) const {
    auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : it->second;
}

int CMenuClock::FrameRateCode() const {
    const CPage* page = player_.Page();
    return page ? page->frameRateCode : 0;
}

bool CMenuClock::SpanOf(const CBdButton& button, int state, SRunSpan& span) const {
    if (state < 0 || state > 2) return false;
    // Selected and Activated without a start object show the Normal state.
    const CButtonStateInfo* s = &button.states[state];
    if (state != CBdButton::kNormal && !s->start.ptr) s = &button.states[CBdButton::kNormal];
    if (IsNoObject(s->start.id)) return false;
    span.first = s->start.id;
    span.firstObject = s->start.ptr;
    const int end = IsNoObject(s->end.id) ? s->start.id : s->end.id;
    span.length = std::abs(end - span.first) + 1;
    span.step = end >= span.first ? 1 : -1;
    span.repeat = s->repeat;
    span.complete = s->complete;
    return true;
}

bool CMenuClock::RunDone(const CBdButton& button, int state, int64_t entry,
                         int64_t shownUpTo) const {
    SRunSpan span;
    const int n = FrameRateCode();
    if (!SpanOf(button, state, span) || n == 0 || span.length <= 1) return shownUpTo >= entry;
    return shownUpTo - entry >= static_cast<int64_t>(span.length - 1) * n;
}

void CMenuClock::Take(const SMenuStep& step, const std::string& key) {
    if (!key.empty()) frame_.keys.push_back(key);
    frame_.commands.insert(frame_.commands.end(), step.commands.begin(), step.commands.end());
    if (step.exit) frame_.exit = step.exit;
    if (!step.note.empty()) frame_.notes.push_back(step.note);
    for (const std::string& c : step.stateChanges) frame_.notes.push_back(c);
    const bool visible = player_.MenuVisible() && !player_.Ended();
    const CPage* page = player_.Page();
    if (!visible) {
        effects_.clear();
    } else if (!shownVisible_ || page != shownPage_) {
        // A page left runs its out-effects, unless the command turned them
        // off or the menu was not shown; then the new page's in-effects.
        if (shownVisible_ && shownPage_ && !step.outEffectsSkipped &&
            shownPage_->outEffects.GetSize() > 0)
            effects_.push_back({&shownPage_->outEffects, shownPage_, true, 0});
        if (page && page->inEffects.GetSize() > 0)
            effects_.push_back({&page->inEffects, page, false, 0});
        lastEvent_ = frame_.pts;
    }
    if (step.pageChanged) lastEvent_ = frame_.pts;
    shownVisible_ = visible;
    shownPage_ = page;
}

void CMenuClock::AdvanceEffects(uint64_t now) {
    while (!effects_.empty()) {
        SEffectRun& run = effects_.front();
        if (!effectStarted_) {
            effectStart_ = now;
            effectStarted_ = true;
        }
        const int count = run.sequence->GetSize();
        if (run.index < count) {
            const uint64_t duration = run.sequence->GetAt(run.index)->duration;
            if (now < effectStart_ + duration) return;
            effectStart_ += duration;
            if (++run.index < count) continue;
        }
        effects_.pop_front();
    }
    effectStarted_ = false;
}

bool CMenuClock::TakesKeys() const {
    if (!effects_.empty() || player_.PendingActivation()) return false;
    // A state with the complete flag is shown to the end of its run first.
    for (const SShownButton& b : frame_.buttons) {
        SRunSpan span;
        auto it = runs_.find(b.button);
        if (it != runs_.end() && SpanOf(*b.button, b.state, span) && span.complete &&
            !RunDone(*b.button, b.state, it->second.entry, frame_.frame - 1))
            return false;
    }
    return true;
}

void CMenuClock::TakeKeys(uint64_t now) {
    while (!keys_.empty() && keys_.front().first <= now && TakesKeys()) {
        const EMenuKey key = keys_.front().second;
        keys_.pop_front();
        if (removed_ || (selectionEnd_ && now >= *selectionEnd_)) {
            frame_.keys.push_back(MenuKeyName(key));
            frame_.notes.push_back(removed_ ? "after the composition time-out: no key is taken"
                                            : "after the selection time-out: no key is taken");
            continue;
        }
        lastEvent_ = now;
        Take(player_.Press(key), MenuKeyName(key));
    }
}

void CMenuClock::CheckTimeOuts(uint64_t now) {
    if (compositionEnd_ && now >= *compositionEnd_ && !removed_) {
        removed_ = true;
        effects_.clear();
        frame_.keys.push_back("composition time-out");
        frame_.notes.push_back("composition time-out: the menu is removed");
    }
    const uint32_t duration = composition_.userTimeOutDuration;
    if (removed_ || duration == 0 || !shownVisible_ || !TakesKeys()) return;
    if (!player_.IsPopUp() && player_.PageId() == 0) return;
    if (now < lastEvent_ + duration) return;
    lastEvent_ = now;
    Take(player_.TimeOut(), "user time-out");
}

void CMenuClock::ShowButtons() {
    const CPage* page = player_.Page();
    frame_.buttons.clear();
    if (!frame_.visible || frame_.effect || !page) {
        runs_.clear();
        return;
    }
    const int n = page->frameRateCode;
    std::map<const CBdButton*, SRun> runs;
    for (const auto& bog : *page) {
        const CBdButton* b = player_.EnabledButton(*bog);
        if (!b) continue;
        SShownButton shown{bog.get(), b, player_.ButtonState(*b), nullptr, -1};
        SRun run{shown.state, frame_.frame};
        // A run starts over in the frame its button enters a state.
        if (auto it = runs_.find(b); it != runs_.end() && it->second.state == shown.state)
            run = it->second;
        runs[b] = run;
        SRunSpan span;
        if (SpanOf(*b, shown.state, span)) {
            int64_t k = n == 0 ? 0 : (frame_.frame - run.entry) / n;
            k = span.repeat ? k % span.length : std::min<int64_t>(k, span.length - 1);
            shown.objectId = span.first + span.step * static_cast<int>(k);
            shown.object =
                k == 0 && span.firstObject ? span.firstObject : ObjectById(shown.objectId);
        }
        frame_.buttons.push_back(shown);
    }
    runs_ = std::move(runs);
}

const SMenuFrame& CMenuClock::Advance() {
    const int64_t f = next_++;
    const uint64_t now = PtsOf(f);
    const std::vector<SShownButton> before = std::move(frame_.buttons);
    frame_ = SMenuFrame{};
    frame_.frame = f;
    frame_.pts = now;
    frame_.buttons = before;
    if (f == 0) {
        SMenuStep start = player_.Start();
        if (startPage_ >= 0 && startPage_ != player_.PageId()) {
            const SMenuStep shown = player_.Show(startPage_, -1);
            start.commands.insert(start.commands.end(), shown.commands.begin(),
                                  shown.commands.end());
            start.stateChanges.insert(start.stateChanges.end(), shown.stateChanges.begin(),
                                      shown.stateChanges.end());
            if (shown.exit) start.exit = shown.exit;
        }
        Take(start, "start");
    }
    AdvanceEffects(now);
    // An activation shown to the end of its run lets its commands act.
    if (const CBdButton* a = player_.PendingActivation(); a && f > 0 && effects_.empty()) {
        auto it = runs_.find(a);
        if (!shownVisible_ || (it != runs_.end() && it->second.state == CMenuPlayer::kActivated &&
                               RunDone(*a, CMenuPlayer::kActivated, it->second.entry, f - 1)))
            Take(player_.RunActivation(), "");
    }
    TakeKeys(now);
    CheckTimeOuts(now);
    AdvanceEffects(now);
    frame_.visible = shownVisible_ && !removed_;
    frame_.page = frame_.visible ? player_.Page() : nullptr;
    if (frame_.visible && !effects_.empty()) {
        const SEffectRun& run = effects_.front();
        frame_.effect = SShownEffect{run.out, run.index, run.sequence->GetAt(run.index),
                                     run.sequence, run.page};
        if (run.out) frame_.page = run.page;
    }
    ShowButtons();
    return frame_;
}

bool CMenuClock::Settled() const {
    if (!keys_.empty() || !effects_.empty() || player_.PendingActivation()) return false;
    for (const SShownButton& b : frame_.buttons) {
        auto it = runs_.find(b.button);
        if (it != runs_.end() && !RunDone(*b.button, b.state, it->second.entry, frame_.frame))
            return false;
    }
    return true;
}

}  // namespace tessel
