#include "clip/m2ts_object.h"

#include <algorithm>

#include "database/clpi.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "platform/text.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/track_file.h"

namespace tessel {

namespace {

constexpr const char* kWrongFormat = "Wrong M2ts format ! ";
constexpr const char* kNoIg = "has no IG(menu) ! ";

struct SIgTrackResult {
    int pid = 0;
    CGsData data;
};

}  // namespace

CTlM2tsObject::CTlM2tsObject() = default;

CTlM2tsObject::~CTlM2tsObject() {
    Clear();
}

void CTlM2tsObject::Clear() {
    igObjects.clear();
    clipInfo.reset();
}

int DemuxIgStreams(const std::string& path, CProgressWnd* progress, std::vector<SIgStream>& streams,
                   std::string* fullPath) {
    streams.clear();
    CReadFile file;
    std::string error;
    if (!file.Open(path, error)) {
        ShowMessage(StrFormat("%s: %s", path.c_str(), error.substr(0, 260).c_str()));
        return 2;
    }
    const std::string fileName = file.Path();
    if (fullPath) *fullPath = fileName;
    std::unique_ptr<CEsiFolder> pmt = ReadProgramMap(file);
    if (!pmt) {
        ShowMessage(StrFormat("%s:\n\r%s", fileName.c_str(), kWrongFormat));
        return 2;
    }
    CTrackInfoMap map;
    std::vector<CMemoryFile*> outputs;
    AddIgTracks(*pmt, map, outputs);
    pmt.reset();
    if (map.Empty()) {
        ShowMessage(StrFormat("%s:\n\r%s", fileName.c_str(), kNoIg));
        return 2;
    }
    file.Seek(0);
    const int demuxed = Demux(file, map, progress);
    if (demuxed != 0) return demuxed;
    for (size_t i = 0; i < map.Count(); ++i)
        streams.push_back({map.pids[i], map.tracks[i]->main->pesCount, outputs[i]->Take()});
    return 0;
}

int CTlM2tsObject::ParseClip(const std::string& path, CProgressWnd* progress) {
    std::vector<SIgStream> streams;
    std::string fileName;
    const int demuxed = DemuxIgStreams(path, progress, streams, &fileName);
    if (demuxed != 0) return demuxed;

    std::vector<SIgTrackResult> results;
    for (SIgStream& stream : streams) {
        // The stream is read from memory and then let go of.
        const std::vector<uint8_t> bytes = std::move(stream.marked);
        CMemorySource source(bytes);
        SIgTrackResult r;
        r.pid = stream.pid;
        SStreamError streamError;
        if (!r.data.Read(source, false, &streamError)) {
            // Not left silent: the user learns which stream failed and where.
            ShowMessage(StrFormat("%s: IG stream 0x%04X: %s (at byte %lld)", fileName.c_str(),
                                  r.pid, streamError.text.c_str(),
                                  static_cast<long long>(streamError.offset)));
            return 2;
        }
        results.push_back(std::move(r));
    }
    for (const auto& r : results) {
        auto ig = std::make_unique<CIgObject>();
        ig->name = StrFormat("%d", r.pid);
        ig->id = r.pid;
        ig->parent = this;
        ig->BuildFromStream(r.data);
        igObjects.push_back(std::move(ig));
    }
    name = StrFormat("%05d", id);
    return 0;
}

int CTlM2tsObject::CountPictures() const {
    int count = 0;
    for (const auto& ig : igObjects)
        for (const auto& epoch : *ig)
            for (const auto& o : epoch->graphics.items) count += o->HasPicture();
    return count;
}

bool CTlM2tsObject::RipImages(std::string clipFolder, CProgressWnd* progress) {
    int done = 0;
    return RipImages(std::move(clipFolder), progress, done, CountPictures());
}

bool CTlM2tsObject::RipImages(std::string clipFolder, CProgressWnd* progress, int& done,
                              int total) {
    NormalizeFolder(clipFolder);
    SProgressReport position;
    position.kind = SProgressReport::kPosition;
    for (const auto& ig : igObjects) {
        const std::string igFolder = clipFolder + ig->name + kPathSeparator;
        if (!MakeFolderOrReport(igFolder)) return false;
        for (const auto& epoch : *ig) {
            const std::string epochFolder = igFolder + epoch->name + kPathSeparator;
            if (!MakeFolderOrReport(epochFolder)) return false;
            for (const auto& o : epoch->graphics.items) {
                if (!o->HasPicture()) continue;
                // A failed write stays in the object's status; the rip goes on.
                o->SavePicture(epochFolder);
                ++done;
                position.position =
                    total > 0
                        ? static_cast<int>(std::min<int64_t>(100, done * int64_t{100} / total))
                        : 100;
                if (!ReportProgress(progress, position)) return false;
            }
        }
    }
    return !(progress && progress->Cancelled());
}

}  // namespace tessel
