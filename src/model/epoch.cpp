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

constexpr uint32_t kMinPresentation = 131070;

// ceil(n * num / den) without floating-point error.
uint64_t CeilDiv(uint64_t n, uint64_t num, uint64_t den) {
    return (n * num + den - 1) / den;
}

void Log(ILogSink* log, const std::string& line) {
    if (log) log->Log(line);
}

// 8 x width x height of the first existing of a state's start and end objects.
uint64_t StateBits(const CBdButton* b, int state) {
    if (!b) return 0;
    const CButtonStateInfo& s = b->states[state];
    const CGraphicObject* o = s.start.ptr ? s.start.ptr : s.end.ptr;
    return o ? 8ull * static_cast<uint64_t>(o->width) * static_cast<uint64_t>(o->height) : 0;
}

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

// Object width and height from the head of its first fragment.
void ObjectSize(const COds& ods, uint32_t& w, uint32_t& h) {
    w = h = 0;
    if (ods.fragment.size() >= 7) {
        w = static_cast<uint32_t>(ods.fragment[3] << 8 | ods.fragment[4]);
        h = static_cast<uint32_t>(ods.fragment[5] << 8 | ods.fragment[6]);
    }
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
    const CGraphicObjectList objects = graphics.List();
    const CPaletteList pals = PaletteList();
    bool ok = true;
    for (const auto& ds : items)
        if (!ds->ResolveRefs(objects, pals)) ok = false;
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

void BuildDisplaySet(CDisplaySet& ds, const CDsData& container, int frameRateCode,
                     SStreamError* dropped, int64_t* streamBudget, CDecodedObjects* decoded) {
    ds.Clear();
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
    // Pixels the epoch's objects hold already; each object is checked
    // against the buffer before anything is allocated for it.
    const int64_t buffer = ObjectBufferBytes(container);
    int64_t held = 0;
    for (const CGraphicObject* o : epoch->graphics.List())
        if (o->bitmap) held += int64_t{o->bitmap->Width()} * o->bitmap->Height();
    auto drop = [&](const COds& ods, const std::string& why) {
        if (!dropped || dropped->offset >= 0) return;
        SetStreamError(dropped, ods.sourcePosition,
                       StrFormat("graphic object %d left out: %s", ods.objectId, why.c_str()));
    };
    // The first page of the epoch's display sets that uses the object names
    // the palette to decode it with.
    auto decodePalette = [&](int32_t objectId, CPds& fromEpoch) -> const CPds* {
        int paletteId = 0xFF;
        for (const auto& set : epoch->items) {
            for (const auto& page : set->items)
                if (PageUsesObject(*page, objectId)) {
                    if (page->palette.id != 0xFF && page->palette.id != -1)
                        paletteId = page->palette.id;
                    break;
                }
            if (paletteId != 0xFF || set.get() == &ds) break;
        }
        // Subtitle display sets have no pages: their composition names the palette.
        if (paletteId == 0xFF && container.pcs) paletteId = container.pcs->paletteIdRef;
        if (const CPds* pds = FindPalette(container.pdsList.get(), paletteId)) return pds;
        // A display set that carries no PDS of its own decodes with the
        // palette the epoch already holds.
        for (const auto& pal : epoch->palettes.items)
            if (pal->id == paletteId) {
                PdsFromPalette(*pal, fromEpoch);
                return &fromEpoch;
            }
        return nullptr;
    };
    for (const auto& ods : container.odsList->items) {
        if (!ods->lastInSequence) continue;
        const int32_t objectId = ods->objectId;
        // An object in one fragment is read in place; others are joined.
        std::vector<uint8_t> joined;
        std::span<const uint8_t> data = ods->fragment;
        if (!ods->firstInSequence ||
            std::count_if(container.odsList->items.begin(), container.odsList->items.end(),
                          [&](const auto& o) { return o->objectId == objectId; }) != 1) {
            joined = JoinObjectData(container.odsList.get(), ods->objectId);
            data = joined;
        }
        SObjectHead head;
        const char* why = "";
        if (!ReadObjectHead(data, head, &why)) {
            drop(*ods, why);
            continue;
        }
        const int64_t pixels = int64_t{head.width} * head.height;
        epoch->objectDemand[objectId] = {pixels, static_cast<int64_t>(data.size())};
        // The palette the object decodes with is needed before the buffer
        // check: an object the epoch already holds in this form costs nothing.
        CPds fromEpoch;
        const CPds* pds = decodePalette(objectId, fromEpoch);
        std::shared_ptr<Bitmap> shared =
            decoded ? decoded->Find(objectId, ods->objectVersion, pds, data) : nullptr;
        if (shared && std::any_of(epoch->graphics.items.begin(), epoch->graphics.items.end(),
                                  [&](const auto& o) { return o->bitmap == shared; }))
            continue;
        if (held + pixels > buffer) {
            drop(*ods, StrFormat("the epoch's decoded objects would exceed the %lld MiB "
                                 "object buffer",
                                 static_cast<long long>(buffer >> 20)));
            continue;
        }
        if (!shared && streamBudget && pixels > *streamBudget) {
            drop(*ods, "the stream's decoded objects would exceed what its size allows");
            continue;
        }
        if (!shared) {
            SIndexedImage image;
            if (!DecodeObject(data, image)) continue;
            Bitmap bitmap = BitmapFromObject(image, pds);
            if (bitmap.IsEmpty()) continue;
            if (streamBudget) *streamBudget -= pixels;
            shared = std::make_shared<Bitmap>(std::move(bitmap));
            if (decoded)
                decoded->Add(objectId, ods->objectVersion, pds,
                             joined.empty() ? std::vector<uint8_t>(data.begin(), data.end())
                                            : std::move(joined),
                             shared);
        }
        held += pixels;
        CGraphicObject* go = epoch->graphics.AddNewObject();
        go->id = objectId;
        go->width = shared->Width();
        go->height = shared->Height();
        go->bitmap = std::move(shared);
    }
}

// ---- Writing

std::unique_ptr<CErgbPalette> PagePaletteFromImages(const CPage& page,
                                                    const CGraphicObjectList& objects) {
    const std::vector<CGraphicObject*> used = page.UsedObjects(objects);
    if (used.empty()) return nullptr;
    std::vector<uint32_t> colours;
    bool withAlpha = false;
    for (const CGraphicObject* o : used) {
        if (o->imageFile.empty()) continue;
        Bitmap image;
        if (!LoadImage(o->imageFile, image)) return nullptr;
        if (image.Format() != EPixelFormat::Indexed8) image = ToIndexed(image);
        if (image.IsEmpty()) return nullptr;
        const SPalette& table = image.Palette();
        if (table.entries.size() == 256) {
            colours = table.entries;
            withAlpha = (table.flags & kPaletteHasAlpha) != 0;
            break;
        }
        if (colours.empty()) withAlpha = (table.flags & kPaletteHasAlpha) != 0;
        for (uint32_t c : table.entries) {
            if (colours.size() >= 256) break;
            if (!colours.empty() && o != used.front() &&
                std::find(colours.begin(), colours.end(), c) != colours.end())
                continue;
            colours.push_back(c);
        }
        if (colours.size() >= 256) break;
    }
    if (colours.empty()) return nullptr;
    auto palette = std::make_unique<CErgbPalette>();
    palette->transparentIndex = 255;
    const size_t n = std::min<size_t>(colours.size(), 255);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t c = colours[i];
        // A table that carries alpha keeps it; transparency is not lost.
        const uint8_t alpha = withAlpha ? ArgbAlpha(c) : 255;
        palette->records.push_back(
            {static_cast<uint8_t>(i), ArgbBlue(c), ArgbGreen(c), ArgbRed(c), alpha});
    }
    return palette;
}

