// Presentation Graphics (subtitle) streams as events: every display set that
// shows a picture becomes one picture (its composition's objects composed at
// their positions and crops, inside their windows, with the display set's
// palette) with a start and an end time, as subtitle tools exchange them;
// and the BDN XML index of those events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/display_set.h"
#include "platform/bitmap.h"

namespace tessel {

struct SPgEvent {
    uint64_t startPts = 0;  // 90 kHz, as the stream gives them
    uint64_t endPts = 0;
    bool endGiven = true;  // false: no display set ends it (see BuildPgEvents)
    bool forced = false;
    bool paletteUpdate = false;  // started by a palette-only display set
    int x = 0;                   // the picture's place on the video
    int y = 0;
    int displaySet = 0;  // 1-based, over the whole stream
    int compositionNumber = 0;
    Bitmap picture;  // ARGB, the bounding box of what is shown
};

struct SPgEvents {
    SVideoDescriptor video;
    std::vector<SPgEvent> events;
    // Things said about the stream: ends taken from the stream's end, objects
    // or palettes a composition names but the epoch lacks.
    std::vector<std::string> notes;
};

// The events of a stream read into epochs. An event ends where the next
// display set changes or clears the picture; one that nothing ends lasts to
// the stream's last time stamp (at least one frame), and a note says so. A
// display set that shows exactly what is shown already continues the event.
void BuildPgEvents(const CEpochList& epochs, SPgEvents& out);

// Frames per second of a frame rate code as a fraction (24000/1001 ...);
// false for codes without a rate.
bool FrameRateFraction(int code, int& numerator, int& denominator);
// "HH:MM:SS:FF" of a 90 kHz time at the frame rate code (frames counted at
// the real rate, numbered within the nominal second).
std::string TimeCode(uint64_t pts, int frameRateCode);
// The BDN video format name of a size ("1080p", "720p", "480i" ...).
std::string BdnVideoFormat(const SVideoDescriptor& video);

// The BDN XML index: one <Event> per event with its <Graphic> file name
// (names[i] for events[i]).
std::string BdnXml(const SPgEvents& events, const std::string& title,
                   const std::vector<std::string>& names);

}  // namespace tessel
