#include "model/bog.h"

#include <algorithm>
#include <cstdlib>

#include "platform/text.h"

namespace tessel {

namespace {

const char* const kStateNames[3] = {"Normal", "Selected", "Action"};

std::string Head(const std::string& indent, const char* kind) {
    return StrFormat("%s %s", indent.c_str(), kind);
}

uint32_t Id16(int32_t id) {
    return static_cast<uint32_t>(id) & 0xFFFF;
}

}  // namespace

// ---- CNavCmds

void CNavCmds::CopyFrom(const CNamedObject& other) {
    CopyBase(other);
    if (auto* o = dynamic_cast<const CNavCmds*>(&other)) records = o->records;
}

void CNavCmds::Serialize(CArchive& ar) {
    int32_t n = GetSize();
    ar.Io(n);
    if (ar.IsLoading()) {
        if (n < 0) {
            ar.Fail("negative command count");
            return;
        }
        if (!ar.CheckCount(static_cast<uint64_t>(n), 4 + sizeof(CNavCmd::bytes), "command")) return;
        records.clear();
        for (int32_t i = 0; i < n && !ar.Failed(); ++i) {
            uint32_t zero = 0;
            ar.Io(zero);
            CNavCmd c;
            ar.ReadBytes(c.bytes, sizeof c.bytes);
            records.push_back(c);
        }
    } else {
        for (auto& c : records) {
            uint32_t zero = 0;
            ar.Io(zero);
            ar.WriteBytes(c.bytes, sizeof c.bytes);
        }
    }
}

bool CNavCmds::Read(CByteReader& r, int count) {
    records.clear();
    if (count < 0 || static_cast<size_t>(count) * 12 > r.Remaining()) {
        r.Fail();
        return false;
    }
    records.resize(static_cast<size_t>(count));
    for (auto& c : records) r.Bytes(c.bytes, sizeof c.bytes);
    return !r.Failed();
}

void CNavCmds::WriteTo(CByteWriter& w) const {
    for (const auto& c : records) w.Bytes(c.bytes, sizeof c.bytes);
}

// ---- CButtonIdPool

void CButtonIdPool::Add(int32_t id) {
    if (id >= 0 && id <= CBdButton::kMaxButtonId) used_[static_cast<size_t>(id)] = true;
}

int32_t CButtonIdPool::Lowest() {
    while (lowest_ <= CBdButton::kMaxButtonId && used_[static_cast<size_t>(lowest_)]) ++lowest_;
    return lowest_ <= CBdButton::kMaxButtonId ? lowest_ : -1;
}

// ---- CBdButton

void CBdButton::CopyAll(const CNamedObject& other) {
    CopyBase(other);
    auto* o = dynamic_cast<const CBdButton*>(&other);
    if (!o || o == this) return;
    buttonType = o->buttonType;
    std::copy(std::begin(o->extra), std::end(o->extra), std::begin(extra));
    numericSelectValue = o->numericSelectValue;
    autoAction = o->autoAction;
    x = o->x;
    y = o->y;
    neighbors = o->neighbors;
    for (int s = 0; s < 3; ++s) states[s] = o->states[s];
    commands.CopyFrom(o->commands);
}

void CBdButton::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    uint8_t zero = 0;
    ar.Io(zero);
    ar.Io(buttonType);
    for (auto& e : extra) ar.Io(e);
    ar.Io(numericSelectValue);
    ar.Io(autoAction);
    ar.Io(x);
    ar.Io(y);
    for (auto* n : neighbors.refs()) n->Serialize(ar);
    for (auto& s : states) {
        // The byte before each state holds its complete flag (0 in older archives).
        uint8_t complete = s.complete ? 1 : 0;
        ar.Io(complete);
        s.complete = complete != 0;
        s.start.Serialize(ar);
        s.end.Serialize(ar);
        ar.Io(s.soundId);
        ar.Io(s.repeat);
    }
    commands.Serialize(ar);
}

