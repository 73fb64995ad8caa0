// The map as DOT text: pages as clusters, buttons as nodes named by page
// and id, exits and the hidden menu as nodes of their own.
#include <algorithm>
#include <cstdio>
#include <set>

#include "platform/text.h"
#include "player/menu_map.h"

namespace tessel {

namespace {

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
    if (p.hidden) return Quote("menu hidden");
    return Quote(StrFormat("p%d_b%d", p.page, p.button));
}

}  // namespace

std::string MapToDot(const SMenuMap& map) {
    // newrank: see LayOutAndRender in map_graphviz.cpp.
    std::string dot =
        "digraph menu {\n  rankdir=LR;\n  newrank=true;\n  node [shape=box, style=rounded];\n";
    for (const SMapPage& page : map.pages) {
        dot += StrFormat("  subgraph \"cluster_page%d\" {\n    label=%s;\n", page.id,
                         Quote(StrFormat("%s (id %d)", page.label.c_str(), page.id)).c_str());
        for (const SMapButton& b : page.buttons)
            dot +=
                StrFormat("    %s [label=%s];\n", NodeName({page.id, b.id, std::nullopt}).c_str(),
                          Quote(StrFormat("%s\n(id %d)", b.label.c_str(), b.id)).c_str());
        dot += "  }\n";
    }
    if (std::any_of(map.edges.begin(), map.edges.end(),
                    [](const SMapEdge& e) { return e.to.hidden || e.from.hidden; }))
        dot += "  \"menu hidden\" [shape=ellipse, style=dashed];\n";
    std::set<std::string> exits;
    for (const SMapEdge& e : map.edges)
        if (e.to.exit && exits.insert(e.to.exit->target).second)
            dot += StrFormat("  %s [label=%s, shape=ellipse, style=filled, fillcolor=lightgrey];\n",
                             NodeName(e.to).c_str(), Quote(e.to.exit->target).c_str());
    if (map.start.exit || map.start.button >= 0) {
        dot += "  start [shape=point];\n";
        dot += StrFormat("  start -> %s;\n", NodeName(map.start).c_str());
    }
    // The arrows back from the hidden menu do not rank it: Graphviz 2.42's
    // dot layout frees memory twice for such a cycle when it is ranked.
    for (const SMapEdge& e : map.edges)
        dot += StrFormat("  %s -> %s [label=%s%s%s];\n", NodeName(e.from).c_str(),
                         NodeName(e.to).c_str(), Quote(e.key).c_str(),
                         e.key == "enter" || e.key == "auto" ? ", color=blue, fontcolor=blue" : "",
                         e.from.hidden ? ", constraint=false" : "");
    return dot + "}\n";
}

bool ParseMapNodeName(const std::string& name, int& page, int& button) {
    int p = 0, b = 0, used = 0;
    if (std::sscanf(name.c_str(), "p%d_b%d%n", &p, &b, &used) != 2 ||
        used != static_cast<int>(name.size()))
        return false;
    page = p;
    button = b;
    return true;
}

}  // namespace tessel
