#include "platform/png_write.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "platform/png_common.h"

namespace tessel {

namespace {

// One compressor per thread and level, kept for the next picture.
libdeflate_compressor* Compressor(int level) {
    struct SCache {
        int level = -1;
        libdeflate_compressor* c = nullptr;
        ~SCache() {
            if (c) libdeflate_free_compressor(c);
        }
    };
    thread_local SCache cache;
    if (cache.level != level) {
        if (cache.c) libdeflate_free_compressor(cache.c);
        cache.c = libdeflate_alloc_compressor(level);
        cache.level = cache.c ? level : -1;
    }
    return cache.c;
}

// Signature, header, palette, the deflated rows and the end, as one file.
void AssemblePalettePng(size_t width, size_t height, const std::vector<png_color>& plte,
                        const std::vector<png_byte>& trns, const uint8_t* z, size_t zsize,
                        std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(zsize + plte.size() * 4 + 64);
    out.insert(out.end(), kPngFileSignature, kPngFileSignature + sizeof kPngFileSignature);
    uint8_t ihdr[13] = {};
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<uint8_t>(width >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
    }
    ihdr[8] = 8;
    ihdr[9] = PNG_COLOR_TYPE_PALETTE;
    AppendPngChunk(out, "IHDR", ihdr);
    std::vector<uint8_t> rgb;
    for (const png_color& e : plte) rgb.insert(rgb.end(), {e.red, e.green, e.blue});
    AppendPngChunk(out, "PLTE", rgb);
    if (!trns.empty()) AppendPngChunk(out, "tRNS", trns);
    AppendPngChunk(out, "IDAT", {z, zsize});
    AppendPngChunk(out, "IEND", {});
}

// An 8-bit indexed bitmap as palette PNG, rows unfiltered. False when the
// compressor cannot be had or the deflate fails; running out of memory throws.
bool EncodeIndexed8(const Bitmap& image, const std::vector<png_color>& plte,
                    const std::vector<png_byte>& trns, int level, std::vector<uint8_t>& out) {
    const size_t width = static_cast<size_t>(image.Width());
    const size_t height = static_cast<size_t>(image.Height());
    libdeflate_compressor* c = Compressor(std::clamp(level, 0, 12));
    if (!c) return false;
    std::vector<uint8_t> raw((width + 1) * height);
    for (size_t y = 0; y < height; ++y) {
        raw[y * (width + 1)] = 0;
        std::memcpy(&raw[y * (width + 1) + 1], image.Row(static_cast<int>(y)), width);
    }
    std::vector<uint8_t> z(libdeflate_zlib_compress_bound(c, raw.size()));
    const size_t zsize = libdeflate_zlib_compress(c, raw.data(), raw.size(), z.data(), z.size());
    if (zsize == 0 || zsize > 0x7FFFFFFF) return false;
    AssemblePalettePng(width, height, plte, trns, z.data(), zsize, out);
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

// PLTE and tRNS of an indexed bitmap. The palette covers every index in
// use, so the file stays valid; trailing opaque entries leave tRNS.
// largest: the image's largest index when already known.
void PaletteChunks(const Bitmap& image, std::vector<png_color>& plte, std::vector<png_byte>& trns,
                   std::optional<uint8_t> largest = {}) {
    const int depth = BitsPerPixel(image.Format());
    size_t count = std::min<size_t>(image.Palette().entries.size(), size_t{1} << depth);
    count = std::max<size_t>(count, size_t{largest ? *largest : LargestIndex(image)} + 1);
    plte.clear();
    trns.clear();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t c =
            i < image.Palette().entries.size() ? image.Palette().entries[i] : 0xFF000000u;
        plte.push_back({ArgbRed(c), ArgbGreen(c), ArgbBlue(c)});
        trns.push_back(ArgbAlpha(c));
    }
    while (!trns.empty() && trns.back() == 255) trns.pop_back();
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

CResult EncodePngImpl(const Bitmap& image, std::vector<uint8_t>& png_out,
                      const SPngOptions& options) {
    auto state = std::make_unique<SPngWrite>();
    SPngWrite* const s = state.get();
    s->out = &png_out;
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    if (IsIndexed(image.Format())) {
        colourType = PNG_COLOR_TYPE_PALETTE;
        depth = BitsPerPixel(image.Format());
        PaletteChunks(image, s->plte, s->trns);
    } else if (image.Format() == EPixelFormat::Argb32) {
        colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    }
    if (options.wholeBuffer && image.Format() == EPixelFormat::Indexed8) {
        if (EncodeIndexed8(image, s->plte, s->trns, options.level < 0 ? 6 : options.level, png_out))
            return {};
        return CResult::Fail("out of memory");
    }
    s->rows.resize(static_cast<size_t>(image.Height()));
    for (int y = 0; y < image.Height(); ++y)
        s->rows[static_cast<size_t>(y)] = const_cast<png_bytep>(image.Row(y));

    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &s->error, PngErrorFn, PngWarningFn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        if (png) png_destroy_write_struct(&png, nullptr);
        return CResult::Fail("out of memory");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return CResult::Fail(s->error.text[0] ? s->error.text : "PNG encoding failed");
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
    return {};
}

}  // namespace

SPngOptions DefaultPngOptions(EPixelFormat format) {
    SPngOptions o;
    if (format == EPixelFormat::Indexed8) {
        // Menu pictures: smaller than libpng's level 6 at less than half the time.
        o.level = 6;
        o.wholeBuffer = true;
    } else if (!IsIndexed(format)) {
        // Photos: the size of libpng's defaults at a fifth of the time.
        o.level = 1;
        o.filter = SPngOptions::EFilter::Adaptive;
    }
    return o;
}

CResult EncodePng(const Bitmap& image, std::vector<uint8_t>& png) {
    return EncodePng(image, png, DefaultPngOptions(image.Format()));
}

CResult EncodePng(const Bitmap& image, std::vector<uint8_t>& png, const SPngOptions& options) {
    png.clear();
    if (image.IsEmpty()) return CResult::Fail("the image is empty");
    return EncodePngImpl(image, png, options);
}

CResult SavePng(const std::string& path, const Bitmap& image) {
    std::vector<uint8_t> png;
    CResult saved = EncodePng(image, png);
    if (saved) saved = WriteWholeFile(path, png.data(), png.size());
    if (!saved) return CResult::Fail(path + ": " + saved.Text());
    return {};
}

// The rows, with their filter bytes, and the deflate of the worker thread.
struct CIndexedPngWriter::SState {
    size_t width = 0, height = 0;
    int level = 1;
    AlignedBytes raw;  // (width + 1) x height, filter bytes 0
    // The file as it is put together: room for the signature and the chunks
    // before the image data, the IDAT chunk's length and type, the deflated
    // rows, then room for its CRC and IEND.
    static constexpr size_t kHead = 8 + 25 + (12 + 768) + (12 + 256) + 8;
    static constexpr size_t kTail = 4 + 12;
    LargeBytes file;
    size_t zsize = 0;
    uint32_t zcrc = 0;    // of "IDAT" and the deflated rows
    uint8_t largest = 0;  // the largest index in the rows
    bool failed = false;  // out of memory, or the deflate refused
    std::mutex mutex;
    std::condition_variable changed;
    size_t ready = 0;  // rows copied in
    bool stop = false;
    bool done = false;  // the worker has ended
    std::thread worker;

