// Generated BDMV folders with Interactive Graphics menus, authored through
// the project's own path: pictures -> quantiser -> image files -> pages,
// groups and buttons -> marked-form stream -> source packets.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/ig_object.h"
#include "platform/result.h"

namespace tessel::authoring {

struct SMenuOptions {
    int epochs = 1;
    int pages = 2;
    int bogsPerPage = 2;
    int buttonsPerBog = 2;
    int buttonWidth = 240;  // picture size of every button state
    int buttonHeight = 64;
    uint16_t videoWidth = 1920;
    uint16_t videoHeight = 1080;
    uint8_t frameRate = 1;  // 23.976
    int seed = 0;           // varies colours and labels between menus
    // A full-frame picture behind every page: each button's pictures become its
    // cell of the picture (the column wide, the row pitch tall) with the button
    // in the middle, and the rest of the frame is tiled into groups of one
    // button that cannot be selected, after the menu's groups.
    bool background = false;
    // Motion on the first page of each epoch (authoring/menu_motion.h): with
    // animationFrames of 2 or more its first button's Selected state lights
    // up once and its second button's Normal state pulses, one picture every
    // animationRate video frames; wipeIn (with a background) gives it
    // in-effects that wipe the title band in.
    int animationFrames = 0;
    uint8_t animationRate = 3;
    bool wipeIn = false;
    uint8_t uiModel = 0;  // 1: a pop-up menu
};

// A menu authored into an IG object; its image files go to imageFolder.
CResult AuthorMenu(const SMenuOptions& options, const std::string& imageFolder, CIgObject& ig);

// The marked-form stream of an IG object.
CResult MenuStream(CIgObject& ig, std::vector<uint8_t>& marked);

// A one-display-set marked stream around a real composition payload (the ICS
// payload without its 3-byte segment header): a palette and a small object for
// every object id the composition names, then END.
CResult StreamFromIcsPayload(const std::vector<uint8_t>& payload, std::vector<uint8_t>& marked);

// The marked stream sent times times, each copy interval (90 kHz) later than
// the one before. With acquisitionPoints the copies after the first are in
// the Acquisition Point state (the same epoch), else exact copies (each its
// own epoch). False on a malformed record.
bool RepeatStream(const std::vector<uint8_t>& marked, int times, uint32_t interval,
                  bool acquisitionPoints, std::vector<uint8_t>& out);

struct SClipSpec {
    int number = 1;
    uint8_t applicationType = 1;
    std::vector<uint16_t> igPids;           // 0x1400 and up
    bool viaSubPath = false;                // reached through a sub-path, not a play item
    bool presentationGraphicsOnly = false;  // a clip the scan must skip
    SMenuOptions menu;
    // Ready-made marked streams by PID, used instead of authoring a menu.
    std::map<uint16_t, std::vector<uint8_t>> streams;
    // Marked PG streams by PID (0x1200 and up), muxed and listed in the clip
    // information after the IG streams; instead of the empty PG stream a clip
    // without IG gets.
    std::map<uint16_t, std::vector<uint8_t>> pgStreams;
    // Every graphics stream sent this many times, as a menu multiplexed with
    // the video is at each entry point (see RepeatStream).
    int repeats = 1;
    bool repeatsAsAcquisitionPoints = false;
    // An EP map in the clip information with an entry point at each
    // interactive composition of the first this many 90 kHz ticks of the
    // clip (-1: no EP map).
    int64_t entryPointsFor = -1;
};

struct SDiscOptions {
    std::vector<SClipSpec> clips;
    uint64_t fillerMiB = 0;  // filler video PID per clip, for benchmarks
    // The graphics at the start of each clip and the filler after them,
    // instead of the filler spread between the graphics packets.
    bool graphicsFirst = false;
    // The filler spread by time, each display set's packets together.
    bool fillerByTime = false;
    // Where the authored pictures go; empty: a temporary folder, removed.
    std::string pictureFolder;
};

struct SAuthoredClip {
    int number = 0;
    uint8_t applicationType = 0;
    std::map<uint16_t, std::unique_ptr<CIgObject>> menus;  // by PID
};

// Writes root/BDMV/{PLAYLIST,CLIPINF,STREAM}; root is created when missing.
// The authored menus come back in authored (when given).
CResult WriteSampleDisc(const std::string& root, const SDiscOptions& options,
                        std::vector<SAuthoredClip>* authored = nullptr);

// The demo disc: two IG clips, one with two IG PIDs, several pages, and a
// subtitle-only clip.
SDiscOptions DemoDiscOptions();

}  // namespace tessel::authoring
