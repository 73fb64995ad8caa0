#include "platform/bitmap.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace tessel {

int BitsPerPixel(EPixelFormat format) {
    switch (format) {
        case EPixelFormat::Indexed1:
            return 1;
        case EPixelFormat::Indexed4:
            return 4;
        case EPixelFormat::Indexed8:
            return 8;
        case EPixelFormat::Rgb24:
            return 24;
        case EPixelFormat::Argb32:
            return 32;
    }
    return 0;
}

bool IsIndexed(EPixelFormat format) {
    return format == EPixelFormat::Indexed1 || format == EPixelFormat::Indexed4 ||
           format == EPixelFormat::Indexed8;
}

Bitmap::Bitmap(int width, int height, EPixelFormat format) : format_(format) {
    Allocate(width, height, 0, true);
}

Bitmap::Bitmap(int width, int height, EPixelFormat format, SUninitialised, size_t room)
    : format_(format) {
    if (!Allocate(width, height, room, false)) return;
    const size_t used =
        (static_cast<size_t>(width) * static_cast<size_t>(BitsPerPixel(format)) + 7) / 8;
    if (used < stride_)
        for (int y = 0; y < height; ++y) std::fill(Row(y) + used, Row(y) + stride_, uint8_t{0});
}

bool Bitmap::Allocate(int width, int height, size_t room, bool clear) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        int64_t{width} * height > kMaxPixels)
        return false;
    const size_t rowBits = static_cast<size_t>(width) * static_cast<size_t>(BitsPerPixel(format_));
    const size_t stride = (rowBits + 31) / 32 * 4;
    const size_t size = stride * static_cast<size_t>(height);
    try {
        if (clear)
            data_.assign(size, 0);
        else
            data_.resize(std::max(size, room));  // uninitialised
    } catch (const std::bad_alloc&) {
        data_.clear();
        return false;
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    return true;
}

void Bitmap::TrimStorage() {
    data_.resize(stride_ * static_cast<size_t>(height_));
}

uint8_t Bitmap::GetIndex(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const uint8_t* row = Row(y);
    switch (format_) {
        case EPixelFormat::Indexed1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case EPixelFormat::Indexed4:
            return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
        case EPixelFormat::Indexed8:
            return row[x];
        default:
            return 0;
    }
}

void Bitmap::SetIndex(int x, int y, uint8_t index) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* row = Row(y);
    switch (format_) {
        case EPixelFormat::Indexed1: {
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
            row[x >> 3] =
                static_cast<uint8_t>((index & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
            break;
        }
        case EPixelFormat::Indexed4:
            if (x & 1)
                row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
            else
                row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | (index << 4));
            break;
        case EPixelFormat::Indexed8:
            row[x] = index;
            break;
        default:
            break;
    }
}

uint32_t Bitmap::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const uint8_t* row = Row(y);
    switch (format_) {
        case EPixelFormat::Rgb24: {
            const uint8_t* p = row + 3 * static_cast<size_t>(x);
            return MakeArgb(255, p[2], p[1], p[0]);
        }
        case EPixelFormat::Argb32: {
            const uint8_t* p = row + 4 * static_cast<size_t>(x);
            return MakeArgb(p[3], p[2], p[1], p[0]);
        }
        default: {
            const uint8_t i = GetIndex(x, y);
            return i < palette_.entries.size() ? palette_.entries[i] : 0;
        }
    }
}

void Bitmap::SetPixel(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* row = Row(y);
    if (format_ == EPixelFormat::Rgb24) {
        uint8_t* p = row + 3 * static_cast<size_t>(x);
        p[0] = ArgbBlue(argb);
        p[1] = ArgbGreen(argb);
        p[2] = ArgbRed(argb);
    } else if (format_ == EPixelFormat::Argb32) {
        uint8_t* p = row + 4 * static_cast<size_t>(x);
        p[0] = ArgbBlue(argb);
        p[1] = ArgbGreen(argb);
        p[2] = ArgbRed(argb);
        p[3] = ArgbAlpha(argb);
    }
}

void Bitmap::FillRect(int x, int y, int w, int h, uint32_t argbOrIndex) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = static_cast<int>(std::min<int64_t>(int64_t{x} + w, width_));
    const int y1 = static_cast<int>(std::min<int64_t>(int64_t{y} + h, height_));
    for (int yy = y0; yy < y1; ++yy) {
        if (format_ == EPixelFormat::Indexed8) {
            std::fill(Row(yy) + x0, Row(yy) + std::max(x0, x1), static_cast<uint8_t>(argbOrIndex));
            continue;
        }
        for (int xx = x0; xx < x1; ++xx) {
            if (IsIndexed(format_))
                SetIndex(xx, yy, static_cast<uint8_t>(argbOrIndex));
            else
                SetPixel(xx, yy, argbOrIndex);
        }
    }
}

