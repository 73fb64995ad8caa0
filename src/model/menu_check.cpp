#include "model/menu_check.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "navcmd/navcmd.h"
#include "platform/bitmap.h"
#include "platform/text.h"

namespace tessel {

namespace {

constexpr int32_t kNoButton = 0xFFFF;
constexpr int32_t kNoObject = 0xFFFF;
// The palette entry the format keeps transparent; objects may use it freely.
constexpr int kTransparentEntry = 0xFF;

const char* const kSeverityNames[] = {"info", "warning", "error"};
const char* const kStateNames[] = {"normal", "selected", "activated"};
const char* const kDirections[] = {"upper", "lower", "left", "right"};

bool NoRef(int32_t id, int32_t none) {
    return id == none || id == -1;
}

struct SRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Overlaps(const SRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

// The epoch's objects by id (the first with an id wins).
class CObjectIndex {
public:
    explicit CObjectIndex(const CEpoch& epoch) {
        for (CGraphicObject* o : epoch.graphics.List()) byId_.emplace(o->id, o);
    }
    const CGraphicObject* Find(int32_t id) const {
        auto it = byId_.find(id);
        return it == byId_.end() ? nullptr : it->second;
    }
    // The objects of a state: start to end (an animation), those held.
    std::vector<const CGraphicObject*> StateObjects(const CButtonStateInfo& s) const {
        std::vector<const CGraphicObject*> out;
        if (NoRef(s.start.id, kNoObject)) return out;
        const int32_t end = NoRef(s.end.id, kNoObject) ? s.start.id : s.end.id;
        for (int32_t id = s.start.id; id <= std::max(end, s.start.id); ++id)
            if (const CGraphicObject* o = Find(id)) out.push_back(o);
        return out;
    }

private:
    std::map<int32_t, const CGraphicObject*> byId_;
};

// The ids of a page's buttons.
std::set<int32_t> ButtonIds(const CPage& page) {
    std::set<int32_t> ids;
    for (const auto& bog : page)
        for (const auto& b : *bog) ids.insert(b->id);
    return ids;
}

void CheckReferences(const CPage& page, const SCheckPlace& at, std::vector<SCheckFinding>& out) {
    const std::set<int32_t> ids = ButtonIds(page);
    auto bad = [&](int32_t id, bool activated) {
        if (NoRef(id, kNoButton) || ids.count(id)) return false;
        return !(activated && id == CPage::kCurrentSelectedId);
    };
    if (bad(page.defaultSelected.id, false))
        AddFinding(out, "bad-default-button", at,
                   StrFormat("%s (id %d): its default selected button %d is no button of the page",
                             page.name.c_str(), page.id, page.defaultSelected.id));
    if (bad(page.defaultActivated.id, true))
        AddFinding(out, "bad-default-button", at,
                   StrFormat("%s (id %d): its default activated button %d is no button of the page",
                             page.name.c_str(), page.id, page.defaultActivated.id));
    for (const auto& bog : page)
        for (const auto& b : *bog) {
            SCheckPlace here = at;
            here.button = b->id;
            const CRef<CBdButton>* refs[4] = {&b->neighbors.upper, &b->neighbors.lower,
                                              &b->neighbors.left, &b->neighbors.right};
            for (int d = 0; d < 4; ++d)
                if (!ids.count(refs[d]->id))
                    AddFinding(out, "missing-neighbour", here,
                               StrFormat("%s: its %s neighbour %d is no button of the page",
                                         ButtonLabel(*b).c_str(), kDirections[d], refs[d]->id));
        }
}

void CheckCommands(const CPage& page, const SCheckPlace& at, std::vector<SCheckFinding>& out) {
    for (const auto& bog : page)
        for (const auto& b : *bog)
            for (const CNavCmd& cmd : b->commands.records) {
                const SNavInstruction in = DecodeInstruction(cmd);
                if (in.op != ENavOp::kPlayPlaylist && in.op != ENavOp::kPlayPlaylistAtPlayItem &&
                    in.op != ENavOp::kPlayPlaylistAtMark)
                    continue;
                std::string text;
                if (!CommandText(in, text)) text = HexCommand(cmd);
                SCheckPlace here = at;
                here.button = b->id;
                AddFinding(out, "playlist-from-button", here,
                           StrFormat("%s: \"%s\" is among its commands; players refuse a "
                                     "playlist change from an interactive composition, so "
                                     "the button does nothing there",
                                     ButtonLabel(*b).c_str(), text.c_str()));
                break;
            }
}

void CheckObjects(const CPage& page, const CObjectIndex& objects, const SVideoDescriptor& video,
                  const SCheckPlace& at, std::vector<SCheckFinding>& out) {
    for (const auto& bog : page)
        for (const auto& b : *bog) {
            SCheckPlace here = at;
            here.button = b->id;
            std::set<int32_t> missing;
            bool outside = false;
            for (int s = 0; s < 3; ++s) {
                const CButtonStateInfo& state = b->states[s];
                for (int32_t id : {state.start.id, state.end.id})
                    if (!NoRef(id, kNoObject) && !objects.Find(id) && missing.insert(id).second)
                        AddFinding(out, "missing-object", here,
                                   StrFormat("%s: its %s state names object %d, which the "
                                             "epoch does not hold",
                                             ButtonLabel(*b).c_str(), kStateNames[s], id));
                if (outside || video.width == 0 || video.height == 0) continue;
                for (const CGraphicObject* o : objects.StateObjects(state)) {
                    if (b->x + o->width <= video.width && b->y + o->height <= video.height)
                        continue;
                    outside = true;
                    AddFinding(out, "outside-frame", here,
                               StrFormat("%s: its %s state's object %d (%d x %d at %d, %d) "
                                         "does not fit the %d x %d frame",
                                         ButtonLabel(*b).c_str(), kStateNames[s], o->id, o->width,
                                         o->height, b->x, b->y, video.width, video.height));
                    break;
                }
            }
        }
}

// The area a button covers in any state; false when no state has an object.
bool ButtonArea(const CBdButton& b, const CObjectIndex& objects, SRect& r) {
    int width = 0, height = 0;
    for (const CButtonStateInfo& s : b.states)
        for (const CGraphicObject* o : objects.StateObjects(s)) {
            width = std::max(width, o->width);
            height = std::max(height, o->height);
        }
    r = {b.x, b.y, b.x + width, b.y + height};
    return width > 0 && height > 0;
}

void CheckOverlaps(const CPage& page, const CObjectIndex& objects, const SCheckPlace& at,
                   std::vector<SCheckFinding>& out) {
    struct SArea {
        int group;
        const CBdButton* button;
        SRect rect;
    };
    std::vector<SArea> areas;
    for (int g = 0; g < page.GetSize(); ++g)
        for (const auto& b : *page.GetAt(g)) {
            SRect r;
            if (ButtonArea(*b, objects, r)) areas.push_back({g, b.get(), r});
        }
    for (size_t i = 0; i < areas.size(); ++i)
        for (size_t j = i + 1; j < areas.size(); ++j) {
            if (areas[i].group == areas[j].group || !areas[i].rect.Overlaps(areas[j].rect))
                continue;
            SCheckPlace here = at;
            here.button = areas[i].button->id;
            AddFinding(
                out, "group-overlap", here,
                StrFormat("%s of %s overlaps %s of %s", ButtonLabel(*areas[i].button).c_str(),
                          page.GetAt(areas[i].group)->name.c_str(),
                          ButtonLabel(*areas[j].button).c_str(),
                          page.GetAt(areas[j].group)->name.c_str()));
        }
}

// The palette entries an object's pixels use (none without an indexed picture).
std::set<int> UsedEntries(const CGraphicObject& o) {
    std::set<int> used;
    if (!o.bitmap || o.bitmap->Format() != EPixelFormat::Indexed8) return used;
    std::array<bool, 256> seen{};
    for (int y = 0; y < o.bitmap->Height(); ++y) {
        const uint8_t* row = o.bitmap->Row(y);
        for (int x = 0; x < o.bitmap->Width(); ++x) seen[row[x]] = true;
    }
    for (int i = 0; i < 256; ++i)
        if (seen[static_cast<size_t>(i)]) used.insert(i);
    return used;
}

std::string EntryList(const std::vector<int>& entries) {
    std::string text;
    const size_t shown = std::min<size_t>(entries.size(), 8);
    for (size_t i = 0; i < shown; ++i) text += StrFormat("%s%d", i ? ", " : "", entries[i]);
    if (entries.size() > shown) text += StrFormat(" and %zu more", entries.size() - shown);
    return text;
}

void CheckPalette(const CPage& page, const CEpoch& epoch, const CObjectIndex& objects,
                  const SCheckPlace& at, std::vector<SCheckFinding>& out) {
    const CErgbPalette* palette = epoch.palettes.FindById(page.palette.id);
    std::set<int> defined;
    if (palette)
        for (const ERGBQUAD& e : palette->records) defined.insert(e.index);
    std::set<int32_t> done;
    for (const auto& bog : page)
        for (const auto& b : *bog)
            for (const CButtonStateInfo& s : b->states)
                for (const CGraphicObject* o : objects.StateObjects(s)) {
                    if (!done.insert(o->id).second) continue;
                    std::vector<int> gap;
                    for (int i : UsedEntries(*o))
                        if (i != kTransparentEntry && !defined.count(i)) gap.push_back(i);
                    if (gap.empty()) continue;
                    SCheckPlace here = at;
                    here.button = b->id;
                    AddFinding(out, "palette-gap", here,
                               StrFormat("object %d of %s uses palette entries %s, which "
                                         "palette %d of %s does not define",
                                         o->id, ButtonLabel(*b).c_str(), EntryList(gap).c_str(),
                                         page.palette.id, page.name.c_str()));
                }
}

}  // namespace

const char* SeverityName(ECheckSeverity severity) {
    return kSeverityNames[static_cast<int>(severity)];
}

bool ParseSeverity(const std::string& text, ECheckSeverity& severity) {
    for (int i = 0; i < 3; ++i)
        if (EqualsNoCase(text, kSeverityNames[i])) {
            severity = static_cast<ECheckSeverity>(i);
            return true;
        }
    return false;
}

const std::vector<SCheckRule>& CheckRules() {
    static const std::vector<SCheckRule> rules = {
        {"unreachable-button", ECheckSeverity::Warning},
        {"unreachable-page", ECheckSeverity::Warning},
        {"decoration", ECheckSeverity::Info},
        {"missing-neighbour", ECheckSeverity::Error},
        {"bad-default-button", ECheckSeverity::Error},
        {"playlist-from-button", ECheckSeverity::Warning},
        {"outside-frame", ECheckSeverity::Error},
        {"missing-object", ECheckSeverity::Error},
        {"group-overlap", ECheckSeverity::Warning},
        {"palette-gap", ECheckSeverity::Warning},
        {"object-buffer", ECheckSeverity::Error},
        {"auto-action-loop", ECheckSeverity::Warning},
        {"empty-commands", ECheckSeverity::Info},
    };
    return rules;
}

const SCheckRule* FindCheckRule(const std::string& name) {
    for (const SCheckRule& r : CheckRules())
        if (name == r.name) return &r;
    return nullptr;
}

void AddFinding(std::vector<SCheckFinding>& out, const char* rule, const SCheckPlace& place,
                std::string message) {
    const SCheckRule* r = FindCheckRule(rule);
    out.push_back({rule, r ? r->severity : ECheckSeverity::Info, place, std::move(message)});
}

std::string ButtonLabel(const CBdButton& button) {
    return StrFormat("%s (id %d)", button.name.c_str(), button.id);
}

void CheckCompositionData(const CDisplaySet& ds, const CEpoch& epoch, const SVideoDescriptor& video,
                          const SCheckPlace& place, std::vector<SCheckFinding>& out) {
    const CObjectIndex objects(epoch);
    for (const auto& page : ds) {
        SCheckPlace at = place;
        at.page = page->id;
        CheckReferences(*page, at, out);
        CheckCommands(*page, at, out);
        CheckObjects(*page, objects, video, at, out);
        CheckOverlaps(*page, objects, at, out);
        CheckPalette(*page, epoch, objects, at, out);
    }
}

void CheckEpochBuffers(const CEpoch& epoch, const SCheckPlace& place,
                       std::vector<SCheckFinding>& out) {
    int64_t pixels = 0, coded = 0;
    if (!epoch.objectDemand.empty()) {
        for (const auto& [id, demand] : epoch.objectDemand) {
            pixels += demand.pixels;
            coded += demand.codedBytes;
        }
    } else {
        // A tree not read from a stream: the objects it holds.
        std::set<int32_t> seen;
        for (const CGraphicObject* o : epoch.graphics.List())
            if (seen.insert(o->id).second) pixels += int64_t{o->width} * o->height;
    }
    auto mib = [](int64_t bytes) { return static_cast<double>(bytes) / (1 << 20); };
    if (pixels > kIgObjectBufferBytes)
        AddFinding(out, "object-buffer", place,
                   StrFormat("%s: its decoded objects take %lld bytes (%.2f MiB), more than the "
                             "%lld MiB object buffer",
                             epoch.name.c_str(), static_cast<long long>(pixels), mib(pixels),
                             static_cast<long long>(kIgObjectBufferBytes >> 20)));
    if (coded > kCodedDataBufferBytes)
        AddFinding(out, "object-buffer", place,
                   StrFormat("%s: its object definitions code %lld bytes (%.2f MiB), more than "
                             "the %lld MiB coded data buffer",
                             epoch.name.c_str(), static_cast<long long>(coded), mib(coded),
                             static_cast<long long>(kCodedDataBufferBytes >> 20)));
}

}  // namespace tessel
