#include "render/page_composer.h"

#include <algorithm>
#include <cmath>

#include "model/epoch.h"
#include "model/graphic_object.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "platform/image_io.h"

namespace tessel {

namespace {

int Round(double v) {
    return static_cast<int>(std::lround(v));
}

// The 70 percent hatch: 45 of 64 pattern pixels show the hatch colour.
constexpr uint8_t kHatch70[8] = {0xEE, 0xAB, 0x77, 0xD5, 0xEE, 0xBB, 0x5D, 0xDD};

void Blend(Bitmap& dst, int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= dst.Width() || y >= dst.Height()) return;
    const bool opaque = dst.Format() == EPixelFormat::Rgb24;
    dst.SetPixel(x, y, BlendOver(argb, dst.GetPixel(x, y), opaque));
}

// Pixels whose centres lie in [a, b), clipped to [0, limit).
void PixelSpan(double a, double b, int limit, int& first, int& end) {
    first = std::max(0, static_cast<int>(std::ceil(a - 0.5)));
    end = std::min(limit, static_cast<int>(std::ceil(b - 0.5)));
}

// The dashed line pattern: 3 pixels on, 1 off.
bool DashAt(int step) {
    return step % 4 != 3;
}

// A dashed 1-pixel rectangle covering the pixels x..x + w and y..y + h, the
// dash counted along the outline from the top-left corner.
void DashedRect(Bitmap& dst, int x, int y, int w, int h, uint32_t colour) {
    if (w < 0 || h < 0) return;
    int step = 0;
    for (int i = 0; i < w; ++i, ++step)
        if (DashAt(step)) Blend(dst, x + i, y, colour);
    for (int i = 0; i < h; ++i, ++step)
        if (DashAt(step)) Blend(dst, x + w, y + i, colour);
    for (int i = 0; i < w; ++i, ++step)
        if (DashAt(step)) Blend(dst, x + w - i, y + h, colour);
    for (int i = 0; i < h; ++i, ++step)
        if (DashAt(step)) Blend(dst, x, y + h - i, colour);
    if (w == 0 && h == 0) Blend(dst, x, y, colour);
}

CIgObject* IgObjectOf(const CPage& page) {
    for (CNamedObject* p = page.parent; p; p = p->parent)
        if (auto* ig = dynamic_cast<CIgObject*>(p)) return ig;
    return nullptr;
}

}  // namespace

SOutlinePen MakeOutlinePen(EOutlinePen kind, double zoom) {
    SOutlinePen pen;
    pen.width = 4.0 / (zoom > 0 ? zoom : 1.0);
    switch (kind) {
        case EOutlinePen::Unselected:
            pen.hatch = MakeArgb(168, 96, 96, 96);
            pen.background = MakeArgb(128, 0, 0, 0);
            break;
        case EOutlinePen::Selected:
            pen.hatch = MakeArgb(196, 0, 0, 255);
            pen.background = MakeArgb(196, 255, 255, 255);
            break;
        case EOutlinePen::Focus:
            pen.hatch = MakeArgb(225, 255, 0, 255);
            pen.background = MakeArgb(225, 255, 255, 255);
            break;
    }
    return pen;
}

bool HatchAt(int x, int y) {
    return (kHatch70[y & 7] >> (7 - (x & 7))) & 1;
}

void DrawOutline(Bitmap& dst, int left, int top, int right, int bottom, const SOutlinePen& pen) {
    if (dst.IsEmpty() || pen.width <= 0) return;
    const double h = pen.width / 2;
    // Outer and inner edges of the band centred on the rectangle's edges.
    int ox0, ox1, oy0, oy1, ix0, ix1, iy0, iy1;
    PixelSpan(left - h, right + h, dst.Width(), ox0, ox1);
    PixelSpan(top - h, bottom + h, dst.Height(), oy0, oy1);
    PixelSpan(left + h, right - h, dst.Width(), ix0, ix1);
    PixelSpan(top + h, bottom - h, dst.Height(), iy0, iy1);
    for (int y = oy0; y < oy1; ++y) {
        const bool innerRow = y >= iy0 && y < iy1;
        for (int x = ox0; x < ox1; ++x) {
            if (innerRow && x >= ix0 && x < ix1) {
                x = ix1 - 1;
                continue;
            }
            Blend(dst, x, y, HatchAt(x, y) ? pen.hatch : pen.background);
        }
    }
}

