// Writers of the disc database files a generated BDMV folder needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel::authoring {

struct SPlayItemSpec {
    int clip = 0;
    uint32_t inTime = 0;          // 45 kHz
    uint32_t outTime = 0;         // 45 kHz
    std::vector<int> angleClips;  // further angles of a multi-angle item
};

struct SSubPathSpec {
    uint8_t type = 3;  // 3: interactive graphics menu
    std::vector<int> clips;
};

struct SPlaylistSpec {
    std::vector<SPlayItemSpec> playItems;
    std::vector<SSubPathSpec> subPaths;
    // Sub-paths carried in the extension entry (2, 2).
    std::vector<SSubPathSpec> extSubPaths;
};

std::vector<uint8_t> BuildMpls(const SPlaylistSpec& spec);

struct SStreamSpec {
    uint16_t pid = 0;
    uint8_t codingType = 0;
    std::string language = "eng";  // for audio, graphics and text types
    uint8_t videoFormat = 6;       // 1080i
    uint8_t frameRate = 1;         // 23.976
};

struct SClipInfoSpec {
    uint8_t applicationType = 1;
    uint32_t recordingRate = 48000000 / 8;
    uint32_t sourcePackets = 0;
    uint32_t startPts45 = 0;  // first STC sequence, 45 kHz
    uint32_t endPts45 = 0;
    std::vector<SStreamSpec> streams;
    // An EP map of one stream: (PTS at 90 kHz, source packet) per entry point.
    uint16_t epPid = 0x1011;
    std::vector<std::pair<uint64_t, uint32_t>> entryPoints;
};

std::vector<uint8_t> BuildClpi(const SClipInfoSpec& spec);

}  // namespace tessel::authoring