    // The deflate stream, writing into the file's storage; false when memory
    // runs out (on the worker thread, which no exception may leave).
    bool Begin(std::unique_ptr<isal_zstream>& stream, std::vector<uint8_t>& levelBuffer) {
        const size_t rawSize = (width + 1) * height;
        // Nine bits a byte at worst, and the frame; pages not written to
        // are never touched.
        const size_t bound = rawSize + rawSize / 8 + 65536;
        if (bound > UINT32_MAX) return false;
        try {
            stream = std::make_unique<isal_zstream>();
            file.resize(kHead + bound + kTail);
            isal_deflate_init(stream.get());
            SetIsalDeflate(*stream, level, levelBuffer);
        } catch (const std::bad_alloc&) {
            return false;
        }
        isal_zstream& zs = *stream;
        zs.next_out = file.data() + kHead;
        zs.avail_out = static_cast<uint32_t>(bound);
        return true;
    }

    // Deflates the rows from row up to available, one call per row; after
    // the last, takes the size and CRC of the deflated rows.
    bool DeflateRows(isal_zstream& zs, size_t& row, size_t available) {
        for (; row < available; ++row) {
            uint8_t* const in = raw.get() + row * (width + 1);
            for (size_t x = 1; x <= width; ++x) largest = std::max(largest, in[x]);
            zs.next_in = in;
            zs.avail_in = static_cast<uint32_t>(width + 1);
            zs.end_of_stream = row + 1 == height;
            if (isal_deflate(&zs) != COMP_OK || zs.avail_in != 0) return false;
        }
        if (row < height) return true;
        zsize = zs.total_out;
        std::memcpy(file.data() + kHead - 4, "IDAT", 4);
        zcrc = libdeflate_crc32(0, file.data() + kHead - 4, zsize + 4);
        return zs.internal_state.state == ZSTATE_END;
    }

