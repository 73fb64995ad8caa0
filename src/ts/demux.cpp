#include "ts/demux.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#include "platform/files.h"
#include "platform/messages.h"
#include "platform/progress.h"
#include "platform/read_file.h"
#include "platform/text.h"
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

// The time the records of a pass are rebased on: the first PTS of the block,
// or, when that PES is graphics or text subtitle, the first PCR (its 90 kHz
// base; the 27 MHz value would not match the 90 kHz time stamps).
int64_t ReferenceTime(std::span<const uint8_t> block) {
    const auto first = FindFirstPts(block);
    if (!first) return 0;
    int64_t reference = static_cast<int64_t>(first->pts);
    if (IsGraphicsPid(first->pid)) {
        if (const auto pcr = FindFirstPcr(block)) reference = static_cast<int64_t>(pcr->pcr / 300);
    }
    return reference;
}

// The read block, in huge pages where the system offers them: touching 30 MiB
// of fresh 4 KiB pages costs more than walking the packets.
struct SReadBlock {
    explicit SReadBlock(size_t size) {
        constexpr size_t kHuge = 2 * 1024 * 1024;
        const size_t rounded = (size + kHuge - 1) / kHuge * kHuge;
        data = static_cast<uint8_t*>(std::aligned_alloc(kHuge, rounded));
        if (!data) throw std::bad_alloc();
        ::madvise(data, rounded, MADV_HUGEPAGE);
    }
    ~SReadBlock() { std::free(data); }
    SReadBlock(const SReadBlock&) = delete;
    SReadBlock& operator=(const SReadBlock&) = delete;
    uint8_t* data = nullptr;
};

}  // namespace

int Demux(CReadFile& file, CTrackInfoMap& map, CProgressWnd* progress, size_t blockSize) {
    if (map.Empty()) return 0;
    bool graphics = false;
    for (const auto& t : map.tracks)
        if (t && (t->streamType == kStreamTypePg || t->streamType == kStreamTypeIg))
            graphics = true;

    Report(progress, SProgressReport::kCaption, 0, kDemuxCaption);
    Report(progress, SProgressReport::kText, 0, file.Path());
    Report(progress, SProgressReport::kPosition, 0);

    blockSize -= blockSize % kSourcePacketSize;
    if (blockSize == 0) blockSize = kSourcePacketSize;
    SReadBlock blockMemory(blockSize);
    uint8_t* const blockData = blockMemory.data;
    const int64_t length = file.Length();
    int64_t reference = 0;
    int64_t consumed = 0;
    STsPacket packet;

    // Walks the whole source packets of [begin, end) of the block.
    auto walk = [&](const uint8_t* begin, size_t size) {
        const uint8_t* end = begin + (size - size % kSourcePacketSize);
        for (const uint8_t* sp = begin; sp < end; sp += kSourcePacketSize) {
            const uint8_t* ts = sp + 4;
            const int pid = PacketPid(ts);
            if (pid < 0) continue;
            STrackInfo* info = map.Find(pid);
            if (!info) continue;
            STrackFile* track =
                info->second && !(ts[1] & 0x20) ? info->second.get() : info->main.get();
            if (!track) continue;
            const int h = packet.ParsePacket({ts, kTsPacketSize});
            if (h == 0 || h > static_cast<int>(kTsPacketSize)) {
                // A damaged PES start leaves the rest of that PES packet out.
                if (h > 0 && packet.payloadUnitStart) track->AbandonPes();
                continue;
            }
            const SPesHeader* header = packet.pes.get();
            if (header)
                track->NotePesStart(header->HasPts() ? static_cast<uint32_t>(header->pts.value) : 0,
                                    packet.transportPriority);
            track->WritePayload(ts + h, kTsPacketSize - static_cast<size_t>(h), header, reference,
                                map.timeOffset);
        }
    };

    // Each block is read in pieces that are walked while they are still in the
    // processor's cache; only the first block is read whole when the reference
    // time is looked up in it.
    const size_t piece = std::min(kDemuxPieceSize, blockSize);
    bool failed = false;
    for (;;) {
        const bool whole = consumed == 0 && graphics;
        size_t got = file.Read(blockData, whole ? blockSize : piece);
        failed = file.Failed();
        if (got == 0) break;
        const int percent = length > 0 ? static_cast<int>(consumed * 100 / length) : 0;
        if (!Report(progress, SProgressReport::kPosition, percent)) return 1;
        if (whole) reference = ReferenceTime({blockData, got});
        walk(blockData, got);
        bool atEnd = got < (whole ? blockSize : piece);
        while (!atEnd && !failed && got < blockSize) {
            const size_t want = std::min(piece, blockSize - got);
            const size_t n = file.Read(blockData + got, want);
            failed = file.Failed();
            walk(blockData + got, n);
            got += n;
            atEnd = n < want;
        }
        consumed += static_cast<int64_t>(got);
        if (failed || atEnd) break;
    }
    if (failed) {
        ShowMessage(
            StrFormat("%s:\n\r%s", file.Path().c_str(), SystemErrorText(file.Error()).c_str()));
        return 2;
    }
    for (const auto& t : map.tracks) {
        if (!t) continue;
        if (t->main) t->main->Flush();
        if (t->second) t->second->Flush();
    }
    Report(progress, SProgressReport::kPosition, 100);
    return 0;
}

}  // namespace tessel