uint32_t DecodeTime(const std::vector<CGraphicObject*>& objects, int split, const CPage& firstPage,
                    const SVideoDescriptor& video, uint8_t compositionState) {
    uint64_t b = 0;
    if (split >= 0)
        for (int i = 0; i <= split && i < static_cast<int>(objects.size()); ++i)
            b += CeilDiv(static_cast<uint64_t>(objects[static_cast<size_t>(i)]->width) *
                             static_cast<uint64_t>(objects[static_cast<size_t>(i)]->height),
                         9, 800);
    if (compositionState == kStateEpochStart)
        b = std::max<uint64_t>(b, CeilDiv(uint64_t{video.width} * video.height, 9, 1600));
    int64_t c = 0;
    for (const auto& g : firstPage.items)
        c += static_cast<int64_t>(StateBits(g->defaultValid.ptr, 0));
    if (const CBdButton* dsb = firstPage.defaultSelected.ptr) {
        c = c - static_cast<int64_t>(StateBits(dsb, CBdButton::kNormal)) +
            static_cast<int64_t>(StateBits(dsb, CBdButton::kSelected));
    } else {
        const CBdButton* best = nullptr;
        uint64_t largest = 0;
        for (const auto& g : firstPage.items) {
            const CBdButton* btn = g->defaultValid.ptr;
            if (!btn) continue;
            uint64_t size = 0;
            for (int s = 0; s < 3 && size == 0; ++s) size = StateBits(btn, s);
            if (!best || size > largest) {
                best = btn;
                largest = size;
            }
        }
        if (best)
            c = c - static_cast<int64_t>(largest) + static_cast<int64_t>(StateBits(best, 0));
        else
            c = 0;
    }
    if (c < 0) c = 0;
    return static_cast<uint32_t>(b + CeilDiv(static_cast<uint64_t>(c) / 8, 9, 1600));
}

