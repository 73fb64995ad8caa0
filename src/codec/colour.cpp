#include "codec/colour.h"

#include <algorithm>
#include <cstring>

#include "codec/ods.h"
#include "codec/pds.h"
#include "codec/quantizer.h"

namespace tessel {

namespace {

uint8_t Clamp8(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

SRgb YcbcrToRgb(int y, int cr, int cb) {
    const int c = 298 * y - 4768;
    const int d = cb - 128;
    const int e = cr - 128;
    return {Clamp8((c + 409 * e + 128) >> 8), Clamp8((c - 100 * d - 208 * e + 128) >> 8),
            Clamp8((c + 516 * d + 128) >> 8)};
}

SYcbcr RgbToYcbcr(int red, int green, int blue) {
    const double r = red, g = green, b = blue;
    const int y = static_cast<int>(0.257 * r + 0.504 * g + 0.098 * b + 16);
    const int cr = static_cast<int>(0.439 * r - 0.368 * g - 0.071 * b + 128);
    const int cb = static_cast<int>(0.439 * b - 0.148 * r - 0.291 * g + 128);
    return {static_cast<uint8_t>(std::clamp(y, 16, 235)),
            static_cast<uint8_t>(std::clamp(cr, 16, 240)),
            static_cast<uint8_t>(std::clamp(cb, 16, 240))};
}

bool ArgbPaletteFromPds(const CPds& pds, SPalette& palette) {
    for (const SPaletteEntry& e : pds.entries) {
        if (e.id >= palette.entries.size()) return false;
        const SRgb c = YcbcrToRgb(e.y, e.cr, e.cb);
        palette.entries[e.id] = MakeArgb(e.t, c.red, c.green, c.blue);
    }
    return true;
}

Bitmap BitmapFromObject(const SIndexedImage& object, const CPds* pds) {
    if (!pds || object.width <= 0 || object.height <= 0 || object.pixels.empty() ||
        object.pixels.size() / static_cast<size_t>(object.width) <
            static_cast<size_t>(object.height))
        return {};
    Bitmap bmp(object.width, object.height, EPixelFormat::Indexed8);
    if (bmp.IsEmpty()) return bmp;
    SPalette palette;
    palette.flags = kPaletteHasAlpha;
    palette.entries.assign(256, 0);
    ArgbPaletteFromPds(*pds, palette);
    palette.entries[255] = 0;
    bmp.SetPalette(std::move(palette));
    const size_t w = static_cast<size_t>(object.width);
    for (int y = 0; y < object.height; ++y)
        std::memcpy(bmp.Row(y), object.pixels.data() + w * static_cast<size_t>(y), w);
    return bmp;
}

bool ExactPalette(const Bitmap& argb, SPalette& palette) {
    if (argb.IsEmpty() || argb.Format() != EPixelFormat::Argb32) return false;
    std::vector<uint32_t> colours;
    bool transparent = false;
    bool haveLast = false;
    uint32_t last = 0;
    for (int y = 0; y < argb.Height(); ++y)
        for (int x = 0; x < argb.Width(); ++x) {
            const uint32_t c = argb.GetPixel(x, y);
            if (ArgbAlpha(c) == 0) {
                transparent = true;
                continue;
            }
            if (haveLast && c == last) continue;
            haveLast = true;
            last = c;
            if (std::find(colours.begin(), colours.end(), c) != colours.end()) continue;
            if (colours.size() == 255) return false;
            colours.push_back(c);
        }
    if (transparent) colours.push_back(0);
    if (colours.size() < 2) return false;
    palette.flags = kPaletteHasAlpha;
    palette.entries = std::move(colours);
    return true;
}

Bitmap MapExact(const Bitmap& argb, const SPalette& palette) {
    if (argb.IsEmpty() || argb.Format() != EPixelFormat::Argb32) return {};
    Bitmap out(argb.Width(), argb.Height(), EPixelFormat::Indexed8);
    if (out.IsEmpty()) return out;
    const auto& entries = palette.entries;
    uint8_t transparent = 255;
    for (size_t i = 0; i < entries.size() && i < 256; ++i)
        if (ArgbAlpha(entries[i]) == 0) {
            transparent = static_cast<uint8_t>(i);
            break;
        }
    bool haveLast = false;
    uint32_t last = 0;
    uint8_t lastIndex = 255;
    for (int y = 0; y < argb.Height(); ++y) {
        uint8_t* row = out.Row(y);
        for (int x = 0; x < argb.Width(); ++x) {
            const uint32_t c = argb.GetPixel(x, y);
            if (ArgbAlpha(c) == 0) {
                row[x] = transparent;
                continue;
            }
            if (!haveLast || c != last) {
                const size_t n = std::min<size_t>(entries.size(), 256);
                const auto it =
                    std::find(entries.begin(), entries.begin() + static_cast<ptrdiff_t>(n), c);
                lastIndex = it == entries.begin() + static_cast<ptrdiff_t>(n)
                                ? 255
                                : static_cast<uint8_t>(it - entries.begin());
                last = c;
                haveLast = true;
            }
            row[x] = lastIndex;
        }
    }
    out.SetPalette(palette);
    return out;
}

int BackgroundCorner(const Bitmap& image) {
    if (image.IsEmpty()) return 0;
    const int r = image.Width() - 1, b = image.Height() - 1;
    const uint32_t c[4] = {image.GetPixel(0, 0), image.GetPixel(r, 0), image.GetPixel(0, b),
                           image.GetPixel(r, b)};
    if (ArgbAlpha(c[0]) == 0) return 0;
    int corner = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 4; ++j)
            if (c[j] == c[i]) {
                corner = i;
                break;
            }
    return corner;
}

namespace {

Bitmap ExpandIndexed(const Bitmap& image) {
    Bitmap out(image.Width(), image.Height(), EPixelFormat::Indexed8);
    if (out.IsEmpty()) return out;
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = out.Row(y);
        for (int x = 0; x < image.Width(); ++x) row[x] = image.GetIndex(x, y);
    }
    out.SetPalette(image.Palette());
    return out;
}

// Quantises to at most 255 colours; with alpha the transparent pixels take
// one more entry.
Bitmap QuantizeGeneral(const Bitmap& image, const QuantRowsDone& rowsDone, CQuantizer* counted) {
    Bitmap converted;
    const Bitmap* rgb = &image;
    std::vector<uint8_t> alpha;
    if (image.Format() == EPixelFormat::Argb32) {
        converted = Bitmap(image.Width(), image.Height(), EPixelFormat::Rgb24);
        if (converted.IsEmpty()) return {};
        alpha.resize(static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height()));
        size_t k = 0;
        for (int y = 0; y < image.Height(); ++y) {
            const uint8_t* in = image.Row(y);
            uint8_t* out = converted.Row(y);
            for (int x = 0; x < image.Width(); ++x, in += 4, out += 3) {
                alpha[k++] = in[3];
                if (in[3] >= kQuantTransparentAlpha) std::memcpy(out, in, 3);
            }
        }
        rgb = &converted;
    } else if (image.Format() != EPixelFormat::Rgb24) {
        converted = image.ConvertTo(EPixelFormat::Rgb24);
        if (converted.IsEmpty()) return {};
        rgb = &converted;
    }
    Bitmap out;
    const std::vector<SQuantColour> colours =
        counted && rgb == &image
            ? QuantizeCounted(*counted, *rgb, alpha, out, CQuantizer::kMaxColours, rowsDone)
            : QuantizeImage(*rgb, alpha, out, CQuantizer::kMaxColours, rowsDone);
    if (colours.empty()) return {};
    const size_t m = colours.size();
    SPalette palette;
    palette.flags = kPaletteHasAlpha;
    std::vector<int> entryAlpha(m + 1, -1);
    if (!alpha.empty()) {
        size_t k = 0;
        for (int y = 0; y < out.Height(); ++y) {
            const uint8_t* row = out.Row(y);
            for (int x = 0; x < out.Width(); ++x, ++k)
                if (alpha[k] >= kQuantTransparentAlpha && entryAlpha[row[x]] < 0)
                    entryAlpha[row[x]] = alpha[k];
        }
        entryAlpha[m] = 0;
    } else {
        const int corner = BackgroundCorner(*rgb);
        const int bx = (corner & 1) ? out.Width() - 1 : 0;
        const int by = (corner & 2) ? out.Height() - 1 : 0;
        entryAlpha[out.GetIndex(bx, by)] = 0;
    }
    for (size_t i = 0; i < m; ++i) {
        const uint8_t a = static_cast<uint8_t>(entryAlpha[i] < 0 ? 255 : entryAlpha[i]);
        palette.entries.push_back(MakeArgb(a, colours[i].red, colours[i].green, colours[i].blue));
    }
    if (!alpha.empty()) palette.entries.push_back(0);
    out.SetPalette(std::move(palette));
    return out;
}

Bitmap ToIndexedImpl(const Bitmap& image, EIndexedPath* path, const QuantRowsDone& rowsDone,
                     CQuantizer* counted) {
    if (path) *path = EIndexedPath::None;
    if (image.IsEmpty() || image.Format() == EPixelFormat::Indexed8) return {};
    Bitmap out;
    EIndexedPath taken = EIndexedPath::Quantized;
    if (image.Format() == EPixelFormat::Indexed1 || image.Format() == EPixelFormat::Indexed4) {
        out = ExpandIndexed(image);
        taken = EIndexedPath::Expanded;
    } else {
        SPalette exact;
        if (image.Format() == EPixelFormat::Argb32 && ExactPalette(image, exact)) {
            out = MapExact(image, exact);
            taken = EIndexedPath::Exact;
        } else {
            out = QuantizeGeneral(image, rowsDone, counted);
        }
    }
    if (rowsDone && !out.IsEmpty() && taken != EIndexedPath::Quantized) rowsDone(out, out.Height());
    if (path && !out.IsEmpty()) *path = taken;
    return out;
}

}  // namespace

Bitmap ToIndexed(const Bitmap& image, EIndexedPath* path, const QuantRowsDone& rowsDone) {
    return ToIndexedImpl(image, path, rowsDone, nullptr);
}

void CIndexedConverter::Rows(const Bitmap& image, int rows) {
    if (rows == 0) {  // started over
        counted_ = CQuantizer();
        width_ = rows_ = 0;
        void_ = false;
        return;
    }
    if (void_) return;
    if (image.Format() != EPixelFormat::Rgb24 || (rows_ > 0 && image.Width() != width_) ||
        rows < rows_) {
        void_ = true;
        return;
    }
    counted_.Count(image, rows_, rows);
    width_ = image.Width();
    rows_ = rows;
}

Bitmap CIndexedConverter::Convert(const Bitmap& image, EIndexedPath* path,
                                  const QuantRowsDone& rowsDone) {
    const bool whole = !void_ && image.Format() == EPixelFormat::Rgb24 && image.Width() == width_ &&
                       image.Height() == rows_;
    return ToIndexedImpl(image, path, rowsDone, whole ? &counted_ : nullptr);
}

}  // namespace tessel
