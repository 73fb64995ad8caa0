// The frames of a menu in time as `tessel render` composes a page: the menu
// plane at video size (the effect's composition objects, cropped and clipped
// to their windows, through the effect's palette; or every shown button's
// object through the page's palette) over the background colour, scaled by
// the zoom. Each frame redraws only what changed since the one before.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "platform/bitmap.h"
#include "player/menu_clock.h"

namespace tessel {

class CGraphicObject;

class CFrameComposer {
public:
    // The video size of the plane; the zoom in (0, 4].
    CFrameComposer(int videoWidth, int videoHeight, double zoom, uint32_t backgroundArgb);

    // Brings the picture to the frame; false when nothing changed.
    bool Compose(const SMenuFrame& frame);
    // The whole frame at the zoom, opaque.
    const Bitmap& Picture() const { return picture_; }
    // The menu plane at video size (transparent where nothing is shown).
    const Bitmap& Plane() const { return plane_; }
    // Pixels of the plane redrawn by the last Compose (whole frames count
    // all), for measuring the incremental path.
    int64_t RedrawnPixels() const { return redrawn_; }

private:
    struct SRect {
        int left = 0, top = 0, right = 0, bottom = 0;
        bool Empty() const { return right <= left || bottom <= top; }
    };
    void DrawAll(const SMenuFrame& frame);
    void DrawButtons(const SMenuFrame& frame, const SRect& clip);
    void DrawEffect(const SShownEffect& effect);
    SRect ButtonRect(const SShownButton& b) const;
    void Refresh(const SRect& r);
    // Draws src (x0, y0, w, h of it) at (x, y), clipped to clip.
    void DrawObject(const CGraphicObject& object, int x, int y, SRect src, const SRect& clip,
                    const uint32_t* lut);
    const Bitmap* Picture(const CGraphicObject& object);

    int width_, height_;
    double zoom_;
    uint32_t background_;
    Bitmap plane_;
    Bitmap picture_;
    bool composed_ = false;
    bool rescale_ = false;  // a scaled picture waits for the plane
    bool visible_ = false;
    const CPage* page_ = nullptr;
    std::optional<SShownEffect> effect_;
    std::vector<SShownButton> buttons_;
    // Pictures of objects that have only an image file, loaded once.
    std::map<const CGraphicObject*, Bitmap> files_;
    int64_t redrawn_ = 0;
};

}  // namespace tessel