bool CBdButton::ParseFrom(CByteReader& r, int) {
    commands.Clear();
    buttonType = 0;
    std::fill(std::begin(extra), std::end(extra), 0u);
    id = r.U16();
    numericSelectValue = r.U16();
    autoAction = r.Flag();
    r.SkipBits(7);
    x = r.U16();
    y = r.U16();
    for (auto* n : neighbors.refs()) {
        n->ptr = nullptr;
        n->id = r.U16();
    }
    for (int s = 0; s < 3; ++s) {
        CButtonStateInfo& st = states[s];
        if (s != kNormal) st.soundId = r.U8();
        st.start.ptr = st.end.ptr = nullptr;
        st.start.id = r.U16();
        st.end.id = r.U16();
        if (s != kActivated) {
            st.repeat = r.Flag();
            st.complete = r.Flag();
            r.SkipBits(6);
        }
    }
    int count = r.U16();
    if (r.Failed() || !commands.Read(r, count)) return false;
    // Private trailer: 64 commands with command 59 starting FF FF FF FF.
    const auto& c = commands.records;
    if (c.size() == 64 && c[59].bytes[0] == 0xFF && c[59].bytes[1] == 0xFF &&
        c[59].bytes[2] == 0xFF && c[59].bytes[3] == 0xFF) {
        buttonType = c[59].bytes[11];
        for (size_t i = 0; i < 4; ++i) extra[i] = CByteReader(c[60 + i].bytes + 8, 4).U32();
    }
    return true;
}

void CBdButton::WriteTo(CByteWriter& w, int) const {
    w.U16(Id16(id));
    w.U16(numericSelectValue);
    w.U8(autoAction ? 0x80 : 0);
    w.U16(x);
    w.U16(y);
    for (const auto* n : {&neighbors.upper, &neighbors.lower, &neighbors.left, &neighbors.right})
        w.U16(Id16(n->id));
    for (int s = 0; s < 3; ++s) {
        const CButtonStateInfo& st = states[s];
        if (s != kNormal) w.U8(st.soundId);
        w.U16(Id16(st.start.id));
        w.U16(Id16(st.end.id));
        if (s != kActivated) w.U8((st.repeat ? 0x80 : 0) | (st.complete ? 0x40 : 0));
    }
    w.U16(static_cast<uint32_t>(commands.GetSize()) & 0xFFFF);
    // The count field holds only 16 bits; write as many commands as it says.
    size_t n = static_cast<size_t>(commands.GetSize()) & 0xFFFF;
    for (size_t i = 0; i < n; ++i) w.Bytes(commands.records[i].bytes, 12);
}

void CBdButton::ResolveRefs(const CIdIndex<CBdButton>& pageButtons,
                            const CIdIndex<CGraphicObject>& objects) {
    for (auto* n : neighbors.refs()) pageButtons.Resolve(*n);
    for (auto& s : states) {
        objects.Resolve(s.start);
        objects.Resolve(s.end);
    }
}

void CBdButton::RefreshIds() {
    for (auto* n : neighbors.refs()) n->Refresh();
    for (auto& s : states) {
        s.start.Refresh();
        s.end.Refresh();
    }
}

CGraphicObject* CBdButton::SizeObject() const {
    for (const auto& s : states) {
        if (s.start.ptr) return s.start.ptr;
        if (s.end.ptr) return s.end.ptr;
    }
    return nullptr;
}

bool CBdButton::GetRect(int& left, int& top, int& right, int& bottom) const {
    const CGraphicObject* o = SizeObject();
    if (!o) {
        left = top = right = bottom = 0;
        return false;
    }
    left = x;
    top = y;
    right = x + o->width;
    bottom = y + o->height;
    return true;
}

CGraphicObject* CBdButton::ShownObject(int state, bool endFrame) const {
    if (state < 0 || state > 2) return nullptr;
    auto pick = [endFrame](const CButtonStateInfo& s) {
        return endFrame ? s.end.ptr : s.start.ptr;
    };
    CGraphicObject* o = pick(states[state]);
    if (!o && state != kNormal) o = pick(states[kNormal]);
    return o;
}

bool CBdButton::UsesObjectId(int32_t objectId) const {
    if (objectId == -1) return false;
    for (const auto& s : states) {
        int32_t a = s.start.id, b = s.end.id;
        if (objectId == a || objectId == b) return true;
        if (a != -1 && b != -1 && objectId >= std::min(a, b) && objectId <= std::max(a, b))
            return true;
    }
    return false;
}

bool CBdButton::Check(const std::string& indent, ILogSink* log) {
    LogLine(log, StrFormat("%s %s...", indent.c_str(), name.c_str()));
    const std::string warning = Head(indent, "Warning");
    const std::string error = Head(indent, "Error");
    for (int s = 0; s < 3; ++s) {
        const CGraphicObject* start = states[s].start.ptr;
        const CGraphicObject* end = states[s].end.ptr;
        const char* text = nullptr;
        if (!start && !end) {
            LogLine(log, StrFormat("%s:%s %s", warning.c_str(), kStateNames[s], "has no graphics"));
            continue;
        }
        if (!start)
            text = "has no start graphics";
        else if (!end)
            text = "has no end graphics";
        else if (start->width != end->width || start->height != end->height)
            text = "size of button graphics is different";
        if (text) {
            LogLine(log, StrFormat("%s:%s %s", error.c_str(), kStateNames[s], text));
            return false;
        }
    }
    bool hasNeighbor = false;
    for (auto* n : neighbors.refs())
        if (n->ptr && n->ptr != this) hasNeighbor = true;
    if (!hasNeighbor)
        LogLine(log, StrFormat("%s:%s", warning.c_str(), "has no directional buttons defined"));
    if (buttonType == 0 && commands.GetSize() == 0)
        LogLine(log, StrFormat("%s:%s", warning.c_str(), "has no commands"));
    RefreshIds();
    return true;
}

