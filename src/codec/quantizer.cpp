#include "codec/quantizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace tessel {

namespace {

// Histogram geometry: component 0 is blue, 1 green, 2 red.
constexpr int kBits0 = 5, kBits1 = 6, kBits2 = 5;
constexpr int kElems0 = 1 << kBits0, kElems1 = 1 << kBits1, kElems2 = 1 << kBits2;
constexpr int kShift0 = 8 - kBits0, kShift1 = 8 - kBits1, kShift2 = 8 - kBits2;
constexpr int kScale0 = 2, kScale1 = 3, kScale2 = 1;

// Nearest-colour fill block: 4 x 8 x 4 cells.
constexpr int kBoxLog0 = kBits0 - 3, kBoxLog1 = kBits1 - 3, kBoxLog2 = kBits2 - 3;
constexpr int kBoxElems0 = 1 << kBoxLog0, kBoxElems1 = 1 << kBoxLog1, kBoxElems2 = 1 << kBoxLog2;
constexpr int kBoxShift0 = kShift0 + kBoxLog0, kBoxShift1 = kShift1 + kBoxLog1,
              kBoxShift2 = kShift2 + kBoxLog2;
constexpr int kBoxCells = kBoxElems0 * kBoxElems1 * kBoxElems2;
// Below this many pixels the mapping fills the cache cell by cell.
constexpr size_t kSparsePixels = 16384;

constexpr size_t CellIndex(int c0, int c1, int c2) {
    return (static_cast<size_t>(c0) * kElems1 + static_cast<size_t>(c1)) * kElems2 +
           static_cast<size_t>(c2);
}

// Error limit: 1:1 up to 15, then one step per two up to 47, then 32.
struct SErrorLimit {
    std::array<int, 511> table{};
    SErrorLimit() {
        int out = 0, in = 0;
        for (; in < 16; ++in, ++out) Set(in, out);
        for (; in < 48; ++in, out += (in & 1) ? 0 : 1) Set(in, out);
        for (; in <= 255; ++in) Set(in, out);
    }
    void Set(int in, int out) {
        table[static_cast<size_t>(255 + in)] = out;
        table[static_cast<size_t>(255 - in)] = -out;
    }
    int operator[](int e) const { return table[static_cast<size_t>(255 + e)]; }
};

const SErrorLimit& ErrorLimit() {
    static const SErrorLimit table;
    return table;
}

// The limit of the sixteenths of error the mapping pass sums before its
// rounding shift, x = 7 * ahead + below + 8 for a pixel's errors of at most
// 255 each way (-16 * 255 + 8 to 16 * 255 + 8): the shift and the lookup in
// one.
struct SSumLimit {
    static constexpr int kBelow = 16 * 255 - 8, kAbove = 16 * 255 + 8;
    std::array<int16_t, kBelow + kAbove + 1> table{};
    SSumLimit() {
        for (int x = -kBelow; x <= kAbove; ++x)
            table[static_cast<size_t>(x + kBelow)] = static_cast<int16_t>(ErrorLimit()[x >> 4]);
    }
    const int16_t* Centre() const { return table.data() + kBelow; }
};

const SSumLimit& SumLimit() {
    static const SSumLimit table;
    return table;
}

}  // namespace

int QuantErrorLimit(int error) {
    return ErrorLimit()[std::clamp(error, -255, 255)];
}

struct CQuantizer::SBox {
    int c0min, c0max, c1min, c1max, c2min, c2max;
    int64_t volume = 0;
    long colourCount = 0;
};

// One bit per non-empty cell, a 32-bit word per blue-green row.
static_assert(kElems2 == 32);
CQuantizer::CQuantizer()
    : hist_(static_cast<size_t>(kElems0) * kElems1 * kElems2, 0),
      occupied_(static_cast<size_t>(kElems0) * kElems1, 0) {}

uint16_t CQuantizer::Cell(int blue, int green, int red) const {
    return hist_[CellIndex(blue, green, red)];
}

void CQuantizer::Count(const Bitmap& rgb24) {
    Count(rgb24, 0, rgb24.Height());
}

void CQuantizer::Count(const Bitmap& rgb24, int first, int end) {
    if (rgb24.IsEmpty() || rgb24.Format() != EPixelFormat::Rgb24) return;
    for (int y = std::max(first, 0); y < std::min(end, rgb24.Height()); ++y) {
        const uint8_t* p = rgb24.Row(y);
        for (int x = 0; x < rgb24.Width(); ++x, p += 3) {
            const size_t index = CellIndex(p[0] >> kShift0, p[1] >> kShift1, p[2] >> kShift2);
            uint16_t& cell = hist_[index];
            if (cell == 0) occupied_[index >> 5] |= 1u << (index & 31);
            if (cell != 0xFFFF) ++cell;
        }
    }
}

