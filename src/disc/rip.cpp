#include "disc/rip.h"

#include <ctime>
#include <filesystem>

#include "database/bdmv_layout.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/progress.h"

namespace tessel {

namespace {

void PutLe(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::string RipDiscFolder(const CTlDisc& disc, const std::string& outputFolder) {
    std::string discFolder = outputFolder;
    NormalizeFolder(discFolder);
    discFolder += disc.name;
    NormalizeFolder(discFolder);
    return discFolder;
}

std::string PlannedRipDiscFolder(const std::string& disc, const std::string& outputFolder) {
    const CResultOf<CDiscSource> source = CDiscSource::OpenDisc(disc);
    if (!source) return {};
    std::string folder = source->BdmvFolder();
    NormalizeFolder(folder);
    const std::string name = DiscNameOfFolder(folder, *source);
    if (name.empty()) return {};
    std::string discFolder = outputFolder;
    NormalizeFolder(discFolder);
    discFolder += name;
    NormalizeFolder(discFolder);
    return discFolder;
}

namespace {

// The rip into the disc folder, which exists; a failure has been shown.
CResult RipClips(CTlDisc& disc, const std::string& discFolder, CProgressWnd* progress,
                 std::vector<std::string>* finished) {
    const int64_t start = static_cast<int64_t>(std::time(nullptr));
    int total = 0;
    for (const auto& clip : disc.clips) total += clip->CountPictures();
    SProgressReport report;
    report.kind = SProgressReport::kCaption;
    report.caption = "Ripping images";
    if (!ReportProgress(progress, report)) return CResult::Cancel();
    report.kind = SProgressReport::kPosition;
    report.position = 0;
    if (!ReportProgress(progress, report)) return CResult::Cancel();
    int done = 0;
    for (const auto& clip : disc.clips) {
        report.kind = SProgressReport::kText;
        report.text = clip->name;
        if (!ReportProgress(progress, report)) return CResult::Cancel();
        const std::string clipFolder = discFolder + clip->name + kPathSeparator;
        if (CResult made = MakeFolder(clipFolder); !made) {
            ShowMessage(made.Message());
            return made;
        }
        const int through = done + clip->CountPictures();
        if (CResult ripped = clip->RipImages(clipFolder, progress, done, total); !ripped) {
            // A cancelled clip leaves no half of its pictures behind; one
            // cancelled after its last picture is whole.
            if (ripped.Cancelled()) {
                if (done == through) {
                    if (finished) finished->push_back(clip->name);
                } else {
                    std::error_code ec;
                    std::filesystem::remove_all(clipFolder, ec);
                }
            }
            return ripped;
        }
        if (finished) finished->push_back(clip->name);
    }
    uint8_t marker[CTlDisc::kRipMarkerSize] = {};
    PutLe(marker + 4, static_cast<uint64_t>(start), 8);
    PutLe(marker + 12, static_cast<uint64_t>(static_cast<int64_t>(std::time(nullptr))), 8);
    // A marker that cannot be written does not fail the rip.
    (void)WriteWholeFile(discFolder + CTlDisc::kRipMarker, marker, sizeof marker);
    return {};
}

}  // namespace

CResult RipToFolder(CTlDisc& disc, const std::string& outputFolder, CProgressWnd* progress,
                    std::vector<std::string>* finished) {
    if (finished) finished->clear();
    const std::string discFolder = RipDiscFolder(disc, outputFolder);
    const bool existed = IsFolder(discFolder);
    if (existed) {
        if (AskYesNoCancel("The folder already exists, overwrite it? ") != EAnswer::Yes)
            return CResult::Fail("the folder already exists", -1, discFolder);
    } else if (CResult made = MakeFolder(discFolder); !made) {
        ShowMessage(made.Message());
        return made;
    }
    CResult ripped = RipClips(disc, discFolder, progress, finished);
    if (ripped) return ripped;
    // A disc folder this rip made and left empty goes again.
    std::error_code ec;
    if (!existed) std::filesystem::remove(discFolder, ec);
    return ripped;
}

int CountRippedImages(const CTlDisc& disc) {
    int images = 0;
    for (const auto& clip : disc.clips)
        for (const auto& ig : clip->igObjects)
            for (const auto& epoch : *ig)
                for (const auto& o : epoch->graphics.items)
                    images += o->HasPicture() && o->saveStatus == 0;
    return images;
}

}  // namespace tessel
