#include "ts/demux.h"

#include <memory>

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
    auto block = std::make_unique_for_overwrite<uint8_t[]>(blockSize);
    const int64_t length = file.Length();
    int64_t reference = 0;
    int64_t consumed = 0;
    STsPacket packet;

    size_t got;
    while ((got = file.Read(block.get(), blockSize)) > 0) {
        const int percent = length > 0 ? static_cast<int>(consumed * 100 / length) : 0;
        if (!Report(progress, SProgressReport::kPosition, percent)) return 1;
        if (consumed == 0 && graphics) reference = ReferenceTime({block.get(), got});

        // A partial source packet at the end of the file is ignored.
        const uint8_t* end = block.get() + (got - got % kSourcePacketSize);
        for (const uint8_t* sp = block.get(); sp < end; sp += kSourcePacketSize) {
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
        consumed += static_cast<int64_t>(got);
    }
    if (file.Failed()) {
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
