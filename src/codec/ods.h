// Object definition segment (ODS), object data and the run-length code.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codec/segment.h"
#include "platform/result.h"

namespace tessel {

// A decoded object: width x height palette indices, top row first.
struct SIndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Object data head: 24-bit length, 16-bit width, 16-bit height.
constexpr int kObjectHeadSize = 7;
// Bytes of object data that one ODS carries when an object is split.
constexpr int kOdsFragmentSize = 65515;
// Widest row the run-length code can express in one run.
constexpr int kMaxRunLength = 16383;

class COds : public CSegmentBase {
public:
    COds() : CSegmentBase(kSegmentOds) {}

    void Clear() override { fragment.clear(); }
    int Parse(std::span<const uint8_t> payload) override;
    void Dump(std::string& out, const std::string& indent) const override;
    int FragmentSize() const { return static_cast<int>(fragment.size()); }

    uint16_t objectId = 0;
    uint8_t objectVersion = 0;
    bool firstInSequence = true;
    bool lastInSequence = true;
    uint8_t sequenceLowBits = 0;  // bits 5..0 of the sequence descriptor
    std::vector<uint8_t> fragment;

protected:
    void WritePayload(CByteWriter& w) override;
};

class COdsArray : public CSegmentArray<COds> {};

// Every fragment with the object id, joined in list order; empty when none.
std::vector<uint8_t> JoinObjectData(const COdsArray* list, uint16_t objectId);

// Largest object decoded (8192 x 8192): a damaged head cannot make the
// decoder allocate gigabytes.
constexpr int64_t kMaxObjectPixels = int64_t{8192} * 8192;

// Fewest coded bytes a line can take: a line is closed by its two-byte end
// of line code (0x00 0x00), and a line that codes pixels only grows.
constexpr int64_t kMinCodedBytesPerLine = 2;

// The head of joined object data.
struct SObjectHead {
    uint32_t length = 0;  // bytes after the length field
    int width = 0;
    int height = 0;
};

// Reads the head of joined object data and checks that the data can carry
// the object it declares: exactly length + 3 bytes, at most kMaxObjectPixels
// pixels, and coded lines of at least kMinCodedBytesPerLine bytes for each
// of its rows. Otherwise a failure that says why (nothing allocated).
CResult ReadObjectHead(std::span<const uint8_t> data, SObjectHead& head);

// Decodes joined object data; false when ReadObjectHead refuses it.
bool DecodeObject(std::span<const uint8_t> data, SIndexedImage& image);

// Codes one row; out must hold at least 2 * width + 2 bytes. Returns the
// bytes written, end of line included. width must not exceed 16383.
int EncodeLine(const uint8_t* row, int width, uint8_t* out);
// Decodes one coded line into row (width pixels; pixels beyond it are
// dropped). Returns the coded bytes consumed, end of line included; stops at
// the end of the coded data.
int DecodeLine(std::span<const uint8_t> coded, uint8_t* row, int width);

// Object data (head and coded lines) of an indexed image; empty when the
// image cannot be coded (wider than 16383 pixels, larger than 65535 rows or
// coded data beyond the 24-bit length).
std::vector<uint8_t> EncodeObject(const SIndexedImage& image);

// The ODS that carry object data, 65515 bytes each (the last one the rest).
std::vector<std::unique_ptr<COds>> SplitObject(std::span<const uint8_t> data, uint16_t objectId);

}  // namespace tessel