void DrawSafeAreas(Bitmap& dst, int x0, int y0, int w, int h) {
    const uint32_t colour = MakeArgb(128, 255, 255, 255);
    DashedRect(dst, Round(x0 + 0.05 * w), Round(y0 + 0.05 * h), Round(0.9 * w), Round(0.9 * h),
               colour);
    DashedRect(dst, Round(x0 + 0.1 * w), Round(y0 + 0.1 * h), Round(0.8 * w), Round(0.8 * h),
               colour);
}

bool PageVideoSize(const CPage& page, int& width, int& height) {
    width = height = 0;
    const CIgObject* ig = IgObjectOf(page);
    if (!ig) return false;
    width = ig->video.width;
    height = ig->video.height;
    return true;
}

void ArgbPaletteOf(const CErgbPalette& source, SPalette& palette) {
    palette.flags = kPaletteHasAlpha;
    palette.entries.assign(256, 0);
    for (const ERGBQUAD& q : source.records)
        palette.entries[q.index] = MakeArgb(q.alpha, q.red, q.green, q.blue);
    palette.entries[255] = 0;
}

bool PagePalette(const CPage& page, SPalette& palette) {
    const auto* source = dynamic_cast<const CErgbPalette*>(page.palette.ptr);
    if (!source) return false;
    ArgbPaletteOf(*source, palette);
    return true;
}

void DrawGraphicObject(Bitmap& dst, const CGraphicObject& object, int x, int y,
                       const SPalette* palette) {
    if (dst.IsEmpty()) return;
    if (!object.bitmap || object.bitmap->IsEmpty()) {
        if (object.imageFile.empty()) return;
        Bitmap picture;
        if (LoadImage(object.imageFile, picture)) DrawImage(dst, picture, x, y);
        return;
    }
    const Bitmap& src = *object.bitmap;
    if (src.Format() != EPixelFormat::Indexed8) {
        DrawImage(dst, src, x, y);
        return;
    }
    const std::vector<uint32_t>& entries = (palette ? *palette : src.Palette()).entries;
    uint32_t lut[256] = {};
    for (size_t i = 0; i < std::min<size_t>(entries.size(), 256); ++i) lut[i] = entries[i];
    const bool opaque = dst.Format() == EPixelFormat::Rgb24;
    const int sx0 = std::max(0, -x), sy0 = std::max(0, -y);
    const int sx1 = static_cast<int>(std::min<int64_t>(src.Width(), int64_t{dst.Width()} - x));
    const int sy1 = static_cast<int>(std::min<int64_t>(src.Height(), int64_t{dst.Height()} - y));
    if (dst.Format() == EPixelFormat::Argb32) {
        for (int sy = sy0; sy < sy1; ++sy) {
            const uint8_t* in = src.Row(sy);
            auto* out = reinterpret_cast<uint32_t*>(dst.Row(y + sy)) + x;
            for (int sx = sx0; sx < sx1; ++sx) {
                const uint32_t c = lut[in[sx]];
                const uint32_t a = c >> 24;
                if (a == 255)
                    out[sx] = c;
                else if (a != 0)
                    out[sx] = BlendOver(c, out[sx], false);
            }
        }
        return;
    }
    for (int sy = sy0; sy < sy1; ++sy)
        for (int sx = sx0; sx < sx1; ++sx) {
            const uint32_t c = lut[src.Row(sy)[sx]];
            if (c >> 24)
                dst.SetPixel(x + sx, y + sy, BlendOver(c, dst.GetPixel(x + sx, y + sy), opaque));
        }
}

void ClearButtonMarks(CPage& page) {
    for (CBdButton* b : page.AllButtons()) b->used = 0;
}

int CountButtonMarks(const CPage& page) {
    int n = 0;
    for (CBdButton* b : page.AllButtons()) n += b->used != 0;
    return n;
}

