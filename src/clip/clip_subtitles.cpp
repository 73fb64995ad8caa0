// The PG streams of a clip read into their events.
#include "clip/m2ts_object.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "ts/esi.h"

namespace tessel {

int ReadClipSubtitles(const std::string& path, int wanted, CProgressWnd* progress,
                      std::vector<std::unique_ptr<CPgStreamObject>>& streams,
                      std::string* fullPath) {
    streams.clear();
    std::vector<SIgStream> demuxed;
    std::string fileName;
    const int result = DemuxGraphicsStreams(path, kStreamTypePg, progress, demuxed, &fileName);
    if (fullPath) *fullPath = fileName;
    if (result != 0) return result;
    for (SIgStream& s : demuxed) {
        if (wanted >= 0 && s.pid != wanted) continue;
        // Each stream's bytes are let go of once its events are built.
        const CByteBuffer bytes = std::move(s.marked);
        auto pg = std::make_unique<CPgStreamObject>();
        std::string error;
        if (!pg->Build(bytes, false, StrFormat("%s: PG stream 0x%04X", fileName.c_str(), s.pid),
                       error)) {
            streams.clear();
            ShowMessage(error);
            return 2;
        }
        pg->pid = s.pid;
        pg->id = s.pid;
        pg->name = StrFormat("PG %d", s.pid);
        streams.push_back(std::move(pg));
    }
    if (wanted >= 0 && streams.empty()) {
        ShowMessage(StrFormat("%s: no PG stream with PID 0x%04X", fileName.c_str(), wanted));
        return 2;
    }
    return 0;
}

int CTlM2tsObject::ReadSubtitles(const std::string& path, CProgressWnd* progress) {
    std::vector<std::unique_ptr<CPgStreamObject>> streams;
    const int result = ReadClipSubtitles(path, -1, progress, streams);
    if (result != 0) return result;
    for (auto& s : streams) s->parent = this;
    pgStreams = std::move(streams);
    return 0;
}

}  // namespace tessel
