#include "model/epoch.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>

#include "codec/colour.h"
#include "codec/ics.h"
#include "platform/image_io.h"
#include "platform/text.h"

namespace tessel {
namespace {

bool PageUsesObject(const CPage& page, int32_t objectId) {
    for (const auto& g : page.items)
        for (const auto& b : g->items)
            if (b->UsesObjectId(objectId)) return true;
    for (const CEffectSequenceObject* seq : {&page.inEffects, &page.outEffects})
        for (const auto& e : seq->items)
            for (const auto& c : e->items)
                if (c->object.id == objectId) return true;
    return false;
}

}  // namespace

// ---- CDisplaySet

void CDisplaySet::CopyAll(const CNamedObject& other) {
    CIcData::CopyAll(other);
    auto* o = dynamic_cast<const CDisplaySet*>(&other);
    if (!o) return;
    text = o->text;
    frameNumber = o->frameNumber;
    explicitPts = o->explicitPts;
    compositionState = o->compositionState;
    streamPts = o->streamPts;
    streamDts = o->streamDts;
}

void CDisplaySet::Serialize(CArchive& ar) {
    CIcData::Serialize(ar);
    ar.Io(text);
    ar.Io(frameNumber);
    ar.Io(compositionState);
}

// ---- CEpoch

CEpoch::CEpoch() {
    graphics.parent = this;
    palettes.parent = this;
}

void CEpoch::Clear() {
    CNamedPtrArray<CDisplaySet>::Clear();
    graphics.Clear();
    palettes.Clear();
    objectDemand.clear();
    counter = 0;
}

void CEpoch::CopyAll(const CNamedObject& other) {
    CopyItems(other);
    auto* o = dynamic_cast<const CEpoch*>(&other);
    if (!o) return;
    counter = o->counter;
    objectDemand = o->objectDemand;
    graphics.CopyFrom(o->graphics);
    graphics.parent = this;
    palettes.CopyFrom(o->palettes);
    palettes.parent = this;
    ResolveRefs();
}

void CEpoch::Serialize(CArchive& ar) {
    uint8_t zero = 0;
    ar.Io(zero);
    ar.Io(counter);
    CNamedPtrArray<CDisplaySet>::Serialize(ar);
    graphics.Serialize(ar);
    palettes.Serialize(ar);
    if (ar.IsLoading()) {
        graphics.parent = this;
        palettes.parent = this;
        ResolveRefs();
    }
}

CPaletteList CEpoch::PaletteList() const {
    CPaletteList out;
    for (const auto& p : palettes.items) out.push_back(p.get());
    return out;
}

bool CEpoch::ResolveRefs() {
    const SRefIndexes refs(graphics.List(), PaletteList());
    bool ok = true;
    for (const auto& ds : items)
        if (!ds->ResolveRefs(refs)) ok = false;
    return ok;
}

// ---- Building from segments

double FrameRateValue(int code) {
    switch (code) {
        case 1:
            return 24000.0 / 1001.0;
        case 2:
            return 24.0;
        case 3:
            return 25.0;
        case 4:
            return 30000.0 / 1001.0;
        case 6:
            return 50.0;
        case 7:
            return 60000.0 / 1001.0;
        default:
            return 0.0;
    }
}

int32_t FrameNumberOf(uint64_t ticks, int frameRateCode) {
    const double fps = FrameRateValue(frameRateCode);
    if (fps <= 0) return 0;
    const uint64_t ms = ticks / 90;
    return static_cast<int32_t>(std::floor(static_cast<double>(ms) * fps / 1000.0 + 0.5));
}

CDisplaySet* AddDisplaySet(CEpoch& epoch) {
    auto ds = std::make_unique<CDisplaySet>();
    ds->id = epoch.counter;
    ds->SetName(NumberedName("DisplaySet", epoch.counter + 1));
    CDisplaySet* p = epoch.Append(std::move(ds));
    ++epoch.counter;
    return p;
}

int64_t ObjectBufferBytes(const CDsData& container) {
    return container.pcs ? kPgObjectBufferBytes : kIgObjectBufferBytes;
}

uint64_t CDecodedObjects::Key(int objectId, int version, std::span<const uint8_t> data) {
    // The id, version, size and the bytes at both ends: objects that differ
    // almost always differ there, and a match is checked on every byte.
    constexpr size_t kEnd = 256;
    auto hash = [](std::span<const uint8_t> part) {
        return std::hash<std::string_view>()(
            std::string_view(reinterpret_cast<const char*>(part.data()), part.size()));
    };
    const size_t n = std::min(data.size(), kEnd);
    uint64_t h = hash(data.first(n)) * 31 + hash(data.last(n));
    h = h * 31 + data.size();
    return h ^ (static_cast<uint64_t>(objectId) << 8 | static_cast<uint64_t>(version & 0xFF)) *
                   0x9E3779B97F4A7C15ull;
}

std::shared_ptr<Bitmap> CDecodedObjects::Find(int objectId, int version, const CPds* pds,
                                              std::span<const uint8_t> data) const {
    const auto [first, last] = entries_.equal_range(Key(objectId, version, data));
    for (auto it = first; it != last; ++it) {
        const SEntry& e = it->second;
        if (e.objectId != objectId || e.version != version || e.withPalette != (pds != nullptr) ||
            (pds && e.palette != pds->entries) ||
            !std::equal(data.begin(), data.end(), e.data.begin(), e.data.end()))
            continue;
        return e.bitmap;
    }
    return nullptr;
}

void CDecodedObjects::Add(int objectId, int version, const CPds* pds, std::vector<uint8_t> data,
                          std::shared_ptr<Bitmap> bitmap) {
    const uint64_t key = Key(objectId, version, data);
    entries_.emplace(key,
                     SEntry{objectId, version, pds ? pds->entries : std::vector<SPaletteEntry>{},
                            pds != nullptr, std::move(data), std::move(bitmap)});
}

namespace {

// The pages, settings, state and frame number of a display set as read.
void TakeComposition(CDisplaySet& ds, const CDsData& container, int frameRateCode) {
    std::unique_ptr<CIcData> composition = ReadComposition(container);
    if (composition) {
        for (auto& page : composition->items) ds.Append(std::move(page));
        composition->items.clear();
        ds.compositionLength = composition->compositionLength;
        ds.streamModel = composition->streamModel;
        ds.uiModel = composition->uiModel;
        ds.compositionTimeOutPts = composition->compositionTimeOutPts;
        ds.selectionTimeOutPts = composition->selectionTimeOutPts;
        ds.userTimeOutDuration = composition->userTimeOutDuration;
    }
    ds.compositionState = container.compositionState;
    uint64_t t = 0;
    const CSegmentBase* head = container.pcs.get();
    if (!head && container.icsList && !container.icsList->IsEmpty())
        head = container.icsList->GetAt(0);
    if (head) {
        t = head->pts;
        ds.streamPts = head->pts;
        ds.streamDts = head->dts;
    }
    if (container.icsList && composition && ds.streamModel == 1)
        ds.explicitPts = kMinPresentation;
    else
        t += kMinPresentation;
    ds.frameNumber = FrameNumberOf(t, frameRateCode);
}

// Adds the graphic objects of one display set's ODS to its epoch, within the
// object buffer and the stream's budget.
class CObjectBuilder {
public:
    CObjectBuilder(CEpoch& epoch, const CDisplaySet& ds, const CDsData& container, CResult* dropped,
                   int64_t* streamBudget, CDecodedObjects* decoded)
        : epoch_(epoch),
          ds_(ds),
          container_(container),
          dropped_(dropped),
          streamBudget_(streamBudget),
          decoded_(decoded),
          buffer_(ObjectBufferBytes(container)) {
        // Pixels the epoch's objects hold already; each object is checked
        // against the buffer before anything is allocated for it.
        for (const CGraphicObject* o : epoch.graphics.List())
            if (o->bitmap) held_ += int64_t{o->bitmap->Width()} * o->bitmap->Height();
    }

