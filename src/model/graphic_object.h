// Graphic objects of an epoch and their folder: the picture decoded from the
// stream or attached from an image file, with its palette.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/named_object.h"
#include "model/palette.h"
#include "platform/bitmap.h"
#include "platform/result.h"

namespace tessel {

class CGraphicObject : public CNamedObject {
public:
    CGraphicObject() { name = "Graphic"; }

    // Releases the palette and the bitmap.
    void Clear() override;
    void CopyFrom(const CNamedObject& other) override { CopyItems(other); }
    // Every field; the palette deep-copied, the bitmap shared.
    void CopyItems(const CNamedObject& other);
    // Base, then the image file path (relative to the archive when below it);
    // loading attaches the image again.
    void Serialize(CArchive& ar) override;

    // Attaches an image file: false when it is the current one (ignoring
    // case) or cannot be loaded; an empty path detaches.
    bool SetImageFile(const std::string& path);

    // The picture to encode: the bitmap, else the image file as 8-bit
    // indexed. Empty when there is neither or the file does not load.
    CResultOf<Bitmap> IndexedPicture() const;

    // Whether the rip writes this object: it holds a decoded bitmap.
    bool HasPicture() const { return bitmap && !bitmap->IsEmpty(); }
    // Writes the bitmap as "%04d.png" of id + 1 into folder (with its
    // separator), replacing a file of that name; the result stays in
    // saveStatus. False without a bitmap (nothing written) or when the
    // write failed.
    bool SavePicture(const std::string& folder);
    // The file name SavePicture writes: "%04d.png" of id + 1.
    std::string PictureFileName() const;

    std::string imageFile;
    std::unique_ptr<CErgbPalette> palette;
    std::shared_ptr<Bitmap> bitmap;
    int width = 0;
    int height = 0;
    // Result of the last PNG write of the bitmap (0 ok).
    int saveStatus = 0;
};

// Candidate graphic objects in folder order (a folder's own items first, then
// its sub-folders depth-first); the first object with an id wins.
using CGraphicObjectList = std::vector<CGraphicObject*>;
// Candidate palettes of an epoch, in folder order.
using CPaletteList = std::vector<CNamedObject*>;

class CGoFolder : public CNamedFolder<CGraphicObject, CGoFolder> {
public:
    CGoFolder() { name = "Graphics"; }

    void CopyFrom(const CNamedObject& other) override;
    // Base, items, then sub-folders.
    void Serialize(CArchive& ar) override;

    CGraphicObject* AddNewObject();
    CGraphicObjectList List() const;
};

// Stored form of a file path in an archive: relative to the archive's folder
// when the path lies below it. Resolved joins a relative path to the folder.
std::string RelativeToArchive(const CArchive& ar, const std::string& path);
std::string ResolveFromArchive(const CArchive& ar, const std::string& stored);

}  // namespace tessel
