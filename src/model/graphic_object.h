// A graphic object of an epoch's graphics folder, as pages and buttons see it.
// The IG object extends this with its bitmap, palette and image file.
#pragma once

#include <vector>

#include "model/named_object.h"

namespace tessel {

class CGraphicObject : public CNamedObject {
public:
    const char* ClassName() const override { return "CGraphicObject"; }
    void CopyFrom(const CNamedObject& other) override { CopyItems(other); }
    void CopyItems(const CNamedObject& other) {
        CopyBase(other);
        if (auto* o = dynamic_cast<const CGraphicObject*>(&other)) {
            width = o->width;
            height = o->height;
        }
    }

    int width = 0;
    int height = 0;
};

// Candidate graphic objects in folder order (a folder's own items first, then
// its sub-folders depth-first); the first object with an id wins.
using CGraphicObjectList = std::vector<CGraphicObject*>;
// Candidate palettes of an epoch, in folder order.
using CPaletteList = std::vector<CNamedObject*>;

}  // namespace tessel
