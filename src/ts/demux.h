// The demux pass: gathers the payload of the mapped PIDs into their track files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/result.h"
#include "ts/esi.h"
#include "ts/packet.h"

namespace tessel {

class CReadFile;
class CProgressWnd;
class CTrackInfoMap;

constexpr size_t kDemuxBlockSize = 31457280;  // 30 MiB, 163,840 source packets
// Blocks are read in pieces of this size (a whole number of source packets
// and of memory pages, about 1 MiB: the processor's second-level cache).
constexpr size_t kDemuxPieceSize = 5440 * 192;
constexpr const char* kDemuxCaption = "Demuxing";

// The time the records of a pass are rebased on, settled from the packets of
// the first block as they arrive: the first PTS of the block or, when that PES
// is graphics or text subtitle, the first PCR of the block (its 90 kHz base;
// the 27 MHz value would not match the 90 kHz time stamps). Without a PCR the
// first PTS stays the reference.
class CReferenceSearch {
public:
    // Looks at the next whole source packets of the first block; true once
    // the rest of the block cannot change the answer.
    bool Feed(std::span<const uint8_t> packets);
    int64_t Reference() const;

private:
    std::optional<SFirstPts> pts_;
    std::optional<uint64_t> pcr_;
};

// Reads the whole file from its current position and writes every mapped PID's
// payload into its track files. Ok when done (every track file flushed),
// cancelled from the progress window (nothing flushed), or failed when the
// file could not be read: the file's path and the system's reason, not
// shown. An empty map is done without reading. blockSize is for tests; it is
// rounded down to whole source packets.
CResult Demux(CReadFile& file, CTrackInfoMap& map, CProgressWnd* progress,
              size_t blockSize = kDemuxBlockSize);

}  // namespace tessel
