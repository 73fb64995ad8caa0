// PNG reading: a fast reader for 8-bit RGB, RGBA and palette files without
// interlace, and libpng for every other file and every fault.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/bitmap.h"
#include "platform/result.h"

namespace tessel {

// Hears, on the decoding thread, that rows 0..rows-1 of the bitmap being
// filled are final, and last of all its rows; rows 0 means the decoding
// started over and what was told before is void.
using ImageRowsDone = std::function<void(const Bitmap& image, int rows)>;

// Decodes a PNG file held in memory (LoadImage tells its forms); the failure
// names no file.
CResult DecodePng(std::span<const uint8_t> data, Bitmap& image, const ImageRowsDone& rowsDone = {});

}  // namespace tessel
