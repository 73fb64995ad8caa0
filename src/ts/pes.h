// PES packet header with every optional field.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/byte_io.h"
#include "ts/time_stamp.h"

namespace tessel {

struct SPesExtension {
    bool privateDataFlag = false;
    bool packHeaderFieldFlag = false;
    bool sequenceCounterFlag = false;
    bool pstdBufferFlag = false;
    bool extensionFlag2 = false;
    std::array<uint8_t, 16> privateData{};
    std::vector<uint8_t> packField;  // pack_field_length bytes
    uint8_t sequenceCounter = 0;     // program_packet_sequence_counter
    uint8_t mpeg1Mpeg2Identifier = 0;
    uint8_t originalStuffLength = 0;
    uint8_t pstdBufferScale = 0;
    uint16_t pstdBufferSize = 0;
    std::vector<uint8_t> extensionField;  // PES_extension_field_length bytes
};

// The trick mode byte: a 3-bit control, then 5 bits whose meaning it selects.
struct SPesTrickMode {
    uint8_t control = 0;
    uint8_t fieldId = 0;
    uint8_t intraSliceRefresh = 0;
    uint8_t frequencyTruncation = 0;
    uint8_t repCntrl = 0;

    void Read(CByteReader& r);
};

struct SPesHeader {
    uint32_t startCodePrefix = 0;
    uint8_t streamId = 0;
    uint16_t packetLength = 0;

    // Present for every stream_id but those of HasOptionalHeader() false.
    uint8_t scramblingControl = 0;
    bool priority = false;
    bool dataAlignment = false;
    bool copyright = false;
    bool originalOrCopy = false;
    uint8_t ptsDtsFlags = 0;
    bool escrFlag = false;
    bool esRateFlag = false;
    bool dsmTrickModeFlag = false;
    bool additionalCopyInfoFlag = false;
    bool crcFlag = false;
    bool extensionFlag = false;
    uint8_t headerDataLength = 0;

    STimeStamp pts;
    STimeStamp dts;
    SPcr escr;
    uint32_t esRate = 0;
    SPesTrickMode trickMode;
    uint8_t additionalCopyInfo = 0;
    uint16_t previousPesCrc = 0;
    SPesExtension extension;
    int stuffingBytes = 0;

    // The 3-byte tagged field (first byte 6) that may follow the header.
    bool hasTaggedField = false;
    std::array<uint8_t, 3> taggedField{};

    // Bytes from the start code to the payload.
    int headerLength = 0;

    static bool HasOptionalHeader(uint8_t streamId);
    bool HasPts() const { return (ptsDtsFlags & 2) != 0; }
    bool HasDts() const { return ptsDtsFlags == 3; }

    // Reads the header at the reader's position; returns the header length, or
    // -1 when the header (or a field it announces) does not fit in the reader.
    int Parse(CByteReader& r);
};

}  // namespace tessel
