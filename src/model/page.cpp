#include "model/page.h"

#include <algorithm>

#include "codec/pcs_wds.h"
#include "platform/text.h"

namespace tessel {

namespace {

uint32_t Low(int32_t v, uint32_t mask) {
    return static_cast<uint32_t>(v) & mask;
}

}  // namespace

// ---- CWindowObject

void CWindowObject::CopyItems(const CNamedObject& other) {
    CopyBase(other);
    if (auto* o = dynamic_cast<const CWindowObject*>(&other)) {
        left = o->left;
        top = o->top;
        right = o->right;
        bottom = o->bottom;
    }
}

void CWindowObject::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    ar.Io(left);
    ar.Io(top);
    ar.Io(right);
    ar.Io(bottom);
}

// ---- CCompositionObject

void CCompositionObject::CopyItems(const CNamedObject& other) {
    CopyBase(other);
    auto* o = dynamic_cast<const CCompositionObject*>(&other);
    if (!o || o == this) return;
    object = o->object;
    window = o->window;
    cropped = o->cropped;
    forcedOn = o->forcedOn;
    x = o->x;
    y = o->y;
    cropLeft = o->cropLeft;
    cropTop = o->cropTop;
    cropRight = o->cropRight;
    cropBottom = o->cropBottom;
}

void CCompositionObject::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    object.Serialize(ar);
    window.Serialize(ar);
    ar.Io(cropped);
    ar.Io(forcedOn);
    ar.Io(x);
    ar.Io(y);
    if (cropped) {
        ar.Io(cropLeft);
        ar.Io(cropTop);
        ar.Io(cropRight);
        ar.Io(cropBottom);
    }
}

// ---- CEffectObject

void CEffectObject::CopyAll(const CNamedObject& other) {
    CopyItems(other);
    if (auto* o = dynamic_cast<const CEffectObject*>(&other)) palette = o->palette;
}

void CEffectObject::Serialize(CArchive& ar) {
    CNamedPtrArray<CCompositionObject>::Serialize(ar);
    palette.Serialize(ar);
}

CCompositionObject* CEffectObject::AddNewObject() {
    if (GetSize() >= kMaxObjects) return nullptr;
    int n = GetSize();
    auto* o = Append(std::make_unique<CCompositionObject>());
    o->name = NumberedName("Composition Object", n);
    return o;
}

// ---- CEffectSequenceObject

void CEffectSequenceObject::Clear() {
    CNamedPtrArray<CEffectObject>::Clear();
    windows.Clear();
}

void CEffectSequenceObject::CopyAll(const CNamedObject& other) {
    CopyItems(other);
    auto* o = dynamic_cast<const CEffectSequenceObject*>(&other);
    if (!o || o == this) return;
    windows.CopyItems(o->windows);
    windows.parent = this;
}

void CEffectSequenceObject::Serialize(CArchive& ar) {
    CNamedPtrArray<CEffectObject>::Serialize(ar);
    windows.Serialize(ar);
    if (ar.IsLoading()) windows.parent = this;
}

CEffectObject* CEffectSequenceObject::AddNewEffect() {
    if (GetSize() >= kMaxEffects) return nullptr;
    int n = GetSize();
    auto* e = Append(std::make_unique<CEffectObject>());
    e->name = NumberedName("Effect", n);
    return e;
}

CWindowObject* CEffectSequenceObject::AddNewWindow() {
    if (windows.GetSize() >= kMaxWindows) return nullptr;
    int n = windows.GetSize();
    auto* w = windows.Append(std::make_unique<CWindowObject>());
    w->name = NumberedName("Window", n);
    return w;
}

namespace {

void FromSyntax(CCompositionObject& o, const SCompositionObject& c) {
    o.object.id = c.objectIdRef;
    o.window.id = c.windowIdRef;
    o.cropped = c.cropped ? 1 : 0;
    o.forcedOn = c.forcedOn ? 1 : 0;
    o.x = c.x;
    o.y = c.y;
    if (!c.cropped) return;
    o.cropLeft = c.crop.x;
    o.cropTop = c.crop.y;
    o.cropRight = c.crop.x + c.crop.width;
    o.cropBottom = c.crop.y + c.crop.height;
}

SCompositionObject ToSyntax(const CCompositionObject& o) {
    SCompositionObject c;
    c.objectIdRef = static_cast<uint16_t>(Low(o.object.id, 0xFFFF));
    c.windowIdRef = static_cast<uint8_t>(Low(o.window.id, 0xFF));
    c.cropped = o.cropped != 0;
    c.forcedOn = o.forcedOn != 0;
    c.x = static_cast<uint16_t>(Low(o.x, 0xFFFF));
    c.y = static_cast<uint16_t>(Low(o.y, 0xFFFF));
    if (c.cropped) {
        c.crop.x = static_cast<uint16_t>(Low(o.cropLeft, 0xFFFF));
        c.crop.y = static_cast<uint16_t>(Low(o.cropTop, 0xFFFF));
        c.crop.width = static_cast<uint16_t>(Low(o.cropRight - o.cropLeft, 0xFFFF));
        c.crop.height = static_cast<uint16_t>(Low(o.cropBottom - o.cropTop, 0xFFFF));
    }
    return c;
}

}  // namespace

