#include "codec/ods.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace tessel {

int COds::Parse(std::span<const uint8_t> payload) {
    CByteReader r(payload);
    objectId = r.U16();
    objectVersion = r.U8();
    const uint8_t seq = r.U8();
    Clear();
    if (r.Failed()) return static_cast<int>(payload.size());
    firstInSequence = (seq & 0x80) != 0;
    lastInSequence = (seq & 0x40) != 0;
    sequenceLowBits = seq & 0x3F;
    auto rest = r.View(r.Remaining());
    fragment.assign(rest.begin(), rest.end());
    return static_cast<int>(payload.size());
}

void COds::WritePayload(CByteWriter& w) {
    w.U16(objectId);
    w.U8(objectVersion);
    w.U8((firstInSequence ? 0x80u : 0u) | (lastInSequence ? 0x40u : 0u) |
         (sequenceLowBits & 0x3Fu));
    w.Bytes(fragment);
}

void COds::Dump(std::string& out, const std::string& indent) const {
    CSegmentBase::Dump(out, indent);
    const std::string inner = indent + " ";
    const char* in = indent.c_str();
    out += StrFormat("%s%s: %d\n", in, "ObjectId", objectId);
    out += StrFormat("%s%s: %d\n", in, "ObjectVersion", objectVersion);
    out += StrFormat("%s%s: \n", in, "SequenceDescriptor");
    out += StrFormat("%s%s/%s: %d/%d\n", inner.c_str(), "FirstFlag", "LastFlag",
                     firstInSequence ? 1 : 0, lastInSequence ? 1 : 0);
    out += StrFormat("%s%s: %d\n", in, "FragmentSize", FragmentSize());
    if (firstInSequence && fragment.size() >= kObjectHeadSize) {
        CByteReader r(fragment);
        const int length = static_cast<int>(r.U24());
        const int width = r.U16();
        const int height = r.U16();
        out += StrFormat("%s%s: %d\n", in, "ObjectDataLength", length);
        out += StrFormat("%s%s: %d\n", in, "ObjectWidth", width);
        out += StrFormat("%s%s: %d\n", in, "ObjectHeight", height);
    }
}

std::vector<uint8_t> JoinObjectData(const COdsArray* list, uint16_t objectId) {
    std::vector<uint8_t> data;
    if (!list) return data;
    size_t total = 0;
    for (const auto& o : *list)
        if (o->objectId == objectId) total += o->fragment.size();
    data.reserve(total);
    for (const auto& o : *list)
        if (o->objectId == objectId)
            data.insert(data.end(), o->fragment.begin(), o->fragment.end());
    return data;
}

int DecodeLine(std::span<const uint8_t> coded, uint8_t* row, int width) {
    const uint8_t* p = coded.data();
    const uint8_t* const end = p + coded.size();
    int x = 0;
    auto emit = [&](int length, uint8_t colour) {
        const int n = std::min(length, width - x);
        if (n > 0) {
            std::memset(row + x, colour, static_cast<size_t>(n));
            x += n;
        }
    };
    while (p < end) {
        const uint8_t c = *p++;
        if (c != 0) {
            emit(1, c);
            continue;
        }
        if (p >= end) break;
        const uint8_t flag = *p++;
        if (flag == 0) break;  // end of line
        int length = flag & 0x3F;
        if (flag & 0x40) {
            if (p >= end) break;
            length = length << 8 | *p++;
        }
        uint8_t colour = 0;
        if (flag & 0x80) {
            if (p >= end) break;
            colour = *p++;
        }
        emit(length, colour);
    }
    return static_cast<int>(p - coded.data());
}

