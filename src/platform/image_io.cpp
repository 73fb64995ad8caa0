#include "platform/image_io.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <png.h>
#include <stb/stb_image.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

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

// Fast paths beside libpng, with whole-buffer deflate: palette pictures of 8
// bits written unfiltered, and reading of 8-bit RGB, RGBA and palette files
// without interlace whose every chunk checks out. Any other file, or any
// fault, goes to libpng, so what is accepted and every error stay its own.

uint32_t ReadBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void PutBe32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    out.insert(out.end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                           static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

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

// Pictures inflated at least this large are inflated on a second thread.
constexpr size_t kInflateBehindBytes = 1 << 20;
// The fast reader tells its rows in groups of this many.
constexpr uint32_t kRowsTold = 16;

// Inflates a zlib stream, given in parts (the IDAT bodies), into a buffer of
// the exact inflated size, in pieces, on a thread of its own when asked to:
// the bytes it has written are published after each piece.
class CInflater {
public:
    // Deflate refers back at most this far into what it has written, which
    // must stay as written until the stream has ended.
    static constexpr size_t kWindow = 32768;

    CInflater(const std::vector<std::span<const uint8_t>>& parts, uint8_t* out, size_t size,
              bool behind)
        : parts_(parts), out_(out), size_(size) {
        if (behind) {
            try {
                thread_ = std::thread([this] { Run(); });
                return;
            } catch (const std::system_error&) {
            }
        }
        Run();
    }
    ~CInflater() { Stop(); }
    CInflater(const CInflater&) = delete;
    CInflater& operator=(const CInflater&) = delete;

    // Waits until the first n bytes are final; false when the stream failed
    // or ended before them.
    bool WaitFor(size_t n) {
        for (;;) {
            const uint64_t v = state_.load(std::memory_order_acquire);
            if ((v & kBytes) >= n) return true;
            if (v & kEnded) return false;
            state_.wait(v, std::memory_order_acquire);
        }
    }
    // Ends the inflating where it is and waits for the thread.
    void Stop() {
        stop_.store(true, std::memory_order_relaxed);
        if (thread_.joinable()) thread_.join();
    }
    // Waits for the end: true when the stream filled the buffer exactly, with
    // nothing after it and its checksum right.
    bool Finish() {
        if (thread_.joinable()) thread_.join();
        const uint64_t v = state_.load(std::memory_order_acquire);
        return (v & kEnded) && !(v & kFailed);
    }

private:
    static constexpr uint64_t kEnded = uint64_t{1} << 63, kFailed = uint64_t{1} << 62;
    static constexpr uint64_t kBytes = kFailed - 1;
    static constexpr size_t kPiece = 128 * 1024;  // output between publications
    static constexpr size_t kRun = 256 * 1024;    // input gathered from small parts

    void Run() {
        bool ok = false;
        try {
            ok = Inflate();
        } catch (const std::bad_alloc&) {  // the reader gives up; libpng may manage
        }
        state_.store(
            kEnded | (ok ? 0 : kFailed) | (state_.load(std::memory_order_relaxed) & kBytes),
            std::memory_order_release);
        state_.notify_all();
    }
    bool Inflate() {
        auto s = std::make_unique<inflate_state>();
        isal_inflate_init(s.get());
        s->crc_flag = ISAL_ZLIB;  // header parsed, Adler-32 checked
        // Small parts (libpng writes 8 KiB chunks) are gathered into runs:
        // the inflater is slower at every end of its input.
        std::vector<uint8_t> run;
        size_t part = 0, done = 0;  // part: the next one to give
        auto next = [&] {
            if (parts_[part].size() >= kRun) {
                s->next_in = const_cast<uint8_t*>(parts_[part].data());
                s->avail_in = static_cast<uint32_t>(parts_[part].size());  // below 2^31
                ++part;
                return;
            }
            run.clear();
            for (; part < parts_.size() && run.size() + parts_[part].size() <= kRun; ++part)
                run.insert(run.end(), parts_[part].begin(), parts_[part].end());
            s->next_in = run.data();
            s->avail_in = static_cast<uint32_t>(run.size());
        };
        if (parts_.empty()) return false;
        run.reserve(kRun);
        next();
        while (s->block_state != ISAL_BLOCK_FINISH) {
            if (stop_.load(std::memory_order_relaxed)) return false;
            if (s->avail_in == 0 && part < parts_.size()) next();
            const uint32_t availIn = s->avail_in;
            const size_t piece = std::min(kPiece, size_ - done);
            s->next_out = out_ + done;
            s->avail_out = static_cast<uint32_t>(piece);
            // Errors are negative; a dictionary is not for PNG.
            if (isal_inflate(s.get()) != ISAL_DECOMP_OK) return false;
            const size_t wrote = piece - s->avail_out;
            // No step forward: more data than room, or the stream cut short.
            if (wrote == 0 && s->avail_in == availIn && s->block_state != ISAL_BLOCK_FINISH)
                return false;
            done += wrote;
            state_.store(done, std::memory_order_release);
            state_.notify_all();
        }
        // Nothing after the stream, counting what was read ahead into its
        // bit buffer.
        return done == size_ && part == parts_.size() && s->avail_in == 0 && s->read_in_length < 8;
    }

    const std::vector<std::span<const uint8_t>>& parts_;
    uint8_t* const out_;
    const size_t size_;
    std::atomic<uint64_t> state_{0};  // bytes written, with kEnded and kFailed
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void PutChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
    PutBe32(out, static_cast<uint32_t>(size));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    PutBe32(out, libdeflate_crc32(0, out.data() + start, out.size() - start));
}

// Signature, header, palette, the deflated rows and the end, as one file.
void AssemblePalettePng(size_t width, size_t height, const std::vector<png_color>& plte,
                        const std::vector<png_byte>& trns, const uint8_t* z, size_t zsize,
                        std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(zsize + plte.size() * 4 + 64);
    out.insert(out.end(), kPngSignature, kPngSignature + sizeof kPngSignature);
    uint8_t ihdr[13] = {};
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<uint8_t>(width >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
    }
    ihdr[8] = 8;
    ihdr[9] = PNG_COLOR_TYPE_PALETTE;
    PutChunk(out, "IHDR", ihdr, sizeof ihdr);
    std::vector<uint8_t> rgb;
    for (const png_color& e : plte) rgb.insert(rgb.end(), {e.red, e.green, e.blue});
    PutChunk(out, "PLTE", rgb.data(), rgb.size());
    if (!trns.empty()) PutChunk(out, "tRNS", trns.data(), trns.size());
    PutChunk(out, "IDAT", z, zsize);
    PutChunk(out, "IEND", nullptr, 0);
}

// An 8-bit indexed bitmap as palette PNG, rows unfiltered. False only when
// memory runs out.
bool EncodeIndexed8(const Bitmap& image, const std::vector<png_color>& plte,
                    const std::vector<png_byte>& trns, int level, std::vector<uint8_t>& out) {
    const size_t width = static_cast<size_t>(image.Width());
    const size_t height = static_cast<size_t>(image.Height());
    libdeflate_compressor* c = Compressor(std::clamp(level, 0, 12));
    if (!c) return false;
    try {
        std::vector<uint8_t> raw((width + 1) * height);
        for (size_t y = 0; y < height; ++y) {
            raw[y * (width + 1)] = 0;
            std::memcpy(&raw[y * (width + 1) + 1], image.Row(static_cast<int>(y)), width);
        }
        std::vector<uint8_t> z(libdeflate_zlib_compress_bound(c, raw.size()));
        const size_t zsize =
            libdeflate_zlib_compress(c, raw.data(), raw.size(), z.data(), z.size());
        if (zsize == 0 || zsize > 0x7FFFFFFF) return false;
        AssemblePalettePng(width, height, plte, trns, z.data(), zsize, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes one row's filter from in into out; prev is the row above,
// unfiltered (zero for the first row). False at an unknown filter type.
bool Unfilter(int type, const uint8_t* in, uint8_t* out, const uint8_t* prev, size_t n,
              size_t bpp) {
    switch (type) {
        case 0:
            std::memcpy(out, in, n);
            return true;
        case 1:
            std::memcpy(out, in, bpp);
            for (size_t i = bpp; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] + out[i - bpp]);
            return true;
        case 2:
            for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] + prev[i]);
            return true;
        case 3:
            for (size_t i = 0; i < bpp; ++i) out[i] = static_cast<uint8_t>(in[i] + (prev[i] >> 1));
            for (size_t i = bpp; i < n; ++i)
                out[i] = static_cast<uint8_t>(in[i] + ((out[i - bpp] + prev[i]) >> 1));
            return true;
        case 4:
            for (size_t i = 0; i < bpp; ++i) out[i] = static_cast<uint8_t>(in[i] + prev[i]);
            for (size_t i = bpp; i < n; ++i)
                out[i] = static_cast<uint8_t>(in[i] + Paeth(out[i - bpp], prev[i], prev[i - bpp]));
            return true;
        default:
            return false;
    }
}

// Undoes one row's filter for 8-bit RGB (kBpp 3) or RGBA (4) pixels, from
// in (file order) straight into dst in the bitmap's blue-green-red(-alpha)
// order; up is the row above as the bitmap holds it (zeros for the first).
// Each channel's left neighbour stays in a register, so a row costs a few
// dependent steps per pixel. dst may lie at or before in: each pixel is read
// before it is written. False at an unknown filter type.
template <size_t kBpp>
bool UnfilterToBitmap(int type, const uint8_t* in, uint8_t* dst, const uint8_t* up, size_t width) {
    // The bitmap's offset of each file channel.
    constexpr size_t kAt[4] = {2, 1, 0, 3};
    int a[kBpp] = {}, c[kBpp] = {};  // left, and above left
    auto each = [&](auto f) {
        for (size_t x = 0; x < width; ++x, in += kBpp, dst += kBpp, up += kBpp) {
            int v[kBpp];
            for (size_t k = 0; k < kBpp; ++k) v[k] = f(k, in[k], up[kAt[k]]);
            for (size_t k = 0; k < kBpp; ++k) dst[kAt[k]] = static_cast<uint8_t>(v[k]);
        }
    };
    switch (type) {
        case 0:
            each([](size_t, int x, int) { return x; });
            return true;
        case 1:
            each([&a](size_t k, int x, int) { return a[k] = (x + a[k]) & 0xFF; });
            return true;
        case 2:
            each([](size_t, int x, int b) { return (x + b) & 0xFF; });
            return true;
        case 3:
            each([&a](size_t k, int x, int b) { return a[k] = (x + ((a[k] + b) >> 1)) & 0xFF; });
            return true;
        case 4:
            each([&a, &c](size_t k, int x, int b) {
                const int pred = Paeth(a[k], b, c[k]);
                c[k] = b;
                return a[k] = (x + pred) & 0xFF;
            });
            return true;
        default:
            return false;
    }
}

// The fast read; false (image untouched) for anything it leaves to libpng.
bool DecodePngFast(std::span<const uint8_t> data, Bitmap& image, const ImageRowsDone& rowsDone) {
    const uint8_t* p = data.data() + sizeof kPngSignature;
    const uint8_t* const end = data.data() + data.size();
    uint32_t width = 0, height = 0;
    int colourType = -1;
    std::span<const uint8_t> plte, trns;
    std::vector<std::span<const uint8_t>> idat;  // the IDAT bodies, in order
    std::vector<const uint8_t*> idatTypes;       // their chunks' CRCs are checked later
    bool first = true, inIdat = false, idatDone = false, ended = false;
    while (!ended) {
        if (end - p < 12) return false;
        const uint32_t length = ReadBe32(p);
        if (length > 0x7FFFFFFF || static_cast<size_t>(end - p - 12) < length) return false;
        const uint8_t* type = p + 4;
        const uint8_t* body = p + 8;
        p = body + length + 4;
        const bool isIdat = std::memcmp(type, "IDAT", 4) == 0;
        if (isIdat)
            idatTypes.push_back(type);
        else if (libdeflate_crc32(0, type, length + 4) != ReadBe32(body + length))
            return false;
        if (first != (std::memcmp(type, "IHDR", 4) == 0)) return false;
        if (isIdat && idatDone) return false;
        if (inIdat && !isIdat) idatDone = true;
        inIdat = isIdat;
        if (first) {
            first = false;
            if (length != 13) return false;
            width = ReadBe32(body);
            height = ReadBe32(body + 4);
            colourType = body[9];
            if (body[8] != 8 || (colourType != 2 && colourType != 3 && colourType != 6) ||
                body[10] != 0 || body[11] != 0 || body[12] != 0 || width == 0 || height == 0 ||
                width > Bitmap::kMaxSide || height > Bitmap::kMaxSide)
                return false;
        } else if (isIdat) {
            if (length > 0) idat.emplace_back(body, length);
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            if (!idat.empty() || !plte.empty() || length == 0 || length % 3 || length > 768)
                return false;
            plte = {body, length};
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            if (colourType != 3 || plte.empty() || !idat.empty() || length > plte.size() / 3)
                return false;
            trns = {body, length};
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        } else if ((type[0] & 0x20) == 0) {
            return false;  // a critical chunk this reader does not know
        }
    }
    if (idat.empty() || (colourType == 3 && plte.empty())) return false;
    if (int64_t{width} * height > Bitmap::kMaxPixels || !PixelsFitFile(width, height, data.size()))
        return false;
    const size_t bpp = colourType == 2 ? 3 : colourType == 6 ? 4 : 1;
    const size_t rowBytes = size_t{width} * bpp;
    const EPixelFormat format = colourType == 2   ? EPixelFormat::Rgb24
                                : colourType == 6 ? EPixelFormat::Argb32
                                                  : EPixelFormat::Indexed8;
    // The rows are inflated into the bitmap's own storage when each fits
    // where its inflated form (with the filter byte in front) began: every
    // row is then unfiltered and moved down in place. Neither buffer needs
    // clearing first.
    const size_t rawSize = (rowBytes + 1) * height;
    const size_t stride = (rowBytes + 3) / 4 * 4;
    const bool inPlace = stride <= rowBytes + 1;
    Bitmap result(static_cast<int>(width), static_cast<int>(height), format,
                  Bitmap::SUninitialised{}, inPlace ? rawSize : 0);
    AlignedBytes separate;
    if (!inPlace) separate = MakeLargeBytes(rawSize);
    uint8_t* const raw = inPlace ? result.Data() : separate.get();
    if (result.IsEmpty() || !raw || result.Stride() != stride) return false;
    // A large picture is inflated on a second thread while this one
    // unfilters the rows already there; in place, each row waits until the
    // inflater has gone a window past it, so nothing it may still read back
    // has been overwritten.
    const bool behind = rawSize >= kInflateBehindBytes;
    CInflater inflater(idat, raw, rawSize, behind);
    const size_t lag = inPlace ? CInflater::kWindow : 0;
    int told = 0;  // rows reported final
    auto fail = [&] {
        inflater.Stop();
        if (told > 0) rowsDone(result, 0);
        return false;
    };
    // The image data's CRCs, while a large picture inflates.
    for (const uint8_t* type : idatTypes) {
        const uint32_t length = ReadBe32(type - 4);
        if (libdeflate_crc32(0, type, length + 4) != ReadBe32(type + 4 + length)) return fail();
    }
    // Palette rows are unfiltered into two rows of scratch (the one being
    // unfiltered and the one above it) and copied; RGB(A) rows go straight
    // into the bitmap, the row above read from it.
    std::vector<uint8_t> scratch(2 * rowBytes, 0);
    uint8_t* cur = scratch.data();
    uint8_t* prev = cur + rowBytes;
    for (uint32_t y = 0; y < height; ++y) {
        const size_t rowEnd = (y + 1) * (rowBytes + 1);
        if (!inflater.WaitFor(std::min(rowEnd + lag, rawSize)) ||
            (rowEnd + lag > rawSize && !inflater.Finish()))
            return fail();
        const uint8_t* const row = raw + y * (rowBytes + 1);
        // At or before row: no byte not yet read is written.
        uint8_t* const dst = result.Row(static_cast<int>(y));
        const uint8_t* const up = y == 0 ? prev : result.Row(static_cast<int>(y) - 1);
        bool known;
        if (bpp == 3) {
            known = UnfilterToBitmap<3>(row[0], row + 1, dst, up, width);
        } else if (bpp == 4) {
            known = UnfilterToBitmap<4>(row[0], row + 1, dst, up, width);
        } else {
            known = Unfilter(row[0], row + 1, cur, prev, rowBytes, bpp);
            if (known) std::memcpy(dst, cur, rowBytes);
            std::swap(cur, prev);
        }
        if (!known) return fail();
        std::fill(dst + rowBytes, dst + stride, uint8_t{0});
        if (rowsDone && (y + 1) % kRowsTold == 0) rowsDone(result, told = static_cast<int>(y) + 1);
    }
    if (!inflater.Finish()) return fail();
    if (rowsDone && told != static_cast<int>(height)) rowsDone(result, static_cast<int>(height));
    result.TrimStorage();
    if (colourType == 3) {
        SPalette palette;
        if (!trns.empty()) palette.flags |= kPaletteHasAlpha;
        for (size_t i = 0; i < plte.size() / 3; ++i)
            palette.entries.push_back(MakeArgb(i < trns.size() ? trns[i] : 255, plte[3 * i],
                                               plte[3 * i + 1], plte[3 * i + 2]));
        result.SetPalette(std::move(palette));
    }
    image = std::move(result);
    return true;
}

bool DecodePng(std::span<const uint8_t> data, Bitmap& image, std::string& error,
               const ImageRowsDone& rowsDone) {
    if (DecodePngFast(data, image, rowsDone)) return true;
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
        PaletteChunks(image, s->plte, s->trns);
    } else if (image.Format() == EPixelFormat::Argb32) {
        colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    }
    if (options.wholeBuffer && image.Format() == EPixelFormat::Indexed8) {
        if (EncodeIndexed8(image, s->plte, s->trns, options.level < 0 ? 6 : options.level, png_out))
            return true;
        error = "out of memory";
        return false;
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

namespace {

bool DecodeImageImpl(std::span<const uint8_t> data, Bitmap& image, std::string& error,
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
    const bool ok = data.size() >= sizeof kPngSignature &&
                            std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0
                        ? DecodePng(data, image, error, told)
                        : DecodeOther(data, image, error);
    if (ok && rowsDone && !toldAll) rowsDone(image, image.Height());
    return ok;
}

}  // namespace

bool DecodeImage(std::span<const uint8_t> data, Bitmap& image, std::string& error) {
    return DecodeImageImpl(data, image, error);
}

bool LoadImage(const std::string& path, Bitmap& image, std::string& error,
               const ImageRowsDone& rowsDone) {
    LargeBytes data;  // read without being cleared first
    std::string why;
    if (!ReadWholeFile(path, data, why)) {
        error = path + ": " + why;
        return false;
    }
    if (!DecodeImageImpl(data, image, why, rowsDone)) {
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

    // Deflates row by row as rows come in; one deflate call per row, so the
    // output does not depend on how the rows were handed over.
    void Run() {
        bool ok = true;
        static constexpr uint32_t kLevelBuffer[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT,
                                                    ISAL_DEF_LVL2_DEFAULT, ISAL_DEF_LVL3_DEFAULT};
        std::unique_ptr<isal_zstream> zs;
        std::vector<uint8_t> levelBuffer;
        const size_t rawSize = (width + 1) * height;
        // Nine bits a byte at worst, and the frame; pages not written to
        // are never touched.
        const size_t bound = rawSize + rawSize / 8 + 65536;
        try {
            zs = std::make_unique<isal_zstream>();
            levelBuffer.resize(kLevelBuffer[level]);
            file.resize(kHead + bound + kTail);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        if (ok && bound > UINT32_MAX) ok = false;
        if (ok) {
            isal_deflate_init(zs.get());
            zs->level = static_cast<uint32_t>(level);
            zs->level_buf = levelBuffer.empty() ? nullptr : levelBuffer.data();
            zs->level_buf_size = static_cast<uint32_t>(levelBuffer.size());
            zs->gzip_flag = IGZIP_ZLIB;
            zs->flush = NO_FLUSH;
            zs->next_out = file.data() + kHead;
            zs->avail_out = static_cast<uint32_t>(bound);
        }
        for (size_t row = 0; ok && row < height;) {
            size_t available;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ready > row || stop; });
                if (ready <= row) break;  // stopped
                available = ready;
            }
            for (; ok && row < available; ++row) {
                uint8_t* const in = raw.get() + row * (width + 1);
                for (size_t x = 1; x <= width; ++x) largest = std::max(largest, in[x]);
                zs->next_in = in;
                zs->avail_in = static_cast<uint32_t>(width + 1);
                zs->end_of_stream = row + 1 == height;
                ok = isal_deflate(zs.get()) == COMP_OK && zs->avail_in == 0;
            }
            if (ok && row == height) {
                ok = zs->internal_state.state == ZSTATE_END;
                zsize = zs->total_out;
                std::memcpy(file.data() + kHead - 4, "IDAT", 4);
                zcrc = libdeflate_crc32(0, file.data() + kHead - 4, zsize + 4);
            }
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

bool CIndexedPngWriter::Finish(const Bitmap& image, std::span<const uint8_t>& png,
                               std::string& error) {
    SState& s = *state_;
    png = {};
    if (image.Format() != EPixelFormat::Indexed8 || static_cast<size_t>(image.Width()) != s.width ||
        static_cast<size_t>(image.Height()) != s.height) {
        error = "the image does not match the picture being written";
        return false;
    }
    TakeRows(image, image.Height());
    {
        std::unique_lock lock(s.mutex);
        s.changed.wait(lock, [&] { return s.done; });
    }
    if (s.worker.joinable()) s.worker.join();
    if (s.failed) {
        error = "out of memory";
        return false;
    }
    try {
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
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    return true;
}

bool CIndexedPngWriter::Finish(const Bitmap& image, std::vector<uint8_t>& png, std::string& error) {
    std::span<const uint8_t> file;
    if (!Finish(image, file, error)) {
        png.clear();
        return false;
    }
    png.assign(file.begin(), file.end());
    return true;
}

}  // namespace tessel
