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
SArgbImage DrawButton(int width, int height, uint32_t baseColour, const std::string& label,
                      EButtonLook look);

// A page background: a vertical gradient with a title line.
SArgbImage DrawBackground(int width, int height, uint32_t topColour, uint32_t bottomColour,
                          const std::string& title);

// Draws text with the built-in font at scale s; unknown characters are blank.
void DrawText(SArgbImage& img, int x, int y, const std::string& text, uint32_t colour, int s);
int TextWidth(const std::string& text, int s);

}  // namespace tessel::authoring
