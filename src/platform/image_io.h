// Image files: PNG load and save (png_read.h, png_write.h); BMP, JPEG and GIF
// load through stb.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/bitmap.h"
#include "platform/png_read.h"
#include "platform/png_write.h"
#include "platform/result.h"

namespace tessel {

// Loads an image file. A palette PNG loads as an indexed bitmap with its
// palette (1- and 4-bit as such, 2-bit as 8-bit; flags kPaletteHasAlpha when
// it carries tRNS); other PNGs as 24-bit RGB, or 32-bit ARGB when they carry
// alpha; BMP, JPEG and GIF (first frame) as 24-bit RGB or 32-bit ARGB.
// A failure names the file; Message() reads "<path>: <reason>".
// rowsDone, when set, hears as rows of the bitmap being filled become final
// (png_read.h).
CResult LoadImage(const std::string& path, Bitmap& image, const ImageRowsDone& rowsDone = {});
// The same from a file held in memory; the failure names no file.
CResult DecodeImage(std::span<const uint8_t> data, Bitmap& image);

}  // namespace tessel
