// Display sets and epochs of the menu model: building them from the segments
// read from a stream, and writing them back as segments with time stamps.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "codec/display_set.h"
#include "model/graphic_object.h"
#include "model/ic_data.h"
#include "model/palette.h"
#include "platform/messages.h"

namespace tessel {

class CDisplaySet : public CIcData {
public:
    void CopyFrom(const CNamedObject& other) override { CopyAll(other); }
    void CopyAll(const CNamedObject& other);
    // The composition body's archive, then text, frame number and state.
    void Serialize(CArchive& ar) override;

    std::string text;
    int32_t frameNumber = 0;
    // Presentation time to write (90 kHz); 0 derives it from the frame number.
    uint32_t explicitPts = 0;
    uint8_t compositionState = kStateEpochStart;
    // The composition's PTS and DTS as read from a stream (90 kHz); -1 when
    // the display set was not read from one.
    int64_t streamPts = -1;
    int64_t streamDts = -1;
};

class CEpoch : public CNamedPtrArray<CDisplaySet> {
public:
    CEpoch();

    // Display sets, graphic objects and palettes; the counter restarts.
    void Clear() override;
    void CopyFrom(const CNamedObject& other) override { CopyAll(other); }
    void CopyAll(const CNamedObject& other);
    // A zero byte, the counter, the display sets, graphics, palettes.
    void Serialize(CArchive& ar) override;

    // Resolves every display set against this epoch's objects and palettes.
    bool ResolveRefs();
    CPaletteList PaletteList() const;

    uint16_t counter = 0;  // the next display set's number - 1
    CGoFolder graphics;
    CPoFolder palettes;
    // What a stream's object definitions ask of the decoder, by object id
    // (the latest definition; objects left out included): decoded pixels and
    // coded bytes. Filled while a stream is read; never archived.
    struct SObjectDemand {
        int64_t pixels = 0;
        int64_t codedBytes = 0;
    };
    std::map<int32_t, SObjectDemand> objectDemand;
};

// Frames per second of a frame rate code; 0 for codes without a rate.
double FrameRateValue(int code);
// Frame of a 90 kHz time at a frame rate code (0 without a rate).
int32_t FrameNumberOf(uint64_t ticks, int frameRateCode);

// The least time (90 kHz) a display set is presented after its start.
constexpr uint32_t kMinPresentation = 131070;

// A new display set appended to the epoch, named DisplaySet#n.
CDisplaySet* AddDisplaySet(CEpoch& epoch);

// Decoded object buffer of the graphics decoder model of BD-ROM players:
// 16 MiB for interactive graphics, 4 MiB for presentation graphics (the
// BD-ROM graphics decoder model; the Object Buffer of the decoder in the
// format owners' patents, e.g. US 7,913,169).
// A disc may never hold more decoded objects at once, so the decoded
// pixels (one byte each) of an epoch's graphic objects stay within it.
constexpr int64_t kIgObjectBufferBytes = int64_t{16} << 20;
constexpr int64_t kPgObjectBufferBytes = int64_t{4} << 20;

// The buffer of a display set's stream kind: a PCS makes it presentation
// graphics.
int64_t ObjectBufferBytes(const CDsData& container);

// Decoded pixels a stream may make the model hold beyond one object buffer,
// per byte of its segments. A full-width row coded as one run gives about
// 400 pixels per coded byte (1920 pixels in 5 bytes); only rows of bare line
// ends go beyond it, so real menus stay well below this.
constexpr int64_t kObjectPixelsPerStreamByte = 512;

// The pictures decoded from one stream, by object id, version, palette and
// coded bytes: an object sent again (a menu repeated at every entry point)
// shares the picture decoded the first time instead of being decoded and
// held again. Holds one copy of each distinct object's coded bytes.
class CDecodedObjects {
public:
    std::shared_ptr<Bitmap> Find(int objectId, int version, const CPds* pds,
                                 std::span<const uint8_t> data) const;
    void Add(int objectId, int version, const CPds* pds, std::vector<uint8_t> data,
             std::shared_ptr<Bitmap> bitmap);
    size_t Size() const { return entries_.size(); }

private:
    struct SEntry {
        int objectId;
        int version;
        std::vector<SPaletteEntry> palette;
        bool withPalette;
        std::vector<uint8_t> data;
        std::shared_ptr<Bitmap> bitmap;
    };
    static uint64_t Key(int objectId, int version, std::span<const uint8_t> data);
    std::unordered_multimap<uint64_t, SEntry> entries_;
};

// Fills the display set (pages, settings, state, frame number) and its
// epoch's palettes and graphic objects from one display set as read. An
// object that does not decode, whose pixels would take the epoch's objects
// beyond the object buffer, or (when given) beyond streamBudget pixels, is
// left out (not allocated); streamBudget loses the pixels of each object
// kept. The first object left out is described in dropped (offset of its
// ODS) when given; dropped->offset stays as it was when none is.
// With decoded, an object decoded before from the same bytes and palette
// shares that picture (costing no budget), and one the epoch already holds
// in that form is not added again.
void BuildDisplaySet(CDisplaySet& ds, const CDsData& container, int frameRateCode,
                     CResult* dropped = nullptr, int64_t* streamBudget = nullptr,
                     CDecodedObjects* decoded = nullptr);

// Writes every display set of the epoch. Warnings and errors go to log.
bool WriteEpoch(CEpoch& epoch, const SVideoDescriptor& video, IByteSink& stream, IByteSink* index,
                bool bare, ILogSink* log);

// Builds the segments of one display set from the model, gives them their
// time stamps and writes them; nothing is written when it fails.
bool WriteDisplaySet(CDisplaySet& ds, const SVideoDescriptor& video, IByteSink& stream,
                     IByteSink* index, bool bare, CGoFolder& graphics, CPoFolder& palettes,
                     ILogSink* log);

// The palette a page without one takes from the images of its objects; null
// when it uses no object with an image, or an image does not load.
std::unique_ptr<CErgbPalette> PagePaletteFromImages(const CPage& page,
                                                    const CGraphicObjectList& objects);

// Time the decoder needs before the first page shows (90 kHz ticks), from
// the collected objects up to the split index and the first page's buttons.
uint32_t DecodeTime(const std::vector<CGraphicObject*>& objects, int split, const CPage& firstPage,
                    const SVideoDescriptor& video, uint8_t compositionState);

}  // namespace tessel
