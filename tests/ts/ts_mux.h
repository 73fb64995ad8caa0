// A small test-side writer of BD transport streams: 192-byte source packets,
// PAT, PMT, PCR and PES packets.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tessel::test {

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
// A whole PMT section (table_id to CRC_32).
std::vector<uint8_t> PmtSection(const std::vector<SPmtStream>& streams,
                                const std::vector<uint8_t>& programInfo = {},
                                uint16_t pcrPid = 0x1001);

class CTsMuxer {
public:
    // Appends one source packet. The payload must fit; the packet is filled
    // with adaptation-field stuffing (stuffWithAf) or trailing 0xFF bytes.
    void AddPacket(uint16_t pid, bool unitStart, std::span<const uint8_t> payload,
                   bool stuffWithAf = true, bool priority = false,
                   const std::vector<uint8_t>& afBody = {});
    // Appends a raw 188-byte transport packet behind an extra header.
    void AddRaw(std::span<const uint8_t> tsPacket);
    // A section split over packets of the PID (pointer field 0, 0xFF fill).
    void AddSection(uint16_t pid, std::span<const uint8_t> section);
    void AddPat(uint16_t pmtPid = 0x100);
    void AddPmt(const std::vector<SPmtStream>& streams) { AddSection(0x100, PmtSection(streams)); }
    void AddPcr(uint64_t base, uint16_t extension = 0);
    // A PES packet split over as many packets as it needs.
    void AddPes(uint16_t pid, std::optional<uint64_t> pts, std::optional<uint64_t> dts,
                std::span<const uint8_t> payload, uint8_t streamId = 0xBD, bool priority = false);
    void AddFiller(uint16_t pid, size_t count);

    // Packets written so far.
    size_t Count() const { return data.size() / 192; }
    // Writes the stream to a file; returns its path.
    std::string Save(const std::string& path) const;

    std::vector<uint8_t> data;
    uint32_t ats = 0;

private:
    std::map<uint16_t, uint8_t> cc_;
};

// An IG-like segment: type, 16-bit length, then filler payload bytes.
std::vector<uint8_t> Segment(uint8_t type, size_t payloadSize, uint8_t fill = 0xA5);

struct SRecord {
    std::string tag;
    uint32_t pts = 0;
    uint32_t dts = 0;
    std::vector<uint8_t> segment;
};
// Splits a marked-form stream of one-segment records; false on a record that
// does not hold together.
bool SplitRecords(std::span<const uint8_t> data, std::vector<SRecord>& records);

}  // namespace tessel::test
