// RGB palettes of an epoch: CErgbPalette and its folder CPoFolder.
#pragma once

#include <cstdint>

#include "codec/colour.h"
#include "model/named_object.h"

namespace tessel {

class CPds;

// A named list of RGB entries; the named-object id is the PDS palette id.
class CErgbPalette : public CTypeArray<ERGBQUAD> {
public:
    void CopyFrom(const CNamedObject& other) override;
    // Archive form: name, id, transparent index (byte), entry count (int32),
    // then 5 bytes per entry (index, blue, green, red, alpha).
    void Serialize(CArchive& ar) override;

    uint8_t transparentIndex = 255;
};

// The palettes of an epoch, named "Palettes".
class CPoFolder : public CNamedPtrArray<CErgbPalette> {
public:
    CPoFolder() { name = "Palettes"; }
    // A new palette named "Palettte#n" (n = palettes held before), transparent
    // index 255.
    CErgbPalette* AddPalette();
};

// Appends one entry per PDS entry, in list order.
void PaletteFromPds(const CPds& pds, CErgbPalette& palette);
// Replaces the PDS entries by the first 256 palette entries converted, and
// gives the PDS the palette's id; the version stays.
void PdsFromPalette(const CErgbPalette& palette, CPds& pds);
// The palette of an image as 8-bit indexed (at most 255 entries), its
// transparent index from the top-left pixel; returns the number of entries.
int PaletteFromImage(const Bitmap& image, double opacity, CErgbPalette& palette);

}  // namespace tessel