namespace {

// The box's red range as a mask over a row of the occupancy bits.
uint32_t RedRange(int c2min, int c2max) {
    const uint32_t upto = c2max >= 31 ? ~0u : (1u << (c2max + 1)) - 1;
    return upto & ~((1u << c2min) - 1);
}

}  // namespace

// Shrinks the box to its non-empty cells, then its volume and cell count.
void CQuantizer::UpdateBox(SBox& box) const {
    int min0 = box.c0max, max0 = box.c0min, min1 = box.c1max, max1 = box.c1min;
    int min2 = box.c2max, max2 = box.c2min;
    long count = 0;
    const uint32_t range = RedRange(box.c2min, box.c2max);
    for (int c0 = box.c0min; c0 <= box.c0max; ++c0)
        for (int c1 = box.c1min; c1 <= box.c1max; ++c1) {
            const uint32_t row = occupied_[static_cast<size_t>(c0 * kElems1 + c1)] & range;
            if (row == 0) continue;
            count += std::popcount(row);
            min0 = std::min(min0, c0), max0 = std::max(max0, c0);
            min1 = std::min(min1, c1), max1 = std::max(max1, c1);
            min2 = std::min(min2, std::countr_zero(row));
            max2 = std::max(max2, 31 - std::countl_zero(row));
        }
    if (count > 0) {
        box.c0min = min0, box.c0max = max0, box.c1min = min1, box.c1max = max1;
        box.c2min = min2, box.c2max = max2;
    }
    const int64_t d0 = int64_t{(box.c0max - box.c0min) << kShift0} * kScale0;
    const int64_t d1 = int64_t{(box.c1max - box.c1min) << kShift1} * kScale1;
    const int64_t d2 = int64_t{(box.c2max - box.c2min) << kShift2} * kScale2;
    box.volume = d0 * d0 + d1 * d1 + d2 * d2;
    box.colourCount = count;
}

// Count-weighted mean of the cell centres, rounded to nearest.
SQuantColour CQuantizer::BoxColour(const SBox& box) const {
    int64_t total = 0, t0 = 0, t1 = 0, t2 = 0;
    const uint32_t range = RedRange(box.c2min, box.c2max);
    for (int c0 = box.c0min; c0 <= box.c0max; ++c0)
        for (int c1 = box.c1min; c1 <= box.c1max; ++c1) {
            uint32_t row = occupied_[static_cast<size_t>(c0 * kElems1 + c1)] & range;
            for (; row != 0; row &= row - 1) {
                const int c2 = std::countr_zero(row);
                const int64_t n = hist_[CellIndex(c0, c1, c2)];
                total += n;
                t0 += ((c0 << kShift0) + ((1 << kShift0) >> 1)) * n;
                t1 += ((c1 << kShift1) + ((1 << kShift1) >> 1)) * n;
                t2 += ((c2 << kShift2) + ((1 << kShift2) >> 1)) * n;
            }
        }
    if (total == 0) return {};
    return {static_cast<uint8_t>((t0 + (total >> 1)) / total),
            static_cast<uint8_t>((t1 + (total >> 1)) / total),
            static_cast<uint8_t>((t2 + (total >> 1)) / total)};
}

