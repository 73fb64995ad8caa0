#include "model/ic_data.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "codec/display_set.h"
#include "codec/ics.h"

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

bool CIcData::ResolveRefs(const SRefIndexes& refs) {
    for (const auto& page : items)
        if (!page->ResolveRefs(refs)) return false;
    return true;
}

void CIcData::RefreshIds() {
    for (const auto& page : items) page->RefreshIds();
}

std::unique_ptr<CIcData> ReadComposition(const CDsData& container) {
    const std::vector<uint8_t> body = JoinComposition(container.icsList.get());
    if (body.empty()) return nullptr;
    auto composition = std::make_unique<CIcData>();
    if (composition->Parse(body, 0) < 0) return nullptr;
    return composition;
}

bool BuildIcsList(CIcData& composition, CDsData& container, int videoWidth, int videoHeight,
                  int frameRate) {
    const int size = composition.Write(nullptr, 0);
    if (size <= 0) return false;
    std::vector<uint8_t> body(static_cast<size_t>(size));
    if (composition.Write(body.data(), 0) != size) return false;
    std::vector<std::unique_ptr<CIcs>> list;
    const size_t count = (body.size() + kIcsFragmentSize - 1) / kIcsFragmentSize;
    for (size_t i = 0; i < count; ++i) {
        auto ics = std::make_unique<CIcs>();
        ics->video.width = static_cast<uint16_t>(videoWidth);
        ics->video.height = static_cast<uint16_t>(videoHeight);
        ics->video.frameRate = static_cast<uint8_t>(frameRate & 0x0F);
        ics->compositionState = container.compositionState & 3;
        ics->firstInSequence = i == 0;
        ics->lastInSequence = i + 1 == count;
        const size_t at = i * kIcsFragmentSize;
        const size_t n = std::min<size_t>(kIcsFragmentSize, body.size() - at);
        ics->fragment.assign(body.begin() + static_cast<std::ptrdiff_t>(at),
                             body.begin() + static_cast<std::ptrdiff_t>(at + n));
        list.push_back(std::move(ics));
    }
    container.ReplaceIcsList(std::move(list));
    return true;
}

bool RecomposeIcs(CDsData& container) {
    if (!container.icsList || container.icsList->IsEmpty()) return true;
    const SVideoDescriptor video = container.icsList->GetAt(0)->video;
    std::vector<std::pair<uint32_t, uint32_t>> stamps;
    for (const auto& ics : *container.icsList) stamps.emplace_back(ics->pts, ics->dts);
    std::unique_ptr<CIcData> composition = ReadComposition(container);
    if (!composition ||
        !BuildIcsList(*composition, container, video.width, video.height, video.frameRate))
        return false;
    for (int k = 0; k < container.icsList->GetSize(); ++k) {
        const auto& st = stamps[std::min<size_t>(static_cast<size_t>(k), stamps.size() - 1)];
        container.icsList->GetAt(k)->pts = st.first;
        container.icsList->GetAt(k)->dts = st.second;
    }
    return true;
}

}  // namespace tessel
