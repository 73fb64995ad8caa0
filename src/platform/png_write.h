// PNG writing: libpng with chosen deflate settings, whole-buffer palette
// pictures through libdeflate, and a palette writer that deflates rows while
// they are being made.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/result.h"

namespace tessel {

// Saves a bitmap as PNG: indexed bitmaps as palette PNG (alpha in tRNS when
// an entry is not opaque), 24-bit as RGB, 32-bit as RGBA. A failed save
// leaves no file behind; its text reads "<path>: <reason>".
CResult SavePng(const std::string& path, const Bitmap& image);
// The same into memory; a failure's text is the reason.
CResult EncodePng(const Bitmap& image, std::vector<uint8_t>& png);

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
CResult EncodePng(const Bitmap& image, std::vector<uint8_t>& png, const SPngOptions& options);
// The settings EncodePng and SavePng use for a pixel format.
SPngOptions DefaultPngOptions(EPixelFormat format);

// An 8-bit palette PNG deflated while its rows are still being made: rows
// handed over top to bottom are compressed (ISA-L's deflate at the given
// level, 0..3, rows unfiltered) on a thread of the writer's own, and the file is put together
// once the palette is known. The file is the same whatever the timing.
class CIndexedPngWriter {
public:
    CIndexedPngWriter(int width, int height, int level = 2);
    ~CIndexedPngWriter();  // stops the deflate if the file was not finished
    CIndexedPngWriter(const CIndexedPngWriter&) = delete;
    CIndexedPngWriter& operator=(const CIndexedPngWriter&) = delete;

    // Rows 0..rows-1 of image, an 8-bit indexed bitmap of the writer's size,
    // are final; the ones not taken yet are copied.
    void TakeRows(const Bitmap& image, int rows);
    // Takes the rest of image's rows, waits for the deflate and gives the file
    // with image's palette, PLTE and tRNS as EncodePng writes them: in the
    // writer's own storage (put together around the deflated rows, valid
    // while the writer lives), or copied. A failure's text is the reason.
    CResult Finish(const Bitmap& image, std::span<const uint8_t>& png);
    CResult Finish(const Bitmap& image, std::vector<uint8_t>& png);

private:
    struct SState;
    std::unique_ptr<SState> state_;
};

}  // namespace tessel
