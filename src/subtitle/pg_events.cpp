#include "subtitle/pg_events.h"

#include <algorithm>
#include <map>
#include <memory>

#include "codec/colour.h"
#include "codec/ics.h"
#include "codec/ods.h"
#include "codec/pcs_wds.h"
#include "codec/pds.h"
#include "platform/text.h"

namespace tessel {

namespace {

struct SRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    SRect Intersect(const SRect& o) const {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom)};
    }
    SRect Union(const SRect& o) const {
        if (Empty()) return o;
        if (o.Empty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
};

// What the decoder holds through an epoch: objects, palettes and windows.
struct SDecoderState {
    std::map<int, SIndexedImage> objects;
    std::map<int, SPalette> palettes;
    std::map<int, SRect> windows;
};

void Update(SDecoderState& state, const CDsData& ds) {
    if (ds.wds) {
        state.windows.clear();
        for (const SWindow& w : ds.wds->windows)
            state.windows[w.id] = {w.x, w.y, w.x + w.width, w.y + w.height};
    }
    if (ds.pdsList)
        for (const auto& pds : ds.pdsList->items) {
            SPalette& p = state.palettes[pds->paletteId];
            if (p.entries.empty()) p.entries.assign(256, 0), p.flags = kPaletteHasAlpha;
            ArgbPaletteFromPds(*pds, p);
        }
    if (ds.odsList) {
        std::vector<uint16_t> ids;
        for (const auto& ods : ds.odsList->items)
            if (std::find(ids.begin(), ids.end(), ods->objectId) == ids.end())
                ids.push_back(ods->objectId);
        for (uint16_t id : ids) {
            SIndexedImage image;
            if (DecodeObject(JoinObjectData(ds.odsList.get(), id), image))
                state.objects[id] = std::move(image);
        }
    }
}

// The picture a composition shows, at its place; empty when it shows none.
Bitmap Compose(const SDecoderState& state, const CPcs& pcs, int& x, int& y,
               std::vector<std::string>& missing) {
    auto palette = state.palettes.find(pcs.paletteIdRef);
    struct SPart {
        const SIndexedImage* image;
        SRect source;  // within the object
        SRect shown;   // on the video
    };
    std::vector<SPart> parts;
    SRect box;
    for (const SCompositionObject& o : pcs.objects) {
        auto it = state.objects.find(o.objectIdRef);
        if (it == state.objects.end()) {
            missing.push_back(StrFormat("object %d", o.objectIdRef));
            continue;
        }
        const SIndexedImage& image = it->second;
        SRect source{0, 0, image.width, image.height};
        if (o.cropped)
            source = source.Intersect(
                {o.crop.x, o.crop.y, o.crop.x + o.crop.width, o.crop.y + o.crop.height});
        SRect shown{o.x, o.y, o.x + (source.right - source.left),
                    o.y + (source.bottom - source.top)};
        auto window = state.windows.find(o.windowIdRef);
        if (window != state.windows.end()) shown = shown.Intersect(window->second);
        if (shown.Empty() || source.Empty()) continue;
        // The source follows what the window leaves of the placed object.
        source.left += shown.left - o.x;
        source.top += shown.top - o.y;
        parts.push_back({&image, source, shown});
        box = box.Union(shown);
    }
    if (palette == state.palettes.end()) {
        if (!parts.empty()) missing.push_back(StrFormat("palette %d", pcs.paletteIdRef));
        return {};
    }
    if (box.Empty()) return {};
    Bitmap out(box.right - box.left, box.bottom - box.top, EPixelFormat::Argb32);
    if (out.IsEmpty()) return out;
    // Every entry is the colour its palette gives, 255 too (unlike IG objects).
    const std::vector<uint32_t>& lut = palette->second.entries;
    for (const SPart& p : parts)
        for (int y0 = p.shown.top; y0 < p.shown.bottom; ++y0) {
            const uint8_t* row =
                p.image->pixels.data() + static_cast<size_t>(p.source.top + y0 - p.shown.top) *
                                             static_cast<size_t>(p.image->width);
            auto* dst = reinterpret_cast<uint32_t*>(out.Row(y0 - box.top));
            for (int x0 = p.shown.left; x0 < p.shown.right; ++x0) {
                const uint32_t c = lut[row[p.source.left + x0 - p.shown.left]];
                uint32_t& d = dst[x0 - box.left];
                d = BlendOver(c, d, false);
            }
        }
    x = box.left;
    y = box.top;
    return out;
}

bool SamePicture(const SPgEvent& e, const Bitmap& picture, int x, int y, bool forced) {
    if (e.x != x || e.y != y || e.forced != forced) return false;
    if (e.picture.Width() != picture.Width() || e.picture.Height() != picture.Height())
        return false;
    for (int row = 0; row < picture.Height(); ++row)
        if (!std::equal(picture.Row(row), picture.Row(row) + picture.Width() * 4,
                        e.picture.Row(row)))
            return false;
    return true;
}

uint64_t FrameTicks(int frameRateCode) {
    int num, den;
    if (!FrameRateFraction(frameRateCode, num, den)) return 1;
    return (uint64_t{90000} * static_cast<uint64_t>(den) + static_cast<uint64_t>(num) - 1) /
           static_cast<uint64_t>(num);
}

}  // namespace

