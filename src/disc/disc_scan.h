// The disc of the application and the scan of a BDMV folder for clips with
// an Interactive Graphics menu.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "clip/m2ts_object.h"

namespace tessel {

class CProgressWnd;

class CTlDisc : public CNamedObject {
public:
    static constexpr const char* kRipMarker = "tessel.rip";
    static constexpr int kRipMarkerSize = 20;

    ~CTlDisc() override { Clear(); }

    const char* ClassName() const override { return "CTlDisc"; }
    // Deletes every clip.
    void Clear() override { clips.clear(); }

    std::vector<std::unique_ptr<CTlM2tsObject>> clips;  // ascending clip number
};

// Reads the playlists, keeps the clips of application type 1 or 5 with an IG
// stream, and parses each. 0 success, 1 cancelled, 2 failure (message shown).
int ScanDisc(CTlDisc& disc, const std::string& folder, CProgressWnd* progress);

}  // namespace tessel