Bitmap Bitmap::ConvertTo(EPixelFormat format) const {
    if (IsEmpty()) return {};
    if (format == format_) return *this;
    if (IsIndexed(format)) return {};
    Bitmap out(width_, height_, format);
    if (out.IsEmpty()) return out;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) out.SetPixel(x, y, GetPixel(x, y));
    return out;
}

uint32_t BlendOver(uint32_t src, uint32_t dst, bool dstOpaque) {
    const uint32_t sa = ArgbAlpha(src);
    if (sa == 255) return dstOpaque ? (src | 0xFF000000u) : src;
    if (sa == 0) return dst;
    const uint32_t da = dstOpaque ? 255 : ArgbAlpha(dst);
    // Weights in units of 1/65025: source sa*255, destination da*(255 - sa).
    const uint32_t ws = sa * 255, wd = da * (255 - sa), den = ws + wd;
    if (den == 0) return 0;
    auto mix = [&](uint8_t s, uint8_t d) {
        return static_cast<uint8_t>((s * ws + d * wd + den / 2) / den);
    };
    const uint8_t outA = static_cast<uint8_t>((den + 127) / 255);
    return MakeArgb(dstOpaque ? 255 : outA, mix(ArgbRed(src), ArgbRed(dst)),
                    mix(ArgbGreen(src), ArgbGreen(dst)), mix(ArgbBlue(src), ArgbBlue(dst)));
}

namespace {

bool Drawable(const Bitmap& dst) {
    return !dst.IsEmpty() &&
           (dst.Format() == EPixelFormat::Rgb24 || dst.Format() == EPixelFormat::Argb32);
}

// Tent-filter taps of one output coordinate.
struct STaps {
    int first = 0;
    std::vector<float> weights;
};

std::vector<STaps> MakeTaps(int srcSize, int dstSize) {
    std::vector<STaps> taps(static_cast<size_t>(dstSize));
    const double scale = static_cast<double>(srcSize) / dstSize;
    const double radius = std::max(1.0, scale);
    for (int i = 0; i < dstSize; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int lo = static_cast<int>(std::ceil(centre - radius));
        const int hi = static_cast<int>(std::floor(centre + radius));
        STaps& t = taps[static_cast<size_t>(i)];
        // Edge pixels repeat: fold taps outside into the nearest edge.
        t.first = std::clamp(lo, 0, srcSize - 1);
        const int last = std::clamp(hi, 0, srcSize - 1);
        t.weights.assign(static_cast<size_t>(last - t.first + 1), 0.0f);
        double sum = 0;
        for (int j = lo; j <= hi; ++j) {
            const double w = std::max(0.0, 1.0 - std::abs(j - centre) / radius);
            const int k = std::clamp(j, 0, srcSize - 1) - t.first;
            t.weights[static_cast<size_t>(k)] += static_cast<float>(w);
            sum += w;
        }
        if (sum > 0)
            for (float& w : t.weights) w = static_cast<float>(w / sum);
    }
    return taps;
}

}  // namespace

bool DrawImage(Bitmap& dst, const Bitmap& src, int x, int y) {
    if (!Drawable(dst)) return false;
    if (src.IsEmpty()) return true;
    const bool opaque = dst.Format() == EPixelFormat::Rgb24;
    const int sx0 = std::max(0, -x), sy0 = std::max(0, -y);
    const int sx1 = static_cast<int>(std::min<int64_t>(src.Width(), int64_t{dst.Width()} - x));
    const int sy1 = static_cast<int>(std::min<int64_t>(src.Height(), int64_t{dst.Height()} - y));
    if (src.Format() == EPixelFormat::Argb32 && dst.Format() == EPixelFormat::Argb32) {
        // Row by row: transparent pixels skipped, opaque ones copied.
        for (int sy = sy0; sy < sy1; ++sy) {
            const auto* in = reinterpret_cast<const uint32_t*>(src.Row(sy));
            auto* out = reinterpret_cast<uint32_t*>(dst.Row(y + sy)) + x;
            for (int sx = sx0; sx < sx1; ++sx) {
                const uint32_t c = in[sx], a = c >> 24;
                if (a == 255)
                    out[sx] = c;
                else if (a != 0)
                    out[sx] = BlendOver(c, out[sx], false);
            }
        }
        return true;
    }
    for (int sy = sy0; sy < sy1; ++sy)
        for (int sx = sx0; sx < sx1; ++sx) {
            const int dx = x + sx, dy = y + sy;
            dst.SetPixel(dx, dy, BlendOver(src.GetPixel(sx, sy), dst.GetPixel(dx, dy), opaque));
        }
    return true;
}