CResult ReadObjectHead(std::span<const uint8_t> data, SObjectHead& head) {
    if (data.size() < kObjectHeadSize) return CResult::Fail("the object data has no head");
    CByteReader r(data);
    head.length = r.U24();
    head.width = r.U16();
    head.height = r.U16();
    if (data.size() != static_cast<size_t>(head.length) + 3)
        return CResult::Fail("the object data length disagrees with its fragments");
    if (static_cast<int64_t>(head.width) * head.height > kMaxObjectPixels)
        return CResult::Fail("the object is larger than 8192 x 8192 pixels");
    const int64_t coded = static_cast<int64_t>(data.size()) - kObjectHeadSize;
    if (coded < kMinCodedBytesPerLine * head.height)
        return CResult::Fail("the object data is too short for its lines");
    return {};
}

bool DecodeObject(std::span<const uint8_t> data, SIndexedImage& image) {
    SObjectHead head;
    if (!ReadObjectHead(data, head)) return false;
    const int width = head.width;
    const int height = head.height;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF);
    auto coded = data.subspan(kObjectHeadSize);
    for (int y = 0; y < height && !coded.empty(); ++y) {
        const int used =
            DecodeLine(coded, image.pixels.data() + static_cast<size_t>(y) * width, width);
        coded = coded.subspan(static_cast<size_t>(used));
    }
    return true;
}

int EncodeLine(const uint8_t* row, int width, uint8_t* out) {
    uint8_t* o = out;
    int x = 0;
    while (x < width) {
        const uint8_t c = row[x];
        int end = x + 1;
        while (end < width && row[end] == c) ++end;
        const int length = end - x;
        x = end;
        if (c == 0) {
            *o++ = 0;
            if (length <= 63) {
                *o++ = static_cast<uint8_t>(length);
            } else {
                *o++ = static_cast<uint8_t>(0x40 | ((length >> 8) & 0x3F));
                *o++ = static_cast<uint8_t>(length);
            }
        } else if (length <= 2) {
            *o++ = c;
            if (length == 2) *o++ = c;
        } else if (length <= 63) {
            *o++ = 0;
            *o++ = static_cast<uint8_t>(0x80 | length);
            *o++ = c;
        } else {
            *o++ = 0;
            *o++ = static_cast<uint8_t>(0xC0 | ((length >> 8) & 0x3F));
            *o++ = static_cast<uint8_t>(length);
            *o++ = c;
        }
    }
    *o++ = 0;
    *o++ = 0;
    return static_cast<int>(o - out);
}

std::vector<uint8_t> EncodeObject(const SIndexedImage& image) {
    const int width = image.width;
    const int height = image.height;
    if (width < 0 || height < 0 || width > kMaxRunLength || height > 0xFFFF ||
        image.pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return {};
    const size_t worst = kObjectHeadSize + (2 * static_cast<size_t>(width) + 2) * height;
    std::vector<uint8_t> out(worst);
    size_t pos = kObjectHeadSize;
    for (int y = 0; y < height; ++y)
        pos += static_cast<size_t>(EncodeLine(image.pixels.data() + static_cast<size_t>(y) * width,
                                              width, out.data() + pos));
    if (pos - 3 > 0xFFFFFF) return {};
    CByteWriter w(out.data());
    w.U24(static_cast<uint32_t>(pos - 3));
    w.U16(static_cast<uint32_t>(width));
    w.U16(static_cast<uint32_t>(height));
    out.resize(pos);
    return out;
}

std::vector<std::unique_ptr<COds>> SplitObject(std::span<const uint8_t> data, uint16_t objectId) {
    std::vector<std::unique_ptr<COds>> list;
    const size_t count = (data.size() + kOdsFragmentSize - 1) / kOdsFragmentSize;
    for (size_t i = 0; i < count; ++i) {
        auto ods = std::make_unique<COds>();
        ods->objectId = objectId;
        ods->firstInSequence = i == 0;
        ods->lastInSequence = i + 1 == count;
        auto part =
            data.subspan(i * kOdsFragmentSize,
                         std::min<size_t>(kOdsFragmentSize, data.size() - i * kOdsFragmentSize));
        ods->fragment.assign(part.begin(), part.end());
        list.push_back(std::move(ods));
    }
    return list;
}

}  // namespace tessel