// ---- CBog

const CNamedPtrArray<CBog>* PageGroups(const CBog& bog) {
    return dynamic_cast<const CNamedPtrArray<CBog>*>(bog.parent);
}

void CBog::CopyAll(const CNamedObject& other) {
    CopyItems(other);
    if (auto* o = dynamic_cast<const CBog*>(&other)) defaultValid = o->defaultValid;
}

void CBog::Serialize(CArchive& ar) {
    CNamedPtrArray<CBdButton>::Serialize(ar);
    defaultValid.Serialize(ar);
}

CBdButton* CBog::AddNewButton() {
    CButtonIdPool pool;
    if (const auto* page = PageGroups(*this)) {
        for (const auto& g : page->items)
            for (const auto& b : g->items) pool.Add(b->id);
    } else {
        for (const auto& b : items) pool.Add(b->id);
    }
    int32_t newId = pool.Lowest();
    if (newId < 0) return nullptr;
    auto* button = Append(std::make_unique<CBdButton>());
    button->id = newId;
    button->name = NumberedName("Button", newId + 1);
    if (!defaultValid.ptr) defaultValid.Set(button);
    return button;
}

bool CBog::ParseFrom(CByteReader& r, int mode, CButtonIdPool* pool) {
    Clear();
    CButtonIdPool ownPool;
    if (!pool) {
        pool = &ownPool;
        if (const auto* page = PageGroups(*this))
            for (const auto& g : page->items)
                for (const auto& b : g->items) pool->Add(b->id);
    }
    defaultValid.ptr = nullptr;
    defaultValid.id = r.U16();
    int count = r.U8();
    if (r.Failed()) return false;
    for (int i = 0; i < count; ++i) {
        // Named after the id the stream gives it, as every button is.
        auto* button = Append(std::make_unique<CBdButton>());
        if (!button->ParseFrom(r, mode)) return false;
        button->name = NumberedName("Button", button->id + 1);
        pool->Add(button->id);
    }
    return !r.Failed();
}

void CBog::WriteTo(CByteWriter& w, int mode) const {
    w.U16(Id16(defaultValid.id));
    w.U8(static_cast<uint32_t>(GetSize()) & 0xFF);
    size_t n = static_cast<size_t>(GetSize()) & 0xFF;
    for (size_t i = 0; i < n; ++i) items[i]->WriteTo(w, mode);
}

bool CBog::ResolveRefs(const CIdIndex<CBdButton>& pageButtons,
                       const CIdIndex<CGraphicObject>& objects) {
    for (const auto& b : items) b->ResolveRefs(pageButtons, objects);
    defaultValid.Resolve(items);
    return true;
}

void CBog::RefreshIds() {
    for (const auto& b : items) b->RefreshIds();
    defaultValid.Refresh();
}

bool CBog::GetRect(int& left, int& top, int& right, int& bottom) const {
    bool any = false;
    left = top = right = bottom = 0;
    for (const auto& b : items) {
        int l, t, r, btm;
        if (!b->GetRect(l, t, r, btm)) continue;
        if (!any) {
            left = l, top = t, right = r, bottom = btm;
            any = true;
        } else {
            left = std::min(left, l), top = std::min(top, t);
            right = std::max(right, r), bottom = std::max(bottom, btm);
        }
    }
    return any;
}

bool CBog::Check(const std::string& indent, ILogSink* log) {
    LogLine(log, StrFormat("%s %s...", indent.c_str(), name.c_str()));
    const std::string warning = Head(indent, "Warning");
    if (items.empty()) {
        LogLine(log, StrFormat("%s:%s", warning.c_str(), "has no buttons"));
        return true;
    }
    if (!defaultValid.ptr)
        LogLine(log, StrFormat("%s:%s", warning.c_str(), "has no display button"));
    const std::string child = StrFormat("  %s", indent.c_str());
    for (const auto& b : items)
        if (!b->Check(child, log)) return false;
    defaultValid.Refresh();
    return true;
}

}  // namespace tessel