bool WriteEpoch(CEpoch& epoch, const SVideoDescriptor& video, IByteSink& stream, IByteSink* index,
                bool bare, ILogSink* log) {
    Log(log, StrFormat("%s %s...", "", epoch.name.c_str()));
    const std::string warning = StrFormat(" %s", "Warning");
    if (epoch.graphics.CountItems() == 0)
        Log(log, StrFormat("%s:%s", warning.c_str(), "no graphics"));
    if (epoch.palettes.IsEmpty()) Log(log, StrFormat("%s:%s", warning.c_str(), "no palette"));
    for (const auto& ds : epoch.items)
        if (!WriteDisplaySet(*ds, video, stream, index, bare, epoch.graphics, epoch.palettes, log))
            return false;
    return true;
}

bool WriteDisplaySet(CDisplaySet& ds, const SVideoDescriptor& video, IByteSink& stream,
                     IByteSink* index, bool bare, CGoFolder& graphics, CPoFolder& palettes,
                     ILogSink* log) {
    const std::string error = StrFormat(" %s", "Error");
    if (video.frameRate == 0) {
        Log(log, StrFormat("%s:%s", error.c_str(), "no frame rate"));
        return false;
    }
    CDsData c;
    c.compositionState = ds.compositionState;
    Log(log, StrFormat("%s %s...", "", ds.name.c_str()));

    // Palettes the pages name, in the order they name them.
    for (const auto& p : palettes.items) p->used = 0;
    for (const auto& page : ds.items) {
        auto* pal = dynamic_cast<CErgbPalette*>(page->palette.ptr);
        if (!pal || pal->used) continue;
        pal->used = 1;
        PdsFromPalette(*pal, *c.AddPalette());
    }
    for (const auto& p : palettes.items) p->used = 0;

    if (ds.IsEmpty()) {
        Log(log, StrFormat("%s:%s", error.c_str(), "no pages"));
        return false;
    }
    const CGraphicObjectList objects = graphics.List();
    // Palettes made for pages without one live only while this set is written.
    std::vector<std::unique_ptr<CErgbPalette>> generated;
    auto derive = [&](CPage& page) -> CNamedObject* {
        auto pal = PagePaletteFromImages(page, objects);
        if (!pal) return nullptr;
        CPds* pds = c.AddPalette();
        pal->id = pds->paletteId;
        PdsFromPalette(*pal, *pds);
        generated.push_back(std::move(pal));
        return generated.back().get();
    };
    auto restore = [&] {
        for (const auto& page : ds.items)
            for (const auto& g : generated)
                if (page->palette.ptr == g.get()) page->palette = {};
    };
    for (int i = 0; i < ds.GetSize(); ++i) {
        CPage* page = ds.GetAt(i);
        if (page->id != i) page->id = i;
        if (!page->Check("  ", log, derive)) {
            restore();
            return false;
        }
    }
    const bool built = BuildIcsList(ds, c, video.width, video.height, video.frameRate);
    restore();
    if (!built) return false;

    // Objects in page order, each once; the split index comes from the first page.
    std::vector<CGraphicObject*> collected;
    int split = -1;
    for (int i = 0; i < ds.GetSize(); ++i) {
        int s = -1;
        for (CGraphicObject* o : ds.GetAt(i)->UsedObjects(objects, i == 0 ? &s : nullptr))
            if (std::find(collected.begin(), collected.end(), o) == collected.end())
                collected.push_back(o);
        if (i == 0) split = s;
    }
    for (CGraphicObject* o : collected) {
        Log(log, StrFormat("  %s...", o->name.c_str()));
        if (!o->bitmap && o->imageFile.empty()) {
            Log(log, StrFormat("  %s:%s", error.c_str(), "graphics object is empty! "));
            return false;
        }
        const CResultOf<Bitmap> loaded = o->IndexedPicture();
        if (!loaded || loaded->IsEmpty()) {
            // The loader's reason follows the check's text.
            const std::string why = loaded ? std::string() : loaded.Result().Message();
            Log(log,
                StrFormat("  %s:%s%s", error.c_str(), "unsupported graphics file! ", why.c_str()));
            return false;
        }
        const Bitmap& picture = *loaded;
        SIndexedImage image;
        image.width = picture.Width();
        image.height = picture.Height();
        image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
        for (int y = 0; y < image.height; ++y)
            std::copy_n(picture.Row(y), image.width,
                        image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width);
        if (!AddObjectFromImage(image, c, static_cast<uint16_t>(o->id))) return false;
    }

    const uint32_t x = DecodeTime(collected, split, *ds.GetAt(0), video, ds.compositionState);
    if (!c.end) c.CreateSegment(kSegmentEnd);

    uint32_t k = ds.explicitPts;
    // An explicit time earlier than the decode time would start decoding
    // before zero (the DTS would wrap); the derived time is used instead.
    if (k == 0 || k < x) {
        const double fps = FrameRateValue(video.frameRate);
        // A reserved frame rate code writes at the earliest time.
        const uint32_t d = fps > 0 ? static_cast<uint32_t>(90000.0 / fps) : 1;
        // A negative frame number (a damaged archive) counts as frame 0.
        const double frame = std::max(0, ds.frameNumber);
        const uint64_t byFrame =
            fps > 0 ? static_cast<uint64_t>(std::floor(frame * 90000.0 / fps + 0.5)) : 0;
        const uint64_t byDecode = uint64_t{d} * ((x + d - 1) / d);
        k = static_cast<uint32_t>(std::max({byFrame, byDecode, uint64_t{kMinPresentation}}));
    }
    const uint32_t pts0 = k, dts0 = k - x;
    const bool pg = c.pcs != nullptr;
    uint32_t endTime = pts0;
    if (pg) {
        c.pcs->pts = pts0;
        c.pcs->dts = dts0;
    } else if (c.icsList) {
        for (const auto& ics : c.icsList->items) {
            ics->pts = pts0;
            ics->dts = dts0;
        }
    }
    if (c.wds) {
        uint64_t s = 0;
        for (const auto& w : c.wds->windows) s += uint64_t{w.width} * w.height;
        const uint64_t r = pg ? 256000000 : 128000000;
        const uint64_t need = CeilDiv(s, 720000, r);
        uint32_t p = pts0 - static_cast<uint32_t>(need);
        if (dts0 >= p) p = dts0;
        c.wds->pts = p;
        c.wds->dts = dts0;
        endTime = p;
    }
    if (c.pdsList && !c.pdsList->IsEmpty()) {
        for (const auto& pds : c.pdsList->items) {
            pds->pts = dts0;
            pds->dts = 0;
        }
        endTime = dts0;
    }
    if (c.odsList && !c.odsList->IsEmpty()) {
        uint32_t t = dts0, start = dts0;
        const uint64_t r = pg ? 128000000 : 64000000;
        for (const auto& ods : c.odsList->items) {
            if (ods->firstInSequence) {
                start = t;
                uint32_t w, h;
                ObjectSize(*ods, w, h);
                t += static_cast<uint32_t>(CeilDiv(uint64_t{w} * h, 720000, r));
            }
            ods->pts = t;
            ods->dts = start;
        }
        endTime = t;
    }
    c.end->pts = endTime;
    c.end->dts = 0;
    return WriteDsData(c, stream, index, bare, false);
}

}  // namespace tessel
