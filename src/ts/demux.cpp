#include "ts/demux.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <span>

#include "platform/files.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "ts/esi.h"
#include "ts/packet.h"
#include "ts/pes.h"
#include "ts/track_file.h"

namespace tessel {

namespace {

bool Report(CProgressWnd* progress, int kind, int position, const std::string& text = {}) {
    SProgressReport report;
    report.kind = kind;
    report.position = position;
    if (kind == SProgressReport::kText) report.text = text;
    if (kind == SProgressReport::kCaption) report.caption = text;
    return ReportProgress(progress, report);
}

// The percentage and the bytes done at the start of a block; false when cancelled.
bool ReportBlock(CProgressWnd* progress, int64_t consumed, int64_t length) {
    const int percent = length > 0 ? static_cast<int>(consumed * 100 / length) : 0;
    if (!Report(progress, SProgressReport::kPosition, percent)) return false;
    SProgressReport bytes;
    bytes.kind = SProgressReport::kBytes;
    bytes.bytesDone = consumed;
    bytes.bytesTotal = length;
    return ReportProgress(progress, bytes);
}

// Keeps the system reading the file a few pieces ahead of the walk, so that
// a cold file's reads overlap the walk instead of waiting behind it.
class CReadAhead {
public:
    explicit CReadAhead(CReadFile& file) : file_(file) {}
    void Before(int64_t offset) {
        if (offset + kLead <= advised_) return;
        advised_ = std::max(advised_, offset);
        file_.AdviseWillNeed(advised_, kWindow);
        advised_ += kWindow;
    }

private:
    static constexpr int64_t kWindow = 8 << 20;
    static constexpr int64_t kLead = 24 << 20;
    CReadFile& file_;
    int64_t advised_ = 0;
};

bool HasGraphics(const CTrackInfoMap& map) {
    for (const auto& t : map.tracks)
        if (t && (t->streamType == kStreamTypePg || t->streamType == kStreamTypeIg)) return true;
    return false;
}

void FlushTracks(CTrackInfoMap& map) {
    for (const auto& t : map.tracks) {
        if (!t) continue;
        if (t->main) t->main->Flush();
        if (t->second) t->second->Flush();
    }
}

// Hands every packet of a mapped PID to its track file.
class CPacketWalker {
public:
    explicit CPacketWalker(CTrackInfoMap& map) : map_(map) {}

    int64_t reference = 0;

    // Walks the whole source packets of [data, data + size), which starts
    // at byte offset of the file.
    void Walk(const uint8_t* data, size_t size, int64_t offset) {
        const uint8_t* const end = data + (size - size % kSourcePacketSize);
        for (const uint8_t* sp = data; sp != end; sp += kSourcePacketSize) {
            // Only each packet's header is read: fetching the ones a few
            // packets on now keeps the walk from waiting for memory.
            __builtin_prefetch(sp + kPrefetchAhead);
            const uint8_t* ts = sp + 4;
            const int pid = PacketPid(ts);
            if (pid < 0) continue;
            if (STrackInfo* info = map_.Find(pid)) Packet(ts, *info, offset + (sp - data));
        }
    }

private:
    void Packet(const uint8_t* ts, STrackInfo& info, int64_t at) {
        STrackFile* track = info.second && !(ts[1] & 0x20) ? info.second.get() : info.main.get();
        if (!track) return;
        track->packetOffset = at;
        if (ts[3] & 0x10) {  // the counter counts packets with payload
            const bool discontinuity = (ts[3] & 0x20) && ts[4] > 0 && (ts[5] & 0x80);
            if (!track->NoteContinuity(ts[3] & 0x0F, discontinuity)) return;  // a duplicate
        }
        // Only a packet that starts a PES packet needs the whole parser.
        const bool start = ts[1] & 0x40;
        const int h = start ? packet_.ParsePacket({ts, kTsPacketSize}) : PayloadStart(ts);
        if (h == 0 || h > static_cast<int>(kTsPacketSize)) {
            // A damaged PES start leaves the rest of that PES packet out.
            if (h > 0 && start) track->AbandonPes();
            return;
        }
        const SPesHeader* header = start ? packet_.pes.get() : nullptr;
        if (header)
            track->NotePesStart(header->HasPts() ? static_cast<uint32_t>(header->pts.value) : 0,
                                packet_.transportPriority);
        track->WritePayload(ts + h, kTsPacketSize - static_cast<size_t>(h), header, reference,
                            map_.timeOffset);
    }

