// The frames of a menu clock as `tessel render` composes a page: what a
// clock frame shows as frame composer pictures, and those frames composed
// incrementally at a zoom. The CLI's play and the page view share them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "player/menu_clock.h"
#include "render/frame_composer.h"

namespace tessel {

// The pictures of a clock frame: nothing while the menu is hidden, the
// effect's composition objects while one runs, else every shown button's
// object through the page's palette.
std::vector<SFrameItem> FrameItems(const SMenuFrame& frame);

class CPlayFrames {
public:
    // The video size; the zoom in (0, 4] (others: 1).
    CPlayFrames(int videoWidth, int videoHeight, double zoom, uint32_t backgroundArgb);

    // Brings the picture to the frame; false when nothing changed.
    bool Compose(const SMenuFrame& frame);
    // The whole frame at the zoom, opaque.
    const Bitmap& Picture() const;
    // The pictures at video size over transparency.
    const Bitmap& Plane() const { return composer_.Layer(); }
    // Pixels at video size redrawn by the last Compose.
    int64_t RedrawnPixels() const { return redrawn_; }

private:
    CFrameComposer composer_;
    double zoom_;
    uint32_t background_;
    Bitmap scaled_;
    bool first_ = true;
    int64_t redrawn_ = 0;
};

}  // namespace tessel
