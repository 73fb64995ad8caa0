#include "player/map_decoration.h"

#include <algorithm>
#include <set>
#include <utility>

#include "model/ic_data.h"
#include "model/page.h"

namespace tessel {

bool IsDecorationButton(const CBdButton& button) {
    if (button.commands.GetSize() > 0) return false;
    const CNeighborInfo& n = button.neighbors;
    for (const CRef<CBdButton>* ref : {&n.upper, &n.lower, &n.left, &n.right}) {
        const int32_t id = ref->ptr ? ref->ptr->id : ref->id;
        if (id != button.id && id != 0xFFFF && id != -1) return false;
    }
    return true;
}

int DropDecorationButtons(SMenuMap& map, const CIcData& composition) {
    std::set<std::pair<int, int>> used;
    used.insert({map.start.page, map.start.button});
    for (const SMapEdge& e : map.edges) {
        if (e.from == e.to) continue;
        used.insert({e.from.page, e.from.button});
        used.insert({e.to.page, e.to.button});
    }
    std::set<std::pair<int, int>> decoration;
    for (const auto& page : composition)
        for (const auto& bog : *page)
            for (const auto& b : *bog)
                if (IsDecorationButton(*b) && !used.count({page->id, b->id}))
                    decoration.insert({page->id, b->id});
    int dropped = 0;
    for (SMapPage& page : map.pages)
        dropped += static_cast<int>(std::erase_if(page.buttons, [&](const SMapButton& b) {
            return decoration.count({page.id, b.id}) > 0;
        }));
    // Their arrows to themselves go with them.
    std::erase_if(map.edges, [&](const SMapEdge& e) {
        return e.from == e.to && decoration.count({e.from.page, e.from.button}) > 0;
    });
    return dropped;
}

}  // namespace tessel
