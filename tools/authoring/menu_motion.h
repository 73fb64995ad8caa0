// Motion in generated menus: the animated buttons of a menu's first page and
// the in-effect that wipes its title band in.
#pragma once

#include <cstdint>
#include <vector>

#include "authoring/sample_disc.h"

namespace tessel {
class CErgbPalette;
class CGraphicObject;
class CPage;
}  // namespace tessel

namespace tessel::authoring {

// The pictures of a button's state (0 Normal, 1 Selected, 2 Activated) as
// factors of its colour: one still picture, or on the first page with
// animationFrames n > 0 a run of n pictures: the first button's Selected
// state lights up once (its last picture the still one) and the second
// button's Normal state pulses over and over.
std::vector<double> StateRun(const SMenuOptions& o, int page, int button, int state);
bool StateRepeats(const SMenuOptions& o, int page, int button, int state);

// In-effects that wipe a band picture in from the left: steps effects of
// duration (90 kHz) each, showing the band (at 0, 0) cropped to a growing
// width, in one window over it, through the palette.
void AddWipeIn(CPage& page, CGraphicObject& band, int width, int height, CErgbPalette& palette,
               int steps, uint32_t duration);

}  // namespace tessel::authoring
