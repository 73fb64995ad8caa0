#include "player/menu_reach.h"

#include <algorithm>
#include <deque>

#include "model/display_set_runs.h"
#include "platform/text.h"

namespace tessel {

namespace {

constexpr int kNoSelection = 0xFFFF;

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

class CReachExplorer {
public:
    CReachExplorer(const CIcData& composition, int stateBound) : composition_(composition) {
        reach_.stateBound = stateBound;
    }

    SMenuReach Run() {
        CMenuPlayer first(composition_);
        first.RecordSteps(false);
        Note(first.Start(), -1, -1, "start");
        Visit(std::move(first));
        while (!queue_.empty() && !reach_.boundReached) {
            CMenuPlayer state = std::move(queue_.front());
            queue_.pop_front();
            if (!state.Selected()) continue;
            const int page = state.PageId(), button = state.SelectedId();
            static constexpr EMenuKey kKeys[] = {EMenuKey::Up, EMenuKey::Down, EMenuKey::Left,
                                                 EMenuKey::Right, EMenuKey::Enter};
            for (EMenuKey key : kKeys) {
                CMenuPlayer next = state;
                Note(next.Press(key), page, button, MenuKeyName(key));
                Visit(std::move(next));
            }
            for (int digit = 0; digit <= 9; ++digit) {
                CMenuPlayer next = state;
                const EMenuKey key = DigitKey(digit);
                const SMenuStep step = next.Press(key);
                // A digit no button answers to changes nothing.
                if (!step.selectionChanged && !step.activated) continue;
                Note(step, page, button, MenuKeyName(key));
                Visit(std::move(next));
            }
        }
        reach_.statesExplored = static_cast<int>(std::min<size_t>(seen_.size(), reach_.stateBound));
        return std::move(reach_);
    }

private:
    // The pages shown and buttons selected along the step, in the order the
    // player wrote its page and selection registers.
    void Note(const SMenuStep& step, int page, int button, const char* key) {
        const int from = page;
        for (const SRegisterWrite& w : step.registers) {
            if (!w.psr) continue;
            if (w.number == kPsrPage) {
                page = static_cast<int>(w.value);
                reach_.pages.insert(page);
            } else if (w.number == kPsrSelectedButton && w.value != kNoSelection) {
                reach_.buttons.insert({page, static_cast<int>(w.value)});
            }
        }
        if (step.note.empty()) return;
        if (Contains(step.note, "activations within one another")) {
            const std::pair<int, int> at{step.page, step.autoActivated};
            if (std::find(reach_.loops.begin(), reach_.loops.end(), at) == reach_.loops.end())
                reach_.loops.push_back(at);
            return;
        }
        const std::string why = button < 0 ? StrFormat("%s: %s", key, step.note.c_str())
                                           : StrFormat("%s at button %d of page %d: %s", key,
                                                       button, from, step.note.c_str());
        if (std::find(reach_.undecided.begin(), reach_.undecided.end(), why) ==
            reach_.undecided.end())
            reach_.undecided.push_back(why);
    }

    void Visit(CMenuPlayer&& player) {
        if (player.Ended() || !player.MenuVisible()) return;
        if (!seen_.insert(player.StateKey()).second) return;
        if (static_cast<int>(seen_.size()) > reach_.stateBound) {
            reach_.boundReached = true;
            return;
        }
        queue_.push_back(std::move(player));
    }

    const CIcData& composition_;
    SMenuReach reach_;
    std::set<std::string> seen_;
    std::deque<CMenuPlayer> queue_;
};

bool SelfOnly(const CBdButton& b) {
    return b.neighbors.upper.id == b.id && b.neighbors.lower.id == b.id &&
           b.neighbors.left.id == b.id && b.neighbors.right.id == b.id;
}

bool Wanted(const SCheckFinding& f, const SCheckOptions& o) {
    if (f.severity < o.minSeverity) return false;
    return o.rules.empty() || std::find(o.rules.begin(), o.rules.end(), f.rule) != o.rules.end();
}

}  // namespace

SMenuReach ExploreReach(const CIcData& composition, int stateBound) {
    return CReachExplorer(composition, stateBound).Run();
}

void CheckReachability(const CIcData& composition, const SCheckPlace& place, int stateBound,
                       std::vector<SCheckFinding>& out) {
    const SMenuReach reach = ExploreReach(composition, stateBound);
    std::string caveat;
    if (reach.boundReached)
        caveat += StrFormat(" (the exploration stopped at its bound of %d states)", stateBound);
    const bool undecided = !reach.undecided.empty();
    if (undecided)
        caveat += StrFormat("; undecided: the exploration met what the player does not run (%s)",
                            reach.undecided.front().c_str());
    auto unreachable = [&](const char* rule, const SCheckPlace& at, std::string message) {
        AddFinding(out, rule, at, message + caveat);
        if (undecided) out.back().severity = ECheckSeverity::Info;
    };
    for (const auto& page : composition) {
        SCheckPlace at = place;
        at.page = page->id;
        const bool shown = reach.pages.count(page->id) > 0;
        if (!shown)
            unreachable("unreachable-page", at,
                        StrFormat("%s (id %d): no sequence of keys from the start shows it",
                                  page->name.c_str(), page->id));
        for (const auto& bog : *page)
            for (const auto& b : *bog) {
                at.button = b->id;
                const bool reached = reach.buttons.count({page->id, b->id}) > 0;
                const std::string label = ButtonLabel(*b);
                if (b->commands.GetSize() == 0) {
                    if (!reached && SelfOnly(*b))
                        AddFinding(out, "decoration", at,
                                   label +
                                       ": no commands, no neighbour but itself, never "
                                       "selected: a picture, not a button");
                    else
                        AddFinding(out, "empty-commands", at,
                                   label + ": a selectable button with no commands");
                } else if (shown && !reached) {
                    unreachable("unreachable-button", at,
                                label + ": no sequence of keys from the start selects it");
                }
            }
    }
    for (const auto& [pageId, buttonId] : reach.loops) {
        SCheckPlace at = place;
        at.page = pageId;
        at.button = buttonId;
        AddFinding(out, "auto-action-loop", at,
                   StrFormat("auto-action buttons lead to one another without a key: the chain "
                             "through button %d of page %d was cut after %d activations",
                             buttonId, pageId, CMenuPlayer::kActivationDepth));
    }
}

void CheckIgStream(CIgObject& ig, int clip, int pid, const SCheckOptions& options,
                   std::vector<SCheckFinding>& out) {
    std::vector<SCheckFinding> found;
    for (int e = 0; e < ig.GetSize(); ++e) {
        CEpoch& epoch = *ig.GetAt(e);
        SCheckPlace place;
        place.clip = clip;
        place.pid = pid;
        place.epoch = e;
        CheckEpochBuffers(epoch, place, found);
        for (const SDisplaySetRun& run : IdenticalDisplaySetRuns(epoch)) {
            const CDisplaySet& ds = *epoch.GetAt(run.first);
            if (ds.GetSize() == 0) continue;
            place.displaySet = run.first;
            CheckCompositionData(ds, epoch, ig.video, place, found);
            CheckReachability(ds, place, options.stateBound, found);
        }
    }
    for (SCheckFinding& f : found)
        if (Wanted(f, options)) out.push_back(std::move(f));
}

}  // namespace tessel
