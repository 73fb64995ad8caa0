#include "render/frame_composer.h"

#include <algorithm>
#include <cmath>

#include "model/page.h"
#include "model/palette.h"
#include "platform/image_io.h"

namespace tessel {

namespace {

// ARGB of a palette's entries (unnamed entries and index 255 transparent).
void PaletteLut(const CNamedObject* palette, uint32_t* lut) {
    std::fill(lut, lut + 256, 0u);
    if (const auto* p = dynamic_cast<const CErgbPalette*>(palette))
        for (const ERGBQUAD& q : p->records)
            lut[q.index] = MakeArgb(q.alpha, q.red, q.green, q.blue);
    lut[255] = 0;
}

}  // namespace

CFrameComposer::CFrameComposer(int videoWidth, int videoHeight, double zoom,
                               uint32_t backgroundArgb)
    : width_(videoWidth),
      height_(videoHeight),
      zoom_(zoom > 0 && zoom <= 4 ? zoom : 1.0),
      background_(backgroundArgb | 0xFF000000u),
      plane_(videoWidth, videoHeight, EPixelFormat::Argb32) {
    picture_ = Bitmap(static_cast<int>(std::lround(width_ * zoom_)),
                      static_cast<int>(std::lround(height_ * zoom_)), EPixelFormat::Argb32);
}

const Bitmap* CFrameComposer::Picture(const CGraphicObject& object) {
    if (object.bitmap && !object.bitmap->IsEmpty()) return object.bitmap.get();
    auto it = files_.find(&object);
    if (it == files_.end()) {
        Bitmap picture;
        std::string error;
        if (object.imageFile.empty() || !LoadImage(object.imageFile, picture, error))
            picture = Bitmap();
        else if (picture.Format() != EPixelFormat::Argb32)
            picture = picture.ConvertTo(EPixelFormat::Argb32);
        it = files_.emplace(&object, std::move(picture)).first;
    }
    return it->second.IsEmpty() ? nullptr : &it->second;
}

void CFrameComposer::DrawObject(const CGraphicObject& object, int x, int y, SRect src,
                                const SRect& clip, const uint32_t* lut) {
    const Bitmap* picture = Picture(object);
    if (!picture) return;
    src.right = std::min(src.right, picture->Width());
    src.bottom = std::min(src.bottom, picture->Height());
    // The destination rectangle within the clip and the plane.
    const int x0 = std::max({x, clip.left, 0});
    const int y0 = std::max({y, clip.top, 0});
    const int x1 = std::min({x + src.right - src.left, clip.right, width_});
    const int y1 = std::min({y + src.bottom - src.top, clip.bottom, height_});
    const bool indexed = picture->Format() == EPixelFormat::Indexed8;
    const std::vector<uint32_t>& own = picture->Palette().entries;
    uint32_t ownLut[256] = {};
    if (indexed && !lut) {
        for (size_t i = 0; i < std::min<size_t>(own.size(), 256); ++i) ownLut[i] = own[i];
        lut = ownLut;
    }
    for (int dy = y0; dy < y1; ++dy) {
        const int sy = src.top + dy - y;
        auto* out = reinterpret_cast<uint32_t*>(plane_.Row(dy));
        for (int dx = x0; dx < x1; ++dx) {
            const int sx = src.left + dx - x;
            const uint32_t c = indexed ? lut[picture->Row(sy)[sx]] : picture->GetPixel(sx, sy);
            const uint32_t a = c >> 24;
            if (a == 255)
                out[dx] = c;
            else if (a != 0)
                out[dx] = BlendOver(c, out[dx], false);
        }
    }
}

CFrameComposer::SRect CFrameComposer::ButtonRect(const SShownButton& b) const {
    if (!b.object || !b.button) return {};
    return {b.button->x, b.button->y, b.button->x + b.object->width,
            b.button->y + b.object->height};
}

void CFrameComposer::DrawButtons(const SMenuFrame& frame, const SRect& clip) {
    uint32_t lut[256];
    PaletteLut(frame.page ? frame.page->palette.ptr : nullptr, lut);
    const bool hasPalette = frame.page && frame.page->palette.ptr;
    for (const SShownButton& b : frame.buttons) {
        const SRect r = ButtonRect(b);
        if (r.Empty() || r.right <= clip.left || r.left >= clip.right || r.bottom <= clip.top ||
            r.top >= clip.bottom)
            continue;
        DrawObject(*b.object, r.left, r.top, {0, 0, b.object->width, b.object->height}, clip,
                   hasPalette ? lut : nullptr);
    }
}

void CFrameComposer::DrawEffect(const SShownEffect& effect) {
    uint32_t lut[256];
    const CNamedObject* palette = effect.effect->palette.ptr;
    if (!palette && effect.page) palette = effect.page->palette.ptr;
    PaletteLut(palette, lut);
    for (const auto& co : *effect.effect) {
        const CGraphicObject* o = co->object.ptr;
        if (!o) continue;
        SRect src{0, 0, o->width, o->height};
        if (co->cropped) src = {co->cropLeft, co->cropTop, co->cropRight, co->cropBottom};
        SRect clip{0, 0, width_, height_};
        if (const CWindowObject* w = co->window.ptr) clip = {w->left, w->top, w->right, w->bottom};
        DrawObject(*o, co->x, co->y, src, clip, palette ? lut : nullptr);
    }
}

void CFrameComposer::Refresh(const SRect& r) {
    const SRect c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width_),
                  std::min(r.bottom, height_)};
    if (c.Empty() || picture_.IsEmpty()) return;
    redrawn_ += int64_t{c.right - c.left} * (c.bottom - c.top);
    if (zoom_ != 1.0 || picture_.Width() != width_ || picture_.Height() != height_) {
        // Scaled frames are drawn whole once the plane is done, as the page
        // view draws them.
        rescale_ = true;
        return;
    }
    for (int y = c.top; y < c.bottom; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(plane_.Row(y));
        auto* out = reinterpret_cast<uint32_t*>(picture_.Row(y));
        for (int x = c.left; x < c.right; ++x)
            out[x] = in[x] >> 24 == 0 ? background_ : BlendOver(in[x], background_, true);
    }
}