bool FrameRateFraction(int code, int& numerator, int& denominator) {
    switch (code) {
        case 1:
            numerator = 24000, denominator = 1001;
            return true;
        case 2:
            numerator = 24, denominator = 1;
            return true;
        case 3:
            numerator = 25, denominator = 1;
            return true;
        case 4:
            numerator = 30000, denominator = 1001;
            return true;
        case 6:
            numerator = 50, denominator = 1;
            return true;
        case 7:
            numerator = 60000, denominator = 1001;
            return true;
        default:
            return false;
    }
}

std::string TimeCode(uint64_t pts, int frameRateCode) {
    int num, den;
    if (!FrameRateFraction(frameRateCode, num, den)) num = 24, den = 1;
    const int nominal = (num + den - 1) / den;
    // The frame shown at the time, rounded to the nearest.
    const uint64_t frames =
        (pts * static_cast<uint64_t>(num) + uint64_t{45000} * static_cast<uint64_t>(den)) /
        (uint64_t{90000} * static_cast<uint64_t>(den));
    const uint64_t perHour = uint64_t{3600} * static_cast<uint64_t>(nominal);
    const uint64_t inHour = frames % perHour;
    return StrFormat("%02llu:%02llu:%02llu:%02llu",
                     static_cast<unsigned long long>(frames / perHour),
                     static_cast<unsigned long long>(inHour / (60ull * nominal)),
                     static_cast<unsigned long long>(inHour / nominal % 60),
                     static_cast<unsigned long long>(inHour % nominal));
}

std::string BdnVideoFormat(const SVideoDescriptor& video) {
    const bool interlaced = video.frameRate == 3 || video.frameRate == 4;
    switch (video.height) {
        case 1080:
            return interlaced ? "1080i" : "1080p";
        case 720:
            return "720p";
        case 576:
            return "576i";
        case 480:
            return "480i";
        default:
            return StrFormat("%dx%d", video.width, video.height);
    }
}

