// What a viewer can reach in a menu: every state the keys lead to from the
// start (arrows, Enter and single-digit number keys) explored with the menu
// player, and the rules that depend on it (unreachable-button,
// unreachable-page, decoration, auto-action-loop, empty-commands); and the
// whole check of an IG stream, both these and the menu-data rules.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/ig_object.h"
#include "model/menu_check.h"
#include "player/menu_player.h"

namespace tessel {

// ---- Reachability

struct SMenuReach {
    std::set<int> pages;                    // page ids shown
    std::set<std::pair<int, int>> buttons;  // (page id, button id) selected
    int statesExplored = 0;
    int stateBound = 0;
    bool boundReached = false;
    // Why some paths could not be followed (a command the player does not
    // run), each once.
    std::vector<std::string> undecided;
    // Auto-action chains cut as loops: the page and button they started at.
    std::vector<std::pair<int, int>> loops;
};

SMenuReach ExploreReach(const CIcData& composition, int stateBound = 20000);

// The rules above over one display set, place naming its clip, PID, epoch
// and display set.
void CheckReachability(const CIcData& composition, const SCheckPlace& place, int stateBound,
                       std::vector<SCheckFinding>& out);

// ---- The whole check

struct SCheckOptions {
    std::vector<std::string> rules;  // empty: every rule
    ECheckSeverity minSeverity = ECheckSeverity::Info;
    int stateBound = 20000;  // states explored per composition
};

// Every rule over every epoch of the stream (one display set of each run of
// identical ones), epoch by epoch; the findings the options let through are
// appended. clip and pid name the stream (-1 for a stream file).
void CheckIgStream(CIgObject& ig, int clip, int pid, const SCheckOptions& options,
                   std::vector<SCheckFinding>& out);

}  // namespace tessel
