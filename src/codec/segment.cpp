#include "codec/segment.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace tessel {

const char* SegmentTypeName(uint8_t type) {
    switch (type) {
        case kSegmentPds:
            return "PDS";
        case kSegmentOds:
            return "ODS";
        case kSegmentPcs:
            return "PCS";
        case kSegmentWds:
            return "WDS";
        case kSegmentIcs:
            return "ICS";
        case kSegmentEnd:
            return "END";
        default:
            return "?";
    }
}

std::string TimeText(uint32_t ticks) {
    const uint32_t ms = ticks / 90;
    const uint32_t s = ms / 1000;
    return StrFormat("%02d:%02d:%02d:%03d", static_cast<int>(s / 3600),
                     static_cast<int>((s % 3600) / 60), static_cast<int>(s % 60),
                     static_cast<int>(ms % 1000));
}

int CSegmentBase::Write(uint8_t* out) {
    CByteWriter w(out);
    w.Zeros(kSegmentHeaderSize);
    WritePayload(w);
    const size_t total = w.Pos();
    segmentLength = static_cast<uint16_t>(total - kSegmentHeaderSize);
    if (out) {
        out[0] = segmentType;
        out[1] = static_cast<uint8_t>(segmentLength >> 8);
        out[2] = static_cast<uint8_t>(segmentLength);
    }
    return static_cast<int>(total);
}

void CSegmentBase::Dump(std::string& out, const std::string& indent) const {
    const std::string inner = indent + " ";
    out += StrFormat("%s%s: %s(%d)\n", indent.c_str(), "PTS", TimeText(pts).c_str(),
                     static_cast<int>(pts));
    out += StrFormat("%s%s: %s(%d)\n", indent.c_str(), "DTS", TimeText(dts).c_str(),
                     static_cast<int>(dts));
    out += StrFormat("%s%s: \n", indent.c_str(), "SegmentDescriptor");
    out += StrFormat("%s%s: 0x%02X(%d)\n", inner.c_str(), "SegmentType", segmentType, segmentType);
    out += StrFormat("%s%s: %d\n", inner.c_str(), "SegmentLength", segmentLength);
}

void CSegmentBase::CopyHeader(const CSegmentBase& other) {
    segmentType = other.segmentType;
    segmentLength = other.segmentLength;
    dts = other.dts;
    pts = other.pts;
}

size_t CMemorySource::Read(void* out, size_t n) {
    const size_t k = std::min(n, data_.size() - pos_);
    if (k) std::memcpy(out, data_.data() + pos_, k);
    pos_ += k;
    return k;
}

std::span<const uint8_t> CMemorySource::Take(size_t n) {
    const size_t k = std::min(n, data_.size() - pos_);
    const std::span<const uint8_t> out = data_.subspan(pos_, k);
    pos_ += k;
    return out;
}

bool CMemorySource::Seek(int64_t pos) {
    pos -= base_;
    if (pos < 0 || static_cast<uint64_t>(pos) > data_.size()) return false;
    pos_ = static_cast<size_t>(pos);
    return true;
}

void CMemorySink::Write(const void* bytes, size_t n) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    data.insert(data.end(), p, p + n);
}

void MakeIndexRecord(const CSegmentBase& segment, int size, uint8_t out[kIndexRecordSize]) {
    const uint32_t dts = segment.dts ? segment.dts : segment.pts;
    CByteWriter w(out);
    w.U8(segment.segmentType);
    w.U16(0);
    w.U16(static_cast<uint32_t>(size));
    w.U32((dts + 54000000u) / 2);
    w.U32((segment.pts + 54000000u) / 4);
    w.U8(0);
}

bool WriteRecord(const char* marker, CSegmentBase& segment, IByteSink& sink, IByteSink* index) {
    const int size = segment.Write(nullptr);
    if (size < kSegmentHeaderSize || size > kSegmentHeaderSize + kMaxSegmentPayload) return false;
    if (marker) {
        uint8_t head[kRecordHeadSize];
        CByteWriter w(head);
        w.U8(static_cast<uint8_t>(marker[0]));
        w.U8(static_cast<uint8_t>(marker[0] ? marker[1] : 0));
        w.U32(segment.pts);
        w.U32(segment.dts);
        sink.Write(head, sizeof head);
    }
    segment.sourcePosition = sink.Position();
    std::vector<uint8_t> scratch(static_cast<size_t>(size));
    segment.Write(scratch.data());
    sink.Write(scratch.data(), scratch.size());
    if (index) {
        uint8_t rec[kIndexRecordSize];
        MakeIndexRecord(segment, size, rec);
        index->Write(rec, sizeof rec);
    }
    return true;
}

}  // namespace tessel
