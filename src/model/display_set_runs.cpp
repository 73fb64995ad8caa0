#include "model/display_set_runs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <tuple>

namespace tessel {

namespace {

std::vector<uint8_t> CompositionBytes(CDisplaySet& ds) {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max(0, ds.Write(nullptr, 0))));
    if (!bytes.empty()) bytes.resize(static_cast<size_t>(ds.Write(bytes.data(), 0)));
    return bytes;
}

// The graphic objects a display set's pages point at, in reference order.
using SObjectUse = std::tuple<int32_t, const CGraphicObject*>;

void AddUse(std::vector<SObjectUse>& uses, const CRef<CGraphicObject>& ref) {
    uses.emplace_back(ref.ptr ? ref.ptr->id : ref.id, ref.ptr);
}

std::vector<SObjectUse> ObjectUses(const CDisplaySet& ds) {
    std::vector<SObjectUse> uses;
    for (const auto& page : ds.items) {
        for (const CEffectSequenceObject* seq : {&page->inEffects, &page->outEffects})
            for (const auto& effect : seq->items)
                for (const auto& co : effect->items) AddUse(uses, co->object);
        for (const auto& bog : page->items)
            for (const auto& button : bog->items)
                for (const auto& state : button->states) {
                    AddUse(uses, state.start);
                    AddUse(uses, state.end);
                }
    }
    return uses;
}

struct SShownMenu {
    std::vector<uint8_t> bytes;
    std::vector<SObjectUse> uses;

    explicit SShownMenu(CDisplaySet& ds) : bytes(CompositionBytes(ds)), uses(ObjectUses(ds)) {}
    bool operator==(const SShownMenu&) const = default;
};

}  // namespace

bool SameDisplaySet(CDisplaySet& a, CDisplaySet& b) {
    if (&a == &b) return true;
    return SShownMenu(a) == SShownMenu(b);
}

namespace {

// An epoch as what it shows: each display set's composition, and the
// pictures (not the objects, which each epoch holds anew) its pages use.
struct SEpochMenu {
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<std::tuple<int32_t, const Bitmap*>> pictures;

    explicit SEpochMenu(CEpoch& epoch) {
        for (const auto& ds : epoch.items) {
            bytes.push_back(CompositionBytes(*ds));
            for (const auto& [id, object] : ObjectUses(*ds))
                pictures.emplace_back(id, object ? object->bitmap.get() : nullptr);
        }
    }
    bool operator==(const SEpochMenu& o) const {
        if (bytes != o.bytes || pictures.size() != o.pictures.size()) return false;
        for (size_t i = 0; i < pictures.size(); ++i) {
            const auto& [id, a] = pictures[i];
            const auto& [otherId, b] = o.pictures[i];
            if (id != otherId || !SamePicture(a, b)) return false;
        }
        return true;
    }

    // One shared picture, or two with the same pixels.
    static bool SamePicture(const Bitmap* a, const Bitmap* b) {
        if (a == b) return true;
        if (!a || !b || a->Width() != b->Width() || a->Height() != b->Height() ||
            a->Format() != b->Format() || a->Stride() != b->Stride())
            return false;
        return std::memcmp(a->Data(), b->Data(), a->Stride() * static_cast<size_t>(a->Height())) ==
               0;
    }
};

}  // namespace

std::vector<SDisplaySetRun> IdenticalEpochRuns(CIgObject& ig) {
    std::vector<SDisplaySetRun> runs;
    std::unique_ptr<SEpochMenu> last;
    for (int i = 0; i < ig.GetSize(); ++i) {
        auto menu = std::make_unique<SEpochMenu>(*ig.GetAt(i));
        if (last && *last == *menu) {
            ++runs.back().count;
            continue;
        }
        runs.push_back({i, 1});
        last = std::move(menu);
    }
    return runs;
}

std::vector<SDisplaySetRun> IdenticalDisplaySetRuns(CEpoch& epoch) {
    std::vector<SDisplaySetRun> runs;
    std::vector<SShownMenu> heads;
    for (int i = 0; i < epoch.GetSize(); ++i) {
        SShownMenu menu(*epoch.GetAt(i));
        if (!heads.empty() && heads.back() == menu) {
            ++runs.back().count;
            continue;
        }
        runs.push_back({i, 1});
        heads.push_back(std::move(menu));
    }
    return runs;
}

}  // namespace tessel
