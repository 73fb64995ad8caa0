// Presentation composition (PCS) and window definition (WDS) segments of
// Presentation Graphics streams.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/ics.h"
#include "codec/segment.h"

namespace tessel {

// The part of an object shown, in the object's pixels.
struct SCropRect {
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;

    void Read(CByteReader& r);
    void Write(CByteWriter& w) const;
};

// One object placement: 8 bytes, 16 when cropped.
struct SCompositionObject {
    uint16_t objectIdRef = 0;
    uint8_t windowIdRef = 0;
    bool cropped = false;
    bool forcedOn = false;
    uint8_t lowBits = 0;  // bits 5..0 of the flag byte; written as 0
    uint16_t x = 0;
    uint16_t y = 0;
    SCropRect crop;  // when cropped

    // Returns 8 or 16, or 0 when the record does not fit (r is then failed).
    int Read(CByteReader& r);
    // Returns 8 or 16; with a counting writer only the size.
    int Write(CByteWriter& w) const;
    int Size() const { return cropped ? 16 : 8; }
};

class CPcs : public CSegmentBase {
public:
    CPcs() : CSegmentBase(kSegmentPcs) {}

    void Clear() override { objects.clear(); }
    int Parse(std::span<const uint8_t> payload) override;
    void Dump(std::string& out, const std::string& indent) const override;

    SVideoDescriptor video;
    uint16_t compositionNumber = 0;
    uint8_t compositionState = 0;    // 2 bits
    uint8_t compositionLowBits = 0;  // 6 bits
    bool paletteUpdate = false;
    uint8_t paletteIdRef = 0;
    std::vector<SCompositionObject> objects;  // at most 255 are written

protected:
    void WritePayload(CByteWriter& w) override;
};

// One window definition: 9 bytes.
struct SWindow {
    uint8_t id = 0;
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;

    static constexpr size_t kSize = 9;
    // False when the record does not fit (r is then failed).
    bool Read(CByteReader& r);
    void Write(CByteWriter& w) const;
};

// At most 2 windows have a serialised form.
constexpr int kMaxWindows = 2;

class CWds : public CSegmentBase {
public:
    CWds() : CSegmentBase(kSegmentWds) {}

    void Clear() override { windows.clear(); }
    int Parse(std::span<const uint8_t> payload) override;
    // Returns 0 and writes nothing with more than 2 windows.
    int Write(uint8_t* out) override;
    void Dump(std::string& out, const std::string& indent) const override;

    std::vector<SWindow> windows;

protected:
    void WritePayload(CByteWriter& w) override;
};

}  // namespace tessel
