// The menu tree of a composition as JSON and as an indented text tree,
// shared by the commands that show menus.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "codec/ics.h"
#include "model/epoch.h"

namespace tessel::cli {

// The segment-level fields shown with a composition.
struct SCompositionHead {
    SVideoDescriptor video;
    int compositionNumber = 0;
    int compositionState = 0;
    // The composition's time stamps (90 kHz), -1 when unknown.
    int64_t pts = -1;
    int64_t dts = -1;
};

// One display set's composition: "epoch", "display_set", "video", the
// composition fields, "pts_90khz"/"dts_90khz" and "pages" (ids as the
// stream holds them).
nlohmann::ordered_json CompositionJson(int epoch, int displaySet, const SCompositionHead& head,
                                       const CIcData& ic);
// The graphic objects ("id", "width", "height") and palettes ("id",
// "entries") of an epoch.
nlohmann::ordered_json EpochGraphicsJson(const CEpoch& epoch);
nlohmann::ordered_json EpochPalettesJson(const CEpoch& epoch);

// The composition as an indented tree with every command's pane line.
void PrintComposition(int epoch, int displaySet, const SCompositionHead& head, const CIcData& ic);

}  // namespace tessel::cli
