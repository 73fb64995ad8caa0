#include "player/menu_map.h"

#include <deque>
#include <memory>
#include <set>

#include "model/ic_data.h"
#include "platform/text.h"

#ifdef TESSEL_HAVE_GRAPHVIZ
#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>
#endif

namespace tessel {

namespace {

SMapPlace PlaceOf(const CMenuPlayer& player) {
    SMapPlace p;
    if (player.Exit()) {
        p.exit = player.Exit();
        return p;
    }
    p.page = player.PageId();
    p.button = player.SelectedId();
    return p;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string NodeName(const SMapPlace& p) {
    if (p.exit) return Quote("exit: " + p.exit->target);
    return Quote(StrFormat("p%d_b%d", p.page, p.button));
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
    for (const SRegisterWrite& w : presets) first.SetRegister(w.psr, w.number, w.value);
    first.Start();
    map.start = PlaceOf(first);

    std::set<std::string> seen;
    std::set<std::string> edgeKeys;
    std::deque<CMenuPlayer> queue;
    std::set<int> readFirst;
    auto addEdge = [&](SMapEdge e) {
        const std::string k = NodeName(e.from) + e.key + NodeName(e.to);
        if (edgeKeys.insert(k).second) map.edges.push_back(std::move(e));
    };
    auto visit = [&](CMenuPlayer&& player) {
        for (int n : player.GprsReadBeforeWritten()) readFirst.insert(n);
        if (player.Ended() || !player.MenuVisible()) return;
        if (!seen.insert(player.StateKey()).second) return;
        if (static_cast<int>(seen.size()) > stateBound) {
            map.boundReached = true;
            return;
        }
        queue.push_back(std::move(player));
    };
    visit(std::move(first));
    static constexpr EMenuKey kKeys[] = {EMenuKey::Up, EMenuKey::Down, EMenuKey::Left,
                                         EMenuKey::Right, EMenuKey::Enter};
    while (!queue.empty() && !map.boundReached) {
        CMenuPlayer state = std::move(queue.front());
        queue.pop_front();
        const SMapPlace from = PlaceOf(state);
        if (from.button < 0) continue;
        for (EMenuKey key : kKeys) {
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

std::string MapToDot(const SMenuMap& map) {
    std::string dot = "digraph menu {\n  rankdir=LR;\n  node [shape=box, style=rounded];\n";
    for (const SMapPage& page : map.pages) {
        dot += StrFormat("  subgraph \"cluster_page%d\" {\n    label=%s;\n", page.id,
                         Quote(StrFormat("%s (id %d)", page.label.c_str(), page.id)).c_str());
        for (const SMapButton& b : page.buttons)
            dot +=
                StrFormat("    %s [label=%s];\n", NodeName({page.id, b.id, std::nullopt}).c_str(),
                          Quote(StrFormat("%s\n(id %d)", b.label.c_str(), b.id)).c_str());
        dot += "  }\n";
    }
    std::set<std::string> exits;
    for (const SMapEdge& e : map.edges)
        if (e.to.exit && exits.insert(e.to.exit->target).second)
            dot += StrFormat("  %s [label=%s, shape=ellipse, style=filled, fillcolor=lightgrey];\n",
                             NodeName(e.to).c_str(), Quote(e.to.exit->target).c_str());
    if (map.start.exit || map.start.button >= 0) {
        dot += "  start [shape=point];\n";
        dot += StrFormat("  start -> %s;\n", NodeName(map.start).c_str());
    }
    for (const SMapEdge& e : map.edges)
        dot += StrFormat("  %s -> %s [label=%s%s];\n", NodeName(e.from).c_str(),
                         NodeName(e.to).c_str(), Quote(e.key).c_str(),
                         e.key == "enter" || e.key == "auto" ? ", color=blue, fontcolor=blue" : "");
    return dot + "}\n";
}

#ifdef TESSEL_HAVE_GRAPHVIZ

bool MapPicturesAvailable() {
    return true;
}

bool RenderDot(const std::string& dot, const std::string& format, std::vector<uint8_t>& out,
               std::string& error) {
    out.clear();
    agseterr(AGMAX);
    // One context for the process: the library's text size estimate keeps
    // state across contexts, and a second context reads freed memory.
    static GVC_t* const context = gvContext();
    struct SNoFree {
        void operator()(GVC_t*) const {}
    };
    std::unique_ptr<GVC_t, SNoFree> gvc(context);
    if (!gvc) {
        error = "Graphviz could not start";
        return false;
    }
    std::unique_ptr<Agraph_t, int (*)(Agraph_t*)> graph(agmemread(dot.c_str()), agclose);
    if (!graph) {
        error = "Graphviz could not read the map";
        return false;
    }
    if (gvLayout(gvc.get(), graph.get(), "dot") != 0) {
        error = "Graphviz could not lay the map out";
        return false;
    }
    char* data = nullptr;
    unsigned int length = 0;
    const int rendered = gvRenderData(gvc.get(), graph.get(), format.c_str(), &data, &length);
    if (rendered == 0 && data) out.assign(data, data + length);
    if (data) gvFreeRenderData(data);
    gvFreeLayout(gvc.get(), graph.get());
    if (rendered != 0 || out.empty()) {
        error = "Graphviz has no renderer for " + format;
        return false;
    }
    return true;
}

#else

bool MapPicturesAvailable() {
    return false;
}

bool RenderDot(const std::string&, const std::string& format, std::vector<uint8_t>& out,
               std::string& error) {
    out.clear();
    error = "pictures of the map (" + format + ") need a build with Graphviz";
    return false;
}

#endif

}  // namespace tessel
