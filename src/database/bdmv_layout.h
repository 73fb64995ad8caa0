// BDMV folder layout: file naming, the disc name, and the playlists of a disc.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database/mpls.h"
#include "model/named_object.h"
#include "platform/disc_source.h"
#include "platform/result.h"

namespace tessel {

constexpr const char* kPlaylistFolder = "PLAYLIST";
constexpr const char* kClipInfoFolder = "CLIPINF";
constexpr const char* kStreamFolder = "STREAM";
constexpr int kMaxClipNumber = 99999;

// Each appends the separator to folder when missing (the caller's string
// changes) and returns false, building nothing, for an empty folder or a
// number outside 0..99999. Names are looked up on disc without regard to case.
bool GetClpiPath(std::string& folder, int clip, std::string& path, const CDiscSource& disc = {});
bool GetM2tsPath(std::string& folder, int clip, std::string& path, const CDiscSource& disc = {});
bool GetMplsPattern(std::string& folder, std::string& pattern, const CDiscSource& disc = {});

// The name of the folder that holds the BDMV folder ("Film" for /x/Film/BDMV/).
std::string GetDiscName(const std::string& folder);
// The disc name of a folder as the user gave it: a relative folder ("BDMV",
// "./BDMV") is named by the folder it lies in; the BDMV folder of disc's
// image by the image.
std::string DiscNameOfFolder(const std::string& folder, const CDiscSource& disc = {});

// A file of a disc that could not be read, and why.
struct SDiscFault {
    std::string path;
    std::string reason;
};

// The disc folder object: reads the playlists of a BDMV folder.
class CBDDisc : public CNamedObject {
public:
    // Releases the playlist collection.
    void Clear() override { playlists.reset(); }
    // Reads every PLAYLIST/nnnnn.mpls of disc in title order; nothing is
    // shown. A playlist that cannot be read or parsed fails the read, named
    // with what is wrong in it; with skipped the rest are read without it
    // (it is appended there, for the caller to tell in order before the
    // result), and only a folder with no readable playlist fails.
    virtual CResult ReadPlaylists(const std::string& folder,
                                  std::vector<SDiscFault>* skipped = nullptr,
                                  const CDiscSource& disc = {});

    std::unique_ptr<CPofObject> playlists;  // "Mpls(s)"
};

}  // namespace tessel
