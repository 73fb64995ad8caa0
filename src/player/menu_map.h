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

#include "platform/result.h"
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

// One end of an arrow: a button of a page, an exit, or the hidden pop-up.
struct SMapPlace {
    int page = -1;
    int button = -1;
    std::optional<SMenuExit> exit;
    bool hidden = false;
    bool operator==(const SMapPlace&) const = default;
};

struct SMapEdge {
    SMapPlace from;
    std::string key;  // up, down, left, right, enter, popup, 0-9, or "auto" (auto action)
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

// ---- Exploration (menu_map.cpp)

// Explores from the start with the registers preset; stops at the bound.
SMenuMap ExploreMenu(const CIcData& composition, int stateBound = 100000,
                     const std::vector<SRegisterWrite>& presets = {});

// ---- DOT text (map_dot.cpp)

// The map in the DOT language: pages as clusters, buttons as nodes.
std::string MapToDot(const SMenuMap& map);

// The page and button of a map node name ("p3_b12"); false for others.
bool ParseMapNodeName(const std::string& name, int& page, int& button);

// ---- Graphviz drawing (map_graphviz.cpp)

// Whether pictures can be made (the build has Graphviz).
bool MapPicturesAvailable();
// Lays the DOT text out with Graphviz's dot layout and renders it ("svg" or
// "png"); a failure's text is the reason.
CResult RenderDot(const std::string& dot, const std::string& format, std::vector<uint8_t>& out);

// A node of a laid-out map: its name in the DOT text, the page and button
// it stands for (-1, -1 for an exit or the start point), and its box in the
// picture's pixels from the top-left corner.
struct SMapNodeBox {
    std::string name;
    int page = -1;
    int button = -1;
    double left = 0, top = 0, width = 0, height = 0;
};

// A map laid out once and rendered as PNG, with where its nodes lie.
struct SMapPicture {
    std::vector<uint8_t> png;
    int width = 0, height = 0;
    std::vector<SMapNodeBox> nodes;
};

// The DOT text laid out with the dot layout, rendered as PNG and as
// Graphviz's "plain" text, whose node boxes are scaled to the picture; a
// failure's text is the reason. Calls from several threads take turns.
CResult RenderMapPicture(const std::string& dot, SMapPicture& picture);

// The nodes of Graphviz's "plain" output, boxes scaled to a picture of the
// given size whose graph is surrounded by pad points; false when the text
// has no graph line.
bool ParsePlainLayout(const std::string& plain, int pictureWidth, int pictureHeight, double pad,
                      std::vector<SMapNodeBox>& nodes);

}  // namespace tessel
