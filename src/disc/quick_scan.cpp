#include "disc/quick_scan.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "codec/display_set.h"
#include "codec/segment.h"
#include "database/clpi.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "platform/text.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/pes.h"
#include "ts/track_file.h"

namespace tessel {

namespace {

constexpr size_t kRecordHead = SGsTrackFile::kRecordHeadSize;
// Source packets in a row whose sync bytes mark the packets' boundary.
constexpr int kSyncRun = 4;
// The interactive composition's state byte and sequence byte in its body.
constexpr size_t kIcsStateByte = 7;
constexpr size_t kIcsSequenceByte = 8;

// A display set kept: its composition (the state bits cleared) and records.
struct SKeptSet {
    std::vector<uint8_t> key;
    std::vector<uint8_t> marked;
    int seen = 1;
    int64_t lastPts = 0;
};

// One IG PID of a quick scan: its packets gathered into marked-form records
// (as the demux writes them), and the display sets that the records of each
// place give.
class CPidSampler {
public:
    explicit CPidSampler(int pid) : pid_(pid), track_(std::make_unique<CMemoryFile>()) {}

    int Pid() const { return pid_; }
    bool Done() const { return done_; }
    const std::vector<SKeptSet>& Kept() const { return kept_; }

    // A new place: nothing open is carried over. At the start (head) the PID
    // is done once an Epoch Start display set is in; elsewhere at the first
    // composition.
    void BeginPlace(bool head) {
        track_.AbandonPes();
        track_.used = 0;
        head_ = head;
        done_ = false;
        Reset();
    }

    void Packet(STsPacket& parser, const uint8_t* ts, int64_t reference) {
        const int h = parser.ParsePacket({ts, kTsPacketSize});
        if (h == 0 || h > static_cast<int>(kTsPacketSize)) {
            if (h > 0 && parser.payloadUnitStart) track_.AbandonPes();
            return;
        }
        const SPesHeader* header = parser.pes.get();
        if (header)
            track_.NotePesStart(header->HasPts() ? static_cast<uint32_t>(header->pts.value) : 0,
                                parser.transportPriority);
        track_.WritePayload(ts + h, kTsPacketSize - static_cast<size_t>(h), header, reference, 0);
    }

    // Takes the whole records gathered so far.
    void TakeRecords() {
        const uint8_t* data = track_.buffer.get();
        size_t at = 0;
        while (!done_ && track_.used - at >= kRecordHead + kSegmentHeaderSize) {
            const uint8_t* r = data + at;
            const size_t body = static_cast<size_t>(r[kRecordHead + 1]) << 8 | r[kRecordHead + 2];
            const size_t size = kRecordHead + kSegmentHeaderSize + body;
            if (track_.used - at < size) break;
            Record({r, size});
            at += size;
        }
        if (done_) at = track_.used;
        if (at) {
            std::memmove(track_.buffer.get(), data + at, track_.used - at);
            track_.used -= at;
        }
    }

private:
    enum class EState { Seeking, Composition, DisplaySet };

    void Reset() {
        state_ = EState::Seeking;
        key_.clear();
        set_.clear();
    }

    static int64_t RecordPts(const uint8_t* r) {
        return static_cast<int64_t>(static_cast<uint32_t>(r[2]) << 24 | r[3] << 16 | r[4] << 8 |
                                    r[5]);
    }

    void Record(std::span<const uint8_t> record) {
        const uint8_t type = record[kRecordHead];
        const std::span<const uint8_t> body = record.subspan(kRecordHead + kSegmentHeaderSize);
        const bool ics = type == kSegmentIcs && body.size() > kIcsSequenceByte;
        if (ics && (body[kIcsSequenceByte] & 0x80)) {
            // A composition starts (again): what came before it is left.
            Reset();
            state_ = EState::Composition;
            setState_ = body[kIcsStateByte] >> 6;
            setPts_ = RecordPts(record.data());
        }
        if (state_ == EState::Seeking) return;
        set_.insert(set_.end(), record.begin(), record.end());
        if (state_ == EState::Composition) {
            if (!ics) return Reset();  // a composition cut short
            const size_t from = key_.size();
            key_.insert(key_.end(), body.begin(), body.end());
            key_[from + kIcsStateByte] &= 0x3F;
            if (body[kIcsSequenceByte] & 0x40) Decide();
            return;
        }
        if (type == kSegmentEnd) Keep();
    }