const std::vector<SQuantColour>& CQuantizer::SelectColours(int maxColours) {
    maxColours = std::clamp(maxColours, 1, 256);
    std::vector<SBox> boxes;
    boxes.reserve(static_cast<size_t>(maxColours));
    boxes.push_back({0, kElems0 - 1, 0, kElems1 - 1, 0, kElems2 - 1});
    UpdateBox(boxes[0]);
    while (static_cast<int>(boxes.size()) < maxColours) {
        // By population while at most half the boxes exist, then by volume;
        // the first box wins ties.
        SBox* b1 = nullptr;
        if (static_cast<int>(boxes.size()) * 2 <= maxColours) {
            long best = 0;
            for (SBox& b : boxes)
                if (b.colourCount > best && b.volume > 0) b1 = &b, best = b.colourCount;
        } else {
            int64_t best = 0;
            for (SBox& b : boxes)
                if (b.volume > best) b1 = &b, best = b.volume;
        }
        if (!b1) break;
        SBox b2 = *b1;
        // Longest weighted axis; ties go to green, then blue, red last.
        const int len0 = ((b1->c0max - b1->c0min) << kShift0) * kScale0;
        const int len1 = ((b1->c1max - b1->c1min) << kShift1) * kScale1;
        const int len2 = ((b1->c2max - b1->c2min) << kShift2) * kScale2;
        int axis = 1, longest = len1;
        if (len0 > longest) axis = 0, longest = len0;
        if (len2 > longest) axis = 2;
        switch (axis) {
            case 0: {
                const int mid = (b1->c0max + b1->c0min) / 2;
                b1->c0max = mid;
                b2.c0min = mid + 1;
                break;
            }
            case 1: {
                const int mid = (b1->c1max + b1->c1min) / 2;
                b1->c1max = mid;
                b2.c1min = mid + 1;
                break;
            }
            default: {
                const int mid = (b1->c2max + b1->c2min) / 2;
                b1->c2max = mid;
                b2.c2min = mid + 1;
                break;
            }
        }
        UpdateBox(*b1);
        UpdateBox(b2);
        boxes.push_back(b2);  // b1 may dangle from here on
    }
    colours_.clear();
    for (const SBox& b : boxes) colours_.push_back(BoxColour(b));
    return colours_;
}

namespace {

// The centres of a fill block's first and last cells, and between them.
struct SFillBlock {
    int minc0, minc1, minc2, maxc0, maxc1, maxc2, centre0, centre1, centre2;
};

SFillBlock FillBlockOf(int b0, int b1, int b2) {
    SFillBlock f;
    f.minc0 = (b0 << kBoxShift0) + ((1 << kShift0) >> 1);
    f.minc1 = (b1 << kBoxShift1) + ((1 << kShift1) >> 1);
    f.minc2 = (b2 << kBoxShift2) + ((1 << kShift2) >> 1);
    f.maxc0 = f.minc0 + ((1 << kBoxShift0) - (1 << kShift0));
    f.maxc1 = f.minc1 + ((1 << kBoxShift1) - (1 << kShift1));
    f.maxc2 = f.minc2 + ((1 << kBoxShift2) - (1 << kShift2));
    f.centre0 = (f.minc0 + f.maxc0) >> 1;
    f.centre1 = (f.minc1 + f.maxc1) >> 1;
    f.centre2 = (f.minc2 + f.maxc2) >> 1;
    return f;
}

// Each colour's least distance to the block into minDist; returns the
// smallest greatest distance of any colour. Colours whose least distance
// exceeds it are no candidates. Distances stay below
// (2 * 255)^2 + (3 * 255)^2 + 255^2, well within 32 bits.
int32_t CandidateBounds(const std::vector<SQuantColour>& colours, const SFillBlock& f,
                        std::array<int32_t, 256>& minDist) {
    int32_t minMaxDist = 0x7FFFFFFF;
    auto axis = [](int x, int lo, int hi, int centre, int scale, int32_t& mind, int32_t& maxd) {
        int32_t t;
        if (x < lo) {
            t = int32_t{x - lo} * scale;
            mind += t * t;
            t = int32_t{x - hi} * scale;
            maxd += t * t;
        } else if (x > hi) {
            t = int32_t{x - hi} * scale;
            mind += t * t;
            t = int32_t{x - lo} * scale;
            maxd += t * t;
        } else {
            t = int32_t{x <= centre ? x - hi : x - lo} * scale;
            maxd += t * t;
        }
    };
    for (size_t i = 0; i < colours.size(); ++i) {
        const SQuantColour& c = colours[i];
        int32_t mind = 0, maxd = 0;
        axis(c.blue, f.minc0, f.maxc0, f.centre0, kScale0, mind, maxd);
        axis(c.green, f.minc1, f.maxc1, f.centre1, kScale1, mind, maxd);
        axis(c.red, f.minc2, f.maxc2, f.centre2, kScale2, mind, maxd);
        minDist[i] = mind;
        minMaxDist = std::min(minMaxDist, maxd);
    }
    return minMaxDist;
}

// The nearest candidate for every cell centre of the block, the first
// candidate winning ties. Per candidate the squared distances along blue,
// and along green and red together, are summed over the block's cells in
// rows of kElems12, which vectorise.
void NearestInBlock(const std::vector<SQuantColour>& colours, const SFillBlock& f,
                    const std::array<int32_t, 256>& minDist, int32_t minMaxDist,
                    std::array<int32_t, kBoxCells>& best) {
    constexpr int kElems12 = kBoxElems1 * kBoxElems2;
    alignas(32) std::array<int32_t, kBoxCells> bestDist;
    bestDist.fill(0x7FFFFFFF);
    const int n = static_cast<int>(colours.size());
    for (int i = 0; i < n; ++i) {
        if (minDist[static_cast<size_t>(i)] > minMaxDist) continue;
        const SQuantColour& c = colours[static_cast<size_t>(i)];
        std::array<int32_t, kBoxElems0> d0;
        alignas(32) std::array<int32_t, kElems12> d12;
        for (int i0 = 0; i0 < kBoxElems0; ++i0) {
            const int32_t t = (f.minc0 + (i0 << kShift0) - c.blue) * kScale0;
            d0[static_cast<size_t>(i0)] = t * t;
        }
        for (int i1 = 0; i1 < kBoxElems1; ++i1) {
            const int32_t t1 = (f.minc1 + (i1 << kShift1) - c.green) * kScale1;
            for (int i2 = 0; i2 < kBoxElems2; ++i2) {
                const int32_t t2 = (f.minc2 + (i2 << kShift2) - c.red) * kScale2;
                d12[static_cast<size_t>(i1 * kBoxElems2 + i2)] = t1 * t1 + t2 * t2;
            }
        }
        for (size_t i0 = 0; i0 < kBoxElems0; ++i0) {
            int32_t* const bd = bestDist.data() + i0 * kElems12;
            int32_t* const bi = best.data() + i0 * kElems12;
            for (size_t k = 0; k < kElems12; ++k) {
                const int32_t d = d0[i0] + d12[k];
                const bool nearer = d < bd[k];
                bd[k] = nearer ? d : bd[k];
                bi[k] = nearer ? i : bi[k];
            }
        }
    }
}

}  // namespace

