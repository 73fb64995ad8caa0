#include "clip/m2ts_object.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <system_error>
#include <thread>

#include "database/clpi.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "platform/text.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/track_file.h"

namespace tessel {

namespace {

constexpr const char* kWrongFormat = "Wrong M2ts format ! ";
constexpr const char* kNoIg = "has no IG(menu) ! ";
constexpr const char* kNoPg = "has no PG stream (subtitles)";

}  // namespace

std::string DamageText(int pid, const SPesDamage& d) {
    static const char* const kNames[] = {"PDS", "ODS", "PCS", "WDS", "ICS"};
    std::string what;
    if (d.segmentType >= 0x14 && d.segmentType <= 0x18)
        what = StrFormat("the %s", kNames[d.segmentType - 0x14]);
    else if (d.segmentType == 0x80)
        what = "the END segment";
    else
        what =
            d.segmentType < 0 ? "a segment" : StrFormat("a segment of type 0x%02X", d.segmentType);
    if (d.objectId >= 0) what += StrFormat(" of object %d", d.objectId);
    return StrFormat(
        "PID 0x%04X: %s at byte %lld of the clip; %s in display set %d of the stream "
        "is missing",
        pid, d.reason.c_str(), static_cast<long long>(d.offset), what.c_str(), d.displaySet + 1);
}

CTlM2tsObject::CTlM2tsObject() = default;

CTlM2tsObject::~CTlM2tsObject() {
    Clear();
}

void CTlM2tsObject::Clear() {
    igObjects.clear();
    pgStreams.clear();
    clipInfo.reset();
}

namespace {

using COutputOpener = std::function<CResultOf<std::unique_ptr<COutputFile>>(int pid, uint8_t type)>;

// Opens the clip and maps each PID of the stream type in its program map to an output made
// by open (in PMT order). A failure carries the whole text to show.
CResult MapGraphicsTracks(const CDiscSource& disc, CReadFile& file, const std::string& path,
                          CTrackInfoMap& map, const COutputOpener& open,
                          uint8_t streamType = kStreamTypeIg, uint8_t secondType = 0,
                          size_t capacity = STrackFile::kDefaultCapacity) {
    if (const CResult opened = disc.Open(file, path); !opened)
        return CResult::Fail(
            StrFormat("%s: %s", path.c_str(), opened.Text().substr(0, 260).c_str()));
    std::unique_ptr<CEsiFolder> pmt = ReadProgramMap(file);
    if (!pmt) return CResult::Fail(StrFormat("%s:\n\r%s", file.Path().c_str(), kWrongFormat));
    CResult notOpened;
    for (const uint8_t type : {streamType, secondType}) {
        auto output = [&](int pid) -> std::unique_ptr<COutputFile> {
            CResultOf<std::unique_ptr<COutputFile>> made = open(pid, type);
            if (made) return std::move(*made);
            notOpened = made.Result();
            return nullptr;
        };
        if (type && !AddGraphicsTracks(*pmt, type, map, output, capacity)) return notOpened;
    }
    if (map.Empty())
        return CResult::Fail(StrFormat(
            "%s:\n\r%s%s", file.Path().c_str(), streamType == kStreamTypePg ? kNoPg : kNoIg,
            secondType == kStreamTypePg ? "and no PG stream (subtitles)" : ""));
    file.Seek(0);
    return {};
}

// The code of a mapping; its failure is shown.
int Mapped(const CResult& mapped) {
    if (mapped.Failed()) ShowMessage(mapped.Message());
    return ResultCode(mapped);
}

// The code of the demux pass; its failure is shown as the clip's other
// stream failures are: "<clip>:\n\r<reason>".
int Told(const CResult& demuxed) {
    if (demuxed.Failed())
        ShowMessage(StrFormat("%s:\n\r%s", demuxed.Path().c_str(), demuxed.Text().c_str()));
    return ResultCode(demuxed);
}

}  // namespace

int DemuxGraphicsStreams(const std::string& path, uint8_t streamType, CProgressWnd* progress,
                         std::vector<SIgStream>& streams, std::string* fullPath,
                         const CDiscSource& disc) {
    streams.clear();
    CReadFile file;
    CTrackInfoMap map;
    std::vector<CMemoryFile*> outputs;
    const CResult mapped = MapGraphicsTracks(
        disc, file, path, map,
        [&](int, uint8_t) -> CResultOf<std::unique_ptr<COutputFile>> {
            auto memory = std::make_unique<CMemoryFile>();
            outputs.push_back(memory.get());
            return std::unique_ptr<COutputFile>(std::move(memory));
        },
        streamType);
    if (fullPath) *fullPath = file.Path();
    if (!mapped) return Mapped(mapped);
    if (const int demuxed = Told(Demux(file, map, progress)); demuxed != 0) return demuxed;
    for (size_t i = 0; i < map.Count(); ++i) {
        const auto& track = static_cast<const SGsTrackFile&>(*map.tracks[i]->main);
        streams.push_back(
            {map.pids[i], track.pesCount, outputs[i]->Take(), track.damages, track.Origins()});
    }
    return 0;
}

int DemuxIgStreams(const std::string& path, CProgressWnd* progress, std::vector<SIgStream>& streams,
                   const CDiscSource& disc) {
    return DemuxGraphicsStreams(path, kStreamTypeIg, progress, streams, nullptr, disc);
}

int DemuxIgStreamsToFolder(const std::string& path, const std::string& folder,
                           CProgressWnd* progress, std::vector<SIgStreamFile>& files,
                           const CDiscSource& disc) {
    return DemuxGraphicsToFolder(path, folder, SDemuxChoice(), progress, files, disc);
}

int DemuxGraphicsToFolder(const std::string& path, const std::string& folder,
                          const SDemuxChoice& choice, CProgressWnd* progress,
                          std::vector<SIgStreamFile>& files, const CDiscSource& disc) {
    files.clear();
    CReadFile file;
    CTrackInfoMap map;
    std::vector<std::string> created;
    auto removeAll = [&] {
        map = CTrackInfoMap();  // closes the outputs
        for (const std::string& p : created) DeleteFile(p);
    };
    // The program map lists IG before PG when both are asked for.
    const uint8_t first = choice.ig ? kStreamTypeIg : kStreamTypePg;
    const uint8_t second = choice.ig && choice.pg ? kStreamTypePg : 0;
    auto open = [&](int pid, uint8_t type) -> CResultOf<std::unique_ptr<COutputFile>> {
        auto disk = std::make_unique<CDiskFile>();
        const std::string out =
            StrFormat("%s%d.%s", folder.c_str(), pid, type == kStreamTypePg ? "sup" : "ig");
        if (CResult opened = disk->Open(out); !opened) return opened;
        created.push_back(out);
        return std::unique_ptr<COutputFile>(std::move(disk));
    };
    int result = Mapped(MapGraphicsTracks(disc, file, path, map, open, first, second));
    if (result == 0 && choice.keepTime)
        for (auto& t : map.tracks) static_cast<SGsTrackFile&>(*t->main).keepTime = true;
    if (result == 0) result = Told(Demux(file, map, progress));
    for (size_t i = 0; result == 0 && i < map.Count(); ++i) {
        STrackFile& track = *map.tracks[i]->main;
        auto* disk = static_cast<CDiskFile*>(track.Output());
        // Closing writes the last bytes; a full disk may only show there.
        if (track.WriteFailed() || !disk->Finish()) {
            ShowMessage(StrFormat("%s: %s", disk->Path().c_str(),
                                  SystemErrorText(disk->Error() ? disk->Error() : EIO).c_str()));
            result = 2;
            break;
        }
        // A PID without packets leaves no file (the track removes it).
        const auto& gs = static_cast<const SGsTrackFile&>(track);
        files.push_back({map.pids[i], track.pesCount, disk->Length(),
                         disk->Length() ? disk->Path() : std::string(), gs.CutPesBytes(),
                         gs.recordOffset, gs.damages});
    }
    if (result != 0) {
        files.clear();
        removeAll();
    }
    return result;
}

namespace {

// A track output that builds the IG tree as the demux writes the stream, so
// that the stream itself is never held. Full track buffers are built on a
// thread of their own while the demux fills the next; the builder is the
// caller's again after Wait.
class CBuildingOutput : public COutputFile {
public:
    CBuildingOutput() : builder(*ig, false) {}
    bool Write(const uint8_t* data, size_t size) override {
        behind_.Wait();
        builder.Feed({data, size});
        return true;
    }
    bool WritesBehind() const override { return true; }
    bool WriteBehind(const uint8_t* data, size_t size) override {
        if (!behind_.Post(data, size)) builder.Feed({data, size});
        return true;
    }
    int64_t Length() const override {
        behind_.Wait();
        return builder.BytesFed();
    }
    void Wait() { behind_.Wait(); }