void CFrameComposer::DrawAll(const SMenuFrame& frame) {
    plane_.Fill(0);
    if (frame.visible) {
        if (frame.effect)
            DrawEffect(*frame.effect);
        else
            DrawButtons(frame, {0, 0, width_, height_});
    }
    Refresh({0, 0, width_, height_});
}

bool CFrameComposer::Compose(const SMenuFrame& frame) {
    redrawn_ = 0;
    const bool whole = !composed_ || frame.visible != visible_ || frame.page != page_ ||
                       frame.effect != effect_ || frame.buttons.size() != buttons_.size();
    bool changed = whole;
    if (whole) {
        DrawAll(frame);
    } else {
        for (size_t i = 0; i < frame.buttons.size(); ++i) {
            const SShownButton& now = frame.buttons[i];
            const SShownButton& was = buttons_[i];
            if (now.button == was.button && now.object == was.object) continue;
            // Clear what the old object covered, then redraw what lies there.
            SRect r = ButtonRect(was);
            const SRect n = ButtonRect(now);
            if (r.Empty()) r = n;
            if (!n.Empty())
                r = {std::min(r.left, n.left), std::min(r.top, n.top), std::max(r.right, n.right),
                     std::max(r.bottom, n.bottom)};
            if (r.Empty()) continue;
            r = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width_),
                 std::min(r.bottom, height_)};
            if (r.Empty()) continue;
            plane_.FillRect(r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
            DrawButtons(frame, r);
            Refresh(r);
            changed = true;
        }
    }
    if (rescale_) {
        picture_.Fill(background_);
        DrawImageStretched(picture_, plane_, 0, 0, picture_.Width(), picture_.Height());
        rescale_ = false;
    }
    composed_ = true;
    visible_ = frame.visible;
    page_ = frame.page;
    effect_ = frame.effect;
    buttons_ = frame.buttons;
    return changed;
}

}  // namespace tessel
