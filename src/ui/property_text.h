// Texts of the property rows that do not depend on the toolkit: clip size,
// time codes, object and sound ids.
#pragma once

#include <cstdint>
#include <string>

namespace tessel::ui {

// "%d K": source packets x 192 / 1024, rounded down, in 64-bit arithmetic.
std::string SizeText(uint64_t sourcePackets);

// Frames per second of a frame-rate code for time codes: codes 1 to 7 give
// 23.976, 24, 25, 29.97, 0, 50, 59.94; other codes 0.
double TimeCodeFrameRate(int frameRateCode);

// "hh:mm:ss:ff" of a 45 kHz time: milliseconds rounded down, frames from the
// milliseconds of the second at the frame rate, rounded to the nearest, a
// frame count that reaches the rate carried into the seconds.
std::string TimeCodeText(uint32_t time45k, int frameRateCode);

// An object id as shown: -1 for 0xFFFF (no object).
int ShownObjectId(int32_t id);
// A sound id as shown: -1 for 255 (no sound).
int ShownSoundId(int id);

// "Pop-up" (1) or "Always-on" (0) of a composition's user interface model.
std::string UiModelText(int uiModel);
// "Epoch Start", "Acquisition Point" or "Normal" of a composition state.
std::string CompositionStateText(int state);

}  // namespace tessel::ui
