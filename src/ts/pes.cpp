#include "ts/pes.h"

namespace tessel {

namespace {

// The ESCR: 2 reserved bits, then the base in three parts and the extension,
// each followed by a marker bit.
void ReadEscr(CByteReader& r, SPcr& escr) {
    const uint64_t v = r.Uint(6);
    escr.base = (((v >> 43) & 0x7) << 30) | (((v >> 27) & 0x7FFF) << 15) | ((v >> 11) & 0x7FFF);
    escr.extension = static_cast<uint16_t>((v >> 1) & 0x1FF);
}

bool ReadExtension(CByteReader& r, SPesExtension& x) {
    const uint8_t flags = r.U8();
    x.privateDataFlag = flags & 0x80;
    x.packHeaderFieldFlag = flags & 0x40;
    x.sequenceCounterFlag = flags & 0x20;
    x.pstdBufferFlag = flags & 0x10;
    x.extensionFlag2 = flags & 0x01;
    if (x.privateDataFlag) r.Bytes(x.privateData.data(), x.privateData.size());
    if (x.packHeaderFieldFlag) {
        auto v = r.View(r.U8());
        x.packField.assign(v.begin(), v.end());
    }
    if (x.sequenceCounterFlag) {
        const uint8_t a = r.U8();
        const uint8_t b = r.U8();
        x.sequenceCounter = a & 0x7F;
        x.mpeg1Mpeg2Identifier = (b >> 6) & 1;
        x.originalStuffLength = b & 0x3F;
    }
    if (x.pstdBufferFlag) {
        const uint16_t v = r.U16();
        x.pstdBufferScale = (v >> 13) & 1;
        x.pstdBufferSize = v & 0x1FFF;
    }
    if (x.extensionFlag2) {
        auto v = r.View(r.U8() & 0x7F);
        x.extensionField.assign(v.begin(), v.end());
    }
    return !r.Failed();
}

}  // namespace

bool SPesHeader::HasOptionalHeader(uint8_t id) {
    return id != 0xBC && id != 0xBE && id != 0xBF && id != 0xF0 && id != 0xF1 && id != 0xFF;
}

int SPesHeader::Parse(CByteReader& r) {
    startCodePrefix = r.U24();
    streamId = r.U8();
    packetLength = r.U16();
    if (r.Failed()) return -1;
    headerLength = 6;
    if (HasOptionalHeader(streamId)) {
        const uint8_t a = r.U8();
        const uint8_t b = r.U8();
        headerDataLength = r.U8();
        scramblingControl = (a >> 4) & 3;
        priority = a & 0x08;
        dataAlignment = a & 0x04;
        copyright = a & 0x02;
        originalOrCopy = a & 0x01;
        ptsDtsFlags = (b >> 6) & 3;
        escrFlag = b & 0x20;
        esRateFlag = b & 0x10;
        dsmTrickModeFlag = b & 0x08;
        additionalCopyInfoFlag = b & 0x04;
        crcFlag = b & 0x02;
        extensionFlag = b & 0x01;
        // The optional fields must lie within the header data.
        CByteReader o = r.Sub(headerDataLength);
        if (r.Failed()) return -1;
        if (ptsDtsFlags & 2) pts.Read(o);
        if (ptsDtsFlags == 3) dts.Read(o);
        if (escrFlag) ReadEscr(o, escr);
        if (esRateFlag) esRate = (o.U24() >> 1) & 0x3FFFFF;
        if (dsmTrickModeFlag) {
            const uint8_t t = o.U8();
            trickModeControl = t >> 5;
            switch (trickModeControl) {
                case 0:
                case 3:
                    fieldId = (t >> 3) & 3;
                    intraSliceRefresh = (t >> 2) & 1;
                    frequencyTruncation = t & 3;
                    break;
                case 1:
                case 4:
                    repCntrl = t & 0x1F;
                    break;
                case 2:
                    fieldId = (t >> 3) & 3;
                    break;
                default:
                    break;
            }
        }
        if (additionalCopyInfoFlag) additionalCopyInfo = o.U8() & 0x7F;
        if (crcFlag) previousPesCrc = o.U16();
        if (extensionFlag && !ReadExtension(o, extension)) return -1;
        if (o.Failed()) return -1;
        stuffingBytes = static_cast<int>(o.Remaining());
        headerLength = 9 + headerDataLength;
    }
    // A tagged field of type 6 directly after the header: tag, length L and one
    // more byte are kept; the payload starts L + 2 bytes further on.
    if (r.Remaining() >= 3 && r.Data()[r.Pos()] == 6) {
        const size_t len = r.Data()[r.Pos() + 1];
        if (len + 2 <= r.Remaining()) {
            hasTaggedField = true;
            r.Bytes(taggedField.data(), 3);
            headerLength += static_cast<int>(len) + 2;
        }
    }
    return headerLength;
}

}  // namespace tessel
