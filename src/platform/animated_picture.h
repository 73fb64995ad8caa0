// Animated pictures of frames: WebP (libwebp's animation encoder, lossless)
// and APNG (the PNG writer's rows with acTL, fcTL and fdAT chunks). A frame
// equal to the one before is not stored again: the one before is held
// longer. The file is written whole at the end; a failure leaves none.
#pragma once

#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "platform/result.h"

namespace tessel {

enum class EAnimationFormat { Apng, WebP };

// The format a file name asks for by its extension: ".webp" WebP, ".apng"
// APNG (case ignored); false for any other.
bool AnimationFormatOfPath(const std::string& path, EAnimationFormat& format);

class CAnimationWriter {
public:
    // An animation of width x height pixels, shown over and over, to be
    // written to path.
    CAnimationWriter(EAnimationFormat format, std::string path, int width, int height);
    ~CAnimationWriter();
    CAnimationWriter(const CAnimationWriter&) = delete;
    CAnimationWriter& operator=(const CAnimationWriter&) = delete;

    // The next frame (of the writer's size, any format) shown for duration
    // milliseconds (at least 1). A failure's text reads "<path>: <reason>".
    CResult AddFrame(const Bitmap& frame, int durationMs);
    // Writes the file; a failure leaves none and its text reads
    // "<path>: <reason>".
    CResult Finish();
    // Frames stored so far (a held frame counts once).
    int Frames() const;

private:
    struct SState;
    std::unique_ptr<SState> state_;
};

}  // namespace tessel
