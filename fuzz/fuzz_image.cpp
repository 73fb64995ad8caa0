// Image files: every format the loader takes (PNG through libpng; BMP, JPEG,
// GIF and the other stb formats), then the quantiser that `tessel quantize`
// and the menu writer run on a loaded picture.
#include <stb/stb_image.h>

#include <climits>
#include <string>

#include "codec/colour.h"
#include "fuzz_support.h"
#include "platform/image_io.h"

TESSEL_FUZZ_MAX_LEN(4096)

namespace {

// The quantiser's work is mostly its colour histogram and box splits, the
// same for every picture; the pixels it maps add to it.
constexpr int64_t kPixelCap = int64_t{1} << 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    // The loader takes up to Bitmap::kMaxPixels (64 Mi) when the file's size
    // allows it; decoding that many pixels is the same code as decoding a
    // few, so only heads declaring at most kPixelCap are decoded here (the
    // refusal of larger ones has its own tests).
    int w = 0, h = 0, comp = 0;
    if (size <= INT32_MAX && stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &comp) &&
        int64_t{w} * h > kPixelCap)
        return 0;
    Bitmap image;
    if (const CResult decoded = DecodeImage({data, size}, image); !decoded) {
        fuzz::Require(!decoded.Text().empty(), "a refused image says why");
        return 0;
    }
    fuzz::Require(int64_t{image.Width()} * image.Height() <= Bitmap::kMaxPixels,
                  "the loader bounds the pixels");
    // The quantiser's work grows with the pixels; large pictures only show
    // that they load.
    if (int64_t{image.Width()} * image.Height() > kPixelCap) return 0;
    EIndexedPath path{};
    const Bitmap indexed = ToIndexed(image, &path);
    if (!indexed.IsEmpty()) {
        fuzz::Require(indexed.Width() == image.Width() && indexed.Height() == image.Height(),
                      "the indexed picture keeps the size");
        std::vector<uint8_t> png;
        EncodePng(indexed, png);
    }
    return 0;
}
