#include "ts/time_stamp.h"

namespace tessel {

uint64_t ReadMarkedTime(CByteReader& r) {
    uint64_t v = r.Bits(3);
    r.SkipBits(1);
    v = (v << 15) | r.Bits(15);
    r.SkipBits(1);
    v = (v << 15) | r.Bits(15);
    r.SkipBits(1);
    return v;
}

void STimeStamp::Read(CByteReader& r) {
    prefix = static_cast<uint8_t>(r.Bits(4));
    value = ReadMarkedTime(r);
}

void SPcr::Read(CByteReader& r) {
    base = r.Bits64(33);
    r.SkipBits(6);
    extension = static_cast<uint16_t>(r.Bits(9));
}

}  // namespace tessel
