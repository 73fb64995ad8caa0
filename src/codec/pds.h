// Palette definition segment (PDS) and the palette list of a display set.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/segment.h"
#include "platform/archive.h"

namespace tessel {

// One palette entry; a new entry has every field 0xFF.
struct SPaletteEntry {
    uint8_t id = 0xFF;
    uint8_t y = 0xFF;
    uint8_t cr = 0xFF;
    uint8_t cb = 0xFF;
    uint8_t t = 0xFF;

    bool operator==(const SPaletteEntry&) const = default;
};

constexpr int kMaxPaletteEntries = 256;

class CPds : public CSegmentBase {
public:
    CPds() : CSegmentBase(kSegmentPds) {}

    void Clear() override { entries.clear(); }
    int Parse(std::span<const uint8_t> payload) override;
    void Dump(std::string& out, const std::string& indent) const override;
    // Archive form: reserved 4 bytes, id, version, entry count, entries.
    void Serialize(CArchive& ar);

    uint8_t paletteId = 0;
    uint8_t paletteVersion = 0;
    // In stream order, duplicates kept; only the first 256 are written.
    std::vector<SPaletteEntry> entries;

protected:
    void WritePayload(CByteWriter& w) override;
};

// The PDS of one display set, in arrival order.
class CPdsFolder : public CSegmentArray<CPds> {
public:
    // Archive form: reserved 4 bytes, count, each PDS.
    void Serialize(CArchive& ar);
};

// The first PDS of the folder with the palette id, or null.
CPds* FindPalette(const CPdsFolder* folder, int paletteId);

}  // namespace tessel
