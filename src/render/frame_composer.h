// Frames of a menu in time, composed incrementally: the frame holds the
// pictures shown (graphic objects placed, cropped, through a palette,
// clipped to a window) over a background colour, and a new frame redraws
// only the rectangles where its pictures differ from the last. The pixels
// are those the page composer's view picture gives at zoom 1 without
// outlines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "platform/bitmap.h"

namespace tessel {

class CErgbPalette;
class CGraphicObject;

// A rectangle of pixels: corner and size.
struct SFrameRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool operator==(const SFrameRect&) const = default;
};
SFrameRect Intersect(const SFrameRect& a, const SFrameRect& b);
// The smallest rectangle holding both (an empty one adds nothing).
SFrameRect Union(const SFrameRect& a, const SFrameRect& b);

// One picture of a frame: the object's top left corner at (x, y) of the
// video; only its crop rectangle (in the object's pixels) when given, that
// part's corner then at (x, y); through the palette (null: the object's
// own); clipped to the window (none: the frame).
struct SFrameItem {
    const CGraphicObject* object = nullptr;
    int x = 0, y = 0;
    std::optional<SFrameRect> crop;
    const CErgbPalette* palette = nullptr;
    std::optional<SFrameRect> window;
    bool operator==(const SFrameItem&) const = default;
};

class CBdButton;
class CEffectObject;
class CPage;

// A button's picture as the page composer draws it: object at the button's
// position, through the page's palette.
SFrameItem ButtonItem(const CPage& page, const CBdButton& button, const CGraphicObject* object);
// An effect's composition objects: each at its position, cropped when its
// crop flag says, through the effect's palette, clipped to its window.
std::vector<SFrameItem> EffectItems(const CEffectObject& effect);

class CFrameComposer {
public:
    // A frame of width x height pixels in the opaque background colour
    // (ARGB), with no pictures.
    CFrameComposer(int width, int height, uint32_t background);

    // The next frame's pictures, drawn in order: redraws where they differ
    // from the last frame's and returns the rectangles redrawn (none when
    // the frame stayed the same).
    std::vector<SFrameRect> Show(std::vector<SFrameItem> items);
    // The pictures without drawing; Recompose then redraws only the
    // rectangles given (clipped to the frame), RecomposeAll all of it.
    void SetItems(std::vector<SFrameItem> items);
    void Recompose(std::span<const SFrameRect> rects);
    void RecomposeAll();

    // The frame: 32-bit ARGB, opaque.
    const Bitmap& Frame() const { return frame_; }
    // The pictures alone over transparency (the frame without background).
    const Bitmap& Layer() const { return layer_; }
    const std::vector<SFrameItem>& Items() const { return items_; }
    // Where an item draws in the frame (empty when nowhere).
    SFrameRect Bounds(const SFrameItem& item) const;

private:
    void RecomposeRect(const SFrameRect& rect);
    void Draw(const SFrameItem& item, const SFrameRect& clip);
    const SPalette* PaletteOf(const CErgbPalette* palette);
    const Bitmap* PictureOf(const CGraphicObject& object);

    uint32_t background_;
    Bitmap frame_;
    Bitmap layer_;  // the pictures alone, over transparency
    std::vector<SFrameItem> items_;
    std::map<const CErgbPalette*, SPalette> palettes_;
    std::map<const CGraphicObject*, Bitmap> loaded_;  // objects known by file only
};

}  // namespace tessel
