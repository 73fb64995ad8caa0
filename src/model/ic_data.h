// The body of one interactive composition: menu settings and its pages.
#pragma once

#include <cstdint>
#include <span>

#include "model/page.h"

#include <memory>

namespace tessel {

class CIcData : public TByteRecord<CIcData, CNamedPtrArray<CPage>> {
public:
    // Pages and the six composition fields.
    void CopyAll(const CNamedObject& other);
    // Pages, then the models, time-outs and user time-out, little-endian.
    void Serialize(CArchive& ar) override;
    // Reads one body starting at its 24-bit length (Parse gives the bytes
    // consumed, or -1 when reading would pass the end of data); Write with a
    // null buffer gives its size.
    bool ParseFrom(CByteReader& r, int mode);
    void WriteTo(CByteWriter& w, int mode);

    // Page#n, n the page count after appending.
    CPage* AddNewPage();

    // Resolves every page; false when a page fails.
    bool ResolveRefs(const SRefIndexes& refs);
    bool ResolveRefs(const CGraphicObjectList& objects, const CPaletteList& palettes) {
        return ResolveRefs(SRefIndexes(objects, palettes));
    }
    void RefreshIds();

    uint32_t compositionLength = 0;  // 24-bit
    uint8_t streamModel = 1;
    uint8_t uiModel = 0;
    uint64_t compositionTimeOutPts = 0;  // 33-bit
    uint64_t selectionTimeOutPts = 0;    // 33-bit
    uint32_t userTimeOutDuration = 0;    // 24-bit
};

class CDsData;

// The interactive composition of a display set, parsed from its joined ICS
// fragments; null without ICS body or when the body does not parse (a body
// that would be read past its joined end is a failed parse).
std::unique_ptr<CIcData> ReadComposition(const CDsData& container);

// Replaces the container's ICS list by ICS carrying the composition's body,
// 65510 bytes each, with composition number 0 and the container's
// composition state. False (list unchanged) when the composition writes no
// body.
bool BuildIcsList(CIcData& composition, CDsData& container, int videoWidth, int videoHeight,
                  int frameRate);

// Rebuilds the container's ICS list from its own parsed composition, with
// the video descriptor of its first ICS; the new fragments keep the time
// stamps of the old ones in order (fragments beyond the old count take the
// last old stamps). True, and nothing done, without ICS; false (list
// unchanged) when the composition does not parse or writes no body.
bool RecomposeIcs(CDsData& container);

}  // namespace tessel