    // Deflates row by row as rows come in; one deflate call per row, so the
    // output does not depend on how the rows were handed over.
    void Run() {
        std::unique_ptr<isal_zstream> zs;
        std::vector<uint8_t> levelBuffer;
        bool ok = Begin(zs, levelBuffer);
        for (size_t row = 0; ok && row < height;) {
            size_t available;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ready > row || stop; });
                if (ready <= row) break;  // stopped
                available = ready;
            }
            ok = DeflateRows(*zs, row, available);
        }
        std::lock_guard lock(mutex);
        if (!ok || zsize == 0) failed = true;
        done = true;
        changed.notify_all();
    }
};

CIndexedPngWriter::CIndexedPngWriter(int width, int height, int level)
    : state_(std::make_unique<SState>()) {
    SState& s = *state_;
    s.level = std::clamp(level, 0, 3);
    if (width <= 0 || height <= 0 || int64_t{width} * height > Bitmap::kMaxPixels) {
        s.failed = s.done = true;
        return;
    }
    s.width = static_cast<size_t>(width);
    s.height = static_cast<size_t>(height);
    s.raw = MakeLargeBytes((s.width + 1) * s.height);
    if (!s.raw) {
        s.failed = s.done = true;
        return;
    }
    s.worker = std::thread([&s] { s.Run(); });
}

CIndexedPngWriter::~CIndexedPngWriter() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stop = true;
    }
    state_->changed.notify_all();
    if (state_->worker.joinable()) state_->worker.join();
}

void CIndexedPngWriter::TakeRows(const Bitmap& image, int rows) {
    SState& s = *state_;
    if (image.Format() != EPixelFormat::Indexed8 || static_cast<size_t>(image.Width()) != s.width ||
        static_cast<size_t>(image.Height()) != s.height)
        return;
    const size_t upto = std::min(static_cast<size_t>(std::max(rows, 0)), s.height);
    size_t row;
    {
        std::lock_guard lock(s.mutex);
        if (s.done) return;
        row = s.ready;
    }
    if (row >= upto) return;
    for (size_t y = row; y < upto; ++y) {
        uint8_t* out = s.raw.get() + y * (s.width + 1);
        out[0] = 0;
        std::memcpy(out + 1, image.Row(static_cast<int>(y)), s.width);
    }
    {
        std::lock_guard lock(s.mutex);
        s.ready = upto;
    }
    s.changed.notify_all();
}

CResult CIndexedPngWriter::Finish(const Bitmap& image, std::span<const uint8_t>& png) {
    SState& s = *state_;
    png = {};
    if (image.Format() != EPixelFormat::Indexed8 || static_cast<size_t>(image.Width()) != s.width ||
        static_cast<size_t>(image.Height()) != s.height)
        return CResult::Fail("the image does not match the picture being written");
    TakeRows(image, image.Height());
    {
        std::unique_lock lock(s.mutex);
        s.changed.wait(lock, [&] { return s.done; });
    }
    if (s.worker.joinable()) s.worker.join();
    if (s.failed) return CResult::Fail("out of memory");
    std::vector<png_color> plte;
    std::vector<png_byte> trns;
    PaletteChunks(image, plte, trns, s.largest);
    // The file AssemblePalettePng writes without image data, around the
    // deflated rows: its chunks before the empty IDAT chunk (12 bytes)
    // in front of them, the IDAT CRC and its IEND chunk after them.
    std::vector<uint8_t> empty;
    AssemblePalettePng(s.width, s.height, plte, trns, nullptr, 0, empty);
    constexpr size_t kChunk = 12;
    const size_t before = empty.size() - 2 * kChunk;
    uint8_t* const idat = s.file.data() + SState::kHead - 8;
    PutBe32(idat, static_cast<uint32_t>(s.zsize));
    uint8_t* const start = idat - before;
    std::memcpy(start, empty.data(), before);
    uint8_t* const tail = idat + 8 + s.zsize;
    PutBe32(tail, s.zcrc);
    std::memcpy(tail + 4, empty.data() + before + kChunk, kChunk);
    png = {start, static_cast<size_t>(tail + 4 + kChunk - start)};
    return {};
}

CResult CIndexedPngWriter::Finish(const Bitmap& image, std::vector<uint8_t>& png) {
    std::span<const uint8_t> file;
    if (CResult finished = Finish(image, file); !finished) {
        png.clear();
        return finished;
    }
    png.assign(file.begin(), file.end());
    return {};
}

}  // namespace tessel
