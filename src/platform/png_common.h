// Pieces the PNG readers and writers share: the signature, chunks, big-endian
// numbers, the size check of a declared picture and libpng's error handling.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct isal_zstream;

namespace tessel {

// After ISA-L's deflate init: the level (0 to 3, clamped), its level buffer
// (sized here) and zlib framing, nothing flushed before the end.
void SetIsalDeflate(isal_zstream& zs, int level, std::vector<uint8_t>& levelBuffer);

// The PNG signature.
extern const uint8_t kPngFileSignature[8];
// Whether data begins with the PNG signature.
bool IsPngFile(std::span<const uint8_t> data);
// Appends a chunk: length, type, data and the CRC of type and data.
void AppendPngChunk(std::vector<uint8_t>& out, const char type[4], std::span<const uint8_t> data);

inline uint32_t ReadBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline void PutBe32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    out.insert(out.end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                           static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

// Whether an image file of fileSize bytes can carry width x height pixels:
// deflate expands at most 1032 times and a 1-bit palette PNG packs 8 pixels
// in a byte; GIF's LZW, JPEG and the run-length codes stb reads expand less.
// A file that declares more is refused before anything is allocated.
bool PixelsFitFile(int64_t width, int64_t height, size_t fileSize);

// libpng reports errors by longjmp back into the function that set it up.
// Everything that function owns lives in a heap state created before setjmp,
// so no automatic object changes between setjmp and the jump.
struct SPngError {
    char text[200] = {};
};
// The error callback: keeps the text in the SPngError given as error pointer.
void PngErrorFn(png_structp png, png_const_charp message);
// Warnings are not shown.
void PngWarningFn(png_structp, png_const_charp);

}  // namespace tessel
