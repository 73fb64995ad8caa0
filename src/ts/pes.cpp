#include "ts/pes.h"

namespace tessel {

namespace {

// The ESCR: 2 reserved bits, then the base in three parts and the extension,
// each followed by a marker bit.
void ReadEscr(CByteReader& r, SPcr& escr) {
    r.SkipBits(2);
    escr.base = ReadMarkedTime(r);
    escr.extension = static_cast<uint16_t>(r.Bits(9));
    r.SkipBits(1);
}

bool ReadExtension(CByteReader& r, SPesExtension& x) {
    x.privateDataFlag = r.Flag();
    x.packHeaderFieldFlag = r.Flag();
    x.sequenceCounterFlag = r.Flag();
    x.pstdBufferFlag = r.Flag();
    r.SkipBits(3);
    x.extensionFlag2 = r.Flag();
    if (x.privateDataFlag) r.Bytes(x.privateData.data(), x.privateData.size());
    if (x.packHeaderFieldFlag) {
        auto v = r.View(r.U8());
        x.packField.assign(v.begin(), v.end());
    }
    if (x.sequenceCounterFlag) {
        r.SkipBits(1);
        x.sequenceCounter = static_cast<uint8_t>(r.Bits(7));
        r.SkipBits(1);
        x.mpeg1Mpeg2Identifier = static_cast<uint8_t>(r.Bits(1));
        x.originalStuffLength = static_cast<uint8_t>(r.Bits(6));
    }
    if (x.pstdBufferFlag) {
        r.SkipBits(2);
        x.pstdBufferScale = static_cast<uint8_t>(r.Bits(1));
        x.pstdBufferSize = static_cast<uint16_t>(r.Bits(13));
    }
    if (x.extensionFlag2) {
        r.SkipBits(1);
        auto v = r.View(r.Bits(7));
        x.extensionField.assign(v.begin(), v.end());
    }
    return !r.Failed();
}

}  // namespace

void SPesTrickMode::Read(CByteReader& r) {
    control = static_cast<uint8_t>(r.Bits(3));
    switch (control) {
        case 0:
        case 3:
            fieldId = static_cast<uint8_t>(r.Bits(2));
            intraSliceRefresh = static_cast<uint8_t>(r.Bits(1));
            frequencyTruncation = static_cast<uint8_t>(r.Bits(2));
            break;
        case 1:
        case 4:
            repCntrl = static_cast<uint8_t>(r.Bits(5));
            break;
        case 2:
            fieldId = static_cast<uint8_t>(r.Bits(2));
            r.SkipBits(3);
            break;
        default:
            r.SkipBits(5);
            break;
    }
}

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
        r.SkipBits(2);
        scramblingControl = static_cast<uint8_t>(r.Bits(2));
        priority = r.Flag();
        dataAlignment = r.Flag();
        copyright = r.Flag();
        originalOrCopy = r.Flag();
        ptsDtsFlags = static_cast<uint8_t>(r.Bits(2));
        escrFlag = r.Flag();
        esRateFlag = r.Flag();
        dsmTrickModeFlag = r.Flag();
        additionalCopyInfoFlag = r.Flag();
        crcFlag = r.Flag();
        extensionFlag = r.Flag();
        headerDataLength = r.U8();
        // The optional fields must lie within the header data.
        CByteReader o = r.Sub(headerDataLength);
        if (r.Failed()) return -1;
        if (ptsDtsFlags & 2) pts.Read(o);
        if (ptsDtsFlags == 3) dts.Read(o);
        if (escrFlag) ReadEscr(o, escr);
        if (esRateFlag) {
            o.SkipBits(1);
            esRate = o.Bits(22);
            o.SkipBits(1);
        }
        if (dsmTrickModeFlag) trickMode.Read(o);
        if (additionalCopyInfoFlag) {
            o.SkipBits(1);
            additionalCopyInfo = static_cast<uint8_t>(o.Bits(7));
        }
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
