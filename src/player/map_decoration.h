// Decoration buttons of a menu map: buttons that carry no commands and whose
// neighbours are themselves, drawn on a page but never chosen by a key.
#pragma once

#include "player/menu_map.h"

namespace tessel {

// A button with no navigation commands whose four neighbours are itself (or
// none).
bool IsDecorationButton(const CBdButton& button);

// Leaves out of the map's pages the decoration buttons of the composition
// that no arrow reaches or leaves (arrows from a button to itself aside) and
// that are not the start; returns how many were left out.
int DropDecorationButtons(SMenuMap& map, const CIcData& composition);

}  // namespace tessel