// Fills the nearest-colour cache for the 4x8x4 block holding cell c0/c1/c2
// with the entries of the nearest colours.
void CQuantizer::FillInverse(int c0, int c1, int c2, const uint32_t* entries,
                             uint32_t* cache) const {
    const SFillBlock f = FillBlockOf(c0 >> kBoxLog0, c1 >> kBoxLog1, c2 >> kBoxLog2);
    std::array<int32_t, 256> minDist{};
    const int32_t minMaxDist = CandidateBounds(colours_, f, minDist);
    alignas(32) std::array<int32_t, kBoxCells> best{};
    NearestInBlock(colours_, f, minDist, minMaxDist, best);
    c0 = c0 >> kBoxLog0 << kBoxLog0;
    c1 = c1 >> kBoxLog1 << kBoxLog1;
    c2 = c2 >> kBoxLog2 << kBoxLog2;
    size_t k = 0;
    for (int i0 = 0; i0 < kBoxElems0; ++i0)
        for (int i1 = 0; i1 < kBoxElems1; ++i1) {
            uint32_t* cell = cache + CellIndex(c0 + i0, c1 + i1, c2);
            for (int i2 = 0; i2 < kBoxElems2; ++i2)
                *cell++ = entries[static_cast<size_t>(best[k++])];
        }
}

// Nearest colour to one cell's centre, the first winning ties: what the
// block fill gives that cell (its candidates always hold the nearest).
int CQuantizer::NearestOfCell(int c0, int c1, int c2) const {
    const int x0 = (c0 << kShift0) + ((1 << kShift0) >> 1);
    const int x1 = (c1 << kShift1) + ((1 << kShift1) >> 1);
    const int x2 = (c2 << kShift2) + ((1 << kShift2) >> 1);
    int32_t best = 0x7FFFFFFF;
    int index = 0;
    for (size_t i = 0; i < colours_.size(); ++i) {
        const SQuantColour& c = colours_[i];
        const int32_t d0 = (x0 - c.blue) * kScale0, d1 = (x1 - c.green) * kScale1,
                      d2 = (x2 - c.red) * kScale2;
        const int32_t dist = d0 * d0 + d1 * d1 + d2 * d2;
        if (dist < best) best = dist, index = static_cast<int>(i);
    }
    return index;
}

