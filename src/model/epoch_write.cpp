// Writing the model's display sets back as segments with time stamps.
#include <algorithm>
#include <cmath>

#include "codec/colour.h"
#include "model/epoch.h"
#include "platform/image_io.h"
#include "platform/text.h"

namespace tessel {
namespace {

// ceil(n * num / den) without floating-point error.
uint64_t CeilDiv(uint64_t n, uint64_t num, uint64_t den) {
    return (n * num + den - 1) / den;
}

// 8 x width x height of the first existing of a state's start and end objects.
uint64_t StateBits(const CBdButton* b, int state) {
    if (!b) return 0;
    const CButtonStateInfo& s = b->states[state];
    const CGraphicObject* o = s.start.ptr ? s.start.ptr : s.end.ptr;
    return o ? 8ull * static_cast<uint64_t>(o->width) * static_cast<uint64_t>(o->height) : 0;
}

// Object width and height from the head of its first fragment.
void ObjectSize(const COds& ods, uint32_t& w, uint32_t& h) {
    w = h = 0;
    if (ods.fragment.size() >= 7) {
        w = static_cast<uint32_t>(ods.fragment[3] << 8 | ods.fragment[4]);
        h = static_cast<uint32_t>(ods.fragment[5] << 8 | ods.fragment[6]);
    }
}

// A PDS for each palette the pages name, in the order they name them.
void AddNamedPalettes(const CDisplaySet& ds, CPoFolder& palettes, CDsData& c) {
    for (const auto& p : palettes.items) p->used = 0;
    for (const auto& page : ds.items) {
        auto* pal = dynamic_cast<CErgbPalette*>(page->palette.ptr);
        if (!pal || pal->used) continue;
        pal->used = 1;
        PdsFromPalette(*pal, *c.AddPalette());
    }
    for (const auto& p : palettes.items) p->used = 0;
}

// Numbers and checks the pages, then builds the ICS list. A page without a
// palette gets one derived from its images, which lives only while this set
// is written.
bool CheckAndCompose(CDisplaySet& ds, const SVideoDescriptor& video,
                     const CGraphicObjectList& objects, CDsData& c, ILogSink* log) {
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
    return built;
}

// Objects in page order, each once; split is the first page's split index.
std::vector<CGraphicObject*> CollectObjects(const CDisplaySet& ds,
                                            const CGraphicObjectList& objects, int& split) {
    std::vector<CGraphicObject*> collected;
    split = -1;
    for (int i = 0; i < ds.GetSize(); ++i) {
        int s = -1;
        for (CGraphicObject* o : ds.GetAt(i)->UsedObjects(objects, i == 0 ? &s : nullptr))
            if (std::find(collected.begin(), collected.end(), o) == collected.end())
                collected.push_back(o);
        if (i == 0) split = s;
    }
    return collected;
}

// Encodes each object's indexed picture as ODS into the container.
bool AddObjects(const std::vector<CGraphicObject*>& collected, CDsData& c, const std::string& error,
                ILogSink* log) {
    for (CGraphicObject* o : collected) {
        LogLine(log, StrFormat("  %s...", o->name.c_str()));
        if (!o->bitmap && o->imageFile.empty()) {
            LogLine(log, StrFormat("  %s:%s", error.c_str(), "graphics object is empty! "));
            return false;
        }
        const CResultOf<Bitmap> loaded = o->IndexedPicture();
        if (!loaded || loaded->IsEmpty()) {
            // The loader's reason follows the check's text.
            const std::string why = loaded ? std::string() : loaded.Result().Message();
            LogLine(log, StrFormat("  %s:%s%s", error.c_str(), "unsupported graphics file! ",
                                   why.c_str()));
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
    return true;
}

// The presentation time: the explicit one unless it is unset or earlier than
// the decode time x (the DTS would wrap); else the later of the frame's time
// and the decode time rounded up to a frame, at least the minimum.
uint32_t PresentationTime(const CDisplaySet& ds, const SVideoDescriptor& video, uint32_t x) {
    const uint32_t k = ds.explicitPts;
    if (k != 0 && k >= x) return k;
    const double fps = FrameRateValue(video.frameRate);
    // A reserved frame rate code writes at the earliest time.
    const uint32_t d = fps > 0 ? static_cast<uint32_t>(90000.0 / fps) : 1;
    // A negative frame number (a damaged archive) counts as frame 0.
    const double frame = std::max(0, ds.frameNumber);
    const uint64_t byFrame =
        fps > 0 ? static_cast<uint64_t>(std::floor(frame * 90000.0 / fps + 0.5)) : 0;
    const uint64_t byDecode = uint64_t{d} * ((x + d - 1) / d);
    return static_cast<uint32_t>(std::max({byFrame, byDecode, uint64_t{kMinPresentation}}));
}

// Time stamps of every segment from the composition's PTS and DTS.
void StampSegments(CDsData& c, uint32_t pts0, uint32_t dts0) {
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
}

}  // namespace

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
    LogLine(log, StrFormat("%s %s...", "", epoch.name.c_str()));
    const std::string warning = StrFormat(" %s", "Warning");
    if (epoch.graphics.CountItems() == 0)
        LogLine(log, StrFormat("%s:%s", warning.c_str(), "no graphics"));
    if (epoch.palettes.IsEmpty()) LogLine(log, StrFormat("%s:%s", warning.c_str(), "no palette"));
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
        LogLine(log, StrFormat("%s:%s", error.c_str(), "no frame rate"));
        return false;
    }
    CDsData c;
    c.compositionState = ds.compositionState;
    LogLine(log, StrFormat("%s %s...", "", ds.name.c_str()));
    AddNamedPalettes(ds, palettes, c);
    if (ds.IsEmpty()) {
        LogLine(log, StrFormat("%s:%s", error.c_str(), "no pages"));
        return false;
    }
    const CGraphicObjectList objects = graphics.List();
    if (!CheckAndCompose(ds, video, objects, c, log)) return false;
    int split = -1;
    const std::vector<CGraphicObject*> collected = CollectObjects(ds, objects, split);
    if (!AddObjects(collected, c, error, log)) return false;

    const uint32_t x = DecodeTime(collected, split, *ds.GetAt(0), video, ds.compositionState);
    if (!c.end) c.CreateSegment(kSegmentEnd);
    const uint32_t pts0 = PresentationTime(ds, video, x);
    StampSegments(c, pts0, pts0 - x);
    return WriteDsData(c, stream, index, bare, false);
}

}  // namespace tessel
