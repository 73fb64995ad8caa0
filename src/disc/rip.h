// The rip of a scanned disc's pictures below an output folder.
#pragma once

#include <string>
#include <vector>

#include "disc/disc_scan.h"

namespace tessel {

class CProgressWnd;

// The disc folder of a rip into outputFolder: outputFolder/<disc name>/, with
// its trailing separator (a separator is added to outputFolder when missing).
std::string RipDiscFolder(const CTlDisc& disc, const std::string& outputFolder);

// The disc folder a rip of disc (a BDMV folder, disc root or image) into
// outputFolder will use, known before the scan: as RipDiscFolder gives it
// after the scan. Empty when the disc does not resolve or has no name.
std::string PlannedRipDiscFolder(const std::string& disc, const std::string& outputFolder);

// Writes every clip's pictures below RipDiscFolder and then the marker file.
// With progress, reports the caption "Ripping images", each clip's name as
// text line, and after each picture the position as per cent of the disc's
// pictures. Fails after its message has been shown, or (without one) when
// the user declines to reuse the disc folder; is cancelled (without a
// message, and without the marker) when the user cancelled through progress.
// Pictures written before a stop stay on disk.
// finished, when given, receives the clips written whole. A rip cancelled
// during a clip removes that clip's folder; the finished clips stay.
CResult RipToFolder(CTlDisc& disc, const std::string& outputFolder,
                    CProgressWnd* progress = nullptr, std::vector<std::string>* finished = nullptr);

// The pictures the last rip of the disc wrote: the objects with a bitmap
// whose write succeeded.
int CountRippedImages(const CTlDisc& disc);

}  // namespace tessel
