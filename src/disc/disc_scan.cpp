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

int DiscClipNumbers(const std::string& disc, std::string& folder, std::vector<int>& numbers,
                    std::vector<SDiscFault>* skipped) {
    numbers.clear();
    // A disc image or the disc's root folder stands for its BDMV folder.
    std::string error;
    if (!ResolveDiscFolder(disc, folder, error)) {
        ShowMessage(error);
        return 2;
    }
    NormalizeFolder(folder);
    CBDDisc bd;
    if (!bd.ReadPlaylists(folder, skipped)) return 2;
    for (const auto& mpls : *bd.playlists) mpls->ClipReferences(numbers);
    std::sort(numbers.begin(), numbers.end());
    return 0;
}

int ScanDisc(CTlDisc& disc, const std::string& folderArg, CProgressWnd* progress) {
    return ScanDisc(disc, folderArg, progress, SScanOptions());
}

int ScanDisc(CTlDisc& disc, const std::string& folderArg, CProgressWnd* progress,
             const SScanOptions& options) {
    disc.Clear();
    if (options.failed) options.failed->clear();
    // A clip that cannot be read is kept as a fault with the message shown
    // for it; the scan stops, or goes on without it.
    CMessageTrail trail;
    auto fail = [&](int n, const std::string& path) {
        if (options.failed) options.failed->push_back(n);
        disc.faults.push_back({n, path, trail.Last()});
        return options.keepGoing;
    };
    std::string folder;
    std::vector<int> clipNumbers;
    std::vector<SDiscFault> skipped;
    const int listed =
        DiscClipNumbers(folderArg, folder, clipNumbers, options.keepGoing ? &skipped : nullptr);
    for (const SDiscFault& f : skipped)
        disc.faults.push_back({-1, f.path, f.path + ": " + f.reason});
    if (listed != 0) return 2;
    Report(progress, SProgressReport::kCaption, 0, "Parsing m2ts");
    Report(progress, SProgressReport::kPosition, 0, "");

    for (int n : clipNumbers) {
        if (options.clip >= 0 && n != options.clip) continue;
        std::string clpiPath, m2tsPath;
        if (!GetClpiPath(folder, n, clpiPath)) continue;
        std::unique_ptr<CClpiObject> clpi = LoadClipInfo(clpiPath);
        if (!clpi) {
            if (fail(n, clpiPath)) continue;
            return 2;
        }
        const uint8_t type = clpi->clipInfo.applicationType;
        if (type != 1 && type != 5) continue;
        if (!clpi->FindStream(0x91)) continue;
        GetM2tsPath(folder, n, m2tsPath);
        {
            CReadFile probe;
            std::string error;
            if (!probe.Open(m2tsPath, error)) {
                ShowMessage(StrFormat("%s: File missing: %05d.m2ts ! (%s)", m2tsPath.c_str(), n,
                                      error.c_str()));
                if (fail(n, m2tsPath)) continue;
                return 2;
            }
        }
        auto clip = std::make_unique<CTlM2tsObject>();
        clip->id = n;
        Report(progress, SProgressReport::kText, 0, m2tsPath);
        const int result = options.quick ? QuickParseClip(*clip, m2tsPath, clpi.get(), progress,
                                                          options.quickLimits)
                                         : clip->ParseClip(m2tsPath, progress);
        if (result == 2 && fail(n, m2tsPath)) continue;
        if (result != 0) return result;
        if (options.pid >= 0) {
            auto& igs = clip->igObjects;
            std::erase_if(igs, [&](const auto& ig) { return ig->id != options.pid; });
            if (igs.empty()) continue;
        }
        // A clip that lost PES packets is kept with what it holds, and named.
        for (const std::string& loss : clip->losses) disc.faults.push_back({n, m2tsPath, loss});
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
    if (options.clip >= 0 || options.pid >= 0) {
        std::string what = options.clip >= 0 ? StrFormat("clip %05d", options.clip) : "a clip";
        if (options.pid >= 0) what += StrFormat(" with an IG stream on PID 0x%04X", options.pid);
        ShowMessage(StrFormat("%s: no IG %s", folder.c_str(), what.c_str()));
        return 2;
    }
    ShowMessage(StrFormat("%s: \"%s\": has no IG Menu.", folder.c_str(), discName.c_str()));
    return 2;
}

}  // namespace tessel
