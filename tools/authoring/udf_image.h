// UDF disc images of a folder made with genisoimage, for the tests.
#pragma once

#include <string>

#include "platform/result.h"

namespace tessel::authoring {

// Whether genisoimage is on the PATH.
bool HaveGenisoimage();

// Writes a UDF image of folder (its contents at the image's root) to image;
// fails when genisoimage is missing or fails.
CResult MakeUdfImage(const std::string& folder, const std::string& image);

}  // namespace tessel::authoring
