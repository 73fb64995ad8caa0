// Interactive composition segment (ICS): head fields, the per-display-set
// list, and the joining and splitting of the composition body.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/segment.h"
#include "platform/archive.h"

namespace tessel {

// Video size and frame rate code (1 = 23.976, 2 = 24, 3 = 25, 4 = 29.97,
// 6 = 50, 7 = 59.94).
struct SVideoDescriptor {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t frameRate = 0;  // 4 bits
    uint8_t lowBits = 0;    // bits 3..0 of the frame-rate byte

    // Archive form: width, height, code, low bits (little-endian).
    void Serialize(CArchive& ar);
    // The 5 stream bytes: width, height, code << 4 | low bits.
    void Read(CByteReader& r);
    void Write(CByteWriter& w) const;
    bool operator==(const SVideoDescriptor&) const = default;
};

// "23.976", ... or "Reserved".
const char* FrameRateName(int code);
// "Normal Case", "Acquisition Point", "Epoch Start", "Epoch Continue".
const char* CompositionStateName(int state);
// "%dx%d %s" with the frame rate name when the code is below 8, else "%dx%d".
std::string VideoDescriptorText(const SVideoDescriptor& video);
// The video descriptor lines shared by ICS and PCS dumps.
void DumpVideoDescriptor(std::string& out, const std::string& indent, const SVideoDescriptor& v);

// Body bytes that one ICS carries when a composition is split.
constexpr int kIcsFragmentSize = 65510;
constexpr int kIcsHeadSize = 9;

class CIcs : public CSegmentBase {
public:
    CIcs() : CSegmentBase(kSegmentIcs) {}

    void Clear() override { fragment.clear(); }
    int Parse(std::span<const uint8_t> payload) override;
    void Dump(std::string& out, const std::string& indent) const override;
    int FragmentSize() const { return static_cast<int>(fragment.size()); }

    SVideoDescriptor video;
    uint16_t compositionNumber = 0;
    uint8_t compositionState = 0;    // 2 bits
    uint8_t compositionLowBits = 0;  // 6 bits
    bool firstInSequence = true;
    bool lastInSequence = true;
    uint8_t sequenceLowBits = 0;  // 6 bits
    std::vector<uint8_t> fragment;

protected:
    void WritePayload(CByteWriter& w) override;
};

class CIcsArray : public CSegmentArray<CIcs> {};

// The fragments of every ICS of the list, in list order.
std::vector<uint8_t> JoinComposition(const CIcsArray* list);

}  // namespace tessel
