// UDF disc images of a folder made with genisoimage, for the tests.
#pragma once

#include <string>

namespace tessel::authoring {

// Whether genisoimage is on the PATH.
bool HaveGenisoimage();

// Writes a UDF image of folder (its contents at the image's root) to image;
// false with a reason when genisoimage is missing or fails.
bool MakeUdfImage(const std::string& folder, const std::string& image, std::string& error);

}  // namespace tessel::authoring
