// Composed frames (24- or 32-bit pictures) as PNG, written fast: a frame of at
// most 256 colours, as a menu over a plain background is, becomes an 8-bit
// palette PNG; any other an RGB or RGBA PNG with Up-filtered rows. Both are
// deflated in one pass by ISA-L. The pieces are shared with the animated
// PNG writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/png_common.h"
#include "platform/result.h"

namespace tessel {

// A frame as PNG. Pictures of other formats take EncodePng's way. A
// failure's text is the reason.
CResult EncodeFramePng(const Bitmap& frame, std::vector<uint8_t>& png);
// The same into a file; a failed save leaves no file and its text reads
// "<path>: <reason>".
CResult SaveFramePng(const std::string& path, const Bitmap& frame);

// A zlib stream of data, deflated by ISA-L at level 0..3 (appended to out);
// false when the deflate fails. Running out of memory throws.
bool DeflateZlib(std::span<const uint8_t> data, int level, std::vector<uint8_t>& out);

// Rows (x, y, w, h) of a 24- or 32-bit picture as PNG rows, each behind
// filter byte 2 (Up; the first row against zeros): RGB bytes, or RGBA with
// alpha. Appended to raw.
void UpFilteredRows(const Bitmap& picture, int x, int y, int w, int h, bool alpha,
                    std::vector<uint8_t>& raw);
// True when no pixel of a 32-bit picture's rectangle is translucent.
bool IsOpaque(const Bitmap& picture, int x, int y, int w, int h);

}  // namespace tessel
