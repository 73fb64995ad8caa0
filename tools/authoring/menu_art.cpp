#include "authoring/menu_art.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tessel::authoring {

namespace {

// 5x7 glyphs, one byte per row, bit 4 the leftmost column.
struct SGlyph {
    char c;
    uint8_t rows[7];
};

constexpr SGlyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
    {'>', {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}},
    {'<', {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}},
};

const SGlyph* Find(char c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto& g : kFont)
        if (g.c == c) return &g;
    return nullptr;
}

uint32_t Argb(int a, int r, int g, int b) {
    auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

uint32_t Scale(uint32_t colour, double f, int alpha) {
    return Argb(alpha, static_cast<int>(((colour >> 16) & 0xFF) * f),
                static_cast<int>(((colour >> 8) & 0xFF) * f),
                static_cast<int>((colour & 0xFF) * f));
}

}  // namespace

int TextWidth(const std::string& text, int s) {
    return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * s - s;
}

void DrawText(SArgbImage& img, int x, int y, const std::string& text, uint32_t colour, int s) {
    for (size_t i = 0; i < text.size(); ++i) {
        const SGlyph* g = Find(text[i]);
        if (!g) continue;
        const int gx = x + static_cast<int>(i) * 6 * s;
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col) {
                if (!(g->rows[row] & (0x10 >> col))) continue;
                for (int dy = 0; dy < s; ++dy)
                    for (int dx = 0; dx < s; ++dx) {
                        const int px = gx + col * s + dx, py = y + row * s + dy;
                        if (px >= 0 && py >= 0 && px < img.width && py < img.height)
                            img.At(px, py) = colour;
                    }
            }
    }
}

SArgbImage DrawButton(int width, int height, uint32_t baseColour, const std::string& label,
                      EButtonLook look, int flatSteps) {
    SArgbImage img{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, 0)};
    const double shade = look == EButtonLook::Normal     ? 0.55
                         : look == EButtonLook::Selected ? 1.0
                                                         : 0.8;
    const double radius = std::min(width, height) * 0.3;
    const double edge = 3.0;  // width of the soft border, in pixels
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Distance inside the rounded rectangle.
            const double cx = std::clamp(x + 0.5, radius, width - radius);
            const double cy = std::clamp(y + 0.5, radius, height - radius);
            const double d = radius - std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= 0) continue;
            // Quantised alpha steps keep the colour count small.
            const int alpha =
                d >= edge || flatSteps > 0 ? 255 : static_cast<int>(d / edge * 4) * 64 + 32;
            double t = static_cast<double>(y) / std::max(1, height - 1);
            if (flatSteps > 0)
                t = std::min(flatSteps - 1, static_cast<int>(t * flatSteps)) /
                    static_cast<double>(std::max(1, flatSteps - 1));
            const double grad = 1.0 - 0.25 * t;
            img.At(x, y) = Scale(baseColour, shade * grad, alpha);
        }
    int s = std::max(1, height / 14);
    while (s > 1 && TextWidth(label, s) > width - 8) --s;
    const uint32_t ink = look == EButtonLook::Selected ? 0xFFFFFF60u : 0xFFFFFFFFu;
    DrawText(img, (width - TextWidth(label, s)) / 2, (height - 7 * s) / 2, label, ink, s);
    if (look == EButtonLook::Activated)
        for (int x = 2; x < width - 2; ++x)
            if (height > 4) img.At(x, height - 3) = 0xFFFFFFFFu;
    return img;
}

SArgbImage DrawBackground(int width, int height, uint32_t top, uint32_t bottom,
                          const std::string& title) {
    SArgbImage img{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        // Eight bands, so the picture stays within a small palette.
        const double f = static_cast<int>(8.0 * y / std::max(1, height)) / 7.0;
        auto mix = [&](int sh) {
            return static_cast<int>(((top >> sh) & 0xFF) * (1 - f) + ((bottom >> sh) & 0xFF) * f);
        };
        const uint32_t c = Argb(255, mix(16), mix(8), mix(0));
        for (int x = 0; x < width; ++x) img.At(x, y) = c;
    }
    // The frame: a line inset by a fortieth of the height.
    const int inset = std::max(1, height / 40), line = std::max(1, height / 270);
    const uint32_t frame = 0xFFD8C890u;
    for (int y = inset; y < height - inset; ++y)
        for (int x = inset; x < width - inset; ++x)
            if (y < inset + line || y >= height - inset - line || x < inset + line ||
                x >= width - inset - line)
                img.At(x, y) = frame;
    int s = std::max(1, height / 72);
    while (s > 1 && TextWidth(title, s) > width - 4 * inset) --s;
    DrawText(img, (width - TextWidth(title, s)) / 2, height / 20, title, 0xFFFFFFFFu, s);
    return img;
}

SArgbImage Crop(const SArgbImage& img, int x, int y, int width, int height) {
    SArgbImage out{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, 0)};
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            if (x + c >= 0 && y + r >= 0 && x + c < img.width && y + r < img.height)
                out.At(c, r) = img.pixels[static_cast<size_t>(y + r) * img.width + x + c];
    return out;
}

void Blend(SArgbImage& img, const SArgbImage& over, int x, int y) {
    for (int r = 0; r < over.height; ++r)
        for (int c = 0; c < over.width; ++c) {
            const int px = x + c, py = y + r;
            if (px < 0 || py < 0 || px >= img.width || py >= img.height) continue;
            const uint32_t src = over.pixels[static_cast<size_t>(r) * over.width + c];
            const int a = static_cast<int>(src >> 24);
            if (a == 0) continue;
            uint32_t& dst = img.At(px, py);
            auto mix = [&](int sh) {
                return (static_cast<int>((src >> sh) & 0xFF) * a +
                        static_cast<int>((dst >> sh) & 0xFF) * (255 - a) + 127) /
                       255;
            };
            const int da = static_cast<int>(dst >> 24);
            dst = Argb(a + da * (255 - a) / 255, mix(16), mix(8), mix(0));
        }
}

uint32_t Shade(uint32_t colour, double f) {
    return Scale(colour, f, 255);
}

}  // namespace tessel::authoring
