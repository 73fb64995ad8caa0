// A ProgramInfo stream entry of a clip information file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tessel {

// StreamCodingInfo: length, coding type and the attributes of that type.
struct SStreamCodingInfo {
    uint8_t length = 0;  // bytes after the length field
    uint8_t codingType = 0;
    // Up to 17 bytes after the coding type, as stored (zero past the length).
    std::array<uint8_t, 17> attributes{};

    // Decoded from the attributes by coding type.
    uint8_t videoFormat = 0;
    uint8_t frameRate = 0;
    uint8_t aspectRatio = 0;
    uint8_t audioPresentationType = 0;
    uint8_t samplingFrequency = 0;
    uint8_t characterCode = 0;
    std::string language;  // three letters, empty when the type carries none
    // ISRC: CountryCode (2), rights holder (3), RecordingYear (2), RecordingNumber (5).
    std::array<char, 12> isrc{};
};

struct SClpiStream {
    uint16_t pid = 0;
    SStreamCodingInfo codingInfo;
};

}  // namespace tessel
