#include "disc/disc_scan.h"

#include <algorithm>

#include "database/bdmv_layout.h"
#include "database/clpi.h"
#include "platform/disc_image.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "platform/text.h"

namespace tessel {

namespace {

void Report(CProgressWnd* progress, int kind, int position, const std::string& text) {
    SProgressReport r;
    r.kind = kind;
    r.position = position;
    if (kind == SProgressReport::kCaption) r.caption = text;
    if (kind == SProgressReport::kText) r.text = text;
    ReportProgress(progress, r);
}

}  // namespace

int ScanDisc(CTlDisc& disc, const std::string& folderArg, CProgressWnd* progress) {
    disc.Clear();
    // A disc image or the disc's root folder stands for its BDMV folder.
    std::string folder, error;
    if (!ResolveDiscFolder(folderArg, folder, error)) {
        ShowMessage(error);
        return 2;
    }
    NormalizeFolder(folder);
    std::vector<int> clipNumbers;
    {
        CBDDisc bd;
        if (!bd.ReadPlaylists(folder)) return 2;
        for (const auto& mpls : *bd.playlists) mpls->ClipReferences(clipNumbers);
    }
    std::sort(clipNumbers.begin(), clipNumbers.end());
    Report(progress, SProgressReport::kCaption, 0, "Parsing m2ts");
    Report(progress, SProgressReport::kPosition, 0, "");

    for (int n : clipNumbers) {
        std::string clpiPath, m2tsPath;
        if (!GetClpiPath(folder, n, clpiPath)) continue;
        std::unique_ptr<CClpiObject> clpi = LoadClipInfo(clpiPath);
        if (!clpi) return 2;
        const uint8_t type = clpi->clipInfo.applicationType;
        if (type != 1 && type != 5) continue;
        if (!clpi->FindStream(0x91)) continue;
        GetM2tsPath(folder, n, m2tsPath);
        {
            CReadFile probe;
            if (!probe.Open(m2tsPath, error)) {
                ShowMessage(StrFormat("File missing: %05d.m2ts ! (%s: %s)", n, m2tsPath.c_str(),
                                      error.c_str()));
                return 2;
            }
        }
        auto clip = std::make_unique<CTlM2tsObject>();
        clip->id = n;
        Report(progress, SProgressReport::kText, 0, m2tsPath);
        const int result = clip->ParseClip(m2tsPath, progress);
        if (result != 0) return result;
        clpi->streamPath = m2tsPath;
        clpi->clipNumber = n;
        clip->clipInfo = std::move(clpi);
        clip->parent = &disc;
        disc.clips.push_back(std::move(clip));
    }
    const std::string discName = DiscNameOfFolder(folder);
    if (!disc.clips.empty()) {
        if (!discName.empty() && !EqualsNoCase(discName, disc.name)) disc.name = discName;
        return 0;
    }
    ShowMessage(StrFormat("\"%s\": has no IG Menu.", discName.c_str()));
    return 2;
}

}  // namespace tessel
