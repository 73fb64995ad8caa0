#include "disc/disc_scan.h"

#include <algorithm>
#include <ctime>

#include "disc/bdmv_layout.h"
#include "disc/clpi.h"
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

void PutLe(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int ScanDisc(CTlDisc& disc, const std::string& folderArg, CProgressWnd* progress) {
    disc.Clear();
    std::string folder = folderArg;
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
        std::vector<uint8_t> bytes;
        std::string error;
        if (!ReadWholeFile(clpiPath, bytes, error)) {
            ShowMessage(StrFormat("%s: %s", clpiPath.c_str(), error.c_str()));
            return 2;
        }
        auto clpi = std::make_unique<CClpiObject>();
        if (clpi->ParseClpi(bytes) < 1) {
            ShowMessage(StrFormat("%s: invalid file format. ", FileName(clpiPath).c_str()));
            return 2;
        }
        const uint8_t type = clpi->clipInfo.applicationType;
        if (type != 1 && type != 5) continue;
        if (!clpi->FindStream(0x91)) continue;
        GetM2tsPath(folder, n, m2tsPath);
        {
            CReadFile probe;
            if (!probe.Open(m2tsPath, error)) {
                ShowMessage(StrFormat("File missing: %05d.m2ts ! ", n));
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
        clpi->BuildTrackList();
        clpi->DeriveTiming();
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
