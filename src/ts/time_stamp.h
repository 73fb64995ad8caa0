// The time fields of transport packets and PES headers.
#pragma once

#include <cstdint>

#include "platform/byte_io.h"

namespace tessel {

// A 33-bit time in three parts (3, 15 and 15 bits), each followed by a marker bit.
uint64_t ReadMarkedTime(CByteReader& r);

// A 33-bit time stamp with its 4-bit prefix, 5 bytes with marker bits.
struct STimeStamp {
    uint8_t prefix = 0;
    uint64_t value = 0;  // 90 kHz

    void Read(CByteReader& r);
};

// Program clock reference: 33-bit base and 9-bit extension in 6 bytes.
struct SPcr {
    uint64_t base = 0;
    uint16_t extension = 0;

    void Read(CByteReader& r);
    // The 27 MHz value.
    uint64_t Value() const { return base * 300 + extension; }
};

}  // namespace tessel
