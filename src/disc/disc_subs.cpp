#include "disc/disc_subs.h"

#include <algorithm>

#include "clip/m2ts_object.h"
#include "database/bdmv_layout.h"
#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "platform/files.h"
#include "platform/progress.h"
#include "ts/esi.h"

namespace tessel {

CResult FindSubtitleClips(const std::string& disc, std::vector<SSubtitleClip>& clips,
                          CDiscSource* found) {
    clips.clear();
    std::string folder;
    std::vector<int> numbers;
    CDiscSource source;
    if (CResult listed = DiscClipNumbers(disc, folder, numbers, nullptr, &source); !listed)
        return listed;
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (int n : numbers) {
        std::string clpiPath, m2tsPath;
        if (!GetClpiPath(folder, n, clpiPath, source)) continue;
        const CResultOf<std::unique_ptr<CClpiObject>> clpi = LoadClipInfo(clpiPath, source);
        if (!clpi) return clpi.Result();
        if (!(*clpi)->FindStream(kStreamTypePg)) continue;
        GetM2tsPath(folder, n, m2tsPath, source);
        clips.push_back({n, m2tsPath});
    }
    if (found) *found = std::move(source);
    return {};
}

int ReadDiscSubtitles(CTlDisc& disc, CProgressWnd* progress) {
    SProgressReport caption;
    caption.kind = SProgressReport::kCaption;
    caption.caption = "Reading subtitles";
    ReportProgress(progress, caption);
    for (const auto& clip : disc.clips) {
        if (!clip->clipInfo || !clip->clipInfo->FindStream(kStreamTypePg)) continue;
        SProgressReport text;
        text.kind = SProgressReport::kText;
        text.text = clip->clipInfo->streamPath;
        ReportProgress(progress, text);
        const int result = clip->ReadSubtitles(clip->clipInfo->streamPath, progress, disc.source);
        if (result != 0) return result;
    }
    return 0;
}

}  // namespace tessel
