#include "render/play_frames.h"

#include <cmath>

#include "model/page.h"

namespace tessel {

std::vector<SFrameItem> FrameItems(const SMenuFrame& frame) {
    std::vector<SFrameItem> items;
    if (!frame.visible) return items;
    if (frame.effect) {
        if (frame.effect->effect) items = EffectItems(*frame.effect->effect);
        return items;
    }
    if (!frame.page) return items;
    for (const SShownButton& b : frame.buttons)
        if (b.button && b.object) items.push_back(ButtonItem(*frame.page, *b.button, b.object));
    return items;
}

CPlayFrames::CPlayFrames(int videoWidth, int videoHeight, double zoom, uint32_t backgroundArgb)
    : composer_(videoWidth, videoHeight, backgroundArgb),
      zoom_(zoom > 0 && zoom <= 4 ? zoom : 1.0),
      background_(backgroundArgb | 0xFF000000u) {
    if (zoom_ != 1.0)
        scaled_ = Bitmap(static_cast<int>(std::lround(videoWidth * zoom_)),
                         static_cast<int>(std::lround(videoHeight * zoom_)), EPixelFormat::Argb32);
}

bool CPlayFrames::Compose(const SMenuFrame& frame) {
    const std::vector<SFrameRect> rects = composer_.Show(FrameItems(frame));
    redrawn_ = 0;
    for (const SFrameRect& r : rects) redrawn_ += int64_t{r.width} * r.height;
    const bool changed = first_ || !rects.empty();
    if (changed && zoom_ != 1.0 && !scaled_.IsEmpty()) {
        // Scaled as the page view scales: the pictures stretched over the
        // background.
        scaled_.Fill(background_);
        DrawImageStretched(scaled_, composer_.Layer(), 0, 0, scaled_.Width(), scaled_.Height());
    }
    first_ = false;
    return changed;
}

const Bitmap& CPlayFrames::Picture() const {
    return zoom_ != 1.0 ? scaled_ : composer_.Frame();
}

}  // namespace tessel
