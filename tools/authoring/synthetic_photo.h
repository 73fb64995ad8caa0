// A deterministic photo-like picture for quantiser and PNG measurements:
// smooth colour fields with soft highlights and fine grain, many thousand
// colours and no flat areas.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"

namespace tessel::authoring {

// A 24-bit RGB bitmap; the same size and seed give the same pixels.
Bitmap SyntheticPhoto(int width, int height, uint32_t seed = 1);

}  // namespace tessel::authoring
