// The PG streams of a clip read into their events.
#include <filesystem>

#include "clip/m2ts_object.h"
#include "database/bdmv_layout.h"
#include "database/clpi.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "ts/esi.h"

namespace tessel {

namespace {

// The video of a clip as its information file (../CLIPINF/<name>.clpi beside
// the STREAM folder) gives it; false without one or without a video stream.
bool ClipInfoVideo(const CDiscSource& disc, const std::string& m2ts, SVideoDescriptor& video) {
    namespace fs = std::filesystem;
    const fs::path stream(m2ts);
    const fs::path clpi =
        stream.parent_path().parent_path() / kClipInfoFolder / (stream.stem().string() + ".clpi");
    std::vector<uint8_t> data;
    CClpiObject info;
    if (!disc.ReadWhole(clpi.string(), data) || info.ParseClpi(data) < 1) return false;
    // Frame sizes of the video format codes 1 to 7.
    static const uint16_t kSizes[][2] = {{720, 480},  {720, 576},   {720, 480}, {1920, 1080},
                                         {1280, 720}, {1920, 1080}, {720, 576}};
    for (const SClpiStream& s : info.programInfo.streams) {
        const int format = s.codingInfo.videoFormat;
        if (format < 1 || format > 7) continue;
        video.width = kSizes[format - 1][0];
        video.height = kSizes[format - 1][1];
        video.frameRate = s.codingInfo.frameRate;
        return true;
    }
    return false;
}

}  // namespace

int ReadClipSubtitles(const std::string& path, int wanted, CProgressWnd* progress,
                      std::vector<std::unique_ptr<CPgStreamObject>>& streams,
                      const CDiscSource& discGiven) {
    streams.clear();
    // The image a clip path lies below is opened once for the stream and
    // its clip information.
    CResultOf<CDiscSource> own = discGiven.ForFile(path);
    const CDiscSource& disc = own ? *own : discGiven;
    std::vector<SIgStream> demuxed;
    std::string fileName;
    const int result =
        DemuxGraphicsStreams(path, kStreamTypePg, progress, demuxed, &fileName, disc);
    if (result != 0) return result;
    for (SIgStream& s : demuxed) {
        if (wanted >= 0 && s.pid != wanted) continue;
        // Each stream's bytes are let go of once its events are built.
        const CByteBuffer bytes = std::move(s.marked);
        auto pg = std::make_unique<CPgStreamObject>();
        if (const CResult built =
                pg->Build(bytes, false, StrFormat("%s: PG stream 0x%04X", fileName.c_str(), s.pid));
            !built) {
            streams.clear();
            ShowMessage(built.Message());
            return 2;
        }
        // A stream that does not give its video takes the clip's.
        if (pg->events.video.width == 0 || pg->events.video.frameRate == 0) {
            SVideoDescriptor video;
            if (ClipInfoVideo(disc, path, video)) {
                if (pg->events.video.width == 0) {
                    pg->events.video.width = video.width;
                    pg->events.video.height = video.height;
                }
                if (pg->events.video.frameRate == 0) pg->events.video.frameRate = video.frameRate;
            }
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

int CTlM2tsObject::ReadSubtitles(const std::string& path, CProgressWnd* progress,
                                 const CDiscSource& disc) {
    std::vector<std::unique_ptr<CPgStreamObject>> streams;
    const int result = ReadClipSubtitles(path, -1, progress, streams, disc);
    if (result != 0) return result;
    for (auto& s : streams) s->parent = this;
    pgStreams = std::move(streams);
    return 0;
}

}  // namespace tessel
