#include "database/clpi_stream.h"

#include <algorithm>
#include <cstring>

#include "codec/ics.h"
#include "platform/byte_io.h"
#include "platform/text.h"

namespace tessel {

namespace {

std::string Named(const char* text, const char* what, int value) {
    return text ? std::string(text) : StrFormat("%s %d", what, value);
}

// Three stored characters, with anything unprintable shown as '?'.
std::string LanguageAt(const std::array<uint8_t, 17>& a, size_t offset) {
    std::string s;
    for (size_t i = offset; i < offset + 3; ++i)
        s += (a[i] >= 0x20 && a[i] < 0x7F) ? char(a[i]) : '?';
    return s;
}

}  // namespace

const char* VideoFormatText(int v) {
    switch (v) {
        case 1:
            return "480i";
        case 2:
            return "576i";
        case 3:
            return "480p";
        case 4:
            return "1080i";
        case 5:
            return "720p";
        case 6:
            return "1080p";
        case 7:
            return "576p";
        case 8:
            return "2160p";
        default:
            return nullptr;
    }
}

// Frame rate codes are named as in the graphics streams' video descriptor.
const char* FrameRateText(int v) {
    const char* name = FrameRateName(v);
    return std::strcmp(name, "Reserved") == 0 ? nullptr : name;
}

const char* AspectText(int v) {
    switch (v) {
        case 2:
            return "4:3";
        case 3:
            return "16:9";
        default:
            return nullptr;
    }
}

const char* AudioPresentationText(int v) {
    switch (v) {
        case 1:
            return "Mono";
        case 3:
            return "Stereo";
        case 6:
            return "Multi-channel";
        case 12:
            return "Stereo and multi-channel";
        default:
            return nullptr;
    }
}

const char* SamplingText(int v) {
    switch (v) {
        case 1:
            return "48 kHz";
        case 4:
            return "96 kHz";
        case 5:
            return "192 kHz";
        case 12:
            return "48/192 kHz";
        case 14:
            return "48/96 kHz";
        default:
            return nullptr;
    }
}

const char* CharacterCodeText(int v) {
    switch (v) {
        case 1:
            return "UTF-8";
        case 2:
            return "UTF-16BE";
        case 3:
            return "Shift-JIS";
        case 4:
            return "KSC 5601";
        case 5:
            return "GB18030";
        case 6:
            return "GB2312";
        case 7:
            return "BIG5";
        default:
            return nullptr;
    }
}

const char* CodingTypeName(uint8_t t) {
    switch (t) {
        case 0x02:
            return "MPEG-2 Video";
        case 0x1B:
            return "MPEG-4 AVC/h.264";
        case 0x20:
            return "MPEG-4 MVC";
        case 0xEA:
            return "VC-1";
        case 0x80:
            return "LPCM (WAV)";
        case 0x81:
            return "AC-3";
        case 0x82:
            return "DTS";
        case 0x83:
            return "TrueHD/Dolby Lossless";
        case 0x84:
            return "Dolby Digital Plus/E-AC3";
        case 0x85:
            return "DTS-HD except XLL";
        case 0x86:
            return "DTS-HD XLL";
        case 0xA1:
            return "Dolby Digital Plus (2nd Audio)";
        case 0xA2:
            return "DTS-HD LBR (2nd Audio)";
        case 0x90:
            return "PG/Subtitle";
        case 0x91:
            return "IG/Menu";
        case 0x92:
            return "Text subtitle";
        default:
            return "Unknown";
    }
}

bool IsVideoCodingType(uint8_t t) {
    return t == 0x02 || t == 0x1B || t == 0x20 || t == 0xEA;
}

bool IsAudioCodingType(uint8_t t) {
    return (t >= 0x80 && t <= 0x86) || t == 0xA1 || t == 0xA2;
}

bool CodingTypeHasLanguage(uint8_t t) {
    return IsAudioCodingType(t) || t == 0x90 || t == 0x91 || t == 0x92;
}

void DecodeStreamCodingInfo(SStreamCodingInfo& info) {
    const auto& a = info.attributes;
    const uint8_t t = info.codingType;
    info.videoFormat = info.frameRate = info.aspectRatio = 0;
    info.audioPresentationType = info.samplingFrequency = info.characterCode = 0;
    info.language.clear();
    // Attribute byte k of the StreamCodingInfo is a[k - 2].
    CByteReader r(a.data(), a.size());
    if (IsVideoCodingType(t)) {
        info.videoFormat = static_cast<uint8_t>(r.Bits(4));
        info.frameRate = static_cast<uint8_t>(r.Bits(4));
        info.aspectRatio = static_cast<uint8_t>(r.Bits(4));
    } else if (IsAudioCodingType(t)) {
        info.audioPresentationType = static_cast<uint8_t>(r.Bits(4));
        info.samplingFrequency = static_cast<uint8_t>(r.Bits(4));
        info.language = LanguageAt(a, 1);
    } else if (t == 0x90 || t == 0x91) {
        info.language = LanguageAt(a, 0);
    } else if (t == 0x92) {
        info.characterCode = a[0];
        info.language = LanguageAt(a, 1);
    }
    std::memcpy(info.isrc.data(), a.data() + 4, info.isrc.size());
}

std::string AttributeText(const SStreamCodingInfo& info) {
    const uint8_t t = info.codingType;
    if (IsVideoCodingType(t)) {
        return Named(VideoFormatText(info.videoFormat), "format", info.videoFormat) + ", " +
               Named(FrameRateText(info.frameRate), "frame rate", info.frameRate) + ", " +
               Named(AspectText(info.aspectRatio), "aspect", info.aspectRatio);
    }
    if (IsAudioCodingType(t)) {
        return Named(AudioPresentationText(info.audioPresentationType), "channels",
                     info.audioPresentationType) +
               ", " + Named(SamplingText(info.samplingFrequency), "rate", info.samplingFrequency) +
               ", " + info.language;
    }
    if (t == 0x90 || t == 0x91) return info.language;
    if (t == 0x92)
        return Named(CharacterCodeText(info.characterCode), "character code", info.characterCode) +
               ", " + info.language;
    return "no attributes";
}

}  // namespace tessel
