#include "platform/png_read.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/png_common.h"

namespace tessel {

namespace {

// The fast reader takes 8-bit RGB, RGBA and palette files without interlace
// whose every chunk checks out. Any other file, or any fault, goes to libpng,
// so what is accepted and every error stay its own.

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

// The chunks of a file the fast reader takes.
struct SPngChunks {
    uint32_t width = 0, height = 0;
    int colourType = -1;
    std::span<const uint8_t> plte, trns;
    std::vector<std::span<const uint8_t>> idat;  // the IDAT bodies, in order
    std::vector<const uint8_t*> idatTypes;       // their chunks' CRCs are checked later
};

// IHDR's fields; false for a header the fast reader leaves to libpng.
bool TakeHeader(const uint8_t* body, uint32_t length, SPngChunks& c) {
    if (length != 13) return false;
    c.width = ReadBe32(body);
    c.height = ReadBe32(body + 4);
    c.colourType = body[9];
    return body[8] == 8 && (c.colourType == 2 || c.colourType == 3 || c.colourType == 6) &&
           body[10] == 0 && body[11] == 0 && body[12] == 0 && c.width != 0 && c.height != 0 &&
           c.width <= Bitmap::kMaxSide && c.height <= Bitmap::kMaxSide;
}

// A chunk after IHDR; false for one the fast reader leaves to libpng. ended
// becomes true at IEND.
bool TakeChunk(const uint8_t* type, const uint8_t* body, uint32_t length, SPngChunks& c,
               bool& ended) {
    if (std::memcmp(type, "IDAT", 4) == 0) {
        if (length > 0) c.idat.emplace_back(body, length);
    } else if (std::memcmp(type, "PLTE", 4) == 0) {
        if (!c.idat.empty() || !c.plte.empty() || length == 0 || length % 3 || length > 768)
            return false;
        c.plte = {body, length};
    } else if (std::memcmp(type, "tRNS", 4) == 0) {
        if (c.colourType != 3 || c.plte.empty() || !c.idat.empty() || length > c.plte.size() / 3)
            return false;
        c.trns = {body, length};
    } else if (std::memcmp(type, "IEND", 4) == 0) {
        ended = true;
    } else if ((type[0] & 0x20) == 0) {
        return false;  // a critical chunk this reader does not know
    }
    return true;
}

// Walks the chunks up to IEND, checking their order and CRCs (the IDAT
// chunks' are left for later); false for anything left to libpng.
bool ScanChunks(std::span<const uint8_t> data, SPngChunks& c) {
    const uint8_t* p = data.data() + sizeof kPngFileSignature;
    const uint8_t* const end = data.data() + data.size();
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
            c.idatTypes.push_back(type);
        else if (libdeflate_crc32(0, type, length + 4) != ReadBe32(body + length))
            return false;
        if (first != (std::memcmp(type, "IHDR", 4) == 0)) return false;
        if (isIdat && idatDone) return false;
        if (inIdat && !isIdat) idatDone = true;
        inIdat = isIdat;
        if (first ? !TakeHeader(body, length, c) : !TakeChunk(type, body, length, c, ended))
            return false;
        first = false;
    }
    if (c.idat.empty() || (c.colourType == 3 && c.plte.empty())) return false;
    return int64_t{c.width} * c.height <= Bitmap::kMaxPixels &&
           PixelsFitFile(c.width, c.height, data.size());
}

// Undoes the filter of one inflated row (filter byte first) of width pixels
// into dst, a row of the bitmap; up is the bitmap's row above (zeros for the
// first). Palette rows go through cur and prev, two rows of scratch, which
// then swap.
bool UnfilterRow(size_t bpp, const uint8_t* row, uint8_t* dst, const uint8_t* up, size_t width,
                 uint8_t*& cur, uint8_t*& prev) {
    if (bpp == 3) return UnfilterToBitmap<3>(row[0], row + 1, dst, up, width);
    if (bpp == 4) return UnfilterToBitmap<4>(row[0], row + 1, dst, up, width);
    const bool known = Unfilter(row[0], row + 1, cur, prev, width, 1);
    if (known) std::memcpy(dst, cur, width);
    std::swap(cur, prev);
    return known;
}

// Inflates and unfilters the rows of a checked file into result, telling
// them in groups as they become final; false (the rows told void) at any
// fault.
bool ReadRows(const SPngChunks& c, Bitmap& result, const ImageRowsDone& rowsDone) {
    const size_t bpp = c.colourType == 2 ? 3 : c.colourType == 6 ? 4 : 1;
    const size_t rowBytes = size_t{c.width} * bpp;
    const EPixelFormat format = c.colourType == 2   ? EPixelFormat::Rgb24
                                : c.colourType == 6 ? EPixelFormat::Argb32
                                                    : EPixelFormat::Indexed8;
    // The rows are inflated into the bitmap's own storage when each fits
    // where its inflated form (with the filter byte in front) began: every
    // row is then unfiltered and moved down in place. Neither buffer needs
    // clearing first.
    const size_t rawSize = (rowBytes + 1) * c.height;
    const size_t stride = (rowBytes + 3) / 4 * 4;
    const bool inPlace = stride <= rowBytes + 1;
    result = Bitmap(static_cast<int>(c.width), static_cast<int>(c.height), format,
                    Bitmap::SUninitialised{}, inPlace ? rawSize : 0);
    AlignedBytes separate;
    if (!inPlace) separate = MakeLargeBytes(rawSize);
    uint8_t* const raw = inPlace ? result.Data() : separate.get();
    if (result.IsEmpty() || !raw || result.Stride() != stride) return false;
    // A large picture is inflated on a second thread while this one
    // unfilters the rows already there; in place, each row waits until the
    // inflater has gone a window past it, so nothing it may still read back
    // has been overwritten.
    CInflater inflater(c.idat, raw, rawSize, rawSize >= kInflateBehindBytes);
    const size_t lag = inPlace ? CInflater::kWindow : 0;
    int told = 0;  // rows reported final
    auto fail = [&] {
        inflater.Stop();
        if (told > 0) rowsDone(result, 0);
        return false;
    };
    // The image data's CRCs, while a large picture inflates.
    for (const uint8_t* type : c.idatTypes) {
        const uint32_t length = ReadBe32(type - 4);
        if (libdeflate_crc32(0, type, length + 4) != ReadBe32(type + 4 + length)) return fail();
    }
    std::vector<uint8_t> scratch(2 * rowBytes, 0);
    uint8_t* cur = scratch.data();
    uint8_t* prev = cur + rowBytes;
    for (uint32_t y = 0; y < c.height; ++y) {
        const size_t rowEnd = (y + 1) * (rowBytes + 1);
        if (!inflater.WaitFor(std::min(rowEnd + lag, rawSize)) ||
            (rowEnd + lag > rawSize && !inflater.Finish()))
            return fail();
        // At or before the inflated row: no byte not yet read is written.
        uint8_t* const dst = result.Row(static_cast<int>(y));
        const uint8_t* const up = y == 0 ? prev : result.Row(static_cast<int>(y) - 1);
        if (!UnfilterRow(bpp, raw + y * (rowBytes + 1), dst, up, c.width, cur, prev)) return fail();
        std::fill(dst + rowBytes, dst + stride, uint8_t{0});
        if (rowsDone && (y + 1) % kRowsTold == 0) rowsDone(result, told = static_cast<int>(y) + 1);
    }
    if (!inflater.Finish()) return fail();
    if (rowsDone && told != static_cast<int>(c.height))
        rowsDone(result, static_cast<int>(c.height));
    return true;
}

// The fast read; false (image untouched) for anything it leaves to libpng.
bool DecodePngFast(std::span<const uint8_t> data, Bitmap& image, const ImageRowsDone& rowsDone) {
    SPngChunks c;
    Bitmap result;
    if (!ScanChunks(data, c) || !ReadRows(c, result, rowsDone)) return false;
    result.TrimStorage();
    if (c.colourType == 3) {
        SPalette palette;
        if (!c.trns.empty()) palette.flags |= kPaletteHasAlpha;
        for (size_t i = 0; i < c.plte.size() / 3; ++i)
            palette.entries.push_back(MakeArgb(i < c.trns.size() ? c.trns[i] : 255, c.plte[3 * i],
                                               c.plte[3 * i + 1], c.plte[3 * i + 2]));
        result.SetPalette(std::move(palette));
    }
    image = std::move(result);
    return true;
}

struct SPngRead {
    SPngError error;
    std::span<const uint8_t> data;
    size_t pos = 0;
    Bitmap image;
    SPalette palette;
    std::vector<png_bytep> rows;
};

void PngReadFn(png_structp png, png_bytep out, png_size_t n) {
    auto* s = static_cast<SPngRead*>(png_get_io_ptr(png));
    if (n > s->data.size() - s->pos) png_error(png, "the file ends inside the image data");
    std::memcpy(out, s->data.data() + s->pos, n);
    s->pos += n;
}

// The palette of a palette file into s.palette; its format.
EPixelFormat TakeLibpngPalette(png_structp png, png_infop info, SPngRead& s) {
    const int depth = png_get_bit_depth(png, info);
    if (depth == 2) png_set_packing(png);
    png_colorp plte = nullptr;
    int count = 0;
    if (!png_get_PLTE(png, info, &plte, &count) || count <= 0)
        png_error(png, "the palette image has no palette");
    png_bytep trns = nullptr;
    int trnsCount = 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_get_tRNS(png, info, &trns, &trnsCount, nullptr);
    if (trns && trnsCount > 0) s.palette.flags |= kPaletteHasAlpha;
    for (int i = 0; i < count; ++i) {
        const uint8_t a = trns && i < trnsCount ? trns[i] : 255;
        s.palette.entries.push_back(MakeArgb(a, plte[i].red, plte[i].green, plte[i].blue));
    }
    return depth == 1   ? EPixelFormat::Indexed1
           : depth == 4 ? EPixelFormat::Indexed4
                        : EPixelFormat::Indexed8;
}

// The transforms that give 8-bit blue-green-red(-alpha) rows; their format.
EPixelFormat SetLibpngTransforms(png_structp png, png_infop info) {
    const int depth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    if (depth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    const bool hasAlpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    png_set_bgr(png);
    return hasAlpha ? EPixelFormat::Argb32 : EPixelFormat::Rgb24;
}

// Reads the file through libpng into s.image; errors longjmp to the caller.
void ReadWithLibpng(png_structp png, png_infop info, SPngRead& s) {
    png_set_read_fn(png, &s, PngReadFn);
    png_set_user_limits(png, Bitmap::kMaxSide, Bitmap::kMaxSide);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (int64_t{width} * height > Bitmap::kMaxPixels) png_error(png, "the image is too large");
    if (!PixelsFitFile(width, height, s.data.size()))
        png_error(png, "the file is too short for the image size");
    const EPixelFormat format = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE
                                    ? TakeLibpngPalette(png, info, s)
                                    : SetLibpngTransforms(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    s.image = Bitmap(static_cast<int>(width), static_cast<int>(height), format);
    if (s.image.IsEmpty()) png_error(png, "the image is too large");
    if (png_get_rowbytes(png, info) > s.image.Stride()) png_error(png, "unexpected row layout");
    s.image.SetPalette(std::move(s.palette));
    s.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) s.rows[y] = s.image.Row(static_cast<int>(y));
    png_read_image(png, s.rows.data());
    png_read_end(png, nullptr);
}

CResult DecodeWithLibpng(std::span<const uint8_t> data, Bitmap& image) {
    auto state = std::make_unique<SPngRead>();
    SPngRead* const s = state.get();
    s->data = data;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &s->error, PngErrorFn, PngWarningFn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        if (png) png_destroy_read_struct(&png, nullptr, nullptr);
        return CResult::Fail("out of memory");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return CResult::Fail(s->error.text[0] ? s->error.text : "bad PNG data");
    }
    ReadWithLibpng(png, info, *s);
    png_destroy_read_struct(&png, &info, nullptr);
    image = std::move(s->image);
    return {};
}

}  // namespace

CResult DecodePng(std::span<const uint8_t> data, Bitmap& image, const ImageRowsDone& rowsDone) {
    if (DecodePngFast(data, image, rowsDone)) return {};
    return DecodeWithLibpng(data, image);
}

}  // namespace tessel
