#include "authoring/synthetic_photo.h"

#include <algorithm>
#include <vector>

namespace tessel::authoring {

namespace {

uint32_t Next(uint32_t& s) {
    s = s * 1664525u + 1013904223u;
    return s;
}

}  // namespace

Bitmap SyntheticPhoto(int width, int height, uint32_t seed) {
    Bitmap img(width, height, EPixelFormat::Rgb24);
    if (img.IsEmpty()) return img;
    // A coarse grid of random colours, interpolated bilinearly in 1/256 steps.
    constexpr int kCell = 96;
    const int gw = width / kCell + 2, gh = height / kCell + 2;
    uint32_t s = seed * 2654435761u + 1;
    std::vector<int> grid(static_cast<size_t>(gw) * gh * 3);
    for (int& v : grid) v = static_cast<int>(Next(s) >> 24);
    auto at = [&](int gx, int gy, int c) {
        return grid[(static_cast<size_t>(gy) * gw + gx) * 3 + c];
    };
    // Two soft highlights.
    const int hx[2] = {width / 3, width * 3 / 4}, hy[2] = {height / 3, height * 2 / 3};
    const int radius2 = std::max(1, width * height / 12);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = img.Row(y);
        const int gy = y / kCell, fy = (y % kCell) * 256 / kCell;
        for (int x = 0; x < width; ++x, p += 3) {
            const int gx = x / kCell, fx = (x % kCell) * 256 / kCell;
            int glow = 0;
            for (int k = 0; k < 2; ++k) {
                const int dx = x - hx[k], dy = y - hy[k];
                const int d = (dx * dx + dy * dy) * 64 / radius2;
                glow += std::max(0, 64 - d);
            }
            const int grain = static_cast<int>(Next(s) >> 28) - 8;
            for (int c = 0; c < 3; ++c) {
                const int top = at(gx, gy, c) * (256 - fx) + at(gx + 1, gy, c) * fx;
                const int bottom = at(gx, gy + 1, c) * (256 - fx) + at(gx + 1, gy + 1, c) * fx;
                const int v = (top * (256 - fy) + bottom * fy) >> 16;
                p[c] = static_cast<uint8_t>(std::clamp(v * 3 / 4 + glow + grain, 0, 255));
            }
        }
    }
    return img;
}

}  // namespace tessel::authoring
