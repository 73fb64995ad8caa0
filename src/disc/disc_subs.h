// The subtitle (PG) streams of a disc: which clips carry them, and their
// events for the clips of a scanned disc.
#pragma once

#include <string>
#include <vector>

#include "platform/disc_source.h"
#include "platform/result.h"

namespace tessel {

class CTlDisc;
class CProgressWnd;

struct SSubtitleClip {
    int number = 0;
    std::string m2tsPath;
};

// The clips the playlists of a disc (a BDMV folder, disc root or image, see
// CDiscSource::OpenDisc) reference whose clip information lists a PG stream,
// in clip order; source, when given, receives where their files are read.
// A failure is the caller's to show.
CResult FindSubtitleClips(const std::string& disc, std::vector<SSubtitleClip>& clips,
                          CDiscSource* source = nullptr);

// Reads the PG streams of every clip of a scanned disc whose clip information
// lists one (CTlM2tsObject::ReadSubtitles). 0, 1 when cancelled, or 2 after
// the failure has been shown.
int ReadDiscSubtitles(CTlDisc& disc, CProgressWnd* progress);

}  // namespace tessel
