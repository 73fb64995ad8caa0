#include "database/clpi.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "codec/ics.h"
#include "platform/byte_io.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel {

namespace {

constexpr uint16_t kPrimaryVideoPid = 0x1011;

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

void ReadStream(CByteReader& r, SClpiStream& s) {
    s.pid = r.U16();
    SStreamCodingInfo& info = s.codingInfo;
    info.length = r.U8();
    auto body = r.View(info.length);
    if (r.Failed()) return;
    // Zero past the stored length.
    if (!body.empty()) {
        info.codingType = body[0];
        const size_t n = std::min(body.size() - 1, info.attributes.size());
        std::copy_n(body.begin() + 1, n, info.attributes.begin());
    }
    DecodeStreamCodingInfo(info);
}

bool ParseEpMap(CByteReader& r, size_t epMapStart, CClpiObject& clpi) {
    r.Seek(epMapStart);
    r.Skip(1);
    clpi.numberOfPidEntries = r.U8();
    for (unsigned i = 0; i < clpi.numberOfPidEntries && !r.Failed(); ++i) {
        auto kpi = std::make_unique<CKpiFolder>();
        kpi->streamPid = r.U16();
        r.SkipBits(10);
        kpi->epStreamType = static_cast<uint8_t>(r.Bits(4));
        kpi->numberOfCoarseEntries = static_cast<uint16_t>(r.Bits(16));
        kpi->numberOfFineEntries = r.Bits(18);
        kpi->startAddress = r.U32();
        kpi->name = StrFormat("0x%04X", kpi->streamPid);
        kpi->id = kpi->streamPid;
        clpi.epMap.Append(std::move(kpi));
    }
    if (r.Failed()) return false;

    for (const auto& kpi : clpi.epMap) {
        const size_t base = epMapStart + kpi->startAddress;
        CByteReader s(r.Data());
        s.Seek(base);
        kpi->fineTableStartAddress = s.U32();
        for (unsigned c = 0; c < kpi->numberOfCoarseEntries && !s.Failed(); ++c) {
            SEpCoarseEntry e;
            e.refToFineId = s.Bits(18);
            e.ptsCoarse = static_cast<uint16_t>(s.Bits(14));
            e.spnCoarse = s.U32();
            if (!s.Failed()) kpi->coarse.push_back(e);
        }
        if (s.Failed()) return false;
        if (kpi->numberOfFineEntries != 0 && kpi->coarse.empty()) return false;
        s.Seek(base + kpi->fineTableStartAddress);
        if (s.Failed() || s.Remaining() / 4 < kpi->numberOfFineEntries) return false;
        kpi->keyPoints.reserve(kpi->numberOfFineEntries);
        size_t c = 0;
        for (uint32_t f = 0; f < kpi->numberOfFineEntries; ++f) {
            SKeyPoint k;
            k.angleChangePoint = s.Flag();
            k.iEndPosition = static_cast<uint8_t>(s.Bits(3));
            const uint64_t finePts = s.Bits(11);
            const uint32_t fineSpn = s.Bits(17);
            while (c + 1 < kpi->coarse.size() && kpi->coarse[c + 1].refToFineId <= f) ++c;
            const SEpCoarseEntry& ce = kpi->coarse[c];
            k.pts = ((uint64_t{ce.ptsCoarse} >> 1) << 20) + (finePts << 9);
            k.spnStart = (ce.spnCoarse & ~uint32_t{0x1FFFF}) | fineSpn;
            k.coarseIndex = static_cast<int>(c);
            kpi->keyPoints.push_back(k);
        }
        if (s.Failed()) return false;
    }
    return true;
}

}  // namespace

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

