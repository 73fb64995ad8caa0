#include "platform/image_io.h"

#include <stb/stb_image.h>

#include <memory>

#include "platform/files.h"
#include "platform/png_common.h"

namespace tessel {

namespace {

// stb's reason for the last failure, in brackets, or nothing.
std::string StbReason() {
    const char* why = stbi_failure_reason();
    return why ? std::string(" (") + why + ")" : std::string();
}

CResult DecodeOther(std::span<const uint8_t> data, Bitmap& image) {
    if (data.size() > static_cast<size_t>(INT32_MAX)) return CResult::Fail("the file is too large");
    const int len = static_cast<int>(data.size());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data.data(), len, &w, &h, &comp))
        return CResult::Fail("not a supported image file" + StbReason());
    if (w <= 0 || h <= 0 || w > Bitmap::kMaxSide || h > Bitmap::kMaxSide ||
        int64_t{w} * h > Bitmap::kMaxPixels)
        return CResult::Fail("the image is too large");
    if (!PixelsFitFile(w, h, data.size()))
        return CResult::Fail("the file is too short for the image size");
    const bool alpha = comp == 2 || comp == 4;
    const int want = alpha ? 4 : 3;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(data.data(), len, &w, &h, &comp, want), stbi_image_free);
    if (!pixels) return CResult::Fail("cannot decode the image" + StbReason());
    Bitmap out(w, h, alpha ? EPixelFormat::Argb32 : EPixelFormat::Rgb24);
    if (out.IsEmpty()) return CResult::Fail("the image is too large");
    const stbi_uc* p = pixels.get();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out.Row(y);
        for (int x = 0; x < w; ++x, p += want, row += want) {
            row[0] = p[2];
            row[1] = p[1];
            row[2] = p[0];
            if (alpha) row[3] = p[3];
        }
    }
    image = std::move(out);
    return {};
}

CResult DecodeImageImpl(std::span<const uint8_t> data, Bitmap& image,
                        const ImageRowsDone& rowsDone = {}) {
    // The fast PNG reader tells rows as it goes; every other way, all rows
    // at the end.
    bool toldAll = false;
    ImageRowsDone told;
    if (rowsDone)
        told = [&](const Bitmap& b, int rows) {
            toldAll = rows == b.Height();
            rowsDone(b, rows);
        };
    CResult result = IsPngFile(data) ? DecodePng(data, image, told) : DecodeOther(data, image);
    if (result && rowsDone && !toldAll) rowsDone(image, image.Height());
    return result;
}

}  // namespace

CResult DecodeImage(std::span<const uint8_t> data, Bitmap& image) {
    return DecodeImageImpl(data, image);
}

CResult LoadImage(const std::string& path, Bitmap& image, const ImageRowsDone& rowsDone) {
    LargeBytes data;  // read without being cleared first
    if (CResult read = ReadWholeFile(path, data); !read) return read;
    CResult result = DecodeImageImpl(data, image, rowsDone);
    if (result.Failed()) result.In(path);
    return result;
}

}  // namespace tessel
