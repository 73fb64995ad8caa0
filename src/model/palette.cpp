#include "model/palette.h"

#include <algorithm>
#include <memory>

#include "codec/pds.h"

namespace tessel {

void CErgbPalette::CopyFrom(const CNamedObject& other) {
    CopyBase(other);
    if (auto* o = dynamic_cast<const CErgbPalette*>(&other)) {
        records = o->records;
        transparentIndex = o->transparentIndex;
    }
}

void CErgbPalette::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    ar.Io(transparentIndex);
    int32_t n = GetSize();
    ar.Io(n);
    if (ar.IsLoading()) {
        if (n < 0 || n > 65536) {
            ar.Fail("bad palette entry count");
            return;
        }
        if (!ar.CheckCount(static_cast<uint64_t>(n), 5, "palette entry")) return;
        records.assign(static_cast<size_t>(n), ERGBQUAD{});
    }
    for (ERGBQUAD& q : records) {
        ar.Io(q.index);
        ar.Io(q.blue);
        ar.Io(q.green);
        ar.Io(q.red);
        ar.Io(q.alpha);
    }
}

CErgbPalette* CPoFolder::AddPalette() {
    auto p = std::make_unique<CErgbPalette>();
    p->name = NumberedName("Palettte", GetSize());
    p->transparentIndex = 255;
    return Append(std::move(p));
}

void PaletteFromPds(const CPds& pds, CErgbPalette& palette) {
    for (const SPaletteEntry& e : pds.entries) {
        const SRgb c = YcbcrToRgb(e.y, e.cr, e.cb);
        palette.records.push_back({e.id, c.blue, c.green, c.red, e.t});
    }
}

void PdsFromPalette(const CErgbPalette& palette, CPds& pds) {
    pds.entries.clear();
    const size_t n = std::min<size_t>(palette.records.size(), kMaxPaletteEntries);
    for (size_t i = 0; i < n; ++i) {
        const ERGBQUAD& q = palette.records[i];
        const SYcbcr c = RgbToYcbcr(q.red, q.green, q.blue);
        pds.entries.push_back({q.index, c.y, c.cr, c.cb, q.alpha});
    }
    pds.paletteId = static_cast<uint8_t>(palette.id);
}

int PaletteFromImage(const Bitmap& image, double opacity, CErgbPalette& palette) {
    Bitmap converted;
    const Bitmap* indexed = &image;
    if (image.Format() != EPixelFormat::Indexed8 || image.IsEmpty()) {
        converted = ToIndexed(image);
        if (converted.IsEmpty()) return 0;
        indexed = &converted;
    }
    const uint8_t transparent = indexed->GetIndex(0, 0);
    const SPalette& source = indexed->Palette();
    if (source.entries.empty()) return 0;
    palette.Clear();
    opacity = std::clamp(opacity, 0.0, 1.0);
    palette.transparentIndex = transparent;
    const size_t n = std::min<size_t>(source.entries.size(), 255);
    const bool hasAlpha = (source.flags & kPaletteHasAlpha) != 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t c = source.entries[i];
        uint8_t alpha = 255;
        if (hasAlpha)
            alpha = ArgbAlpha(c);
        else if (i == transparent)
            alpha = static_cast<uint8_t>(static_cast<int>(opacity * 255 + 0.5));
        palette.records.push_back(
            {static_cast<uint8_t>(i), ArgbBlue(c), ArgbGreen(c), ArgbRed(c), alpha});
    }
    return static_cast<int>(n);
}

}  // namespace tessel