    static constexpr size_t kPrefetchAhead = 32 * kSourcePacketSize;

    CTrackInfoMap& map_;
    STsPacket packet_;
};

}  // namespace

bool CReferenceSearch::Feed(std::span<const uint8_t> packets) {
    if (!pts_) pts_ = FindFirstPts(packets);
    if (!pcr_)
        if (const auto pcr = FindFirstPcr(packets)) pcr_ = pcr->pcr;
    return pts_ && (!IsGraphicsPid(pts_->pid) || pcr_);
}

int64_t CReferenceSearch::Reference() const {
    if (!pts_) return 0;
    if (IsGraphicsPid(pts_->pid) && pcr_) return static_cast<int64_t>(*pcr_ / 300);
    return static_cast<int64_t>(pts_->pts);
}

CResult Demux(CReadFile& file, CTrackInfoMap& map, CProgressWnd* progress, size_t blockSize) {
    if (map.Empty()) return {};

    Report(progress, SProgressReport::kCaption, 0, kDemuxCaption);
    Report(progress, SProgressReport::kText, 0, file.Path());
    Report(progress, SProgressReport::kPosition, 0);

    blockSize -= blockSize % kSourcePacketSize;
    if (blockSize == 0) blockSize = kSourcePacketSize;
    const size_t piece = std::min(kDemuxPieceSize, blockSize);
    // Room for a whole block, of which only the packets waiting for the
    // reference time and one read piece are ever touched: each piece is walked
    // while it is still in the processor's cache.
    AlignedBytes buffer = MakeAlignedBytes(blockSize);
    if (!buffer) return CResult::Fail(SystemErrorText(ENOMEM), -1, file.Path());
    const int64_t length = file.Length();
    int64_t consumed = 0;
    CPacketWalker walker(map);
    CReadAhead ahead(file);
    CReferenceSearch search;
    bool searching = HasGraphics(map);  // the first block's packets wait for the reference time
    size_t held = 0;                    // bytes read into the buffer and not walked yet
    bool failed = false, atEnd = false;
    while (!atEnd) {
        size_t got = 0;  // bytes of this block read so far
        // Once the reference time is known, the packets are walked where the
        // system keeps them, without copying them into the buffer first.
        const CFileMapping view = searching ? CFileMapping() : file.Map(consumed, blockSize);
        while (got < blockSize) {
            const size_t want = std::min(piece, blockSize - got);
            ahead.Before(consumed + static_cast<int64_t>(got));
            const std::span<const uint8_t> mapped = file.TakeMapped(view, want);
            const uint8_t* data = mapped.data();
            size_t n = mapped.size();
            if (mapped.empty()) {
                data = buffer.get() + held;
                n = file.Read(buffer.get() + held, want);
            }
            failed = file.Failed();
            atEnd = failed || n < want;
            if (got == 0) {
                if (n == 0) break;
                if (!ReportBlock(progress, consumed, length)) return CResult::Cancel();
            }
            got += n;
            if (searching) {
                held += n;
                if (search.Feed({data, n}) || atEnd || got == blockSize) {
                    searching = false;
                    walker.reference = search.Reference();
                    walker.Walk(buffer.get(), held, consumed);
                    held = 0;
                }
            } else {
                walker.Walk(data, n, consumed + static_cast<int64_t>(got - n));
            }
            if (atEnd) break;
        }
        consumed += static_cast<int64_t>(got);
        if (got == 0) break;
    }
    if (failed) return CResult::Fail(SystemErrorText(file.Error()), -1, file.Path());
    FlushTracks(map);
    Report(progress, SProgressReport::kPosition, 100);
    return {};
}

}  // namespace tessel