bool CEffectSequenceObject::ParseFrom(CByteReader& r, int) {
    Clear();
    std::vector<SWindow> wins;
    int nWindows = r.U8();
    for (int i = 0; i < nWindows && !r.Failed(); ++i) {
        SWindow w;
        if (w.Read(r)) wins.push_back(w);
    }
    int nEffects = r.U8();
    for (int i = 0; i < nEffects && !r.Failed(); ++i) {
        uint32_t duration = r.U24();
        int32_t paletteId = r.U8();
        int nObjects = r.U8();
        // Effects and objects beyond the limits are read and dropped.
        CEffectObject* effect = AddNewEffect();
        if (effect) {
            effect->duration = duration;
            effect->palette.ptr = nullptr;
            effect->palette.id = paletteId;
        }
        for (int k = 0; k < nObjects && !r.Failed(); ++k) {
            SCompositionObject c;
            if (c.Read(r) == 0) break;
            CCompositionObject* o = effect ? effect->AddNewObject() : nullptr;
            if (o) FromSyntax(*o, c);
        }
    }
    if (r.Failed()) return false;
    for (const SWindow& w : wins) {
        CWindowObject* win = AddNewWindow();
        if (!win) break;
        win->id = w.id;
        win->left = w.x;
        win->top = w.y;
        win->right = w.x + w.width;
        win->bottom = w.y + w.height;
    }
    return true;
}

void CEffectSequenceObject::WriteTo(CByteWriter& w, int) const {
    uint64_t minDuration = 0;
    size_t nWindows = static_cast<size_t>(windows.GetSize()) & 0xFF;
    w.U8(static_cast<uint32_t>(nWindows));
    for (size_t i = 0; i < nWindows; ++i) {
        const CWindowObject& win = *windows.items[i];
        SWindow s;
        s.id = static_cast<uint8_t>(Low(win.id, 0xFF));
        s.x = static_cast<uint16_t>(Low(win.left, 0xFFFF));
        s.y = static_cast<uint16_t>(Low(win.top, 0xFFFF));
        s.width = static_cast<uint16_t>(Low(win.right - win.left, 0xFFFF));
        s.height = static_cast<uint16_t>(Low(win.bottom - win.top, 0xFFFF));
        s.Write(w);
        // ceil(width * height * 90000 / 16000000), exactly.
        minDuration += (uint64_t(s.width) * s.height * 9 + 1599) / 1600;
    }
    size_t nEffects = static_cast<size_t>(GetSize()) & 0xFF;
    w.U8(static_cast<uint32_t>(nEffects));
    for (size_t i = 0; i < nEffects; ++i) {
        const CEffectObject& e = *items[i];
        uint64_t duration = std::max<uint64_t>(e.duration & 0xFFFFFF, minDuration);
        w.U24(static_cast<uint32_t>(std::min<uint64_t>(duration, 0xFFFFFF)));
        w.U8(Low(e.palette.id, 0xFF));
        size_t nObjects = static_cast<size_t>(e.GetSize()) & 0xFF;
        w.U8(static_cast<uint32_t>(nObjects));
        for (size_t k = 0; k < nObjects; ++k) ToSyntax(*e.items[k]).Write(w);
    }
}

void CEffectSequenceObject::ResolveRefs(const SRefIndexes& refs) {
    if (items.empty()) return;
    CIdIndex<CWindowObject> windowIndex(windows);
    for (const auto& e : items) {
        refs.palettes.Resolve(e->palette);
        for (const auto& o : e->items) {
            refs.objects.Resolve(o->object);
            windowIndex.Resolve(o->window);
        }
    }
}

void CEffectSequenceObject::RefreshIds() {
    for (int i = 0; i < windows.GetSize(); ++i) windows.items[static_cast<size_t>(i)]->id = i;
    for (const auto& e : items) {
        e->palette.Refresh();
        for (const auto& o : e->items) {
            o->object.Refresh();
            o->window.Refresh();
        }
    }
}