    std::unique_ptr<CIgObject> ig = std::make_unique<CIgObject>();
    CIgStreamBuilder builder;

private:
    CBehindThread behind_{[this](const uint8_t* data, size_t size) { builder.Feed({data, size}); }};
};

// Room the track gathers before the tree is built from it: small enough to
// be read again while the processor's cache still holds it, large enough
// that handing it to the building thread costs little.
constexpr size_t kBuildingTrackCapacity = 1024 * 1024;

}  // namespace

int CTlM2tsObject::ParseClip(const std::string& path, CProgressWnd* progress,
                             const CDiscSource& disc) {
    CReadFile file;
    CTrackInfoMap map;
    std::vector<CBuildingOutput*> outputs;
    const CResult mapped = MapGraphicsTracks(
        disc, file, path, map,
        [&](int, uint8_t) -> CResultOf<std::unique_ptr<COutputFile>> {
            auto output = std::make_unique<CBuildingOutput>();
            outputs.push_back(output.get());
            return std::unique_ptr<COutputFile>(std::move(output));
        },
        kStreamTypeIg, 0, kBuildingTrackCapacity);
    const std::string fileName = file.Path();
    if (!mapped) return Mapped(mapped);
    const int64_t length = file.Length();
    const int64_t partial = length % static_cast<int64_t>(kSourcePacketSize);
    cutPacketAt = partial > 0 ? length - partial : -1;
    const int demuxed = Told(Demux(file, map, progress));
    for (CBuildingOutput* output : outputs) output->Wait();
    if (demuxed != 0) return demuxed;
    coverage = SScanCoverage();
    coverage.bytesTotal = file.Length();
    coverage.bytesRead = file.BytesRead();

    std::vector<std::unique_ptr<CIgObject>> built;
    std::vector<std::string> losses;
    for (size_t i = 0; i < map.Count(); ++i) {
        const int pid = map.pids[i];
        CBuildingOutput& output = *outputs[i];
        const auto& track = static_cast<const SGsTrackFile&>(*map.tracks[i]->main);
        // Each PES packet lost or damaged is named with what it takes away.
        for (const SPesDamage& d : track.damages) {
            losses.push_back(StrFormat("%s: IG %s", fileName.c_str(), DamageText(pid, d).c_str()));
            ShowMessage(losses.back());
        }
        // Offsets in the stream are told as the clip's: where the PES packet
        // of the record starts.
        auto clipByte = [&](int64_t offset) {
            return static_cast<long long>(track.FileOffsetOf(offset));
        };
        if (!output.builder.Finish()) {
            // Not left silent: the user learns which stream failed and where.
            // A stream that breaks after some display sets keeps them.
            const bool kept = !output.ig->IsEmpty();
            ShowMessage(StrFormat("%s: IG stream 0x%04X: %s (in the PES packet at byte %lld)%s",
                                  fileName.c_str(), pid, output.builder.Error().Text().c_str(),
                                  clipByte(output.builder.Error().Offset()),
                                  kept ? "; the display sets before it are kept" : ""));
            if (!kept) return 2;
        }
        // The menu is kept without the objects it could not hold; the user
        // learns of the first.
        const CResult& dropped = output.builder.Dropped();
        if (dropped.Offset() >= 0)
            ShowMessage(StrFormat("%s: IG stream 0x%04X: %s (in the PES packet at byte %lld)",
                                  fileName.c_str(), pid, dropped.Text().c_str(),
                                  clipByte(dropped.Offset())));
        std::unique_ptr<CIgObject> ig = std::move(output.ig);
        ig->name = StrFormat("%d", pid);
        ig->id = pid;
        ig->parent = this;
        built.push_back(std::move(ig));
    }
    for (auto& ig : built) igObjects.push_back(std::move(ig));
    for (std::string& l : losses) this->losses.push_back(std::move(l));
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

namespace {

CResult Shown(const CResult& failure) {
    ShowMessage(failure.Message());
    return failure;
}

}  // namespace

CResult CTlM2tsObject::RipImages(std::string clipFolder, CProgressWnd* progress) {
    int done = 0;
    return RipImages(std::move(clipFolder), progress, done, CountPictures());
}

namespace {

// Pictures of a rip are shared among threads from this many, on at most
// this many threads (the cores there are).
constexpr size_t kRipParallelFrom = 8;
constexpr unsigned kRipThreads = 4;

// Writes the pictures of one epoch into folder, counting on done and
// reporting each; false once cancelled. Encoding is most of a rip and each
// picture is encoded and written on its own, so from a few pictures the
// machine's cores share them while this thread reports.
bool SavePictures(const std::vector<CGraphicObject*>& objects, const std::string& folder,
                  CProgressWnd* progress, int& done, int total) {
    SProgressReport position;
    position.kind = SProgressReport::kPosition;
    auto report = [&] {
        ++done;
        position.position =
            total > 0 ? static_cast<int>(std::min<int64_t>(100, done * int64_t{100} / total)) : 100;
        return ReportProgress(progress, position);
    };
    // A failed write stays in the object's status; the rip goes on.
    std::vector<std::jthread> helpers;
    std::atomic<size_t> next{0}, finished{0};
    std::atomic<bool> stop{false};
    auto take = [&] {
        const size_t i = stop.load(std::memory_order_relaxed)
                             ? objects.size()
                             : next.fetch_add(1, std::memory_order_relaxed);
        if (i >= objects.size()) return false;
        objects[i]->SavePicture(folder);
        finished.fetch_add(1, std::memory_order_release);
        finished.notify_one();
        return true;
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (objects.size() >= kRipParallelFrom)
        for (unsigned k = 1; k < std::min(cores, kRipThreads); ++k) try {
                helpers.emplace_back([&take] {
                    while (take()) {
                    }
                });
            } catch (const std::system_error&) {
                break;  // the threads there are do the work
            }
    // This thread takes pictures too, and reports between them.
    bool cancelled = false;
    size_t told = 0;
    while (!cancelled && told < objects.size()) {
        const bool took = take();
        const size_t now = finished.load(std::memory_order_acquire);
        for (; told < now && !cancelled; ++told) cancelled = !report();
        if (!took && !cancelled && told < objects.size())
            finished.wait(now, std::memory_order_acquire);  // the helpers' last pictures
    }
    stop = true;
    helpers.clear();  // joined; pictures they finished after a cancel are not counted
    return !cancelled;
}

}  // namespace

CResult CTlM2tsObject::RipImages(std::string clipFolder, CProgressWnd* progress, int& done,
                                 int total) {
    NormalizeFolder(clipFolder);
    std::vector<CGraphicObject*> objects;
    for (const auto& ig : igObjects) {
        const std::string igFolder = clipFolder + ig->name + kPathSeparator;
        if (CResult made = MakeFolder(igFolder); !made) return Shown(made);
        for (const auto& epoch : *ig) {
            const std::string epochFolder = igFolder + epoch->name + kPathSeparator;
            if (CResult made = MakeFolder(epochFolder); !made) return Shown(made);
            objects.clear();
            for (const auto& o : epoch->graphics.items)
                if (o->HasPicture()) objects.push_back(o.get());
            if (!SavePictures(objects, epochFolder, progress, done, total))
                return CResult::Cancel();
        }
    }
    if (progress && progress->Cancelled()) return CResult::Cancel();
    return {};
}

}  // namespace tessel