void CPageComposer::AdoptPage(CPage* page) {
    page_ = page;
    picture_ = Bitmap();
    int width, height;
    if (page && PageVideoSize(*page, width, height)) SetFrameSize(width, height);
}

void CPageComposer::SetPage(CPage* page) {
    AdoptPage(page);
}

void CPageComposer::ShowPicture(const Bitmap& picture, int x, int y, int frameWidth,
                                int frameHeight) {
    page_ = nullptr;
    focus_ = {};
    SetFrameSize(frameWidth, frameHeight);
    picture_ = picture.Format() == EPixelFormat::Argb32 ? picture
                                                        : picture.ConvertTo(EPixelFormat::Argb32);
    pictureX_ = x;
    pictureY_ = y;
    Recompose();
}

void CPageComposer::SetState(int state) {
    if (state >= 0 && state <= 2) state_ = state;
}

void CPageComposer::SetZoomIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kZoomFactors.size())) return;
    zoomIndex_ = index;
    zoom_ = kZoomFactors[static_cast<size_t>(index)];
}

void CPageComposer::SetZoom(double factor) {
    if (factor > 0 && factor <= 4) zoom_ = factor;
}

void CPageComposer::SetFrameSize(int width, int height) {
    if (width > 0 && height > 0) frameWidth_ = width, frameHeight_ = height;
}

int CPageComposer::ScaledWidth() const {
    return Round(frameWidth_ * zoom_);
}

int CPageComposer::ScaledHeight() const {
    return Round(frameHeight_ * zoom_);
}

void CPageComposer::Recompose() {
    pageBitmap_ = Bitmap();
    if (!page_ && !picture_.IsEmpty()) {
        // The picture on a clear frame, clipped to it.
        pageBitmap_ = Bitmap(frameWidth_, frameHeight_, EPixelFormat::Argb32);
        if (!pageBitmap_.IsEmpty()) DrawImage(pageBitmap_, picture_, pictureX_, pictureY_);
        return;
    }
    if (!page_) return;
    int width, height;
    PageVideoSize(*page_, width, height);
    if (width == 0 || height == 0) return;
    Bitmap out(width, height, EPixelFormat::Argb32);
    if (out.IsEmpty()) return;
    SPalette palette;
    const bool hasPalette = PagePalette(*page_, palette);
    const SOutlinePen unselected = MakeOutlinePen(EOutlinePen::Unselected, zoom_);
    const SOutlinePen selected = MakeOutlinePen(EOutlinePen::Selected, zoom_);
    bool focusRect = false;
    int fl = 0, ft = 0, fr = 0, fb = 0;
    for (int b = 0; b < page_->GetSize(); ++b) {
        const CBog& bog = *page_->items[static_cast<size_t>(b)];
        if (bog.GetSize() == 0) continue;
        const CBdButton* button = buttonView_.shown ? buttonView_.shown(bog) : bog.ShownButton();
        if (!button) continue;
        const int state = buttonView_.state ? buttonView_.state(*button) : state_;
        if (const CGraphicObject* o = button->ShownObject(state, !firstObject_))
            DrawGraphicObject(out, *o, button->x, button->y, hasPalette ? &palette : nullptr);
        if (!outlines_) continue;
        int l, t, r, btm;
        button->GetRect(l, t, r, btm);
        if (!button->used)
            DrawOutline(out, l, t, r, btm, unselected);
        else if (b == focus_.bog)
            focusRect = true, fl = l, ft = t, fr = r, fb = btm;
        else
            DrawOutline(out, l, t, r, btm, selected);
    }
    if (focusRect) DrawOutline(out, fl, ft, fr, fb, MakeOutlinePen(EOutlinePen::Focus, zoom_));
    pageBitmap_ = std::move(out);
}

Bitmap CPageComposer::ViewPicture(bool safeAreas) const {
    const int w = ScaledWidth(), h = ScaledHeight();
    Bitmap frame(w, h, EPixelFormat::Argb32);
    if (frame.IsEmpty()) return frame;
    frame.Fill(background_);
    if (!pageBitmap_.IsEmpty()) DrawImageStretched(frame, pageBitmap_, 0, 0, w, h);
    if (safeAreas) DrawSafeAreas(frame, 0, 0, w, h);
    return frame;
}

