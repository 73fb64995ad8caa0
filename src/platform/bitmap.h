// In-memory images: indexed, 24-bit RGB and 32-bit ARGB bitmaps with a palette,
// row access with stride, pixel reads, drawing and fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/large_buffer.h"

namespace tessel {

enum class EPixelFormat : uint8_t {
    Indexed1,  // eight pixels per byte, most significant bit first
    Indexed4,  // two pixels per byte, high nibble first
    Indexed8,
    Rgb24,   // bytes blue, green, red
    Argb32,  // one little-endian 32-bit ARGB value: bytes blue, green, red, alpha
};

int BitsPerPixel(EPixelFormat format);
bool IsIndexed(EPixelFormat format);

// Palette flags as the imaging library carries them.
constexpr uint32_t kPaletteHasAlpha = 1;
constexpr uint32_t kPaletteGrayScale = 2;
constexpr uint32_t kPaletteHalftone = 4;

struct SPalette {
    uint32_t flags = 0;
    std::vector<uint32_t> entries;  // ARGB: alpha 31..24, red 23..16, green 15..8, blue 7..0
};

constexpr uint32_t MakeArgb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t{a} << 24 | uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}
constexpr uint8_t ArgbAlpha(uint32_t c) {
    return static_cast<uint8_t>(c >> 24);
}
constexpr uint8_t ArgbRed(uint32_t c) {
    return static_cast<uint8_t>(c >> 16);
}
constexpr uint8_t ArgbGreen(uint32_t c) {
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t ArgbBlue(uint32_t c) {
    return static_cast<uint8_t>(c);
}

// A bitmap value: pixels in rows of Stride() bytes (a multiple of 4), zero
// when created (unless asked otherwise). An empty bitmap (IsEmpty) results
// from a zero or too large size, or a failed allocation.
class Bitmap {
public:
    // Largest side and pixel count accepted.
    static constexpr int kMaxSide = 65535;
    static constexpr int64_t kMaxPixels = int64_t{1} << 26;

    Bitmap() = default;
    Bitmap(int width, int height, EPixelFormat format);
    // For a writer that sets every pixel: the pixels are left uninitialised
    // (the bytes past each row's pixels are zero), in storage of at least
    // room bytes from Data(), which the writer may use as scratch space
    // until TrimStorage.
    struct SUninitialised {};
    Bitmap(int width, int height, EPixelFormat format, SUninitialised, size_t room = 0);
    // Ends the scratch space: the storage is the rows again.
    void TrimStorage();

    bool IsEmpty() const { return data_.empty(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    EPixelFormat Format() const { return format_; }
    size_t Stride() const { return stride_; }

    uint8_t* Row(int y) { return data_.data() + static_cast<size_t>(y) * stride_; }
    const uint8_t* Row(int y) const { return data_.data() + static_cast<size_t>(y) * stride_; }
    uint8_t* Data() { return data_.data(); }
    const uint8_t* Data() const { return data_.data(); }

    const SPalette& Palette() const { return palette_; }
    SPalette& Palette() { return palette_; }
    void SetPalette(SPalette palette) { palette_ = std::move(palette); }

    // Palette index of an indexed pixel (0 for other formats or outside).
    uint8_t GetIndex(int x, int y) const;
    void SetIndex(int x, int y, uint8_t index);
    // ARGB of a pixel; an index without palette entry reads as 0.
    // Outside the bitmap: 0.
    uint32_t GetPixel(int x, int y) const;
    // Writes ARGB into a 24- or 32-bit bitmap (24-bit drops alpha).
    void SetPixel(int x, int y, uint32_t argb);

    // Fills a rectangle (clipped) with a colour, or, for indexed bitmaps,
    // with the index given in the low byte.
    void FillRect(int x, int y, int w, int h, uint32_t argbOrIndex);
    void Fill(uint32_t argbOrIndex) { FillRect(0, 0, width_, height_, argbOrIndex); }

    // A copy in another format: 24- or 32-bit target from any source, or the
    // same format. Empty for indexed targets of a different format.
    Bitmap ConvertTo(EPixelFormat format) const;

private:
    bool Allocate(int width, int height, size_t room, bool clear);

    int width_ = 0;
    int height_ = 0;
    EPixelFormat format_ = EPixelFormat::Argb32;
    size_t stride_ = 0;
    LargeBytes data_;
    SPalette palette_;
};

// Source-over of one straight-alpha ARGB colour onto a destination pixel (an
// opaque destination stays opaque).
uint32_t BlendOver(uint32_t src, uint32_t dst, bool dstOpaque = false);

// Draws src over dst at 1:1 (source-over with straight alpha), clipped to dst.
// dst must be 24- or 32-bit; returns false otherwise.
bool DrawImage(Bitmap& dst, const Bitmap& src, int x, int y);

// Draws src stretched to the rectangle (x, y, w, h) of dst with high-quality
// bilinear filtering (a tent filter widened when shrinking), source-over.
bool DrawImageStretched(Bitmap& dst, const Bitmap& src, int x, int y, int w, int h);

}  // namespace tessel