    // The object that ods (the last of its sequence) completes.
    void Add(const COds& ods);

private:
    void Drop(const COds& ods, const std::string& why) {
        if (!dropped_ || dropped_->Offset() >= 0) return;
        *dropped_ =
            CResult::Fail(StrFormat("graphic object %d left out: %s", ods.objectId, why.c_str()),
                          ods.sourcePosition);
    }
    const CPds* DecodePalette(int32_t objectId, CPds& fromEpoch) const;

    CEpoch& epoch_;
    const CDisplaySet& ds_;
    const CDsData& container_;
    CResult* dropped_;
    int64_t* streamBudget_;
    CDecodedObjects* decoded_;
    const int64_t buffer_;
    int64_t held_ = 0;
};

// The first page of the epoch's display sets that uses the object names the
// palette to decode it with.
const CPds* CObjectBuilder::DecodePalette(int32_t objectId, CPds& fromEpoch) const {
    int paletteId = 0xFF;
    for (const auto& set : epoch_.items) {
        for (const auto& page : set->items)
            if (PageUsesObject(*page, objectId)) {
                if (page->palette.id != 0xFF && page->palette.id != -1)
                    paletteId = page->palette.id;
                break;
            }
        if (paletteId != 0xFF || set.get() == &ds_) break;
    }
    // Subtitle display sets have no pages: their composition names the palette.
    if (paletteId == 0xFF && container_.pcs) paletteId = container_.pcs->paletteIdRef;
    if (const CPds* pds = FindPalette(container_.pdsList.get(), paletteId)) return pds;
    // A display set that carries no PDS of its own decodes with the
    // palette the epoch already holds.
    const CErgbPalette* pal = epoch_.palettes.FindById(paletteId);
    if (!pal) return nullptr;
    PdsFromPalette(*pal, fromEpoch);
    return &fromEpoch;
}

void CObjectBuilder::Add(const COds& ods) {
    const int32_t objectId = ods.objectId;
    const auto& all = container_.odsList->items;
    // An object in one fragment is read in place; others are joined.
    std::vector<uint8_t> joined;
    std::span<const uint8_t> data = ods.fragment;
    if (!ods.firstInSequence || std::count_if(all.begin(), all.end(), [&](const auto& o) {
                                    return o->objectId == objectId;
                                }) != 1) {
        joined = JoinObjectData(container_.odsList.get(), objectId);
        data = joined;
    }
    SObjectHead head;
    if (const CResult read = ReadObjectHead(data, head); !read) return Drop(ods, read.Text());
    const int64_t pixels = int64_t{head.width} * head.height;
    epoch_.objectDemand[objectId] = {pixels, static_cast<int64_t>(data.size())};
    // The palette the object decodes with is needed before the buffer
    // check: an object the epoch already holds in this form costs nothing.
    CPds fromEpoch;
    const CPds* pds = DecodePalette(objectId, fromEpoch);
    std::shared_ptr<Bitmap> shared =
        decoded_ ? decoded_->Find(objectId, ods.objectVersion, pds, data) : nullptr;
    if (shared && std::any_of(epoch_.graphics.items.begin(), epoch_.graphics.items.end(),
                              [&](const auto& o) { return o->bitmap == shared; }))
        return;
    if (held_ + pixels > buffer_)
        return Drop(ods, StrFormat("the epoch's decoded objects would exceed the %lld MiB "
                                   "object buffer",
                                   static_cast<long long>(buffer_ >> 20)));
    if (!shared && streamBudget_ && pixels > *streamBudget_)
        return Drop(ods, "the stream's decoded objects would exceed what its size allows");
    if (!shared) {
        SIndexedImage image;
        if (!DecodeObject(data, image)) return;
        Bitmap bitmap = BitmapFromObject(image, pds);
        if (bitmap.IsEmpty()) return;
        if (streamBudget_) *streamBudget_ -= pixels;
        shared = std::make_shared<Bitmap>(std::move(bitmap));
        if (decoded_)
            decoded_->Add(
                objectId, ods.objectVersion, pds,
                joined.empty() ? std::vector<uint8_t>(data.begin(), data.end()) : std::move(joined),
                shared);
    }
    held_ += pixels;
    CGraphicObject* go = epoch_.graphics.AddNewObject();
    go->id = objectId;
    go->width = shared->Width();
    go->height = shared->Height();
    go->bitmap = std::move(shared);
}

}  // namespace

void BuildDisplaySet(CDisplaySet& ds, const CDsData& container, int frameRateCode, CResult* dropped,
                     int64_t* streamBudget, CDecodedObjects* decoded) {
    ds.Clear();
    TakeComposition(ds, container, frameRateCode);
    auto* epoch = dynamic_cast<CEpoch*>(ds.parent);
    if (!epoch) return;
    const int pdsCount = container.pdsList ? container.pdsList->GetSize() : 0;
    for (int i = 0; i < pdsCount; ++i) {
        const CPds* pds = FindPalette(container.pdsList.get(), i);
        if (!pds) continue;
        CErgbPalette* pal = epoch->palettes.AddPalette();
        pal->id = i;
        PaletteFromPds(*pds, *pal);
    }
    if (!container.odsList) return;
    CObjectBuilder builder(*epoch, ds, container, dropped, streamBudget, decoded);
    for (const auto& ods : container.odsList->items)
        if (ods->lastInSequence) builder.Add(*ods);
}
}  // namespace tessel
