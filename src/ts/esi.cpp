#include "ts/esi.h"

#include <algorithm>

namespace tessel {

namespace {
constexpr uint8_t kPmtTableId = 0x02;
// Bytes of section_length taken by the head after section_length itself
// (program_number to program_info_length).
constexpr uint16_t kSectionHeadAfterLength = 9;
constexpr size_t kCrcSize = 4;
}  // namespace

bool CEsiFolder::StartSection(CByteReader& r) {
    tableId = r.U8();
    sectionSyntaxIndicator = r.Flag();
    r.SkipBits(3);
    sectionLength = static_cast<uint16_t>(r.Bits(12));
    programNumber = r.U16();
    r.SkipBits(2);
    versionNumber = static_cast<uint8_t>(r.Bits(5));
    currentNextIndicator = r.Flag();
    sectionNumber = r.U8();
    lastSectionNumber = r.U8();
    r.SkipBits(3);
    pcrPid = static_cast<uint16_t>(r.Bits(13));
    r.SkipBits(4);
    programInfoLength = static_cast<uint16_t>(r.Bits(12));
    if (r.Failed() || tableId != kPmtTableId || sectionLength > kMaxSectionLength ||
        sectionLength < kSectionHeadAfterLength + kCrcSize)
        return false;
    bodyLength_ = sectionLength - kSectionHeadAfterLength;
    body_.clear();
    body_.reserve(bodyLength_);
    started_ = true;
    complete_ = false;
    valid_ = false;
    return true;
}

void CEsiFolder::AppendSection(CByteReader& r) {
    if (!started_ || complete_) return;
    const size_t remaining = bodyLength_ - body_.size();
    const size_t take = std::min(remaining, r.Remaining());
    auto bytes = r.View(take);
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    if (body_.size() == bodyLength_) {
        complete_ = true;
        valid_ = ParseBody();
    }
}

bool CEsiFolder::ParseBody() {
    CByteReader r(body_);
    // Program descriptors; an unknown tag ends the loop and the rest is skipped.
    // A descriptor cut by program_info_length is dropped; program_info_length
    // beyond the body makes the section invalid.
    CByteReader info = r.Sub(programInfoLength);
    while (!info.AtEnd() && !info.Failed()) {
        const uint8_t tag = info.U8();
        if (tag == 0x05) {
            SRegistration reg;
            reg.length = info.U8();
            CByteReader d = info.Sub(reg.length);
            reg.formatIdentifier = d.U32();
            if (!d.Failed()) registration = reg;
        } else if (tag == 0x88) {
            SDescriptor88 d88;
            d88.length = info.U8();
            CByteReader d = info.Sub(d88.length);
            d88.head = d.U16();
            auto rest = d.View(d.Remaining());
            d88.rest.assign(rest.begin(), rest.end());
            if (!d.Failed()) descriptor88 = std::move(d88);
        } else if (tag == 0x89) {
            SDescriptor d89;
            d89.tag = tag;
            auto bytes = info.View(info.U8());
            d89.data.assign(bytes.begin(), bytes.end());
            if (!info.Failed()) descriptor89 = std::move(d89);
        } else {
            break;
        }
    }
    if (r.Failed()) return false;

    // Elementary stream loop up to the CRC.
    if (r.Remaining() < kCrcSize) return false;
    CByteReader loop = r.Sub(r.Remaining() - kCrcSize);
    while (!loop.AtEnd()) {
        ESI es;
        es.streamType = loop.U8();
        loop.SkipBits(3);
        es.elementaryPid = static_cast<uint16_t>(loop.Bits(13));
        loop.SkipBits(4);
        es.esInfoLength = static_cast<uint16_t>(loop.Bits(12));
        CByteReader d = loop.Sub(es.esInfoLength);
        if (loop.Failed()) return false;
        while (d.Remaining() >= 2) {
            SDescriptor desc;
            desc.tag = d.U8();
            auto bytes = d.View(d.U8());
            if (d.Failed()) break;  // a descriptor cut by ES_info_length is dropped
            desc.data.assign(bytes.begin(), bytes.end());
            es.descriptors.push_back(std::move(desc));
        }
        streams.push_back(std::move(es));
    }
    crc32 = r.U32();
    return !r.Failed();
}

const ESI* CEsiFolder::FindStream(uint16_t pid) const {
    for (const ESI& es : streams)
        if (es.elementaryPid == pid) return &es;
    return nullptr;
}

}  // namespace tessel
