// Image files: every format the loader takes (PNG through libpng; BMP, JPEG,
// GIF and the other stb formats), then the quantiser that `tessel quantize`
// and the menu writer run on a loaded picture.
#include <string>

#include "codec/colour.h"
#include "fuzz_support.h"
#include "platform/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessel;
    fuzz::Quiet();
    Bitmap image;
    std::string error;
    if (!DecodeImage({data, size}, image, error)) {
        fuzz::Require(!error.empty(), "a refused image says why");
        return 0;
    }
    fuzz::Require(int64_t{image.Width()} * image.Height() <= Bitmap::kMaxPixels,
                  "the loader bounds the pixels");
    // The quantiser's work grows with the pixels; large pictures only show
    // that they load.
    if (int64_t{image.Width()} * image.Height() > (int64_t{1} << 16)) return 0;
    EIndexedPath path{};
    const Bitmap indexed = ToIndexed(image, &path);
    if (!indexed.IsEmpty()) {
        fuzz::Require(indexed.Width() == image.Width() && indexed.Height() == image.Height(),
                      "the indexed picture keeps the size");
        std::vector<uint8_t> png;
        EncodePng(indexed, png, error);
    }
    return 0;
}
