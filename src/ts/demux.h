// The demux pass: gathers the payload of the mapped PIDs into their track files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessel {

class CReadFile;
class CProgressWnd;
class CTrackInfoMap;

constexpr size_t kDemuxBlockSize = 31457280;  // 30 MiB, 163,840 source packets
// Blocks are read in pieces of this size (a whole number of source packets
// and of memory pages, about 1 MiB: the processor's second-level cache).
constexpr size_t kDemuxPieceSize = 5440 * 192;
constexpr const char* kDemuxCaption = "Demuxing";

// Reads the whole file from its current position and writes every mapped PID's
// payload into its track files. Returns 0 when done (every track file
// flushed), 1 when cancelled from the progress window (nothing flushed), 2
// when the file could not be read (the message has been shown). An empty map
// returns 0 without reading. blockSize is for tests; it is rounded down to
// whole source packets.
int Demux(CReadFile& file, CTrackInfoMap& map, CProgressWnd* progress,
          size_t blockSize = kDemuxBlockSize);

}  // namespace tessel
