// A small BD transport stream writer: 192-byte source packets with arrival
// time stamps, PAT, PMT, PCR and PES packets; the clip muxer built on it puts
// one PES packet per graphics segment.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/result.h"

namespace tessel::authoring {

// MPEG-2 CRC-32 of a PSI section.
uint32_t Crc32Mpeg(const uint8_t* data, size_t size);

// 5 bytes: prefix nibble and a 33-bit value with marker bits.
std::vector<uint8_t> TimeStampBytes(uint8_t prefix, uint64_t value);
// 6 bytes of a PCR.
std::vector<uint8_t> PcrBytes(uint64_t base, uint16_t extension);
// A PES header with PTS and optional DTS (stream_id 0xBD unless given).
std::vector<uint8_t> PesHeaderBytes(std::optional<uint64_t> pts, std::optional<uint64_t> dts,
                                    uint8_t streamId = 0xBD, size_t payloadSize = 0);

struct SPmtStream {
    uint8_t streamType;
    uint16_t pid;
    std::vector<uint8_t> esInfo;  // descriptor bytes
};
// A whole PMT section (table_id to CRC_32) of program 1.
std::vector<uint8_t> PmtSection(const std::vector<SPmtStream>& streams,
                                const std::vector<uint8_t>& programInfo = {},
                                uint16_t pcrPid = 0x1001);
// A whole PAT section: program 1 at the PMT PID, with program 0 (network PID
// 0x1F) ahead of it when asked.
std::vector<uint8_t> PatSection(uint16_t pmtPid = 0x100, bool networkPid = true);

// Source packets kept in memory (data), or drained to a file as they come.
class CTsMuxer {
public:
    // The arrival time (27 MHz) of the first packet and the step to the next.
    explicit CTsMuxer(uint64_t firstArrival = 1000, uint32_t arrivalStep = 1000)
        : clock27_(firstArrival), step_(arrivalStep) {}

    // Appends one source packet. The payload must fit; the packet is filled
    // with adaptation-field stuffing (stuffWithAf) or trailing 0xFF bytes.
    void AddPacket(uint16_t pid, bool unitStart, std::span<const uint8_t> payload,
                   bool stuffWithAf = true, bool priority = false,
                   const std::vector<uint8_t>& afBody = {});
    // Appends a raw 188-byte transport packet behind an extra header.
    void AddRaw(std::span<const uint8_t> tsPacket);
    // A section split over packets of the PID (pointer field 0; the rest of
    // the last packet 0xFF, or adaptation-field stuffing).
    void AddSection(uint16_t pid, std::span<const uint8_t> section, bool stuffWithAf = false);
    void AddPat(uint16_t pmtPid = 0x100) { AddSection(0, PatSection(pmtPid)); }
    void AddPmt(const std::vector<SPmtStream>& streams) { AddSection(0x100, PmtSection(streams)); }
    // A packet without payload carrying a PCR.
    void AddPcr(uint64_t base, uint16_t extension = 0, uint16_t pid = 0x1001);
    // A PES packet split over as many packets as it needs.
    void AddPes(uint16_t pid, std::optional<uint64_t> pts, std::optional<uint64_t> dts,
                std::span<const uint8_t> payload, uint8_t streamId = 0xBD, bool priority = false);
    // Packets of 184 zero payload bytes each.
    void AddFiller(uint16_t pid, size_t count);
    // Packets that claim the PID, with sync byte and PID right and every
    // other byte (flags, adaptation field, payload) pseudo-random.
    void AddGarbage(uint16_t pid, size_t count, uint32_t seed = 7);

    // Packets written so far, drained ones too.
    size_t Count() const { return drained_ + data.size() / 192; }
    // The arrival time (27 MHz) the next packet gets.
    uint64_t Clock27() const { return clock27_; }
    // Appends the packets kept to the file and forgets them; false on a
    // write error.
    bool Drain(std::FILE* f);
    // Writes the stream to a file; returns its path.
    std::string Save(const std::string& path) const;

    std::vector<uint8_t> data;

private:
    uint64_t clock27_;
    uint32_t step_;
    size_t drained_ = 0;
    std::map<uint16_t, uint8_t> cc_;
};

// An IG-like segment: type, 16-bit length, then filler payload bytes.
std::vector<uint8_t> Segment(uint8_t type, size_t payloadSize, uint8_t fill = 0xA5);

// One record of a marked-form stream: 2-byte tag, PTS, DTS, one segment.
struct SRecord {
    std::string tag;
    uint32_t pts = 0;
    uint32_t dts = 0;
    std::vector<uint8_t> segment;
};
// Splits a marked-form stream of one-segment records; false on a record that
// does not hold together.
bool SplitRecords(std::span<const uint8_t> data, std::vector<SRecord>& records);

struct SMuxTrack {
    uint16_t pid = 0x1400;
    uint8_t streamType = 0x91;
    // Marked-form records: 2-byte tag, PTS, DTS, one segment each.
    std::vector<uint8_t> marked;
};

struct SMuxOptions {
    uint64_t timeBase = 600ull * 90000;  // added to every record time (90 kHz)
    uint64_t fillerBytes = 0;            // payload of a filler video PID
    uint16_t fillerPid = 0x1011;
    uint16_t pcrPid = 0x1001;
    bool fillerAfterGraphics = false;  // else spread between the graphics
    // The filler spread by time: each graphics PES packet goes where its DTS
    // falls in the clip's span, so that a display set's packets lie together.
    bool fillerByTime = false;
};

struct SMuxResult {
    uint32_t sourcePackets = 0;
    uint64_t firstPts = 0;  // 90 kHz, of the earliest record
    uint64_t lastPts = 0;
    // Each interactive composition's PTS (90 kHz) and the source packet its
    // PES packet starts at.
    std::vector<std::pair<uint64_t, uint32_t>> compositions;
};

// Writes the clip's transport stream.
CResult MuxM2ts(const std::string& path, const std::vector<SMuxTrack>& tracks,
                const SMuxOptions& options, SMuxResult& result);

}  // namespace tessel::authoring
