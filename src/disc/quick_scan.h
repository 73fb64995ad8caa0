// The quick scan of a clip: its IG streams read from the start until each
// has its first epoch, then sampled at a few places (the clip information's
// entry points where they lie, else evenly spaced) instead of read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "clip/m2ts_object.h"

namespace tessel {

class CClpiObject;
class CProgressWnd;

struct SQuickScanLimits {
    int maxPlaces = 64;  // sampled places after the start
    // A clip whose places would lie closer than this is read whole.
    int64_t minSpacing = int64_t{1} << 20;
    // The most bytes read at one place, the start included: room for an
    // entry point's distance to the next and a large menu's display set.
    int64_t placeLimit = int64_t{8} << 20;
    size_t piece = 512 * 192;  // bytes of one read (96 KiB)
};

// The offsets sampled after the start of a clip of length bytes, ascending,
// each on a source packet: one per spacing of length / (maxPlaces + 1), at
// the first entry point of clpi's EP map within half a spacing of its place,
// else at the place itself. Empty when the clip is to be read whole.
std::vector<int64_t> QuickScanPlaces(int64_t length, const CClpiObject* clpi,
                                     const SQuickScanLimits& limits);

// Reads the clip at path the quick way: at the start each IG PID until its
// first Epoch Start display set is in; at each place, from the packets' next
// sync, each PID until its next interactive composition, and on to the end
// of its display set only when that composition differs from every one kept.
// A display set seen again is counted, not kept. A clip too short for
// sampling is read whole (ParseClip). The clip's IG objects and coverage are
// set. 0 success, 1 cancelled, 2 failure (the user has been told why). The
// clip is read from disc (see DemuxIgStreams).
int QuickParseClip(CTlM2tsObject& clip, const std::string& path, const CClpiObject* clpi,
                   CProgressWnd* progress, const SQuickScanLimits& limits = {},
                   const CDiscSource& disc = {});

// "quick scan: read 41 MB of 31.2 GB at 64 places; menus between them may be
// missed; tessel scan reads all"; empty for a clip read whole.
std::string CoverageText(const SScanCoverage& coverage);

}  // namespace tessel
