#include "codec/ics.h"

#include <algorithm>

#include "platform/text.h"

namespace tessel {

void SVideoDescriptor::Serialize(CArchive& ar) {
    ar.Io(width);
    ar.Io(height);
    ar.Io(frameRate);
    ar.Io(lowBits);
}

void SVideoDescriptor::Read(CByteReader& r) {
    width = r.U16();
    height = r.U16();
    const uint8_t b = r.U8();
    frameRate = b >> 4;
    lowBits = b & 0x0F;
}

void SVideoDescriptor::Write(CByteWriter& w) const {
    w.U16(width);
    w.U16(height);
    w.U8(static_cast<uint32_t>((frameRate & 0x0F) << 4 | (lowBits & 0x0F)));
}

const char* FrameRateName(int code) {
    switch (code) {
        case 1:
            return "23.976";
        case 2:
            return "24";
        case 3:
            return "25";
        case 4:
            return "29.97";
        case 6:
            return "50";
        case 7:
            return "59.94";
        default:
            return "Reserved";
    }
}

const char* CompositionStateName(int state) {
    static const char* const kNames[4] = {"Normal Case", "Acquisition Point", "Epoch Start",
                                          "Epoch Continue"};
    return kNames[state & 3];
}

std::string VideoDescriptorText(const SVideoDescriptor& video) {
    if (video.frameRate < 8)
        return StrFormat("%dx%d %s", video.width, video.height, FrameRateName(video.frameRate));
    return StrFormat("%dx%d", video.width, video.height);
}

void DumpVideoDescriptor(std::string& out, const std::string& indent, const SVideoDescriptor& v) {
    const std::string inner = indent + " ";
    out += StrFormat("%s%s: \n", indent.c_str(), "VideoDescriptor");
    out += StrFormat("%s%s/%s: %d/%d\n", inner.c_str(), "Width", "Height", v.width, v.height);
    out += StrFormat("%s%s: %d(%s)\n", inner.c_str(), "FrameRate", v.frameRate,
                     FrameRateName(v.frameRate));
}

int CIcs::Parse(std::span<const uint8_t> payload) {
    CByteReader r(payload);
    video.Read(r);
    compositionNumber = r.U16();
    const uint8_t comp = r.U8();
    const uint8_t seq = r.U8();
    Clear();
    compositionState = comp >> 6;
    compositionLowBits = comp & 0x3F;
    firstInSequence = (seq & 0x80) != 0;
    lastInSequence = (seq & 0x40) != 0;
    sequenceLowBits = seq & 0x3F;
    if (r.Failed()) return static_cast<int>(payload.size());
    auto rest = r.View(r.Remaining());
    fragment.assign(rest.begin(), rest.end());
    return static_cast<int>(payload.size());
}

void CIcs::WritePayload(CByteWriter& w) {
    video.Write(w);
    w.U16(compositionNumber);
    w.U8(static_cast<uint32_t>((compositionState & 3) << 6 | (compositionLowBits & 0x3F)));
    w.U8((firstInSequence ? 0x80u : 0u) | (lastInSequence ? 0x40u : 0u) |
         (sequenceLowBits & 0x3Fu));
    w.Bytes(fragment);
}

void CIcs::Dump(std::string& out, const std::string& indent) const {
    CSegmentBase::Dump(out, indent);
    const std::string inner = indent + " ";
    const char* in = indent.c_str();
    DumpVideoDescriptor(out, indent, video);
    out += StrFormat("%s%s: \n", in, "CompositionDescriptor");
    out += StrFormat("%s%s: %d\n", inner.c_str(), "CompositionNumber", compositionNumber);
    out += StrFormat("%s%s: %d(%s)\n", inner.c_str(), "CompositionState", compositionState,
                     CompositionStateName(compositionState));
    out += StrFormat("%s%s: \n", in, "SequenceDescriptor");
    out += StrFormat("%s%s/%s: %d/%d\n", inner.c_str(), "FirstFlag", "LastFlag",
                     firstInSequence ? 1 : 0, lastInSequence ? 1 : 0);
    out += StrFormat("%s%s: %d\n", in, "FragmentSize", FragmentSize());
}

std::vector<uint8_t> JoinComposition(const CIcsArray* list) {
    std::vector<uint8_t> body;
    if (!list) return body;
    size_t total = 0;
    for (const auto& s : *list) total += s->fragment.size();
    body.reserve(total);
    for (const auto& s : *list) body.insert(body.end(), s->fragment.begin(), s->fragment.end());
    return body;
}

}  // namespace tessel
