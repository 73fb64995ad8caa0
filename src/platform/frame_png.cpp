#include "platform/frame_png.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/png_common.h"

namespace tessel {

namespace {

// A pixel of a 24- or 32-bit row as ARGB (24-bit ones opaque).
inline uint32_t PixelAt(const uint8_t* row, int x, bool rgb24) {
    if (!rgb24) {
        uint32_t c;
        std::memcpy(&c, row + static_cast<size_t>(x) * 4, 4);
        return c;
    }
    const uint8_t* p = row + static_cast<size_t>(x) * 3;
    return 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// The frame's rows as palette indices behind filter byte 0, and the colours
// in the order they first appear; false when there are more than 256.
bool IndexColours(const Bitmap& frame, std::vector<uint8_t>& raw, std::vector<uint32_t>& colours) {
    constexpr uint32_t kSlots = 1024;  // open addressing, at most a quarter full
    std::array<uint32_t, kSlots> keys{};
    std::array<int16_t, kSlots> index;
    index.fill(-1);
    const bool rgb24 = frame.Format() == EPixelFormat::Rgb24;
    const size_t w = static_cast<size_t>(frame.Width());
    const size_t rowBytes = w * (rgb24 ? 3 : 4);
    raw.resize((w + 1) * static_cast<size_t>(frame.Height()));
    colours.clear();
    for (int y = 0; y < frame.Height(); ++y) {
        uint8_t* out = raw.data() + static_cast<size_t>(y) * (w + 1);
        out[0] = 0;
        const uint8_t* row = frame.Row(y);
        if (y > 0 && std::memcmp(row, frame.Row(y - 1), rowBytes) == 0) {
            std::memcpy(out + 1, out - w, w);  // the row above's indices
            continue;
        }
        uint32_t last = ~PixelAt(row, 0, rgb24);
        uint8_t lastIndex = 0;
        for (size_t x = 0; x < w; ++x) {
            const uint32_t c = PixelAt(row, static_cast<int>(x), rgb24);
            if (c != last) {
                uint32_t slot = (c * 0x9E3779B1u) >> 22;
                while (index[slot] >= 0 && keys[slot] != c) slot = (slot + 1) & (kSlots - 1);
                if (index[slot] < 0) {
                    if (colours.size() == 256) return false;
                    keys[slot] = c;
                    index[slot] = static_cast<int16_t>(colours.size());
                    colours.push_back(c);
                }
                last = c;
                lastIndex = static_cast<uint8_t>(index[slot]);
            }
            out[1 + x] = lastIndex;
        }
    }
    return true;
}

void Header(std::vector<uint8_t>& out, int width, int height, uint8_t colourType) {
    out.insert(out.end(), kPngFileSignature, kPngFileSignature + 8);
    std::vector<uint8_t> ihdr;
    PutBe32(ihdr, static_cast<uint32_t>(width));
    PutBe32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, colourType, 0, 0, 0});
    AppendPngChunk(out, "IHDR", ihdr);
}

void PaletteChunks(std::vector<uint8_t>& out, const std::vector<uint32_t>& colours) {
    std::vector<uint8_t> plte, trns;
    for (uint32_t c : colours) {
        plte.insert(plte.end(), {ArgbRed(c), ArgbGreen(c), ArgbBlue(c)});
        trns.push_back(ArgbAlpha(c));
    }
    while (!trns.empty() && trns.back() == 255) trns.pop_back();
    AppendPngChunk(out, "PLTE", plte);
    if (!trns.empty()) AppendPngChunk(out, "tRNS", trns);
}

bool EncodeFast(const Bitmap& frame, std::vector<uint8_t>& png) {
    std::vector<uint8_t> raw, z;
    std::vector<uint32_t> colours;
    const int w = frame.Width(), h = frame.Height();
    png.clear();
    if (IndexColours(frame, raw, colours)) {
        Header(png, w, h, 3);
        PaletteChunks(png, colours);
    } else {
        const bool alpha = frame.Format() == EPixelFormat::Argb32 && !IsOpaque(frame, 0, 0, w, h);
        raw.clear();
        UpFilteredRows(frame, 0, 0, w, h, alpha, raw);
        Header(png, w, h, alpha ? 6 : 2);
    }
    if (!DeflateZlib(raw, 1, z) || z.size() > 0x7FFFFFFF) return false;
    AppendPngChunk(png, "IDAT", z);
    AppendPngChunk(png, "IEND", {});
    return true;
}

}  // namespace