namespace {

// The horizontal pass of a stretch: columns cx0..cx1 of the target, from
// every source row, into premultiplied float rows (a, r, g, b) of tmp;
// fully transparent source pixels add nothing and are skipped, and rows with
// nothing drawn stay unmarked in rowUsed for the vertical pass.
void StretchRows(const Bitmap& src, const std::vector<STaps>& tx, int cx0, int cx1,
                 std::vector<float>& tmp, std::vector<uint8_t>& rowUsed) {
    const size_t vw = static_cast<size_t>(cx1 - cx0);
    std::vector<uint32_t> converted(
        src.Format() == EPixelFormat::Argb32 ? 0 : static_cast<size_t>(src.Width()));
    for (int sy = 0; sy < src.Height(); ++sy) {
        const uint32_t* pixels;
        if (converted.empty()) {
            pixels = reinterpret_cast<const uint32_t*>(src.Row(sy));
        } else {
            for (int sx = 0; sx < src.Width(); ++sx)
                converted[static_cast<size_t>(sx)] = src.GetPixel(sx, sy);
            pixels = converted.data();
        }
        if (std::all_of(pixels, pixels + src.Width(), [](uint32_t c) { return (c >> 24) == 0; }))
            continue;
        rowUsed[static_cast<size_t>(sy)] = 1;
        float* out = tmp.data() + static_cast<size_t>(sy) * vw * 4;
        for (int cx = cx0; cx < cx1; ++cx, out += 4) {
            const STaps& t = tx[static_cast<size_t>(cx)];
            const uint32_t* p = pixels + t.first;
            for (size_t k = 0; k < t.weights.size(); ++k) {
                const uint32_t c = p[k];
                const uint32_t a = c >> 24;
                if (a == 0) continue;
                const float w = t.weights[k];
                const float wa = w * static_cast<float>(a) / 255.0f;
                out[0] += w * static_cast<float>(a);
                out[1] += wa * static_cast<float>(ArgbRed(c));
                out[2] += wa * static_cast<float>(ArgbGreen(c));
                out[3] += wa * static_cast<float>(ArgbBlue(c));
            }
        }
    }
}

}  // namespace

bool DrawImageStretched(Bitmap& dst, const Bitmap& src, int x, int y, int w, int h) {
    if (!Drawable(dst)) return false;
    if (src.IsEmpty() || w <= 0 || h <= 0) return true;
    if (w == src.Width() && h == src.Height()) return DrawImage(dst, src, x, y);
    // Visible part of the target rectangle.
    const int cx0 = std::max(0, -x), cy0 = std::max(0, -y);
    const int cx1 = static_cast<int>(std::min<int64_t>(w, int64_t{dst.Width()} - x));
    const int cy1 = static_cast<int>(std::min<int64_t>(h, int64_t{dst.Height()} - y));
    if (cx0 >= cx1 || cy0 >= cy1) return true;
    const std::vector<STaps> tx = MakeTaps(src.Width(), w);
    const std::vector<STaps> ty = MakeTaps(src.Height(), h);
    const size_t vw = static_cast<size_t>(cx1 - cx0);
    std::vector<float> tmp(static_cast<size_t>(src.Height()) * vw * 4, 0.0f);
    std::vector<uint8_t> rowUsed(static_cast<size_t>(src.Height()), 0);
    StretchRows(src, tx, cx0, cx1, tmp, rowUsed);
    const bool opaque = dst.Format() == EPixelFormat::Rgb24;
    auto toByte = [](float v) {
        return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    };
    for (int cy = cy0; cy < cy1; ++cy) {
        const STaps& t = ty[static_cast<size_t>(cy)];
        bool any = false;
        for (size_t k = 0; k < t.weights.size(); ++k) any |= rowUsed[t.first + k] != 0;
        if (!any) continue;
        const int dy = y + cy;
        for (size_t cx = 0; cx < vw; ++cx) {
            float acc[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < t.weights.size(); ++k) {
                if (!rowUsed[t.first + k]) continue;
                const float* p = tmp.data() + (static_cast<size_t>(t.first) + k) * vw * 4 + cx * 4;
                for (int c = 0; c < 4; ++c) acc[c] += t.weights[k] * p[c];
            }
            const uint8_t a = toByte(acc[0]);
            if (a == 0) continue;
            const float un = 255.0f / acc[0];
            const uint32_t c =
                MakeArgb(a, toByte(acc[1] * un), toByte(acc[2] * un), toByte(acc[3] * un));
            const int dx = x + cx0 + static_cast<int>(cx);
            if (dst.Format() == EPixelFormat::Argb32) {
                uint32_t& d = reinterpret_cast<uint32_t*>(dst.Row(dy))[dx];
                d = BlendOver(c, d, false);
            } else {
                dst.SetPixel(dx, dy, BlendOver(c, dst.GetPixel(dx, dy), opaque));
            }
        }
    }
    return true;
}

}  // namespace tessel
