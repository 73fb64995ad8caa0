#include "disc/rip.h"

#include <ctime>

#include "platform/files.h"
#include "platform/messages.h"

namespace tessel {

namespace {

void PutLe(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool RipToFolder(CTlDisc& disc, const std::string& outputFolder) {
    std::string discFolder = outputFolder;
    NormalizeFolder(discFolder);
    discFolder += disc.name;
    NormalizeFolder(discFolder);
    if (IsFolder(discFolder)) {
        if (AskYesNoCancel("The folder already exists, overwrite it? ") != EAnswer::Yes)
            return false;
    } else if (!MakeFolderOrReport(discFolder)) {
        return false;
    }
    const int64_t start = static_cast<int64_t>(std::time(nullptr));
    for (const auto& clip : disc.clips) {
        const std::string clipFolder = discFolder + clip->name + kPathSeparator;
        if (!MakeFolderOrReport(clipFolder) || !clip->RipImages(clipFolder)) return false;
    }
    uint8_t marker[CTlDisc::kRipMarkerSize] = {};
    PutLe(marker + 4, static_cast<uint64_t>(start), 8);
    PutLe(marker + 12, static_cast<uint64_t>(static_cast<int64_t>(std::time(nullptr))), 8);
    std::string error;
    // A marker that cannot be written does not fail the rip.
    WriteWholeFile(discFolder + CTlDisc::kRipMarker, marker, sizeof marker, error);
    return true;
}

}  // namespace tessel
