#include "platform/image_io.h"

#include <png.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files.h"

namespace tessel {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Most pixels one byte of an image file can stand for: deflate expands at
// most 1032 times and a 1-bit palette PNG packs 8 pixels in a byte; GIF's
// LZW, JPEG and the run-length codes stb reads expand less. A file that
// declares more pixels than its size can carry is refused before anything is
// allocated for them.
constexpr int64_t kMaxPixelsPerFileByte = 8 * 1032;

bool PixelsFitFile(int64_t width, int64_t height, size_t fileSize) {
    return width * height <= kMaxPixelsPerFileByte * static_cast<int64_t>(fileSize);
}

// libpng reports errors by longjmp back into the function that set it up.
// Everything that function owns lives in a heap state created before setjmp,
// so no automatic object changes between setjmp and the jump.
struct SPngError {
    char text[200] = {};
};

void PngErrorFn(png_structp png, png_const_charp message) {
    auto* e = static_cast<SPngError*>(png_get_error_ptr(png));
    if (e) std::snprintf(e->text, sizeof e->text, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

void PngWarningFn(png_structp, png_const_charp) {}

struct SPngRead {
    SPngError error;
    std::span<const uint8_t> data;
    size_t pos = 0;
    Bitmap image;
    std::vector<png_bytep> rows;
};

void PngReadFn(png_structp png, png_bytep out, png_size_t n) {
    auto* s = static_cast<SPngRead*>(png_get_io_ptr(png));
    if (n > s->data.size() - s->pos) png_error(png, "the file ends inside the image data");
    std::memcpy(out, s->data.data() + s->pos, n);
    s->pos += n;
}

bool DecodePng(std::span<const uint8_t> data, Bitmap& image, std::string& error) {
    auto state = std::make_unique<SPngRead>();
    SPngRead* const s = state.get();
    s->data = data;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &s->error, PngErrorFn, PngWarningFn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        if (png) png_destroy_read_struct(&png, nullptr, nullptr);
        error = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = s->error.text[0] ? s->error.text : "bad PNG data";
        return false;
    }
    png_set_read_fn(png, s, PngReadFn);
    png_set_user_limits(png, Bitmap::kMaxSide, Bitmap::kMaxSide);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    if (int64_t{width} * height > Bitmap::kMaxPixels) png_error(png, "the image is too large");
    if (!PixelsFitFile(width, height, data.size()))
        png_error(png, "the file is too short for the image size");

    EPixelFormat format = EPixelFormat::Rgb24;
    SPalette palette;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        format = depth == 1   ? EPixelFormat::Indexed1
                 : depth == 4 ? EPixelFormat::Indexed4
                              : EPixelFormat::Indexed8;
        if (depth == 2) png_set_packing(png);
        png_colorp plte = nullptr;
        int count = 0;
        if (!png_get_PLTE(png, info, &plte, &count) || count <= 0)
            png_error(png, "the palette image has no palette");
        png_bytep trns = nullptr;
        int trnsCount = 0;
        if (png_get_valid(png, info, PNG_INFO_tRNS))
            png_get_tRNS(png, info, &trns, &trnsCount, nullptr);
        if (trns && trnsCount > 0) palette.flags |= kPaletteHasAlpha;
        for (int i = 0; i < count; ++i) {
            const uint8_t a = trns && i < trnsCount ? trns[i] : 255;
            palette.entries.push_back(MakeArgb(a, plte[i].red, plte[i].green, plte[i].blue));
        }
    } else {
        if (depth == 16) png_set_strip_16(png);
        if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
            png_set_gray_to_rgb(png);
        }
        const bool hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 ||
                              png_get_valid(png, info, PNG_INFO_tRNS) != 0;
        if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
        png_set_bgr(png);
        format = hasAlpha ? EPixelFormat::Argb32 : EPixelFormat::Rgb24;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    s->image = Bitmap(static_cast<int>(width), static_cast<int>(height), format);
    if (s->image.IsEmpty()) png_error(png, "the image is too large");
    if (png_get_rowbytes(png, info) > s->image.Stride()) png_error(png, "unexpected row layout");
    s->image.SetPalette(std::move(palette));
    s->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) s->rows[y] = s->image.Row(static_cast<int>(y));
    png_read_image(png, s->rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    image = std::move(s->image);
    return true;
}

struct SPngWrite {
    SPngError error;
    std::vector<uint8_t>* out = nullptr;
    std::vector<png_color> plte;
    std::vector<png_byte> trns;
    std::vector<png_bytep> rows;
};

void PngWriteFn(png_structp png, png_bytep data, png_size_t n) {
    auto* s = static_cast<SPngWrite*>(png_get_io_ptr(png));
    bool ok = true;
    try {
        s->out->insert(s->out->end(), data, data + n);
    } catch (...) {
        ok = false;
    }
    if (!ok) png_error(png, "out of memory");
}

void PngFlushFn(png_structp) {}

// The largest palette index a pixel uses.
uint8_t LargestIndex(const Bitmap& image) {
    uint8_t largest = 0;
    if (image.Format() == EPixelFormat::Indexed8) {
        const size_t width = static_cast<size_t>(image.Width());
        for (int y = 0; y < image.Height() && largest < 255; ++y) {
            const uint8_t* row = image.Row(y);
            for (size_t x = 0; x < width; ++x) largest = std::max(largest, row[x]);
        }
        return largest;
    }
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) largest = std::max(largest, image.GetIndex(x, y));
    return largest;
}

