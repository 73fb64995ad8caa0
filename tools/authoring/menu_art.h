// Pictures for generated menus, drawn without external files: rounded
// buttons with a soft semi-transparent edge and a text label.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel::authoring {

struct SArgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, row by row

    uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

enum class EButtonLook { Normal, Selected, Activated };

// A button picture: fill colour by look, label centred in a 5x7 pixel font.
// With flatSteps > 0 the gradient goes in that many flat steps and the edge is
// hard, so that the picture has few colours even when drawn over another.
SArgbImage DrawButton(int width, int height, uint32_t baseColour, const std::string& label,
                      EButtonLook look, int flatSteps = 0);

// A page background: eight flat bands from the top colour to the bottom one, a
// frame line inset from the edges and a title line within the top sixth, all
// in flat colours so that the picture keeps a small palette and short runs.
SArgbImage DrawBackground(int width, int height, uint32_t topColour, uint32_t bottomColour,
                          const std::string& title);

// The part of a picture at (x, y), width by height; outside pixels are
// transparent.
SArgbImage Crop(const SArgbImage& img, int x, int y, int width, int height);

// Draws over onto img at (x, y), blending by the alpha of over.
void Blend(SArgbImage& img, const SArgbImage& over, int x, int y);

// The colour with its red, green and blue scaled by f, opaque.
uint32_t Shade(uint32_t colour, double f);

// Draws text with the built-in font at scale s; unknown characters are blank.
void DrawText(SArgbImage& img, int x, int y, const std::string& text, uint32_t colour, int s);
int TextWidth(const std::string& text, int s);

}  // namespace tessel::authoring
