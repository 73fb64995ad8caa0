// Colour conversion between palette entries (Y, Cr, Cb, T) and RGB, bitmaps
// of decoded objects, and conversion of any image to 8-bit indexed form.
//
// Pixels of 32-bit images with alpha 1..254 go to the quantiser with their
// colour unchanged: the palette entry they map to carries the alpha, so a
// blend before quantising would apply it twice. Pixels with alpha below 5 end
// as the transparent index; they enter the histogram as black, so whatever
// colour a fully transparent area happens to hold takes at most one cell.
#pragma once

#include <cstdint>

#include "codec/quantizer.h"
#include "platform/bitmap.h"

namespace tessel {

class CPds;
struct SIndexedImage;

// One RGB palette entry: the palette entry id it stands for, then blue,
// green, red and alpha (0 transparent, 255 opaque).
struct ERGBQUAD {
    uint8_t index = 0;
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t alpha = 0;
    bool operator==(const ERGBQUAD&) const = default;
};

struct SRgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const SRgb&) const = default;
};

struct SYcbcr {
    uint8_t y = 16;
    uint8_t cr = 128;
    uint8_t cb = 128;
    bool operator==(const SYcbcr&) const = default;
};

// Integer conversion, each result clamped to 0..255.
SRgb YcbcrToRgb(int y, int cr, int cb);
// Floating conversion truncated toward zero; Y clamped to 16..235, Cr and
// Cb to 16..240.
SYcbcr RgbToYcbcr(int red, int green, int blue);

// Sets the ARGB entries the PDS names; false (entries so far kept) at an
// entry id outside the palette.
bool ArgbPaletteFromPds(const CPds& pds, SPalette& palette);

// An 8-bit indexed bitmap of a decoded object with the PDS colours; entry 255
// is always transparent black, entries the PDS does not name too. Empty
// without PDS, pixels or size.
Bitmap BitmapFromObject(const SIndexedImage& object, const CPds* pds);

enum class EIndexedPath {
    None,       // no conversion (already 8-bit indexed, empty, or failed)
    Expanded,   // 1- or 4-bit indices widened
    Exact,      // every colour kept
    Quantized,  // reduced to at most 255 colours with dithering
};

// A new 8-bit indexed image with its palette; empty when the image already
// is 8-bit indexed or cannot be converted. rowsDone hears of the indices as
// rows become final (while dithering, or all at once), before the palette.
Bitmap ToIndexed(const Bitmap& image, EIndexedPath* path = nullptr,
                 const QuantRowsDone& rowsDone = {});

// ToIndexed for a picture being loaded: Rows, told by the loader (LoadImage's
// rowsDone), counts a 24-bit picture's colours while its rows are decoded,
// and Convert then quantises it without counting again. Any other picture,
// or one not told in full, converts exactly as ToIndexed does.
class CIndexedConverter {
public:
    void Rows(const Bitmap& image, int rows);
    Bitmap Convert(const Bitmap& image, EIndexedPath* path = nullptr,
                   const QuantRowsDone& rowsDone = {});

private:
    CQuantizer counted_;
    int width_ = 0, rows_ = 0;  // of the 24-bit picture counted so far
    bool void_ = false;         // counting does not apply
};

// The distinct colours of a 32-bit image in scan order, plus transparent
// black when a pixel has alpha 0. False at a 256th colour or below 2 entries.
bool ExactPalette(const Bitmap& argb, SPalette& palette);
// Maps a 32-bit image onto an exact palette.
Bitmap MapExact(const Bitmap& argb, const SPalette& palette);

// The corner pixel (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right)
// taken as background of an image without alpha.
int BackgroundCorner(const Bitmap& image);

}  // namespace tessel