int PngFilterMask(SPngOptions::EFilter filter) {
    switch (filter) {
        case SPngOptions::EFilter::None:
            return PNG_FILTER_NONE;
        case SPngOptions::EFilter::Sub:
            return PNG_FILTER_SUB;
        case SPngOptions::EFilter::Up:
            return PNG_FILTER_UP;
        case SPngOptions::EFilter::Paeth:
            return PNG_FILTER_PAETH;
        case SPngOptions::EFilter::Adaptive:
            return PNG_ALL_FILTERS;
        case SPngOptions::EFilter::Default:
            break;
    }
    return -1;
}

bool EncodePngImpl(const Bitmap& image, std::vector<uint8_t>& png_out, std::string& error,
                   const SPngOptions& options) {
    auto state = std::make_unique<SPngWrite>();
    SPngWrite* const s = state.get();
    s->out = &png_out;
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    if (IsIndexed(image.Format())) {
        colourType = PNG_COLOR_TYPE_PALETTE;
        depth = BitsPerPixel(image.Format());
        // The palette covers every index in use, so the file stays valid.
        size_t count = std::min<size_t>(image.Palette().entries.size(), size_t{1} << depth);
        count = std::max<size_t>(count, size_t{LargestIndex(image)} + 1);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t c =
                i < image.Palette().entries.size() ? image.Palette().entries[i] : 0xFF000000u;
            s->plte.push_back({ArgbRed(c), ArgbGreen(c), ArgbBlue(c)});
            s->trns.push_back(ArgbAlpha(c));
        }
        while (!s->trns.empty() && s->trns.back() == 255) s->trns.pop_back();
    } else if (image.Format() == EPixelFormat::Argb32) {
        colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    }
    s->rows.resize(static_cast<size_t>(image.Height()));
    for (int y = 0; y < image.Height(); ++y)
        s->rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.Row(y));

    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &s->error, PngErrorFn, PngWarningFn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        if (png) png_destroy_write_struct(&png, nullptr);
        error = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = s->error.text[0] ? s->error.text : "PNG encoding failed";
        return false;
    }
    png_set_write_fn(png, s, PngWriteFn, PngFlushFn);
    if (options.level >= 0) png_set_compression_level(png, std::min(options.level, 9));
    if (options.strategy >= 0) png_set_compression_strategy(png, options.strategy);
    if (const int filters = PngFilterMask(options.filter); filters >= 0)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()),
                 static_cast<png_uint_32>(image.Height()), depth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, s->plte.data(), static_cast<int>(s->plte.size()));
        if (!s->trns.empty())
            png_set_tRNS(png, info, s->trns.data(), static_cast<int>(s->trns.size()), nullptr);
    }
    png_write_info(png, info);
    if (colourType != PNG_COLOR_TYPE_PALETTE) png_set_bgr(png);
    png_write_image(png, s->rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool DecodeOther(std::span<const uint8_t> data, Bitmap& image, std::string& error) {
    if (data.size() > static_cast<size_t>(INT32_MAX)) {
        error = "the file is too large";
        return false;
    }
    const int len = static_cast<int>(data.size());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data.data(), len, &w, &h, &comp)) {
        const char* why = stbi_failure_reason();
        error =
            std::string("not a supported image file") + (why ? std::string(" (") + why + ")" : "");
        return false;
    }
    if (w <= 0 || h <= 0 || w > Bitmap::kMaxSide || h > Bitmap::kMaxSide ||
        int64_t{w} * h > Bitmap::kMaxPixels) {
        error = "the image is too large";
        return false;
    }
    if (!PixelsFitFile(w, h, data.size())) {
        error = "the file is too short for the image size";
        return false;
    }
    const bool alpha = comp == 2 || comp == 4;
    const int want = alpha ? 4 : 3;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(data.data(), len, &w, &h, &comp, want), stbi_image_free);
    if (!pixels) {
        const char* why = stbi_failure_reason();
        error = std::string("cannot decode the image") + (why ? std::string(" (") + why + ")" : "");
        return false;
    }
    Bitmap out(w, h, alpha ? EPixelFormat::Argb32 : EPixelFormat::Rgb24);
    if (out.IsEmpty()) {
        error = "the image is too large";
        return false;
    }
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
    return true;
}

}  // namespace

SPngOptions DefaultPngOptions(EPixelFormat) {
    return {};
}

bool DecodeImage(std::span<const uint8_t> data, Bitmap& image, std::string& error) {
    if (data.size() >= sizeof kPngSignature &&
        std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0)
        return DecodePng(data, image, error);
    return DecodeOther(data, image, error);
}

bool LoadImage(const std::string& path, Bitmap& image, std::string& error) {
    std::vector<uint8_t> data;
    std::string why;
    if (!ReadWholeFile(path, data, why)) {
        error = path + ": " + why;
        return false;
    }
    if (!DecodeImage(data, image, why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

bool EncodePng(const Bitmap& image, std::vector<uint8_t>& png, std::string& error) {
    return EncodePng(image, png, error, DefaultPngOptions(image.Format()));
}

bool EncodePng(const Bitmap& image, std::vector<uint8_t>& png, std::string& error,
               const SPngOptions& options) {
    png.clear();
    if (image.IsEmpty()) {
        error = "the image is empty";
        return false;
    }
    return EncodePngImpl(image, png, error, options);
}

bool SavePng(const std::string& path, const Bitmap& image, std::string& error) {
    std::vector<uint8_t> png;
    std::string why;
    if (!EncodePng(image, png, why) || !WriteWholeFile(path, png.data(), png.size(), why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

}  // namespace tessel
