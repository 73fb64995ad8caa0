// Builds graphics stream bytes for the codec tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tessel::test {

using Bytes = std::vector<uint8_t>;

// Segment header (type, 16-bit length) and payload.
inline Bytes Segment(uint8_t type, const Bytes& payload) {
    Bytes b;
    b.reserve(3 + payload.size());
    b.push_back(type);
    b.push_back(static_cast<uint8_t>(payload.size() >> 8));
    b.push_back(static_cast<uint8_t>(payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

// Marked-form record: marker, PTS, DTS, segment.
inline Bytes Record(const char* marker, uint32_t pts, uint32_t dts, uint8_t type,
                    const Bytes& payload) {
    Bytes b = {static_cast<uint8_t>(marker[0]), static_cast<uint8_t>(marker[1])};
    for (uint32_t v : {pts, dts})
        for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    Bytes s = Segment(type, payload);
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

inline void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// PCS payload: 1920x1080 code 1, composition number, state, and n uncropped objects.
inline Bytes PcsPayload(uint8_t state, int objects, uint16_t number = 0) {
    Bytes b = {0x07,
               0x80,
               0x04,
               0x38,
               0x10,
               static_cast<uint8_t>(number >> 8),
               static_cast<uint8_t>(number),
               static_cast<uint8_t>(state << 6),
               0x00,
               0x00,
               static_cast<uint8_t>(objects)};
    for (int i = 0; i < objects; ++i)
        Append(b, {0x00, static_cast<uint8_t>(i), 0, 0, 0, 10, 0, 20});
    return b;
}

// ICS payload head (1920x1080, code 1, number 0, state, first and last) and a fragment.
inline Bytes IcsPayload(uint8_t state, const Bytes& fragment) {
    Bytes b = {0x07, 0x80, 0x04, 0x38, 0x10, 0x00, 0x00, static_cast<uint8_t>(state << 6), 0xC0};
    Append(b, fragment);
    return b;
}

// A PG display set: PCS with n objects, then END.
inline Bytes PgDisplaySet(uint8_t state, int objects, uint32_t pts = 90000) {
    Bytes b = Record("PG", pts, 0, 0x16, PcsPayload(state, objects));
    Append(b, Record("PG", pts, 0, 0x80, {}));
    return b;
}

// An IG display set: one ICS with the fragment, then END.
inline Bytes IgDisplaySet(uint8_t state, const Bytes& fragment, uint32_t pts = 90000) {
    Bytes b = Record("IG", pts, 0, 0x18, IcsPayload(state, fragment));
    Append(b, Record("IG", pts, 0, 0x80, {}));
    return b;
}

}  // namespace tessel::test
