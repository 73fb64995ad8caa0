// The map of a menu: every state reachable by keys from the start explored
// with the menu player, as pages of buttons and the arrows between them
// (neighbour moves, activations to the page and button they lead to or to
// their exits). Written as DOT text; pictures through Graphviz's library
// where the build has it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/menu_player.h"

namespace tessel {

struct SMapButton {
    int id = 0;
    std::string label;
};

struct SMapPage {
    int id = 0;
    std::string label;
    std::vector<SMapButton> buttons;
};

// One end of an arrow: a button of a page, or an exit.
struct SMapPlace {
    int page = -1;
    int button = -1;
    std::optional<SMenuExit> exit;
    bool operator==(const SMapPlace&) const = default;
};

struct SMapEdge {
    SMapPlace from;
    std::string key;  // up, down, left, right, enter, or "auto" (auto action)
    SMapPlace to;
    bool operator==(const SMapEdge&) const = default;
};

struct SMenuMap {
    std::vector<SMapPage> pages;  // every page and button of the composition
    SMapPlace start;
    std::vector<SMapEdge> edges;
    int statesExplored = 0;
    int stateBound = 0;
    bool boundReached = false;
    // Registers the menu read before anything wrote them (GPR numbers).
    std::vector<int> gprsReadFirst;
};

// Explores from the start with the registers preset; stops at the bound.
SMenuMap ExploreMenu(const CIcData& composition, int stateBound = 100000,
                     const std::vector<SRegisterWrite>& presets = {});

// The map in the DOT language: pages as clusters, buttons as nodes.
std::string MapToDot(const SMenuMap& map);

// Whether pictures can be made (the build has Graphviz).
bool MapPicturesAvailable();
// Lays the DOT text out with Graphviz's dot layout and renders it ("svg" or
// "png"); false with a reason.
bool RenderDot(const std::string& dot, const std::string& format, std::vector<uint8_t>& out,
               std::string& error);

}  // namespace tessel
