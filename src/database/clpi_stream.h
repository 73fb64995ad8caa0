// A ProgramInfo stream entry of a clip information file and the names of its codes.
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

// Names of stream coding types ("IG/Menu" for 0x91); "Unknown" for others.
const char* CodingTypeName(uint8_t codingType);
bool IsVideoCodingType(uint8_t codingType);
bool IsAudioCodingType(uint8_t codingType);
// Audio, graphics and text subtitle types carry a language code.
bool CodingTypeHasLanguage(uint8_t codingType);
// Fills the decoded fields of info from its raw attribute bytes.
void DecodeStreamCodingInfo(SStreamCodingInfo& info);
// Names of the decoded attribute codes ("1080i", "23.976", "16:9", "Stereo",
// "48 kHz", "UTF-8"); null for codes without a name.
const char* VideoFormatText(int code);
const char* FrameRateText(int code);
const char* AspectText(int code);
const char* AudioPresentationText(int code);
const char* SamplingText(int code);
const char* CharacterCodeText(int code);
// A readable line of the attributes ("1080i, 29.97, 16:9"; "Stereo, 48 kHz, eng"; "jpn").
std::string AttributeText(const SStreamCodingInfo& info);

}  // namespace tessel