bool DeflateZlib(std::span<const uint8_t> data, int level, std::vector<uint8_t>& out) {
    // Nine bits a byte at worst, block heads and the frame.
    const size_t bound = data.size() + data.size() / 8 + 65536;
    if (bound > UINT32_MAX) return false;
    thread_local std::vector<uint8_t> levelBuffer;
    const size_t at = out.size();
    out.resize(at + bound);
    isal_zstream zs;
    isal_deflate_stateless_init(&zs);
    SetIsalDeflate(zs, level, levelBuffer);
    zs.end_of_stream = 1;
    zs.next_in = const_cast<uint8_t*>(data.data());
    zs.avail_in = static_cast<uint32_t>(data.size());
    zs.next_out = out.data() + at;
    zs.avail_out = static_cast<uint32_t>(bound);
    const bool ok = isal_deflate_stateless(&zs) == COMP_OK && zs.avail_in == 0;
    out.resize(ok ? at + zs.total_out : at);
    return ok;
}

void UpFilteredRows(const Bitmap& picture, int x, int y, int w, int h, bool alpha,
                    std::vector<uint8_t>& raw) {
    const bool rgb24 = picture.Format() == EPixelFormat::Rgb24;
    const size_t n = static_cast<size_t>(w) * (alpha ? 4 : 3);
    std::vector<uint8_t> prev(n, 0), cur(n);
    size_t at = raw.size();
    raw.resize(at + (n + 1) * static_cast<size_t>(h));
    for (int r = 0; r < h; ++r) {
        const uint8_t* row = picture.Row(y + r);
        uint8_t* c = cur.data();
        for (int i = 0; i < w; ++i) {
            const uint32_t p = PixelAt(row, x + i, rgb24);
            *c++ = ArgbRed(p), *c++ = ArgbGreen(p), *c++ = ArgbBlue(p);
            if (alpha) *c++ = ArgbAlpha(p);
        }
        uint8_t* out = raw.data() + at;
        out[0] = 2;
        for (size_t i = 0; i < n; ++i) out[1 + i] = static_cast<uint8_t>(cur[i] - prev[i]);
        at += n + 1;
        prev.swap(cur);
    }
}

bool IsOpaque(const Bitmap& picture, int x, int y, int w, int h) {
    if (picture.Format() != EPixelFormat::Argb32) return true;
    for (int r = 0; r < h; ++r) {
        const uint8_t* row = picture.Row(y + r) + static_cast<size_t>(x) * 4;
        for (int i = 0; i < w; ++i)
            if (row[static_cast<size_t>(i) * 4 + 3] != 255) return false;
    }
    return true;
}

CResult EncodeFramePng(const Bitmap& frame, std::vector<uint8_t>& png) {
    if (frame.IsEmpty()) return CResult::Fail("the image is empty");
    if (frame.Format() != EPixelFormat::Argb32 && frame.Format() != EPixelFormat::Rgb24)
        return EncodePng(frame, png);
    try {
        if (EncodeFast(frame, png)) return {};
    } catch (const std::bad_alloc&) {
    }
    png.clear();
    return CResult::Fail("out of memory");
}

CResult SaveFramePng(const std::string& path, const Bitmap& frame) {
    std::vector<uint8_t> png;
    CResult saved = EncodeFramePng(frame, png);
    if (saved) saved = WriteWholeFile(path, png.data(), png.size());
    if (!saved) return CResult::Fail(path + ": " + saved.Text());
    return {};
}

}  // namespace tessel
