// A small BD transport stream muxer: 192-byte source packets with arrival
// time stamps, PAT, PMT, PCR and one PES packet per graphics segment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel::authoring {

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

// Writes the clip's transport stream; false with a message on failure.
bool MuxM2ts(const std::string& path, const std::vector<SMuxTrack>& tracks,
             const SMuxOptions& options, SMuxResult& result, std::string& error);

// MPEG-2 CRC-32 of a PSI section.
uint32_t Crc32Mpeg(const uint8_t* data, size_t size);

}  // namespace tessel::authoring
