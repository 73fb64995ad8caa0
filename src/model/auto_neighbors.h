// Automatic neighbours of the buttons of a page.
#pragma once

namespace tessel {

class CPage;

// Automatic neighbours over the groups of one page: mode 1 by order, mode 0 by
// geometry. Returns true when any reference changed.
bool AutoNeighbors(CPage& page, int mode);

}  // namespace tessel
