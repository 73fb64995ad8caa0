// Button overlap groups, buttons and their navigation command lists.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "model/byte_record.h"
#include "model/graphic_object.h"
#include "model/named_object.h"
#include "navcmd/navcmd.h"
#include "platform/byte_io.h"
#include "platform/messages.h"

namespace tessel {

class CBdButton;

// Nodes by id for reference resolution; the first node of the candidate list
// with an id wins, and -1 finds nothing.
template <class T>
class CIdIndex {
public:
    CIdIndex() = default;
    template <class Range>
    explicit CIdIndex(const Range& candidates) {
        for (const auto& c : candidates)
            if (T* p = &*c) byId.emplace(p->id, p);
    }
    T* Find(int32_t id) const {
        if (id == -1) return nullptr;
        auto it = byId.find(id);
        return it == byId.end() ? nullptr : it->second;
    }
    void Resolve(CRef<T>& ref) const { ref.ptr = Find(ref.id); }

    std::map<int32_t, T*> byId;
};

// The button ids already taken in a page, for naming new buttons.
class CButtonIdPool {
public:
    void Add(int32_t id);
    // Lowest free id from 0 to 8159; -1 when all are taken.
    int32_t Lowest();

private:
    std::vector<bool> used_ = std::vector<bool>(8160, false);
    int32_t lowest_ = 0;
};

// A button's navigation commands, 12 raw bytes each.
class CNavCmds : public CTypeArray<CNavCmd> {
public:
    void CopyFrom(const CNamedObject& other) override;
    // Count (int32), then per command a 32-bit zero and its 12 bytes.
    void Serialize(CArchive& ar) override;
    // Clears, then reads count records of 12 bytes; false on overrun.
    bool Read(CByteReader& r, int count);
    void WriteTo(CByteWriter& w) const;
};

// Four neighbour references: upper, lower, left, right.
struct CNeighborInfo {
    CRef<CBdButton> upper, lower, left, right;

    std::array<CRef<CBdButton>*, 4> refs() { return {&upper, &lower, &left, &right}; }
};

// One button state: a run of graphic objects from start to end.
struct CButtonStateInfo {
    CRef<CGraphicObject> start, end;
    uint8_t soundId = 0;
    bool repeat = false;    // bit 7 of the state's flags byte
    bool complete = false;  // bit 6: the run is shown to its end before the state is left
};

class CBdButton : public TByteRecord<CBdButton> {
public:
    enum { kNormal = 0, kSelected = 1, kActivated = 2 };
    static constexpr int kMaxButtonId = 8159;
    // Size of a button without commands in the button() syntax.
    static constexpr int kFixedSize = 35;

    void Clear() override { commands.Clear(); }
    void CopyAll(const CNamedObject& other);
    void Serialize(CArchive& ar) override;

    bool ParseFrom(CByteReader& r, int mode);
    void WriteTo(CByteWriter& w, int mode) const;

    // Neighbours among the page's buttons, state objects among the objects.
    void ResolveRefs(const CIdIndex<CBdButton>& pageButtons,
                     const CIdIndex<CGraphicObject>& objects);
    void RefreshIds();

    // First non-null state object in the order normal start/end, selected
    // start/end, activated start/end; null when the button has none.
    CGraphicObject* SizeObject() const;
    // (x, y, x + width, y + height); false (and an empty rectangle) when the
    // button has no object.
    bool GetRect(int& left, int& top, int& right, int& bottom) const;
    // Object shown for a state in the page view (falls back to the normal
    // state when a non-normal state has no object).
    CGraphicObject* ShownObject(int state, bool endFrame) const;
    // True when any state uses the object id (start, end, or between them).
    bool UsesObjectId(int32_t objectId) const;

    // Logs the button's checks; false when a state is inconsistent.
    bool Check(const std::string& indent, ILogSink* log);

    uint8_t buttonType = 0;
    uint32_t extra[4] = {};
    uint16_t numericSelectValue = 0xFFFF;
    bool autoAction = false;
    uint16_t x = 0;
    uint16_t y = 0;
    CNeighborInfo neighbors;
    CButtonStateInfo states[3];
    CNavCmds commands;
};

class CBog : public TByteRecord<CBog, CNamedPtrArray<CBdButton>> {
public:
    void CopyAll(const CNamedObject& other);
    void Serialize(CArchive& ar) override;

    // pool: ids taken in the page so far (the parse adds each button's id).
    bool ParseFrom(CByteReader& r, int mode, CButtonIdPool* pool = nullptr);
    void WriteTo(CByteWriter& w, int mode) const;

    // A button with the lowest id (0..8159) unused in the page; it becomes the
    // default valid button when the group has none.
    CBdButton* AddNewButton();

    // Buttons' references among the page's buttons and objects, then the
    // default valid button among the group's own buttons.
    bool ResolveRefs(const CIdIndex<CBdButton>& pageButtons,
                     const CIdIndex<CGraphicObject>& objects);
    void RefreshIds();

    // Union of the buttons' rectangles; false when no button has a size.
    bool GetRect(int& left, int& top, int& right, int& bottom) const;
    // The button shown in the page view: current, else default valid.
    CBdButton* ShownButton() const { return currentButton ? currentButton : defaultValid.ptr; }

    bool Check(const std::string& indent, ILogSink* log);

    CRef<CBdButton> defaultValid;
    // Chosen in the page view; never parsed, written, archived or copied.
    CBdButton* currentButton = nullptr;
};

// The groups of the page holding the group; null for a group outside a page.
const CNamedPtrArray<CBog>* PageGroups(const CBog& bog);

}  // namespace tessel