    // The whole composition is in: a repeat is counted, a new one read on.
    void Decide() {
        for (SKeptSet& k : kept_)
            if (k.key == key_) {
                ++k.seen;
                k.lastPts = setPts_;
                return Finish();
            }
        // A normal-case update away from the start needs what came before it.
        if (!head_ && setState_ == kStateNormalCase) return Reset();
        state_ = EState::DisplaySet;
    }

    void Keep() {
        kept_.push_back({std::move(key_), std::move(set_), 1, setPts_});
        Finish();
    }

    void Finish() {
        if (!head_ || setState_ == kStateEpochStart) done_ = true;
        Reset();
    }

    int pid_;
    SIgTrackFile track_;
    bool head_ = false, done_ = false;
    EState state_ = EState::Seeking;
    uint8_t setState_ = 0;
    int64_t setPts_ = 0;
    std::vector<uint8_t> key_, set_;
    std::vector<SKeptSet> kept_;
};

// Whole source packets from the first offset in data where kSyncRun packets
// in a row carry the sync byte; -1 when there is none.
int64_t FindPacketStart(std::span<const uint8_t> data) {
    constexpr size_t kRun = 4 + (kSyncRun - 1) * kSourcePacketSize;
    for (size_t at = 0; at + kRun < data.size(); ++at) {
        bool ok = true;
        for (int k = 0; ok && k < kSyncRun; ++k)
            ok = data[at + 4 + k * kSourcePacketSize] == kSyncByte;
        if (ok) return static_cast<int64_t>(at);
    }
    return -1;
}

// The reads of one quick scan of a clip.
class CQuickReader {
public:
    CQuickReader(CReadFile& file, std::vector<std::unique_ptr<CPidSampler>>& pids,
                 const SQuickScanLimits& limits)
        : file_(file), pids_(pids), limits_(limits), buffer_(limits.piece) {}

    int64_t reference = 0;

    // Reads the place [from, end) until every PID is done or the place's
    // limit; fails when the place held no transport packets or could not be
    // read.
    CResult Place(int64_t from, int64_t end, bool head) {
        for (auto& p : pids_) p->BeginPlace(head);
        end = std::min(end, from + limits_.placeLimit);
        bool synced = false;
        CReferenceSearch search;
        std::vector<uint8_t> held;  // the start's packets until the time base is known
        bool searching = head;
        for (int64_t at = from; at < end;) {
            const size_t want = static_cast<size_t>(std::min<int64_t>(end - at, buffer_.size()));
            const size_t n = file_.ReadAt(at, buffer_.data(), want);
            if (file_.Failed()) return CResult::Fail(SystemErrorText(file_.Error()));
            if (n == 0) break;
            std::span<const uint8_t> data(buffer_.data(), n);
            if (!synced) {
                const int64_t start = FindPacketStart(data);
                if (start < 0) {
                    // The next read overlaps this one's tail, where a run may begin.
                    at += std::max<int64_t>(1,
                                            static_cast<int64_t>(n) -
                                                static_cast<int64_t>(kSourcePacketSize * kSyncRun));
                    if (static_cast<int64_t>(n) < static_cast<int64_t>(want)) break;
                    continue;
                }
                synced = true;
                at += start;
                data = data.subspan(static_cast<size_t>(start));
            }
            const size_t whole = data.size() - data.size() % kSourcePacketSize;
            data = data.first(whole);
            at += static_cast<int64_t>(whole);
            if (whole == 0) break;
            if (searching) {
                held.insert(held.end(), data.begin(), data.end());
                if (!search.Feed(data) && at < end) continue;
                searching = false;
                reference = search.Reference();
                data = held;
            }
            if (Walk(data)) return {};
        }
        if (!synced) return CResult::Fail("no transport packets");
        if (searching && !held.empty()) {
            reference = search.Reference();
            Walk(held);
        }
        return {};
    }

private:
    // True once every PID is done.
    bool Walk(std::span<const uint8_t> packets) {
        for (size_t at = 0; at + kSourcePacketSize <= packets.size(); at += kSourcePacketSize) {
            const uint8_t* ts = packets.data() + at + 4;
            const int pid = PacketPid(ts);
            if (pid < 0) continue;
            for (auto& p : pids_)
                if (p->Pid() == pid && !p->Done()) p->Packet(parser_, ts, reference);
        }
        bool all = true;
        for (auto& p : pids_) {
            p->TakeRecords();
            all = all && p->Done();
        }
        return all;
    }

