#include "render/frame_composer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "model/bog.h"
#include "model/graphic_object.h"
#include "model/page.h"
#include "model/palette.h"
#include "platform/image_io.h"
#include "render/page_composer.h"

namespace tessel {

SFrameRect Intersect(const SFrameRect& a, const SFrameRect& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.width, b.x + b.width);
    const int y1 = std::min(a.y + a.height, b.y + b.height);
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

SFrameRect Union(const SFrameRect& a, const SFrameRect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width);
    const int y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

namespace {

// Rectangles joined until none overlaps another, so no pixel is drawn twice.
void JoinOverlapping(std::vector<SFrameRect>& rects) {
    std::erase_if(rects, [](const SFrameRect& r) { return r.IsEmpty(); });
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < rects.size() && !joined; ++i)
            for (size_t j = i + 1; j < rects.size(); ++j)
                if (!Intersect(rects[i], rects[j]).IsEmpty()) {
                    rects[i] = Union(rects[i], rects[j]);
                    rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
                    joined = true;
                    break;
                }
    }
}

}  // namespace

SFrameItem ButtonItem(const CPage& page, const CBdButton& button, const CGraphicObject* object) {
    return {object, button.x, button.y, {}, dynamic_cast<const CErgbPalette*>(page.palette.ptr),
            {}};
}

std::vector<SFrameItem> EffectItems(const CEffectObject& effect) {
    std::vector<SFrameItem> items;
    const auto* palette = dynamic_cast<const CErgbPalette*>(effect.palette.ptr);
    for (const auto& co : effect.items) {
        SFrameItem item{co->object.ptr, co->x, co->y, {}, palette, {}};
        if (co->cropped)
            item.crop = SFrameRect{co->cropLeft, co->cropTop, co->cropRight - co->cropLeft,
                                   co->cropBottom - co->cropTop};
        const CWindowObject* w = co->window.ptr;
        if (!w) continue;
        item.window = SFrameRect{w->left, w->top, w->right - w->left, w->bottom - w->top};
        items.push_back(item);
    }
    return items;
}

CFrameComposer::CFrameComposer(int width, int height, uint32_t background)
    : background_(background | 0xFF000000u),
      frame_(width, height, EPixelFormat::Argb32),
      layer_(width, height, EPixelFormat::Argb32) {
    frame_.Fill(background_);
}

SFrameRect CFrameComposer::Bounds(const SFrameItem& item) const {
    if (!item.object) return {};
    int w = item.object->width, h = item.object->height;
    if (item.object->bitmap && !item.object->bitmap->IsEmpty())
        w = item.object->bitmap->Width(), h = item.object->bitmap->Height();
    SFrameRect r{item.x, item.y, w, h};
    if (item.crop) {
        const SFrameRect part = Intersect(*item.crop, {0, 0, w, h});
        r = {item.x, item.y, part.width, part.height};
    }
    if (item.window) r = Intersect(r, *item.window);
    return Intersect(r, {0, 0, frame_.Width(), frame_.Height()});
}

std::vector<SFrameRect> CFrameComposer::Show(std::vector<SFrameItem> items) {
    std::vector<SFrameRect> rects;
    const size_t common = std::min(items.size(), items_.size());
    for (size_t i = 0; i < common; ++i)
        if (!(items[i] == items_[i])) {
            rects.push_back(Bounds(items_[i]));
            rects.push_back(Bounds(items[i]));
        }
    for (size_t i = common; i < items_.size(); ++i) rects.push_back(Bounds(items_[i]));
    for (size_t i = common; i < items.size(); ++i) rects.push_back(Bounds(items[i]));
    items_ = std::move(items);
    JoinOverlapping(rects);
    for (const SFrameRect& r : rects) RecomposeRect(r);
    return rects;
}

void CFrameComposer::SetItems(std::vector<SFrameItem> items) {
    items_ = std::move(items);
}

void CFrameComposer::Recompose(std::span<const SFrameRect> rects) {
    std::vector<SFrameRect> joined(rects.begin(), rects.end());
    for (SFrameRect& r : joined) r = Intersect(r, {0, 0, frame_.Width(), frame_.Height()});
    JoinOverlapping(joined);
    for (const SFrameRect& r : joined) RecomposeRect(r);
}

void CFrameComposer::RecomposeAll() {
    RecomposeRect({0, 0, frame_.Width(), frame_.Height()});
}

// As the page composer does: the pictures drawn over transparency, that
// layer then drawn over the background.
void CFrameComposer::RecomposeRect(const SFrameRect& rect) {
    if (frame_.IsEmpty() || layer_.IsEmpty() || rect.IsEmpty()) return;
    layer_.FillRect(rect.x, rect.y, rect.width, rect.height, 0);
    for (const SFrameItem& item : items_) Draw(item, rect);
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(layer_.Row(y));
        auto* out = reinterpret_cast<uint32_t*>(frame_.Row(y));
        for (int x = rect.x; x < rect.x + rect.width; ++x) {
            const uint32_t c = in[x], a = c >> 24;
            out[x] = a == 255 ? c : a == 0 ? background_ : BlendOver(c, background_, false);
        }
    }
}

void CFrameComposer::Draw(const SFrameItem& item, const SFrameRect& clip) {
    const SFrameRect r = Intersect(Bounds(item), clip);
    if (r.IsEmpty()) return;
    const Bitmap* src = PictureOf(*item.object);
    if (!src) return;
    // Object pixel (sx, sy) lands at (item.x + sx - cx, item.y + sy - cy).
    const int cx = item.crop ? std::max(0, item.crop->x) : 0;
    const int cy = item.crop ? std::max(0, item.crop->y) : 0;
    const int dx = item.x - cx, dy = item.y - cy;
    if (src->Format() == EPixelFormat::Indexed8) {
        // A picture known by its file alone keeps its own palette, as the
        // page composer draws it.
        const bool decoded = src == item.object->bitmap.get();
        const SPalette* palette =
            item.palette && decoded ? PaletteOf(item.palette) : &src->Palette();
        uint32_t lut[256] = {};
        std::copy_n(palette->entries.begin(), std::min<size_t>(palette->entries.size(), 256), lut);
        for (int y = r.y; y < r.y + r.height; ++y) {
            const uint8_t* in = src->Row(y - dy);
            auto* out = reinterpret_cast<uint32_t*>(layer_.Row(y));
            for (int x = r.x; x < r.x + r.width; ++x) {
                const uint32_t c = lut[in[x - dx]], a = c >> 24;
                if (a == 255)
                    out[x] = c;
                else if (a != 0)
                    out[x] = BlendOver(c, out[x], false);
            }
        }
        return;
    }
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x)
            layer_.SetPixel(x, y, BlendOver(src->GetPixel(x - dx, y - dy), layer_.GetPixel(x, y)));
}

const SPalette* CFrameComposer::PaletteOf(const CErgbPalette* palette) {
    auto [it, added] = palettes_.try_emplace(palette);
    if (added) ArgbPaletteOf(*palette, it->second);
    return &it->second;
}

const Bitmap* CFrameComposer::PictureOf(const CGraphicObject& object) {
    if (object.bitmap && !object.bitmap->IsEmpty()) return object.bitmap.get();
    if (object.imageFile.empty()) return nullptr;
    auto [it, added] = loaded_.try_emplace(&object);
    if (added && !LoadImage(object.imageFile, it->second)) it->second = Bitmap();
    return it->second.IsEmpty() ? nullptr : &it->second;
}

}  // namespace tessel
