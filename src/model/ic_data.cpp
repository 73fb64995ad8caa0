#include "model/ic_data.h"

namespace tessel {

void CIcData::CopyAll(const CNamedObject& other) {
    CopyItems(other);
    auto* o = dynamic_cast<const CIcData*>(&other);
    if (!o) return;
    compositionLength = o->compositionLength;
    streamModel = o->streamModel;
    uiModel = o->uiModel;
    compositionTimeOutPts = o->compositionTimeOutPts;
    selectionTimeOutPts = o->selectionTimeOutPts;
    userTimeOutDuration = o->userTimeOutDuration;
}

void CIcData::Serialize(CArchive& ar) {
    CNamedPtrArray<CPage>::Serialize(ar);
    ar.Io(streamModel);
    ar.Io(uiModel);
    ar.Io(compositionTimeOutPts);
    ar.Io(selectionTimeOutPts);
    ar.Io(userTimeOutDuration);
}

CPage* CIcData::AddNewPage() {
    auto* page = Append(std::make_unique<CPage>());
    page->name = NumberedName("Page", GetSize());
    return page;
}

bool CIcData::ParseFrom(CByteReader& r, int mode) {
    Clear();
    compositionLength = r.U24();
    uint8_t models = r.U8();
    streamModel = (models >> 7) & 1;
    uiModel = (models >> 6) & 1;
    if (streamModel == 0) {
        compositionTimeOutPts = r.Uint(5) & 0x1FFFFFFFFull;
        selectionTimeOutPts = r.Uint(5) & 0x1FFFFFFFFull;
    }
    userTimeOutDuration = r.U24();
    int pages = r.U8();
    if (r.Failed()) return false;
    for (int i = 0; i < pages; ++i)
        if (!AddNewPage()->ParseFrom(r, mode)) return false;
    return !r.Failed();
}

int CIcData::Parse(std::span<const uint8_t> data, int mode) {
    CByteReader r(data);
    if (!ParseFrom(r, mode)) return -1;
    return static_cast<int>(r.Pos());
}

void CIcData::WriteTo(CByteWriter& w, int mode) {
    size_t start = w.Pos();
    w.U24(0);
    w.U8((streamModel ? 0x80 : 0) | (uiModel ? 0x40 : 0));
    if (streamModel == 0) {
        for (uint64_t pts : {compositionTimeOutPts, selectionTimeOutPts}) {
            w.U8(static_cast<uint32_t>((pts >> 32) & 1));
            w.U32(static_cast<uint32_t>(pts));
        }
    }
    w.U24(userTimeOutDuration);
    w.U8(static_cast<uint32_t>(GetSize()) & 0xFF);
    for (const auto& page : items) page->WriteTo(w, mode);
    compositionLength = static_cast<uint32_t>(w.Pos() - start - 3) & 0xFFFFFF;
    w.PatchUint(start, compositionLength, 3);
}

int CIcData::Write(uint8_t* buffer, int mode) {
    CByteWriter w(buffer);
    WriteTo(w, mode);
    return static_cast<int>(w.Pos());
}

bool CIcData::ResolveRefs(const CGraphicObjectList& objects, const CPaletteList& palettes) {
    for (const auto& page : items)
        if (!page->ResolveRefs(objects, palettes)) return false;
    return true;
}

void CIcData::RefreshIds() {
    for (const auto& page : items) page->RefreshIds();
}

}  // namespace tessel