const char* ApplicationTypeText(int t) {
    static const char* const kTexts[] = {
        "Reserved",
        "MainTS for a MainPath of Movie",
        "MainTS for a MainPath of Timebased Slidershow",
        "MainTS for a MainPath of Browsable Slidershow",
        "SubTS for a SubPath of Browsable Slidershow",
        "SubTS for a SubPath of Interactive Graphics menu",
        "SubTS for a SubPath of Text subtitle",
        "SubTS for a SubPath of one or more elementary streams path",
        "SubTS for a SubPath of Stereoscopic Movie",
        "SubTS for a SubPath of Stereoscopic IG Menu",
        "MainTS for a Movie (AVCHD 1080P50/60)",
    };
    return t >= 0 && t <= 10 ? kTexts[t] : "Reserved";
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

int64_t FrameDuration27M(int code) {
    // Milliseconds x 90 x 300.
    switch (code) {
        case 1:
            return 1001 * 27000 / 24;
        case 2:
            return 1000 * 27000 / 24;
        case 3:
            return 40 * 27000;
        case 4:
            return 1001 * 27000 / 30;
        case 6:
            return 20 * 27000;
        case 7:
            return 1001 * 27000 / 60;
        default:
            return 0;
    }
}

void CClpiObject::Clear() {
    clipInfo.atcDeltaEntries.clear();
    sequenceInfo.stcSequences.clear();
    programInfo.streams.clear();
    epMap.Clear();
    extensionData.Clear();
    privateBlock.Clear();
    hasPrivateBlock = false;
    tracks.Clear();
}

int CClpiObject::ParseClpi(std::span<const uint8_t> data) {
    Clear();
    if (data.size() > INT_MAX) return -1;
    CByteReader r(data);
    typeIndicator = r.Text(4);
    version = r.Text(4);
    sequenceInfoStartAddress = r.U32();
    programInfoStartAddress = r.U32();
    cpiStartAddress = r.U32();
    clipMarkStartAddress = r.U32();
    extensionDataStartAddress = r.U32();
    r.Bytes(reserved.data(), reserved.size());

    // ClipInfo, directly after the header.
    constexpr size_t kClipInfo = 40;
    SClipInfo& ci = clipInfo;
    ci.length = r.U32();
    r.Skip(2);
    ci.clipStreamType = r.U8();
    ci.applicationType = r.U8();
    r.SkipBits(31);
    ci.isAtcDelta = r.Flag();
    ci.tsRecordingRate = r.U32();
    ci.numberOfSourcePackets = r.U32();
    r.Bytes(ci.reserved.data(), ci.reserved.size());
    ci.tsTypeInfoBlockLength = r.U16();
    ci.validityFlags = r.U8();
    ci.formatIdentifier = r.Text(4);
    r.Bytes(ci.networkInformation.data(), ci.networkInformation.size());
    r.Bytes(ci.streamFormatName.data(), ci.streamFormatName.size());
    if (ci.isAtcDelta) {
        r.Seek(kClipInfo + 150 + ci.tsTypeInfoBlockLength);
        r.Skip(1);
        const unsigned count = r.U8();
        for (unsigned i = 0; i < count && !r.Failed(); ++i) {
            SAtcDeltaEntry e;
            e.atcDelta = r.U32();
            e.followingClipId = r.Text(5);
            e.clipCodecId = r.Text(4);
            r.Skip(1);
            if (!r.Failed()) ci.atcDeltaEntries.push_back(std::move(e));
        }
    }
    if (r.Failed()) return -1;

    // SequenceInfo: the first ATC sequence and its STC sequences.
    r.Seek(sequenceInfoStartAddress);
    sequenceInfo.length = r.U32();
    r.Skip(1);
    sequenceInfo.numberOfAtcSequences = r.U8();
    if (sequenceInfo.numberOfAtcSequences > 0) {
        sequenceInfo.spnAtcStart = r.U32();
        const unsigned count = r.U8();
        sequenceInfo.offsetStcId = r.U8();
        for (unsigned i = 0; i < count && !r.Failed(); ++i) {
            SStcSequence s;
            s.pcrPid = r.U16();
            s.spnStcStart = r.U32();
            s.startPts = r.U32();
            s.endPts = r.U32();
            if (!r.Failed()) sequenceInfo.stcSequences.push_back(s);
        }
    }
    if (r.Failed()) return -1;

    // ProgramInfo: the first program sequence and its streams.
    r.Seek(programInfoStartAddress);
    programInfo.length = r.U32();
    r.Skip(1);
    programInfo.numberOfProgramSequences = r.U8();
    if (programInfo.numberOfProgramSequences > 0) {
        programInfo.spnProgramSequenceStart = r.U32();
        programInfo.programMapPid = r.U16();
        const unsigned count = r.U8();
        r.Skip(1);
        for (unsigned i = 0; i < count && !r.Failed(); ++i) {
            SClpiStream s;
            ReadStream(r, s);
            if (!r.Failed()) programInfo.streams.push_back(std::move(s));
        }
    }
    if (r.Failed()) return -1;

    // CPI with the EP map.
    r.Seek(cpiStartAddress);
    cpiLength = r.U32();
    cpiType = 0;
    numberOfPidEntries = 0;
    if (r.Failed()) return -1;
    if (cpiLength != 0) {
        r.Skip(1);
        r.SkipBits(4);
        cpiType = static_cast<uint8_t>(r.Bits(4));
        if (r.Failed() || !ParseEpMap(r, size_t{cpiStartAddress} + 6, *this)) return -1;
    }

    r.Seek(clipMarkStartAddress);
    clipMarkLength = r.U32();
    if (r.Failed()) return -1;
    uint64_t result = uint64_t{clipMarkStartAddress} + clipMarkLength + 4;
    if (result > data.size()) return -1;

    if (extensionDataStartAddress != 0) {
        if (extensionDataStartAddress > data.size()) return -1;
        const int size = extensionData.ParseBlock(data.subspan(extensionDataStartAddress));
        if (size < 0) return -1;
        result = uint64_t{extensionDataStartAddress} + static_cast<uint64_t>(size);
    }

    // The tool's own block in the ClipInfo reserved bytes.
    if (std::memcmp(ci.reserved.data(), "ORVA", 4) == 0) {
        if (privateBlock.ParseBlock(std::span<const uint8_t>(ci.reserved).subspan(4)) < 0)
            return -1;
        hasPrivateBlock = true;
    }
    return static_cast<int>(result);
}

void CClpiObject::BuildTrackList() {
    tracks.Clear();
    tracks.BuildTrackList(programInfo.streams, clipNumber);
    for (auto& t : tracks.tracks) t->selected = 1;
}

void CClpiObject::DeriveTiming() {
    timing = SClipTiming{};
    if (!sequenceInfo.stcSequences.empty()) {
        const SStcSequence& s = sequenceInfo.stcSequences.front();
        timing.start = uint64_t{s.startPts} * 2;
        timing.end = uint64_t{s.endPts} * 2;
        timing.duration = static_cast<int64_t>(timing.end) - static_cast<int64_t>(timing.start);
    }
    for (const auto& s : programInfo.streams) {
        if (s.pid != kPrimaryVideoPid) continue;
        timing.frameDuration27M = FrameDuration27M(s.codingInfo.frameRate);
        break;
    }
    timing.recordingRate = clipInfo.tsRecordingRate;
    timing.start27M = timing.start * 300;
    timing.end27M = timing.end * 300;
}

const SClpiStream* CClpiObject::FindStream(uint8_t codingType) const {
    for (const auto& s : programInfo.streams)
        if (s.codingInfo.codingType == codingType) return &s;
    return nullptr;
}

std::string ClpiFormatFault(std::span<const uint8_t> data) {
    if (data.size() < 8)
        return StrFormat("%zu bytes, too short for a clip information file", data.size());
    std::string magic(reinterpret_cast<const char*>(data.data()), 4);
    for (char& c : magic)
        if (c < 0x20 || c > 0x7E) c = '?';
    if (magic != "HDMV")
        return StrFormat("type indicator \"%s\"%s, not \"HDMV\"", magic.c_str(),
                         magic == "MPLS" ? " (a playlist)" : "");
    // The first part the header places past the end names the fault.
    static const char* const kParts[] = {"SequenceInfo", "ProgramInfo", "CPI", "ClipMark",
                                         "ExtensionData"};
    CByteReader r(data);
    r.Skip(8);
    for (const char* part : kParts) {
        const uint32_t at = r.U32();
        if (!r.Failed() && at > data.size())
            return StrFormat(
                "damaged or cut short (%zu bytes): the %s at byte %u lies past the end",
                data.size(), part, at);
    }
    return StrFormat("damaged or cut short (%zu bytes)", data.size());
}

std::unique_ptr<CClpiObject> LoadClipInfo(const std::string& path, const CDiscSource& disc) {
    std::vector<uint8_t> data;
    if (const CResult read = disc.ReadWhole(path, data); !read) {
        ShowMessage(StrFormat("%s: %s", path.c_str(), read.Text().c_str()));
        return nullptr;
    }
    auto clpi = std::make_unique<CClpiObject>();
    clpi->name = FileTitle(path);
    if (clpi->ParseClpi(data) < 1) {
        ShowMessage(StrFormat("%s: invalid file format. (%s)", path.c_str(),
                              ClpiFormatFault(data).c_str()));
        return nullptr;
    }
    const bool numbered = clpi->name.size() == 5 && AtoI(clpi->name) >= 0;
    clpi->clipNumber = numbered ? AtoI(clpi->name) : -1;
    clpi->BuildTrackList();
    clpi->DeriveTiming();
    return clpi;
}

}  // namespace tessel
