// Image files: PNG load and save through libpng; BMP, JPEG and GIF load.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace tessel {

// Loads an image file. A palette PNG loads as an indexed bitmap with its
// palette (1- and 4-bit as such, 2-bit as 8-bit; flags kPaletteHasAlpha when
// it carries tRNS); other PNGs as 24-bit RGB, or 32-bit ARGB when they carry
// alpha; BMP, JPEG and GIF (first frame) as 24-bit RGB or 32-bit ARGB.
// On failure returns false with a reason in error ("<path>: ...").
bool LoadImage(const std::string& path, Bitmap& image, std::string& error);
bool DecodeImage(std::span<const uint8_t> data, Bitmap& image, std::string& error);

// Saves a bitmap as PNG: indexed bitmaps as palette PNG (alpha in tRNS when
// an entry is not opaque), 24-bit as RGB, 32-bit as RGBA. A failed save
// leaves no file behind.
bool SavePng(const std::string& path, const Bitmap& image, std::string& error);
bool EncodePng(const Bitmap& image, std::vector<uint8_t>& png, std::string& error);

// Deflate and row filter settings of an encode; bench/README.md has the
// measurements behind DefaultPngOptions.
struct SPngOptions {
    enum class EFilter : uint8_t { Default, None, Sub, Up, Paeth, Adaptive };
    int level = -1;     // zlib level 0..9 (libdeflate 0..12); -1 the library default
    int strategy = -1;  // Z_DEFAULT_STRATEGY, Z_FILTERED or Z_RLE; -1 libpng's choice
    EFilter filter = EFilter::Default;
    // 8-bit palette pictures only: written unfiltered, deflated by libdeflate
    // in one pass instead of through libpng and zlib (strategy and filter
    // are then ignored).
    bool wholeBuffer = false;
};
bool EncodePng(const Bitmap& image, std::vector<uint8_t>& png, std::string& error,
               const SPngOptions& options);
// The settings EncodePng and SavePng use for a pixel format.
SPngOptions DefaultPngOptions(EPixelFormat format);

}  // namespace tessel