// ---- CPage

CPage::CPage() {
    currentSelected.name = "Current Selected Button";
    currentSelected.id = kCurrentSelectedId;
    currentSelected.parent = this;
    inEffects.name = "In Effect";
    inEffects.parent = this;
    outEffects.name = "Out Effect";
    outEffects.parent = this;
}

void CPage::Clear() {
    CNamedPtrArray<CBog>::Clear();
    inEffects.Clear();
    outEffects.Clear();
}

void CPage::CopyAll(const CNamedObject& other) {
    CopyItems(other);
    auto* o = dynamic_cast<const CPage*>(&other);
    if (!o || o == this) return;
    defaultSelected = o->defaultSelected;
    defaultActivated = o->defaultActivated;
    palette = o->palette;
    version = o->version;
    std::copy(std::begin(o->uoMask), std::end(o->uoMask), std::begin(uoMask));
    inEffects.CopyFrom(o->inEffects);
    inEffects.parent = this;
    outEffects.CopyFrom(o->outEffects);
    outEffects.parent = this;
    frameRateCode = o->frameRateCode;
}

void CPage::Serialize(CArchive& ar) {
    CNamedPtrArray<CBog>::Serialize(ar);
    ar.Io(version);
    ar.Io(frameRateCode);
    defaultSelected.Serialize(ar);
    defaultActivated.Serialize(ar);
    palette.Serialize(ar);
    for (auto& b : uoMask) ar.Io(b);
    inEffects.Serialize(ar);
    outEffects.Serialize(ar);
    if (ar.IsLoading()) inEffects.parent = outEffects.parent = this;
}

CBog* CPage::AddNewBog() {
    auto* g = Append(std::make_unique<CBog>());
    g->name = NumberedName("Bog", GetSize());
    return g;
}

bool CPage::ParseFrom(CByteReader& r, int mode) {
    CNamedPtrArray<CBog>::Clear();
    id = r.U8();
    version = r.U8();
    r.Bytes(uoMask, sizeof uoMask);
    if (r.Failed() || !inEffects.ParseFrom(r, mode) || !outEffects.ParseFrom(r, mode)) return false;
    frameRateCode = r.U8();
    defaultSelected = {nullptr, static_cast<int32_t>(r.U16())};
    defaultActivated = {nullptr, static_cast<int32_t>(r.U16())};
    palette = {nullptr, static_cast<int32_t>(r.U8())};
    int groups = r.U8();
    if (r.Failed()) return false;
    CButtonIdPool pool;
    for (int i = 0; i < groups; ++i)
        if (!AddNewBog()->ParseFrom(r, mode, &pool)) return false;
    return !r.Failed();
}

void CPage::WriteTo(CByteWriter& w, int mode) const {
    w.U8(Low(id, 0xFF));
    w.U8(version);
    w.Bytes(uoMask, sizeof uoMask);
    inEffects.WriteTo(w, mode);
    outEffects.WriteTo(w, mode);
    w.U8(frameRateCode);
    w.U16(Low(defaultSelected.id, 0xFFFF));
    w.U16(Low(defaultActivated.id, 0xFFFF));
    w.U8(Low(palette.id, 0xFF));
    size_t n = static_cast<size_t>(GetSize()) & 0xFF;
    w.U8(static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) items[i]->WriteTo(w, mode);
}

std::vector<CBdButton*> CPage::AllButtons() const {
    std::vector<CBdButton*> all;
    for (const auto& g : items)
        for (const auto& b : g->items) all.push_back(b.get());
    return all;
}

bool CPage::ResolveRefs(const SRefIndexes& refs) {
    std::vector<CBdButton*> all = AllButtons();
    CIdIndex<CBdButton> buttons(all);
    for (const auto& g : items)
        if (!g->ResolveRefs(buttons, refs.objects)) return false;
    buttons.Resolve(defaultSelected);
    if (defaultActivated.id == kCurrentSelectedId)
        defaultActivated.ptr = &currentSelected;
    else
        buttons.Resolve(defaultActivated);
    refs.palettes.Resolve(palette);
    inEffects.ResolveRefs(refs);
    outEffects.ResolveRefs(refs);
    return true;
}

void CPage::RefreshIds() {
    inEffects.RefreshIds();
    outEffects.RefreshIds();
    for (const auto& g : items) g->RefreshIds();
    defaultSelected.Refresh();
    defaultActivated.Refresh();
    palette.Refresh();
}

