// Two-pass colour quantiser: median cut over a 32x64x32 histogram, then
// Floyd-Steinberg error diffusion in serpentine order with a limited error
// and a nearest-colour cache filled 4x8x4 histogram cells at a time.
//
// This is the Independent JPEG Group's two-pass method, reproduced exactly
// (same colour order, same index for every pixel). The 24-bit pixels lie in
// memory as blue, green, red and are taken in that order, so blue is the
// first component: histogram cells are blue >> 3, green >> 2, red >> 3, axis
// lengths are weighted 16, 12 and 8 per cell, and colour distances
// (2 * dblue)^2 + (3 * dgreen)^2 + dred^2.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/bitmap.h"

namespace tessel {

struct SQuantColour {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    bool operator==(const SQuantColour&) const = default;
};

// Called as the mapping pass goes: rows 0..rows-1 of out are final.
using QuantRowsDone = std::function<void(const Bitmap& out, int rows)>;

// Pixels whose alpha is below this are transparent to the mapping pass.
constexpr uint8_t kQuantTransparentAlpha = 5;

class CQuantizer {
public:
    static constexpr int kMaxColours = 255;

    CQuantizer();

    // Histogram pass over a 24-bit RGB bitmap, or over its rows first..end-1;
    // counts stop at 65535.
    void Count(const Bitmap& rgb24);
    void Count(const Bitmap& rgb24, int first, int end);
    // Median cut into at most maxColours boxes (1..256); the colours in box
    // order, which is the palette order.
    const std::vector<SQuantColour>& SelectColours(int maxColours = kMaxColours);
    const std::vector<SQuantColour>& Colours() const { return colours_; }
    // Mapping pass into out, an 8-bit indexed bitmap of the same size. With
    // alpha (one value per pixel, row by row), pixels below
    // kQuantTransparentAlpha get transparentIndex and neither take nor spread
    // error. Returns false when the sizes do not fit or no colours were chosen.
    // rowsDone, when set, hears of every 16 rows and of the last.
    bool Map(const Bitmap& rgb24, std::span<const uint8_t> alpha, uint8_t transparentIndex,
             Bitmap& out, const QuantRowsDone& rowsDone = {});

    // Histogram cell count (for tests).
    uint16_t Cell(int blue, int green, int red) const;

private:
    struct SBox;
    void UpdateBox(SBox& box) const;
    SQuantColour BoxColour(const SBox& box) const;
    void FillInverse(int c0, int c1, int c2, const uint32_t* entries, uint32_t* cache) const;
    int NearestOfCell(int c0, int c1, int c2) const;

    std::vector<uint16_t> hist_;      // counts
    std::vector<uint32_t> occupied_;  // non-empty cells of each blue-green row, as bits
    std::vector<SQuantColour> colours_;
};

// Counts, selects at most maxColours colours and maps in one call; the
// transparent index is the number of colours. out receives an 8-bit indexed
// bitmap without palette. Empty result for an unsuitable source.
std::vector<SQuantColour> QuantizeImage(const Bitmap& rgb24, std::span<const uint8_t> alpha,
                                        Bitmap& out, int maxColours = CQuantizer::kMaxColours,
                                        const QuantRowsDone& rowsDone = {});

// The same with the colours of rgb24 already counted into q.
std::vector<SQuantColour> QuantizeCounted(CQuantizer& q, const Bitmap& rgb24,
                                          std::span<const uint8_t> alpha, Bitmap& out,
                                          int maxColours = CQuantizer::kMaxColours,
                                          const QuantRowsDone& rowsDone = {});

// The error limit of the mapping pass, for errors -255..255.
int QuantErrorLimit(int error);

}  // namespace tessel
