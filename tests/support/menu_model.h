// Menus built directly in the model for tests: one epoch, one display set,
// pages of groups of buttons whose objects are flat squares of one index.
#pragma once

#include <memory>

#include "model/epoch.h"
#include "model/ig_object.h"

namespace tessel::test {

// A command as the stream stores it: four option bytes, then the destination
// and source operands big-endian.
inline CNavCmd Cmd(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint32_t dst, uint32_t src) {
    CNavCmd c;
    c.bytes[0] = b0, c.bytes[1] = b1, c.bytes[2] = b2, c.bytes[3] = b3;
    for (int i = 0; i < 4; ++i) {
        c.bytes[4 + i] = static_cast<uint8_t>(dst >> (24 - 8 * i));
        c.bytes[8 + i] = static_cast<uint8_t>(src >> (24 - 8 * i));
    }
    return c;
}

// Jump Title n.
inline CNavCmd JumpTitle(uint32_t n) {
    return Cmd(0x21, 0x81, 0, 0, n, 0);
}

// SetButtonPage with immediate button and page.
inline CNavCmd SetButtonPage(int button, int page) {
    return Cmd(0x51, 0xC0, 0, 3, 0x80000000u | static_cast<uint32_t>(button),
               0x80000000u | static_cast<uint32_t>(page));
}

// One epoch, one display set, one page; more pages through ds->AddNewPage().
struct SMenuModel {
    SMenuModel(int videoWidth = 400, int videoHeight = 300) {
        ig.video.width = static_cast<uint16_t>(videoWidth);
        ig.video.height = static_cast<uint16_t>(videoHeight);
        epoch = ig.Append(std::make_unique<CEpoch>());
        ds = AddDisplaySet(*epoch);
        page = ds->AddNewPage();
        palette = epoch->palettes.AddPalette();
        palette->id = 0;
        // 1 red, 2 green, 3 blue, 4 half-transparent white; 0 and 255 unnamed.
        palette->records = {
            {1, 0, 0, 255, 255}, {2, 0, 255, 0, 255}, {3, 255, 0, 0, 255}, {4, 255, 255, 255, 128}};
        page->palette.ptr = palette;
        page->palette.id = 0;
    }

    CGraphicObject* Object(int w, int h, uint8_t index) {
        CGraphicObject* o = epoch->graphics.AddNewObject();
        o->id = nextObject++;
        o->width = w;
        o->height = h;
        o->bitmap = std::make_shared<Bitmap>(w, h, EPixelFormat::Indexed8);
        o->bitmap->Fill(index);
        return o;
    }

    // A button at (x, y) with Normal, and optionally Selected and Activated,
    // objects; it becomes its group's default valid button when it is first.
    CBdButton* Button(CBog& bog, int x, int y, CGraphicObject* normal,
                      CGraphicObject* selected = nullptr, CGraphicObject* activated = nullptr) {
        CBdButton* b = bog.AddNewButton();
        b->x = static_cast<uint16_t>(x);
        b->y = static_cast<uint16_t>(y);
        CGraphicObject* objects[3] = {normal, selected, activated};
        for (int s = 0; s < 3; ++s)
            if (objects[s]) {
                b->states[s].start.ptr = objects[s];
                b->states[s].start.id = objects[s]->id;
                b->states[s].end = b->states[s].start;
            }
        return b;
    }

    CIgObject ig;
    CEpoch* epoch = nullptr;
    CDisplaySet* ds = nullptr;
    CPage* page = nullptr;
    CErgbPalette* palette = nullptr;
    int nextObject = 0;
};

}  // namespace tessel::test
