#include "database/clpi.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "database/db_reader.h"
#include "platform/byte_io.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tessel {

namespace {

constexpr uint16_t kPrimaryVideoPid = 0x1011;

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

// ClipInfo, directly after the header, with its ATC delta entries.
void ReadClipInfo(CByteReader& r, SClipInfo& ci) {
    constexpr size_t kClipInfo = 40;
    ci.length = r.U32();
    r.Skip(2);
    ci.clipStreamType = r.U8();
    ci.applicationType = r.U8();
    r.SkipBits(31);
    ci.isAtcDelta = r.Flag();
    ci.tsRecordingRate = r.U32();
    ci.numberOfSourcePackets = r.U32();
    ReadArray(r, ci.reserved);
    ci.tsTypeInfoBlockLength = r.U16();
    ci.validityFlags = r.U8();
    ci.formatIdentifier = r.Text(4);
    ReadArray(r, ci.networkInformation);
    ReadArray(r, ci.streamFormatName);
    if (!ci.isAtcDelta) return;
    r.Seek(kClipInfo + 150 + ci.tsTypeInfoBlockLength);
    r.Skip(1);
    ReadEntries(r, r.U8(), ci.atcDeltaEntries, [](CByteReader& b, SAtcDeltaEntry& e) {
        e.atcDelta = b.U32();
        ReadClipName(b, e.followingClipId, e.clipCodecId);
        b.Skip(1);
    });
}

// False when the table holds no sequence.
bool ReadSequenceHead(CByteReader& r, SSequenceHead& head) {
    head.length = r.U32();
    r.Skip(1);
    head.numberOfSequences = r.U8();
    if (head.numberOfSequences == 0) return false;
    head.spnStart = r.U32();
    return true;
}

// SequenceInfo: the first ATC sequence and its STC sequences.
void ReadSequenceInfo(CByteReader& r, SSequenceInfo& si) {
    if (!ReadSequenceHead(r, si.head)) return;
    const unsigned count = r.U8();
    si.offsetStcId = r.U8();
    ReadEntries(r, count, si.stcSequences, [](CByteReader& b, SStcSequence& s) {
        s.pcrPid = b.U16();
        s.spnStcStart = b.U32();
        s.startPts = b.U32();
        s.endPts = b.U32();
    });
}

// ProgramInfo: the first program sequence and its streams.
void ReadProgramInfo(CByteReader& r, SProgramInfo& pi) {
    if (!ReadSequenceHead(r, pi.head)) return;
    pi.programMapPid = r.U16();
    const unsigned count = r.U8();
    r.Skip(1);
    ReadEntries(r, count, pi.streams, ReadStream);
}

}  // namespace

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
    ReadFileHead(r, typeIndicator, version,
                 {&sequenceInfoStartAddress, &programInfoStartAddress, &cpiStartAddress,
                  &clipMarkStartAddress, &extensionDataStartAddress});
    ReadArray(r, reserved);
    ReadClipInfo(r, clipInfo);
    if (r.Failed()) return -1;
    r.Seek(sequenceInfoStartAddress);
    ReadSequenceInfo(r, sequenceInfo);
    if (r.Failed()) return -1;
    r.Seek(programInfoStartAddress);
    ReadProgramInfo(r, programInfo);
    if (r.Failed()) return -1;

    // CPI with the EP map.
    r.Seek(cpiStartAddress);
    cpiLength = r.U32();
    cpiType = 0;
    numberOfPidEntries = 0;
    if (r.Failed()) return -1;
    if (cpiLength != 0) {
        r.SkipBits(12);
        cpiType = static_cast<uint8_t>(r.Bits(4));
        if (r.Failed() || !ParseEpMap(r, size_t{cpiStartAddress} + 6, *this)) return -1;
    }

    r.Seek(clipMarkStartAddress);
    clipMarkLength = r.U32();
    if (r.Failed()) return -1;
    int64_t result = int64_t{clipMarkStartAddress} + clipMarkLength + 4;
    if (result > static_cast<int64_t>(data.size())) return -1;
    if (extensionDataStartAddress != 0) {
        result = extensionData.ParseAt(data, extensionDataStartAddress);
        if (result < 0) return -1;
    }

    // The tool's own block in the ClipInfo reserved bytes.
    const auto& own = clipInfo.reserved;
    if (std::memcmp(own.data(), "ORVA", 4) == 0) {
        if (privateBlock.ParseBlock(std::span<const uint8_t>(own).subspan(4)) < 0) return -1;
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
}

const SClpiStream* CClpiObject::FindStream(uint8_t codingType) const {
    for (const auto& s : programInfo.streams)
        if (s.codingInfo.codingType == codingType) return &s;
    return nullptr;
}

std::string ClpiFormatFault(std::span<const uint8_t> data) {
    if (data.size() < 8)
        return StrFormat("%zu bytes, too short for a clip information file", data.size());
    const std::string magic =
        PrintableTag(std::string(reinterpret_cast<const char*>(data.data()), 4));
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

CResultOf<std::unique_ptr<CClpiObject>> LoadClipInfo(const std::string& path,
                                                     const CDiscSource& disc) {
    std::vector<uint8_t> data;
    if (const CResult read = disc.ReadWhole(path, data); !read)
        return CResult::FailIn(path, read.Text());
    auto clpi = std::make_unique<CClpiObject>();
    clpi->name = FileTitle(path);
    if (clpi->ParseClpi(data) < 1)
        return CResult::FailIn(path, "invalid file format. (" + ClpiFormatFault(data) + ")");
    const bool numbered = clpi->name.size() == 5 && AtoI(clpi->name) >= 0;
    clpi->clipNumber = numbered ? AtoI(clpi->name) : -1;
    clpi->BuildTrackList();
    clpi->DeriveTiming();
    return clpi;
}

}  // namespace tessel