namespace {

// What one row of the mapping pass reads besides its pixels.
struct SMapRowContext {
    uint32_t* cache;       // per cell: index + 1 << 24 | red << 16 | green << 8 | blue, 0 unfilled
    const int16_t* limit;  // SSumLimit's, by the sum before the shift
    uint8_t transparentIndex;
    // Fills the cell (and, for a large picture, its block) and gives its entry.
    uint32_t (*fill)(void* owner, int c0, int c1, int c2);
    void* owner;
};

// One row in direction kDir. err points at the entry of the column before
// the first one taken: on entry the row above's errors, on return this row's.
// The chain of dependent steps from one pixel to the next is kept short: the
// arithmetic is 64-bit (no sign extension before a lookup), one lookup gives
// the rounded and limited error, and the clamp to 0..255, which a photo's
// pixels seldom need, is a branch off it.
template <int kDir, bool kAlpha>
void MapRow(const SMapRowContext& ctx, const uint8_t* in, uint8_t* out, const uint8_t* alpha,
            int* err, size_t width) {
    constexpr ptrdiff_t kDir3 = kDir * 3;
    // Locals, which the byte stores of the output cannot alias.
    uint32_t* const cache = ctx.cache;
    const int16_t* const limit = ctx.limit;
    const uint8_t transparentIndex = ctx.transparentIndex;
    ptrdiff_t x = kDir > 0 ? 0 : static_cast<ptrdiff_t>(width) - 1;
    ptrdiff_t cur0 = 0, cur1 = 0, cur2 = 0;  // seven times the error carried ahead
    ptrdiff_t below0 = 0, below1 = 0, below2 = 0;
    ptrdiff_t prev0 = 0, prev1 = 0, prev2 = 0;
    for (size_t n = 0; n < width; ++n, x += kDir, err += kDir3) {
        ptrdiff_t e0 = 0, e1 = 0, e2 = 0;
        if (kAlpha && alpha[x] < kQuantTransparentAlpha) {
            out[x] = transparentIndex;
        } else {
            const uint8_t* p = in + 3 * x;
            ptrdiff_t v0 = limit[cur0 + err[kDir3 + 0] + 8] + p[0];
            ptrdiff_t v1 = limit[cur1 + err[kDir3 + 1] + 8] + p[1];
            ptrdiff_t v2 = limit[cur2 + err[kDir3 + 2] + 8] + p[2];
            if ((v0 | v1 | v2) & ~ptrdiff_t{255}) [[unlikely]] {
                v0 = std::clamp<ptrdiff_t>(v0, 0, 255);
                v1 = std::clamp<ptrdiff_t>(v1, 0, 255);
                v2 = std::clamp<ptrdiff_t>(v2, 0, 255);
            }
            const size_t cell = static_cast<size_t>((v0 >> kShift0) << (kBits1 + kBits2) |
                                                    (v1 >> kShift1) << kBits2 | (v2 >> kShift2));
            uint32_t entry = cache[cell];
            if (entry == 0) [[unlikely]]
                entry = ctx.fill(ctx.owner, static_cast<int>(v0 >> kShift0),
                                 static_cast<int>(v1 >> kShift1), static_cast<int>(v2 >> kShift2));
            out[x] = static_cast<uint8_t>((entry >> 24) - 1);
            e0 = v0 - ptrdiff_t{entry & 0xFF};
            e1 = v1 - ptrdiff_t{(entry >> 8) & 0xFF};
            e2 = v2 - ptrdiff_t{(entry >> 16) & 0xFF};
        }
        // 3/16 behind below, 5/16 below, 1/16 ahead below, 7/16 ahead.
        err[0] = static_cast<int>(prev0 + e0 * 3);
        prev0 = below0 + e0 * 5;
        below0 = e0;
        cur0 = e0 * 7;
        err[1] = static_cast<int>(prev1 + e1 * 3);
        prev1 = below1 + e1 * 5;
        below1 = e1;
        cur1 = e1 * 7;
        err[2] = static_cast<int>(prev2 + e2 * 3);
        prev2 = below2 + e2 * 5;
        below2 = e2;
        cur2 = e2 * 7;
    }
    err[0] = static_cast<int>(prev0);
    err[1] = static_cast<int>(prev1);
    err[2] = static_cast<int>(prev2);
}

}  // namespace

