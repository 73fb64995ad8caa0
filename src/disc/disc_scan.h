// The disc of the application and the scan of a BDMV folder for clips with
// an Interactive Graphics menu.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clip/m2ts_object.h"
#include "database/bdmv_layout.h"
#include "disc/quick_scan.h"
#include "platform/result.h"

namespace tessel {

class CProgressWnd;

// A file a scan left out or could read only in part, and why (the message
// shown, as one line): a playlist (clip -1), a clip whose information file
// or transport stream is missing or damaged (left out), or a clip kept
// without the display sets and objects of PES packets it lost (one fault
// per packet; the clip is in the list).
struct SScanFault {
    int clip = -1;
    std::string path;
    std::string reason;
};

class CTlDisc : public CNamedObject {
public:
    static constexpr const char* kRipMarker = "tessel.rip";
    static constexpr int kRipMarkerSize = 20;

    ~CTlDisc() override { Clear(); }

    // Deletes every clip, forgets the faults and lets go of the disc's files.
    void Clear() override {
        clips.clear();
        faults.clear();
        source = CDiscSource();
    }

    std::vector<std::unique_ptr<CTlM2tsObject>> clips;  // ascending clip number
    // What the last scan left out or read only in part (with keepGoing it
    // went on without them), playlists first, then clips in clip number
    // order.
    std::vector<SScanFault> faults;
    // Where the last scan read the disc's files: its clips' paths are read
    // through it.
    CDiscSource source;
};

// Reads the playlists, keeps the clips of application type 1 or 5 with an IG
// stream, and parses each. 0 success, 1 cancelled, 2 failure (message shown).
int ScanDisc(CTlDisc& disc, const std::string& folder, CProgressWnd* progress);

// The clip numbers the playlists of a disc (its BDMV folder, root or image)
// reference, sorted (a clip named twice is listed twice); folder receives the
// BDMV folder with its separator, and source, when given, where the disc's
// files are read. With skipped, playlists that cannot be read are left out
// there (see CBDDisc::ReadPlaylists); the caller tells them, then a failure.
CResult DiscClipNumbers(const std::string& disc, std::string& folder, std::vector<int>& numbers,
                        std::vector<SDiscFault>* skipped = nullptr, CDiscSource* source = nullptr);

// Narrowing and leniency of a scan.
struct SScanOptions {
    int clip = -1;  // only this clip number
    int pid = -1;   // only IG streams on this PID (clips without one are left out)
    // A playlist or clip that is missing or fails to read is reported and
    // left out; the scan goes on (by default it stops there). failed gets
    // the clip numbers; the disc's faults get every file left out.
    bool keepGoing = false;
    std::vector<int>* failed = nullptr;
    // Each clip sampled instead of read whole (QuickParseClip).
    bool quick = false;
    SQuickScanLimits quickLimits;
    // Called on the scan's thread with each clip kept, in clip order, once
    // it is read and decoded and added to the disc (its subtitles are read
    // later); the clip stays where it is until the disc is cleared.
    std::function<void(CTlM2tsObject&)> onClip;
};
int ScanDisc(CTlDisc& disc, const std::string& folder, CProgressWnd* progress,
             const SScanOptions& options);

}  // namespace tessel
