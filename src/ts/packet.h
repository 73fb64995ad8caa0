// Source packets, the transport packet header with its adaptation field, and
// the scans over packets.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/byte_io.h"
#include "ts/time_stamp.h"

namespace tessel {

struct SPesHeader;
class CEsiFolder;
class CReadFile;

constexpr size_t kSourcePacketSize = 192;
constexpr size_t kTsPacketSize = 188;
constexpr uint8_t kSyncByte = 0x47;
constexpr uint16_t kPmtPid = 0x100;
constexpr uint16_t kPcrPid = 0x1001;
constexpr uint16_t kNullPid = 0x1FFF;
// Returned by ParsePacket for a packet whose headers do not fit in it.
constexpr int kPacketDamaged = 189;

// PID classes of a BD-ROM transport stream.
enum class EPidClass {
    Other,
    PrimaryVideo,
    DependentVideo,
    PrimaryAudio,
    PresentationGraphics,
    InteractiveGraphics,
    TextSubtitle,
    SecondaryAudio,
    SecondaryVideo,
};
EPidClass ClassifyPid(uint16_t pid);
// PIDs whose packets carry PES headers (every class but dependent-view video).
bool IsElementaryPid(uint16_t pid);
// Graphics and text subtitle PIDs, whose time stamps are rebased on the PCR.
bool IsGraphicsPid(uint16_t pid);

// The 30-bit arrival time stamp of a source packet's extra header.
inline uint32_t ArrivalTimeStamp(const uint8_t* sourcePacket) {
    return (static_cast<uint32_t>(sourcePacket[0] & 0x3F) << 24) |
           (static_cast<uint32_t>(sourcePacket[1]) << 16) |
           (static_cast<uint32_t>(sourcePacket[2]) << 8) | sourcePacket[3];
}
// The PID of a transport packet, or -1 without the sync byte.
inline int PacketPid(const uint8_t* tsPacket) {
    if (tsPacket[0] != kSyncByte) return -1;
    return ((tsPacket[1] & 0x1F) << 8) | tsPacket[2];
}

// Where the payload of a packet starts, from its header and adaptation
// field length alone: kTsPacketSize without a payload, kPacketDamaged when
// the adaptation field is longer than the packet, 0 without a sync byte.
// ParsePacket places the payload of a packet without a PES start the same.
inline int PayloadStart(const uint8_t* tsPacket) {
    if (tsPacket[0] != kSyncByte) return 0;
    const uint8_t control = (tsPacket[3] >> 4) & 3;
    if (!(control & 2)) return control ? 4 : static_cast<int>(kTsPacketSize);
    if (tsPacket[4] > kTsPacketSize - 5) return kPacketDamaged;
    return control & 1 ? 5 + tsPacket[4] : static_cast<int>(kTsPacketSize);
}

struct SAdaptationField {
    uint8_t length = 0;  // adaptation_field_length
    bool discontinuity = false;
    bool randomAccess = false;
    bool esPriority = false;
    bool pcrFlag = false;
    bool opcrFlag = false;
    bool splicingPointFlag = false;
    bool privateDataFlag = false;
    bool extensionFlag = false;
    SPcr pcr;
    SPcr opcr;
    uint8_t spliceCountdown = 0;
    std::vector<uint8_t> privateData;

    // adaptation field extension
    uint8_t extensionLength = 0;
    bool ltwFlag = false;
    bool piecewiseRateFlag = false;
    bool seamlessSpliceFlag = false;
    bool ltwValid = false;
    uint16_t ltwOffset = 0;
    uint32_t piecewiseRate = 0;
    uint8_t spliceType = 0;
    STimeStamp dtsNextAu;
    std::vector<uint8_t> extensionRest;

    int stuffingBytes = 0;

    // Reads the field from its length byte on; false when the field does not
    // fit in the reader or its parts overrun its own length.
    bool Parse(CByteReader& r);
};

// The parser of one pass over a transport stream.
struct STsPacket {
    STsPacket();
    ~STsPacket();
    STsPacket(const STsPacket&) = delete;
    STsPacket& operator=(const STsPacket&) = delete;

    uint8_t syncByte = kSyncByte;
    bool transportError = false;
    bool payloadUnitStart = true;
    bool transportPriority = false;
    uint16_t pid = kNullPid;
    uint8_t scramblingControl = 0;
    uint8_t adaptationFieldControl = 0;
    uint8_t continuityCounter = 0;

    // Replaced at every packet.
    std::optional<SAdaptationField> adaptation;
    std::unique_ptr<SPesHeader> pes;
    // The Program Map Table under construction; kept across packets until it
    // is complete, discarded at the next packet once complete.
    std::unique_ptr<CEsiFolder> pmt;

    // Parses the 188-byte transport packet and returns the number of header
    // bytes before its payload: 0 when it is no transport packet (sync byte,
    // size), 188 for a packet without payload and for PMT packets, and
    // kPacketDamaged (> 188) when the adaptation field or the PES header does
    // not fit in the packet.
    int ParsePacket(std::span<const uint8_t> packet);

    // The PMT once complete and valid; hands it over.
    std::unique_ptr<CEsiFolder> TakeProgramMap();
    bool HasCompleteProgramMap() const;

private:
    void ParsePmtPayload(CByteReader& r);
};

// Scans the whole file from its start for the first complete PMT; restores the
// file position. Returns none when the file holds no valid PMT.
std::unique_ptr<CEsiFolder> ReadProgramMap(CReadFile& file);

// The first PES header of an elementary PID in a block of source packets.
struct SFirstPts {
    uint64_t pts = 0;
    uint16_t pid = 0;
};
std::optional<SFirstPts> FindFirstPts(std::span<const uint8_t> block);

// The first PCR on PID 0x1001 in a block of source packets.
struct SFirstPcr {
    uint64_t pcr = 0;            // 27 MHz
    uint32_t ats = 0;            // arrival time stamp of the PCR packet
    uint32_t firstBlockAts = 0;  // arrival time stamp of the block's first packet
};
std::optional<SFirstPcr> FindFirstPcr(std::span<const uint8_t> block);

}  // namespace tessel