bool CQuantizer::Map(const Bitmap& rgb24, std::span<const uint8_t> alpha, uint8_t transparentIndex,
                     Bitmap& out, const QuantRowsDone& rowsDone) {
    if (rgb24.IsEmpty() || rgb24.Format() != EPixelFormat::Rgb24 || colours_.empty() ||
        out.Format() != EPixelFormat::Indexed8 || out.Width() != rgb24.Width() ||
        out.Height() != rgb24.Height())
        return false;
    const size_t width = static_cast<size_t>(rgb24.Width());
    if (!alpha.empty() && alpha.size() < width * static_cast<size_t>(rgb24.Height())) return false;
    // The cache as the mapping reads it: per cell the colour's index + 1 in
    // the top byte over its blue, green and red, so one load gives both the
    // index and the colour whose error is spread (0: not filled yet; with 256
    // colours the last one's index wraps to 0, and when it is black its cells
    // are filled again whenever reached, with the same result). A local,
    // which the byte stores of the output cannot alias.
    std::vector<uint32_t> entries(hist_.size(), 0);
    struct SFill {
        const CQuantizer* self;
        uint32_t* cache;
        std::array<uint32_t, 256> packed{};
        // A small picture touches few cells of each block it reaches: filling
        // just the cell is cheaper than filling the block.
        bool sparse;
    } fill{this, entries.data(), {}, width * static_cast<size_t>(rgb24.Height()) < kSparsePixels};
    for (size_t i = 0; i < colours_.size() && i < fill.packed.size(); ++i)
        fill.packed[i] = (static_cast<uint32_t>(i) + 1) << 24 | uint32_t{colours_[i].red} << 16 |
                         uint32_t{colours_[i].green} << 8 | colours_[i].blue;
    const SMapRowContext ctx{
        entries.data(), SumLimit().Centre(), transparentIndex,
        [](void* owner, int c0, int c1, int c2) {
            SFill& f = *static_cast<SFill*>(owner);
            uint32_t& cell = f.cache[CellIndex(c0, c1, c2)];
            if (f.sparse)
                cell = f.packed[static_cast<size_t>(f.self->NearestOfCell(c0, c1, c2))];
            else
                f.self->FillInverse(c0, c1, c2, f.packed.data(), f.cache);
            return cell;
        },
        &fill};
    // Errors below the previous row, one entry per column plus one either side.
    std::vector<int> errors((width + 2) * 3, 0);
    for (int y = 0; y < rgb24.Height(); ++y) {
        const uint8_t* in = rgb24.Row(y);
        uint8_t* outRow = out.Row(y);
        const uint8_t* rowAlpha =
            alpha.empty() ? nullptr : alpha.data() + width * static_cast<size_t>(y);
        const bool odd = (y & 1) != 0;
        int* const err = odd ? errors.data() + (width + 1) * 3 : errors.data();
        if (rowAlpha && odd)
            MapRow<-1, true>(ctx, in, outRow, rowAlpha, err, width);
        else if (rowAlpha)
            MapRow<1, true>(ctx, in, outRow, rowAlpha, err, width);
        else if (odd)
            MapRow<-1, false>(ctx, in, outRow, rowAlpha, err, width);
        else
            MapRow<1, false>(ctx, in, outRow, rowAlpha, err, width);
        if (rowsDone && ((y + 1) % 16 == 0 || y + 1 == rgb24.Height())) rowsDone(out, y + 1);
    }
    return true;
}

std::vector<SQuantColour> QuantizeImage(const Bitmap& rgb24, std::span<const uint8_t> alpha,
                                        Bitmap& out, int maxColours,
                                        const QuantRowsDone& rowsDone) {
    if (rgb24.IsEmpty() || rgb24.Format() != EPixelFormat::Rgb24) return {};
    CQuantizer q;
    q.Count(rgb24);
    return QuantizeCounted(q, rgb24, alpha, out, maxColours, rowsDone);
}

std::vector<SQuantColour> QuantizeCounted(CQuantizer& q, const Bitmap& rgb24,
                                          std::span<const uint8_t> alpha, Bitmap& out,
                                          int maxColours, const QuantRowsDone& rowsDone) {
    if (rgb24.IsEmpty() || rgb24.Format() != EPixelFormat::Rgb24) return {};
    std::vector<SQuantColour> colours = q.SelectColours(maxColours);
    // Map sets every pixel.
    Bitmap indexed(rgb24.Width(), rgb24.Height(), EPixelFormat::Indexed8, Bitmap::SUninitialised{});
    if (indexed.IsEmpty() ||
        !q.Map(rgb24, alpha, static_cast<uint8_t>(std::min<size_t>(colours.size(), 255)), indexed,
               rowsDone))
        return {};
    out = std::move(indexed);
    return colours;
}

}  // namespace tessel
