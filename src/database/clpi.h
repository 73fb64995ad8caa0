// Clip information files (CLIPINF/nnnnn.clpi).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "database/clpi_stream.h"
#include "database/ext_data.h"
#include "database/track_list.h"
#include "model/named_object.h"
#include "platform/disc_source.h"

namespace tessel {

// Texts of application types; "Reserved" for 0 and 11 and up.
const char* ApplicationTypeText(int applicationType);
// Frame duration of a frame-rate code in 27 MHz units; 0 for unknown codes.
int64_t FrameDuration27M(int frameRateCode);

struct SAtcDeltaEntry {
    uint32_t atcDelta = 0;
    std::string followingClipId;  // five characters
    std::string clipCodecId;      // four characters
};

struct SClipInfo {
    uint32_t length = 0;
    uint8_t clipStreamType = 0;
    uint8_t applicationType = 0;
    bool isAtcDelta = false;
    uint32_t tsRecordingRate = 0;
    uint32_t numberOfSourcePackets = 0;
    std::array<uint8_t, 128> reserved{};
    uint16_t tsTypeInfoBlockLength = 0;
    uint8_t validityFlags = 0;
    std::string formatIdentifier;
    std::array<uint8_t, 9> networkInformation{};
    std::array<uint8_t, 16> streamFormatName{};
    std::vector<SAtcDeltaEntry> atcDeltaEntries;
};

struct SStcSequence {
    uint16_t pcrPid = 0x1001;
    uint32_t spnStcStart = 0;
    uint32_t startPts = 0;  // 45 kHz ticks
    uint32_t endPts = 0;
};

// The head of SequenceInfo and ProgramInfo, of which only the first sequence
// is kept: the length, the number of sequences and where the first starts.
struct SSequenceHead {
    uint32_t length = 0;
    uint8_t numberOfSequences = 0;
    uint32_t spnStart = 0;
};

struct SSequenceInfo {
    SSequenceHead head;  // of the ATC sequences
    uint8_t offsetStcId = 0;
    std::vector<SStcSequence> stcSequences;  // of the first ATC sequence
};

struct SProgramInfo {
    SSequenceHead head;  // of the program sequences
    uint16_t programMapPid = 0;
    std::vector<SClpiStream> streams;  // of the first program sequence
};

struct SEpCoarseEntry {
    uint32_t refToFineId = 0;
    uint16_t ptsCoarse = 0;
    uint32_t spnCoarse = 0;
};

// One entry point ("KeyPoint").
struct SKeyPoint {
    uint64_t pts = 0;       // 33 bits, 90 kHz
    uint32_t spnStart = 0;  // "Spn Start"
    int coarseIndex = 0;
    bool angleChangePoint = false;
    uint8_t iEndPosition = 0;
};

// The EP map of one stream and its key points.
class CKpiFolder : public CNamedObject {
public:
    uint16_t streamPid = 0;
    uint8_t epStreamType = 0;
    uint16_t numberOfCoarseEntries = 0;
    uint32_t numberOfFineEntries = 0;
    uint32_t startAddress = 0;  // relative to the EP map
    uint32_t fineTableStartAddress = 0;
    std::vector<SEpCoarseEntry> coarse;
    std::vector<SKeyPoint> keyPoints;
};

// Times derived from the first STC sequence and the primary video.
struct SClipTiming {
    uint64_t start = 0;  // 90 kHz
    uint64_t end = 0;
    int64_t duration = 0;
    uint32_t recordingRate = 0;
    int64_t frameDuration27M = 0;

    uint64_t Start27M() const { return start * 300; }
    uint64_t End27M() const { return end * 300; }
};

class CClpiObject : public CNamedObject {
public:
    void Clear() override;

    // Parses a whole file. Returns the offset the parse reached (end of the
    // extension data, else of ClipMark), or -1 for invalid data.
    int ParseClpi(std::span<const uint8_t> data);

    // One track per stream of the first program sequence, all selected.
    void BuildTrackList();
    void DeriveTiming();

    // The first stream of this coding type, or null.
    const SClpiStream* FindStream(uint8_t codingType) const;

    int clipNumber = -1;
    std::string streamPath;

    std::string typeIndicator;
    std::string version;
    uint32_t sequenceInfoStartAddress = 0;
    uint32_t programInfoStartAddress = 0;
    uint32_t cpiStartAddress = 0;
    uint32_t clipMarkStartAddress = 0;
    uint32_t extensionDataStartAddress = 0;
    std::array<uint8_t, 12> reserved{};

    SClipInfo clipInfo;
    SSequenceInfo sequenceInfo;
    SProgramInfo programInfo;
    uint32_t cpiLength = 0;
    uint8_t cpiType = 0;
    uint8_t numberOfPidEntries = 0;
    CNamedPtrArray<CKpiFolder> epMap;
    uint32_t clipMarkLength = 0;
    CEdeFolder extensionData;
    bool hasPrivateBlock = false;
    CEdeFolder privateBlock;  // tagged "ORVA" in the ClipInfo reserved bytes

    SRipTracks tracks;
    SClipTiming timing;
};

// Reads and parses a clip information file, then builds its track list and
// timing. The name is the file's title; the clip number is the title's when
// it is five digits, else -1. Read from disc. Fails (nothing shown) with
// "<path>: <system error text>" when the file cannot be read, "<path>:
// invalid file format. (<why>)" when it does not parse.
CResultOf<std::unique_ptr<CClpiObject>> LoadClipInfo(const std::string& path,
                                                     const CDiscSource& disc = {});
// Why bytes that do not parse are no clip information file, in words.
std::string ClpiFormatFault(std::span<const uint8_t> data);

}  // namespace tessel