void BuildPgEvents(const CEpochList& epochs, SPgEvents& out) {
    out.events.clear();
    out.notes.clear();
    bool haveVideo = false;
    SPgEvent* open = nullptr;
    uint64_t lastPts = 0;
    int index = 0;
    for (const auto& epoch : epochs) {
        // Objects, palettes and windows last for their epoch only.
        SDecoderState state;
        for (const auto& ds : epoch->items) {
            ++index;
            for (const CSegmentBase* s : ds->StreamOrder())
                lastPts = std::max<uint64_t>(lastPts, s->pts);
            if (!ds->pcs) continue;
            const CPcs& pcs = *ds->pcs;
            if (!haveVideo) out.video = pcs.video, haveVideo = true;
            Update(state, *ds);
            int x = 0, y = 0;
            std::vector<std::string> missing;
            Bitmap picture = Compose(state, pcs, x, y, missing);
            for (const std::string& m : missing)
                out.notes.push_back(
                    StrFormat("display set %d: its composition names %s, which "
                              "the epoch does not hold",
                              index, m.c_str()));
            const bool forced = std::any_of(pcs.objects.begin(), pcs.objects.end(),
                                            [](const SCompositionObject& o) { return o.forcedOn; });
            if (open && !picture.IsEmpty() && SamePicture(*open, picture, x, y, forced)) continue;
            if (open) {
                open->endPts = pcs.pts;
                open = nullptr;
            }
            if (picture.IsEmpty()) continue;
            SPgEvent e;
            e.startPts = pcs.pts;
            e.forced = forced;
            e.paletteUpdate = pcs.paletteUpdate;
            e.x = x;
            e.y = y;
            e.displaySet = index;
            e.compositionNumber = pcs.compositionNumber;
            e.picture = std::move(picture);
            out.events.push_back(std::move(e));
            open = &out.events.back();
        }
    }
    if (open) {
        open->endGiven = false;
        open->endPts = std::max(lastPts, open->startPts + FrameTicks(out.video.frameRate));
        out.notes.push_back(StrFormat(
            "event %d (display set %d): no display set ends it; it ends at the stream's end",
            static_cast<int>(out.events.size()), open->displaySet));
    }
}

std::string BdnXml(const SPgEvents& events, const std::string& title,
                   const std::vector<std::string>& names) {
    auto escape = [](const std::string& s) {
        std::string o;
        for (char c : s) {
            if (c == '&')
                o += "&amp;";
            else if (c == '<')
                o += "&lt;";
            else if (c == '>')
                o += "&gt;";
            else if (c == '"')
                o += "&quot;";
            else
                o += c;
        }
        return o;
    };
    const int rate = events.video.frameRate;
    int num, den;
    const std::string fps = FrameRateFraction(rate, num, den) ? FrameRateName(rate) : "24";
    const std::string first =
        events.events.empty() ? TimeCode(0, rate) : TimeCode(events.events.front().startPts, rate);
    const std::string last =
        events.events.empty() ? TimeCode(0, rate) : TimeCode(events.events.back().endPts, rate);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml +=
        "<BDN Version=\"0.93\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:noNamespaceSchemaLocation=\"BD-03-006-0093b BDN File Format.xsd\">\n";
    xml += "  <Description>\n";
    xml += StrFormat("    <Name Title=\"%s\" Content=\"\"/>\n", escape(title).c_str());
    xml += "    <Language Code=\"und\"/>\n";
    xml += StrFormat("    <Format VideoFormat=\"%s\" FrameRate=\"%s\" DropFrame=\"False\"/>\n",
                     BdnVideoFormat(events.video).c_str(), fps.c_str());
    xml += StrFormat(
        "    <Events Type=\"Graphic\" FirstEventInTC=\"%s\" LastEventOutTC=\"%s\" "
        "NumberofEvents=\"%zu\"/>\n",
        first.c_str(), last.c_str(), events.events.size());
    xml += "  </Description>\n  <Events>\n";
    for (size_t i = 0; i < events.events.size(); ++i) {
        const SPgEvent& e = events.events[i];
        xml += StrFormat("    <Event InTC=\"%s\" OutTC=\"%s\" Forced=\"%s\">\n",
                         TimeCode(e.startPts, rate).c_str(), TimeCode(e.endPts, rate).c_str(),
                         e.forced ? "True" : "False");
        xml +=
            StrFormat("      <Graphic Width=\"%d\" Height=\"%d\" X=\"%d\" Y=\"%d\">%s</Graphic>\n",
                      e.picture.Width(), e.picture.Height(), e.x, e.y,
                      escape(i < names.size() ? names[i] : std::string()).c_str());
        xml += "    </Event>\n";
    }
    xml += "  </Events>\n</BDN>\n";
    return xml;
}

}  // namespace tessel
