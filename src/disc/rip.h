// The rip of a scanned disc's pictures below an output folder.
#pragma once

#include <string>

#include "disc/disc_scan.h"

namespace tessel {

// Writes every clip's pictures below output/<disc name>/ and the marker file.
// False after a message, or when the user declines to reuse the disc folder.
bool RipToFolder(CTlDisc& disc, const std::string& outputFolder);

}  // namespace tessel