SButtonHit CPageComposer::HitTest(int x, int y) const {
    if (!page_) return {};
    for (int b = 0; b < page_->GetSize(); ++b) {
        const CBog& bog = *page_->items[static_cast<size_t>(b)];
        if (bog.GetSize() == 0) continue;
        const CBdButton* button = buttonView_.shown ? buttonView_.shown(bog) : bog.ShownButton();
        if (!button) continue;
        int l, t, r, btm;
        button->GetRect(l, t, r, btm);
        if (x >= Round(l * zoom_) && x < Round(r * zoom_) && y >= Round(t * zoom_) &&
            y < Round(btm * zoom_)) {
            for (int k = 0; k < bog.GetSize(); ++k)
                if (bog.items[static_cast<size_t>(k)].get() == button) return {b, k};
        }
    }
    return {};
}

SClickOutcome CPageComposer::Click(SButtonHit hit, EClickKind kind) {
    SClickOutcome outcome;
    if (!page_ || hit.bog < 0 || hit.bog >= page_->GetSize()) return outcome;
    CBog& bog = *page_->items[static_cast<size_t>(hit.bog)];
    if (hit.button < 0 || hit.button >= bog.GetSize()) return outcome;
    CBdButton& button = *bog.items[static_cast<size_t>(hit.button)];
    const bool wasMarked = button.used != 0;
    const bool isFocus = focus_ == hit;
    switch (kind) {
        case EClickKind::Shift:
            if (wasMarked) {
                button.used = 0;
                if (hit.bog == focus_.bog || hit.button == focus_.button) {
                    // The focus moves to another marked button when there is one.
                    for (int b = 0; b < page_->GetSize(); ++b) {
                        const CBog& g = *page_->items[static_cast<size_t>(b)];
                        for (int k = 0; k < g.GetSize(); ++k)
                            if (g.items[static_cast<size_t>(k)]->used) {
                                focus_ = {b, k};
                                b = page_->GetSize();
                                break;
                            }
                    }
                }
            } else {
                button.used = 1;
                focus_ = hit;
            }
            outcome.notify = &button;
            break;
        case EClickKind::Ctrl:
            button.used = 1;
            if (isFocus) return outcome;
            focus_ = hit;
            outcome.notify = &button;
            break;
        case EClickKind::Plain: {
            const bool onlyMarked = wasMarked && CountButtonMarks(*page_) == 1;
            ClearButtonMarks(*page_);
            button.used = 1;
            if (onlyMarked && isFocus) return outcome;
            focus_ = hit;
            outcome.notify = &button;
            break;
        }
    }
    Recompose();
    outcome.recomposed = true;
    outcome.redraw = true;
    return outcome;
}

bool CPageComposer::SelectFromTree(CBdButton& button) {
    int b = -1, k = -1;
    CPage* page = PageOfButton(button, &b, &k);
    if (!page) return false;
    ClearButtonMarks(*page);
    if (page != page_) return false;
    button.used = 1;
    if (auto* bog = dynamic_cast<CBog*>(button.parent)) bog->currentButton = &button;
    focus_ = {b, k};
    Recompose();
    return true;
}

void CPageComposer::ShowPage(CPage& page) {
    if (page_) ClearButtonMarks(*page_);
    AdoptPage(&page);
    focus_ = {};
    Recompose();
}

bool CPageComposer::ShowPageOf(CBog& bog) {
    CPage* page = PageOfBog(bog);
    if (!page || page == page_) return false;
    ShowPage(*page);
    return true;
}

bool CPageComposer::ShowButton(CBdButton& button) {
    int b = -1, k = -1;
    CPage* page = PageOfButton(button, &b, &k);
    if (!page || page == page_) return false;
    if (page_) ClearButtonMarks(*page_);
    button.used = 1;
    AdoptPage(page);
    focus_ = {b, k};
    Recompose();
    return true;
}

}  // namespace tessel