std::vector<CGraphicObject*> CPage::UsedObjects(const CGraphicObjectList& objects,
                                                int* splitIndex) const {
    for (CGraphicObject* o : objects)
        if (o) o->used = 0;
    CIdIndex<CGraphicObject> index(objects);
    std::vector<CGraphicObject*> out;
    auto addObject = [&out](CGraphicObject* o) {
        if (o && !o->used) {
            o->used = 1;
            out.push_back(o);
        }
    };
    auto addEffects = [&](const CEffectSequenceObject& seq) {
        for (const auto& e : seq.items)
            for (const auto& c : e->items) addObject(c->object.ptr);
    };
    auto addState = [&](const CBdButton* b, int state) {
        if (!b) return;
        const CButtonStateInfo& s = b->states[state];
        if (!s.start.ptr || !s.end.ptr) return;
        int32_t lo = std::min(s.start.ptr->id, s.end.ptr->id);
        int32_t hi = std::max(s.start.ptr->id, s.end.ptr->id);
        for (auto it = index.byId.lower_bound(lo); it != index.byId.end() && it->first <= hi; ++it)
            addObject(it->second);
    };
    addEffects(inEffects);
    for (const auto& g : items) addState(g->defaultValid.ptr, CBdButton::kNormal);
    int split = static_cast<int>(out.size());
    addState(defaultSelected.ptr, CBdButton::kSelected);
    for (const auto& g : items) addState(g->defaultValid.ptr, CBdButton::kSelected);
    for (const auto& g : items) addState(g->defaultValid.ptr, CBdButton::kActivated);
    if (!defaultSelected.ptr) split = static_cast<int>(out.size()) - 1;
    for (const auto& g : items)
        for (const auto& b : g->items) {
            if (b.get() == g->defaultValid.ptr || b.get() == defaultSelected.ptr) continue;
            for (int s = 0; s < 3; ++s) addState(b.get(), s);
        }
    addEffects(outEffects);
    if (splitIndex) *splitIndex = split;
    return out;
}

bool CPage::Check(const std::string& indent, ILogSink* log, const PaletteSource& derivePalette) {
    LogLine(log, StrFormat("%s %s...", indent.c_str(), name.c_str()));
    const std::string warning = StrFormat("%s %s", indent.c_str(), "Warning");
    const std::string error = StrFormat("%s %s", indent.c_str(), "Error");
    auto fail = [log](const std::string& text) {
        LogOrShow(log, text);
        return false;
    };
    if (items.empty()) return fail(StrFormat("%s:%s", error.c_str(), "has no buttons"));
    for (size_t i = 0; i < items.size(); ++i) {
        int l1, t1, r1, b1;
        if (!items[i]->GetRect(l1, t1, r1, b1)) continue;
        for (size_t j = i + 1; j < items.size(); ++j) {
            int l2, t2, r2, b2;
            if (!items[j]->GetRect(l2, t2, r2, b2)) continue;
            if (std::min(r1, r2) > std::max(l1, l2) && std::min(b1, b2) > std::max(t1, t2))
                return fail(StrFormat("%s:%s (%s - %s)", error.c_str(),
                                      "Buttons of different group overlapped",
                                      items[i]->name.c_str(), items[j]->name.c_str()));
        }
    }
    inEffects.RefreshIds();
    outEffects.RefreshIds();
    defaultSelected.Refresh();
    defaultActivated.Refresh();
    if (!palette.ptr) {
        LogLine(log, StrFormat("%s:%s", warning.c_str(),
                               "no palette defined, will get from image automatically."));
        if (derivePalette) palette.ptr = derivePalette(*this);
    }
    palette.Refresh();
    const std::string child = StrFormat("  %s", indent.c_str());
    for (const auto& g : items)
        if (!g->Check(child, log)) return false;
    return true;
}

// ---- Lookups

CPage* PageOfBog(const CBog& bog) {
    return dynamic_cast<CPage*>(bog.parent);
}

CPage* PageOfButton(const CBdButton& button, int* bogIndex, int* index) {
    auto* bog = dynamic_cast<CBog*>(button.parent);
    CPage* page = bog ? PageOfBog(*bog) : nullptr;
    if (!page) return nullptr;
    if (bogIndex) *bogIndex = page->IndexOf(bog);
    if (index) *index = bog->IndexOf(&button);
    return page;
}

CBdButton* FindButton(const CPage& page, int32_t id) {
    for (const auto& bog : page)
        if (CBdButton* b = bog->FindById(id)) return b;
    return nullptr;
}

}  // namespace tessel
