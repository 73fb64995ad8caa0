// Pages, their effect sequences, effects, windows and composition objects.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "model/bog.h"
#include "model/graphic_object.h"
#include "model/named_object.h"
#include "platform/byte_io.h"
#include "platform/messages.h"

namespace tessel {

// The objects and palettes of an epoch by id, built once for all its pages.
struct SRefIndexes {
    SRefIndexes(const CGraphicObjectList& objectList, const CPaletteList& paletteList)
        : objects(objectList), palettes(paletteList) {}
    CIdIndex<CGraphicObject> objects;
    CIdIndex<CNamedObject> palettes;
};

class CWindowObject : public CNamedObject {
public:
    void CopyFrom(const CNamedObject& other) override { CopyItems(other); }
    void CopyItems(const CNamedObject& other);
    // Base, then left, top, right, bottom as int32.
    void Serialize(CArchive& ar) override;

    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class CCompositionObject : public CNamedObject {
public:
    // 8 bytes, or 16 when cropped.
    static constexpr int kSize = 8;
    static constexpr int kCroppedSize = 16;

    void CopyFrom(const CNamedObject& other) override { CopyItems(other); }
    void CopyItems(const CNamedObject& other);
    void Serialize(CArchive& ar) override;

    CRef<CGraphicObject> object;
    CRef<CWindowObject> window;
    uint8_t cropped = 0;
    uint8_t forcedOn = 0;
    int32_t x = 0, y = 0;
    // Cropping rectangle; only meaningful when cropped.
    int32_t cropLeft = 0, cropTop = 0, cropRight = 0, cropBottom = 0;
};

class CEffectObject : public CNamedPtrArray<CCompositionObject> {
public:
    static constexpr int kMaxObjects = 2;

    void CopyFrom(const CNamedObject& other) override { CopyAll(other); }
    // Composition objects and the palette reference (not the duration).
    void CopyAll(const CNamedObject& other);
    // Composition objects, then the palette id.
    void Serialize(CArchive& ar) override;
    // Null when the effect holds two composition objects already.
    CCompositionObject* AddNewObject();

    CRef<CNamedObject> palette;
    uint32_t duration = 0;  // 24-bit, 90 kHz ticks
};

class CEffectSequenceObject
    : public TByteRecord<CEffectSequenceObject, CNamedPtrArray<CEffectObject>> {
public:
    static constexpr int kMaxEffects = 128;
    static constexpr int kMaxWindows = 2;

    CEffectSequenceObject() { name = "Effect Sequence"; }

    void Clear() override;
    // Effects and windows, deep.
    void CopyAll(const CNamedObject& other);
    // Effects, then windows.
    void Serialize(CArchive& ar) override;

    bool ParseFrom(CByteReader& r, int mode);
    void WriteTo(CByteWriter& w, int mode) const;

    // Null at the limits (128 effects, 2 windows).
    CEffectObject* AddNewEffect();
    CWindowObject* AddNewWindow();

    // Effects' palettes, composition objects' objects and windows.
    void ResolveRefs(const SRefIndexes& refs);
    // Renumbers the windows 0, 1, ... and refreshes every id from its pointer.
    void RefreshIds();

    CNamedPtrArray<CWindowObject> windows;
};

class CPage : public TByteRecord<CPage, CNamedPtrArray<CBog>> {
public:
    static constexpr int32_t kCurrentSelectedId = 0xFFFE;

    CPage();

    void Clear() override;
    void CopyAll(const CNamedObject& other);
    void Serialize(CArchive& ar) override;

    bool ParseFrom(CByteReader& r, int mode);
    void WriteTo(CByteWriter& w, int mode) const;

    CBog* AddNewBog();

    // Every button of every group, in group order.
    std::vector<CBdButton*> AllButtons() const;

    // Resolves groups, default buttons, palette and both effect sequences;
    // false when a group fails.
    bool ResolveRefs(const SRefIndexes& refs);
    bool ResolveRefs(const CGraphicObjectList& objects, const CPaletteList& palettes) {
        return ResolveRefs(SRefIndexes(objects, palettes));
    }
    // Refreshes every id from its pointer (windows renumbered first).
    void RefreshIds();

    // The graphic objects the page uses, each once (used marks of the
    // candidates are reset first), in display order: in-effects, the default
    // valid buttons' normal states, the default selected button's selected
    // state, the default valid buttons' selected and activated states, the
    // other buttons, out-effects. The split index is the index of the first
    // object of the default selected button's selected state, or without a
    // default selected button the index of the last object collected up to
    // the activated states (-1 when none).
    std::vector<CGraphicObject*> UsedObjects(const CGraphicObjectList& objects,
                                             int* splitIndex = nullptr) const;

    // Supplies a palette for a page that has none (derived from its images by
    // the owner of the graphics); may return null.
    using PaletteSource = std::function<CNamedObject*(CPage&)>;
    // Group overlap test, id refresh, palette, then the group and button
    // checks; the two page errors go to a message box without a log sink.
    bool Check(const std::string& indent, ILogSink* log, const PaletteSource& derivePalette = {});

    CRef<CBdButton> defaultSelected;
    CRef<CBdButton> defaultActivated;
    CBdButton currentSelected;
    CRef<CNamedObject> palette;
    uint8_t version = 0;
    uint8_t uoMask[8] = {};
    CEffectSequenceObject inEffects;
    CEffectSequenceObject outEffects;
    uint8_t frameRateCode = 0;
};

// The page, group index and button index of a button in the model; null
// (indexes untouched) for a button outside a page.
CPage* PageOfButton(const CBdButton& button, int* bog = nullptr, int* index = nullptr);
CPage* PageOfBog(const CBog& bog);
// The first button with the id, in group order; null when none has it.
CBdButton* FindButton(const CPage& page, int32_t id);

}  // namespace tessel
