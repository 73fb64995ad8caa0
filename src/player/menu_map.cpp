// The map's exploration: every state reachable by keys, walked breadth
// first with the menu player, and the arrows between the places they show.
#include "player/menu_map.h"

#include <algorithm>
#include <deque>
#include <set>

#include "model/ic_data.h"
#include "platform/text.h"

namespace tessel {

namespace {

SMapPlace PlaceOf(const CMenuPlayer& player) {
    SMapPlace p;
    if (player.Exit()) {
        p.exit = player.Exit();
        return p;
    }
    if (!player.MenuVisible()) {
        p.hidden = true;
        return p;
    }
    p.page = player.PageId();
    p.button = player.SelectedId();
    return p;
}

// A place as the map tells places apart: an exit by its target, the hidden
// menu, a button by its page and id.
std::string PlaceKey(const SMapPlace& p) {
    if (p.exit) return "x" + p.exit->target;
    if (p.hidden) return "h";
    return StrFormat("b%d_%d", p.page, p.button);
}

}  // namespace

SMenuMap ExploreMenu(const CIcData& composition, int stateBound,
                     const std::vector<SRegisterWrite>& presets) {
    SMenuMap map;
    map.stateBound = stateBound;
    for (const auto& page : composition) {
        SMapPage p{page->id, page->name, {}};
        for (const auto& bog : *page)
            for (const auto& b : *bog) p.buttons.push_back({b->id, b->name});
        map.pages.push_back(std::move(p));
    }
    CMenuPlayer first(composition);
    first.RecordSteps(false);  // only where each key leads is kept
    for (const SRegisterWrite& w : presets) first.SetRegister(w.psr, w.number, w.value);
    first.Start();
    map.start = PlaceOf(first);

    std::set<std::string> seen;
    std::set<std::string> edgeKeys;
    std::deque<CMenuPlayer> queue;
    std::set<int> readFirst;
    auto addEdge = [&](SMapEdge e) {
        const std::string k = PlaceKey(e.from) + '\0' + e.key + '\0' + PlaceKey(e.to);
        if (edgeKeys.insert(k).second) map.edges.push_back(std::move(e));
    };
    auto visit = [&](CMenuPlayer&& player) {
        for (int n : player.GprsReadBeforeWritten()) readFirst.insert(n);
        if (player.Ended()) return;
        if (!seen.insert(player.StateKey()).second) return;
        if (static_cast<int>(seen.size()) > stateBound) {
            map.boundReached = true;
            return;
        }
        queue.push_back(std::move(player));
    };
    visit(std::move(first));
    while (!queue.empty() && !map.boundReached) {
        CMenuPlayer state = std::move(queue.front());
        queue.pop_front();
        const SMapPlace from = PlaceOf(state);
        if (from.button < 0 && !from.hidden) continue;
        for (int k = 0; k < kMenuKeyCount; ++k) {
            const EMenuKey key = static_cast<EMenuKey>(k);
            // A hidden pop-up takes only the pop-up key.
            if (from.hidden && key != EMenuKey::Popup) continue;
            CMenuPlayer next = state;
            const SMenuStep step = next.Press(key);
            const SMapPlace to = PlaceOf(next);
            if (step.autoActivated >= 0) {
                // The move reaches the button, which then acts at once.
                const SMapPlace via{from.page, step.autoActivated, std::nullopt};
                if (!(via == from)) addEdge({from, MenuKeyName(key), via});
                addEdge({via, "auto", to});
            } else if (key == EMenuKey::Enter || !(to == from)) {
                addEdge({from, MenuKeyName(key), to});
            }
            visit(std::move(next));
        }
    }
    map.statesExplored = static_cast<int>(std::min<size_t>(seen.size(), stateBound));
    map.gprsReadFirst.assign(readFirst.begin(), readFirst.end());
    return map;
}

}  // namespace tessel
