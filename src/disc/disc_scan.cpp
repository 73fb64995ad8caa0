#include "disc/disc_scan.h"

#include <algorithm>

#include "database/bdmv_layout.h"
#include "database/clpi.h"
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

CResult DiscClipNumbers(const std::string& disc, std::string& folder, std::vector<int>& numbers,
                        std::vector<SDiscFault>* skipped, CDiscSource* source) {
    numbers.clear();
    // A disc image or the disc's root folder stands for its BDMV folder.
    CResultOf<CDiscSource> opened = CDiscSource::OpenDisc(disc);
    if (!opened) return opened.Result();
    folder = opened->BdmvFolder();
    NormalizeFolder(folder);
    CBDDisc bd;
    if (CResult read = bd.ReadPlaylists(folder, skipped, *opened); !read) return read;
    for (const auto& mpls : *bd.playlists) mpls->ClipReferences(numbers);
    std::sort(numbers.begin(), numbers.end());
    if (source) *source = std::move(*opened);
    return {};
}

int ScanDisc(CTlDisc& disc, const std::string& folderArg, CProgressWnd* progress) {
    return ScanDisc(disc, folderArg, progress, SScanOptions());
}

namespace {

// One clip of a scan: its information, then its IG streams. The clip is
// added to the disc (or left out: not an IG clip, or not on the PID asked
// for); a failure is kept as the disc's fault by fail, which tells whether
// the scan goes on. 0 to go on, else the scan's result.
class CClipScan {
public:
    CClipScan(CTlDisc& disc, const std::string& folder, CProgressWnd* progress,
              const SScanOptions& options)
        : disc_(disc), folder_(folder), progress_(progress), options_(options) {}

    int Scan(int n) {
        std::string clpiPath, m2tsPath;
        if (!GetClpiPath(folder_, n, clpiPath, disc_.source)) return 0;
        CResultOf<std::unique_ptr<CClpiObject>> loaded = LoadClipInfo(clpiPath, disc_.source);
        if (!loaded) {
            ShowMessage(loaded.Result().Message());
            return Fail(n, clpiPath);
        }
        std::unique_ptr<CClpiObject> clpi = std::move(*loaded);
        const uint8_t type = clpi->clipInfo.applicationType;
        if (type != 1 && type != 5) return 0;
        if (!clpi->FindStream(0x91)) return 0;
        GetM2tsPath(folder_, n, m2tsPath, disc_.source);
        if (const CResult probed = Probe(m2tsPath); !probed) {
            ShowMessage(StrFormat("%s: File missing: %05d.m2ts ! (%s)", m2tsPath.c_str(), n,
                                  probed.Text().c_str()));
            return Fail(n, m2tsPath);
        }
        auto clip = std::make_unique<CTlM2tsObject>();
        clip->id = n;
        Report(progress_, SProgressReport::kText, 0, m2tsPath);
        const int result = options_.quick ? QuickParseClip(*clip, m2tsPath, clpi.get(), progress_,
                                                           options_.quickLimits, disc_.source)
                                          : clip->ParseClip(m2tsPath, progress_, disc_.source);
        if (result == 2) return Fail(n, m2tsPath);
        if (result != 0) return result;
        if (options_.pid >= 0) {
            auto& igs = clip->igObjects;
            std::erase_if(igs, [&](const auto& ig) { return ig->id != options_.pid; });
            if (igs.empty()) return 0;
        }
        // A clip that lost PES packets is kept with what it holds, and named.
        for (const std::string& loss : clip->losses) disc_.faults.push_back({n, m2tsPath, loss});
        clpi->streamPath = m2tsPath;
        clpi->clipNumber = n;
        clip->clipInfo = std::move(clpi);
        clip->parent = &disc_;
        disc_.clips.push_back(std::move(clip));
        if (options_.onClip) options_.onClip(*disc_.clips.back());
        return 0;
    }

private:
    CResult Probe(const std::string& m2tsPath) const {
        CReadFile probe;
        return disc_.source.Open(probe, m2tsPath);
    }
    // A clip that cannot be read is kept as a fault with the message shown
    // for it; the scan stops, or goes on without it.
    int Fail(int n, const std::string& path) {
        if (options_.failed) options_.failed->push_back(n);
        disc_.faults.push_back({n, path, trail_.Last()});
        return options_.keepGoing ? 0 : 2;
    }

    CTlDisc& disc_;
    std::string folder_;
    CProgressWnd* progress_;
    const SScanOptions& options_;
    CMessageTrail trail_;
};

// The end of a scan: the disc named, or why it has no clip.
int FinishScan(CTlDisc& disc, const std::string& folder, const SScanOptions& options) {
    const std::string discName = DiscNameOfFolder(folder, disc.source);
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

}  // namespace

int ScanDisc(CTlDisc& disc, const std::string& folderArg, CProgressWnd* progress,
             const SScanOptions& options) {
    disc.Clear();
    if (options.failed) options.failed->clear();
    std::string folder;
    std::vector<int> clipNumbers;
    std::vector<SDiscFault> skipped;
    const CResult listed = DiscClipNumbers(folderArg, folder, clipNumbers,
                                           options.keepGoing ? &skipped : nullptr, &disc.source);
    // Each playlist left out is told, in order, then why the read failed.
    for (const SDiscFault& f : skipped) {
        const std::string text = f.path + ": " + f.reason;
        ShowMessage(text);
        disc.faults.push_back({-1, f.path, text});
    }
    if (!listed) {
        ShowMessage(listed.Message());
        return 2;
    }
    Report(progress, SProgressReport::kCaption, 0, "Parsing m2ts");
    Report(progress, SProgressReport::kPosition, 0, "");
    CClipScan scan(disc, folder, progress, options);
    for (int n : clipNumbers) {
        if (options.clip >= 0 && n != options.clip) continue;
        if (const int result = scan.Scan(n); result != 0) return result;
    }
    return FinishScan(disc, folder, options);
}

}  // namespace tessel