    CReadFile& file_;
    std::vector<std::unique_ptr<CPidSampler>>& pids_;
    const SQuickScanLimits& limits_;
    std::vector<uint8_t> buffer_;
    STsPacket parser_;
};

// The share of places done and the bytes read so far; false when cancelled.
bool ReportPlace(CProgressWnd* progress, int done, int places, const CReadFile& file) {
    SProgressReport r;
    r.kind = SProgressReport::kPosition;
    r.position = places > 0 ? done * 100 / places : 100;
    if (!ReportProgress(progress, r)) return false;
    SProgressReport bytes;
    bytes.kind = SProgressReport::kBytes;
    bytes.bytesDone = file.BytesRead();
    bytes.bytesTotal = file.Length();
    bytes.sampled = true;
    return ReportProgress(progress, bytes);
}

// Builds one IG object per PID from its kept display sets; false after the
// failure was shown.
bool BuildTrees(CTlM2tsObject& clip, const std::string& fileName,
                const std::vector<std::unique_ptr<CPidSampler>>& pids) {
    for (const auto& sampler : pids) {
        const CPidSampler& p = *sampler;
        auto ig = std::make_unique<CIgObject>();
        CIgStreamBuilder builder(*ig, false);
        for (const SKeptSet& k : p.Kept()) builder.Feed(k.marked);
        if (!builder.Finish()) {
            const bool kept = !ig->IsEmpty();
            ShowMessage(StrFormat("%s: IG stream 0x%04X: %s (at byte %lld of the sampled stream)%s",
                                  fileName.c_str(), p.Pid(), builder.Error().Text().c_str(),
                                  static_cast<long long>(builder.Error().Offset()),
                                  kept ? "; the display sets before it are kept" : ""));
            if (!kept) return false;
        }
        for (const SKeptSet& k : p.Kept())
            clip.coverage.seen.push_back({p.Pid(), k.seen, k.lastPts});
        ig->name = StrFormat("%d", p.Pid());
        ig->id = p.Pid();
        ig->parent = &clip;
        clip.igObjects.push_back(std::move(ig));
    }
    clip.name = StrFormat("%05d", clip.id);
    return true;
}

}  // namespace

std::vector<int64_t> QuickScanPlaces(int64_t length, const CClpiObject* clpi,
                                     const SQuickScanLimits& limits) {
    std::vector<int64_t> places;
    if (limits.maxPlaces < 1) return places;
    const int64_t spacing = length / (limits.maxPlaces + 1);
    if (spacing < std::max<int64_t>(limits.minSpacing, kSourcePacketSize)) return places;
    std::vector<int64_t> entries;
    if (clpi)
        for (const auto& kpi : clpi->epMap)
            for (const SKeyPoint& k : kpi->keyPoints)
                entries.push_back(int64_t{k.spnStart} * static_cast<int64_t>(kSourcePacketSize));
    std::sort(entries.begin(), entries.end());
    const auto packet = static_cast<int64_t>(kSourcePacketSize);
    for (int i = 1; i <= limits.maxPlaces; ++i) {
        int64_t place = i * spacing / packet * packet;
        const auto e = std::lower_bound(entries.begin(), entries.end(), place);
        if (e != entries.end() && *e < place + spacing / 2 && *e < length) place = *e;
        if (places.empty() || place > places.back()) places.push_back(place);
    }
    return places;
}

int QuickParseClip(CTlM2tsObject& clip, const std::string& path, const CClpiObject* clpi,
                   CProgressWnd* progress, const SQuickScanLimits& limits,
                   const CDiscSource& disc) {
    CReadFile file;
    if (const CResult opened = disc.Open(file, path); !opened) {
        ShowMessage(StrFormat("%s: %s", path.c_str(), opened.Text().c_str()));
        return 2;
    }
    const int64_t length = file.Length();
    const std::vector<int64_t> places = QuickScanPlaces(length, clpi, limits);
    if (places.empty()) {
        file.Close();
        return clip.ParseClip(path, progress, disc);
    }
    // Read-ahead would read most of a place's gap (up to megabytes) for
    // nothing; the pieces are large enough on their own.
    file.AdviseRandom();
    std::unique_ptr<CEsiFolder> pmt = ReadProgramMap(file);
    if (!pmt) {
        ShowMessage(StrFormat("%s:\n\r%s", file.Path().c_str(), "Wrong M2ts format ! "));
        return 2;
    }
    std::vector<std::unique_ptr<CPidSampler>> pids;
    for (const ESI& es : pmt->streams)
        if (es.streamType == kStreamTypeIg)
            pids.push_back(std::make_unique<CPidSampler>(es.elementaryPid));
    if (pids.empty()) {
        ShowMessage(StrFormat("%s:\n\r%s", file.Path().c_str(), "has no IG(menu) ! "));
        return 2;
    }
    SProgressReport caption;
    caption.kind = SProgressReport::kCaption;
    caption.caption = "Quick scan";
    ReportProgress(progress, caption);
    clip.coverage = SScanCoverage();
    clip.coverage.quick = true;
    clip.coverage.bytesTotal = length;
    clip.coverage.samples = static_cast<int>(places.size());
    CQuickReader reader(file, pids, limits);
    for (size_t i = 0; i <= places.size(); ++i) {
        if (!ReportPlace(progress, static_cast<int>(i), static_cast<int>(places.size() + 1), file))
            return 1;
        const int64_t from = i == 0 ? 0 : places[i - 1];
        const int64_t end = i < places.size() ? places[i] : length;
        if (const CResult read = reader.Place(from, end, i == 0); !read) {
            if (i == 0) {
                ShowMessage(
                    StrFormat("%s: %s at byte 0", file.Path().c_str(), read.Text().c_str()));
                return 2;
            }
            ShowMessage(StrFormat("%s: quick scan: %s at byte %lld; the place is skipped",
                                  file.Path().c_str(), read.Text().c_str(),
                                  static_cast<long long>(from)));
            clip.coverage.skipped.push_back(from);
        }
    }
    clip.coverage.bytesRead = file.BytesRead();
    if (!BuildTrees(clip, file.Path(), pids)) return 2;
    ReportPlace(progress, 1, 1, file);
    return 0;
}

std::string CoverageText(const SScanCoverage& c) {
    if (!c.quick) return {};
    std::string text =
        StrFormat("quick scan: read %s of %s at %d places", ByteSizeText(c.bytesRead).c_str(),
                  ByteSizeText(c.bytesTotal).c_str(), c.samples);
    if (!c.skipped.empty()) text += StrFormat(" (%zu skipped: unreadable)", c.skipped.size());
    return text + "; menus between them may be missed; tessel scan reads all";
}

}  // namespace tessel
