// `tessel menu <stream> [--json] [--bare]`: the interactive compositions of an
// IG stream as a tree of pages, groups, buttons and commands.
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/menu_json.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "cli/terminal_progress.h"
#include "codec/display_set.h"
#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "model/ic_data.h"
#include "model/ig_object.h"
#include "platform/disc_image.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

// The IG stream of a disc's clip (the first IG clip and PID, or those asked
// for), demultiplexed into memory; path becomes "<clip path>:<pid>".
int DiscStream(const std::string& folder, int clip, const std::string& pidText, bool keepGoing,
               std::string& path, std::vector<uint8_t>& bytes, std::vector<int>& leftOut) {
    SScanOptions options;
    if (!NarrowScan(clip, pidText, options)) return kExitFailed;
    options.keepGoing = keepGoing;
    options.failed = &leftOut;
    CTlDisc disc;
    CTerminalProgress progress;
    const int scanned = ScanDisc(disc, folder, &progress, options);
    if (scanned != 0) return scanned == 1 ? kExitCancelled : kExitFailed;
    const CTlM2tsObject& target = *disc.clips.front();
    const int pid = target.igObjects.front()->id;
    const std::string m2ts = target.clipInfo ? target.clipInfo->streamPath : std::string();
    std::vector<SIgStream> streams;
    const int demuxed = DemuxIgStreams(m2ts, &progress, streams, disc.source);
    if (demuxed != 0) return demuxed == 1 ? kExitCancelled : kExitFailed;
    for (SIgStream& s : streams)
        if (s.pid == pid) bytes.assign(s.marked.data(), s.marked.data() + s.marked.size());
    path = StrFormat("%s:0x%04X", m2ts.c_str(), pid);
    return kExitOk;
}

int Run(std::string path, bool json, bool bare, int clip, const std::string& pid, bool keepGoing) {
    CGsData data;
    SStreamInfo info;
    bool ok;
    const std::string input = path;
    std::vector<int> leftOut;
    if (IsFolder(path) || IsDiscImageName(path)) {
        std::vector<uint8_t> bytes;
        if (const int rc = DiscStream(path, clip, pid, keepGoing, path, bytes, leftOut);
            rc != kExitOk)
            return rc;
        CMemorySource source(bytes);
        ok = ReadStream(data.epochs, source, false, &info);
    } else {
        if (clip >= 0 || !pid.empty()) {
            ShowUsageError(StrFormat("%s: --clip and --pid need a BDMV folder", path.c_str()));
            return kExitFailed;
        }
        ok = ReadStreamFile(path, data.epochs, bare, &info);
    }
    if (!ok && info.error.offset < 0) {
        ShowMessage(info.error.text);
        return kExitFailed;
    }
    if (info.hasVideo) data.video = info.video;
    // The model of what was read: frame numbers, graphic objects, palettes.
    CIgObject ig;
    ig.BuildFromStream(data);
    bool failed = false, printed = false;
    ordered_json all = ordered_json::array();
    for (size_t e = 0; e < data.epochs.size(); ++e) {
        const CEpoch* epoch = ig.GetAt(static_cast<int>(e));
        for (int d = 0; d < data.epochs[e]->GetSize(); ++d) {
            const CDsData& ds = *data.epochs[e]->GetAt(d);
            if (!ds.icsList || ds.icsList->items.empty()) continue;
            const CIcs& first = *ds.icsList->items.front();
            if (JoinComposition(ds.icsList.get()).empty()) continue;
            std::unique_ptr<CIcData> ic = ReadComposition(ds);
            const int epochNo = static_cast<int>(e) + 1, dsNo = d + 1;
            if (!ic) {
                ShowMessage(StrFormat(
                    "%s: epoch %d, display set %d: the interactive composition is incomplete",
                    path.c_str(), epochNo, dsNo));
                failed = true;
                continue;
            }
            // A bare stream carries no time stamps.
            const SCompositionHead head{first.video, first.compositionNumber,
                                        first.compositionState, bare ? -1 : first.pts,
                                        bare ? -1 : first.dts};
            printed = true;
            if (!json) {
                PrintComposition(epochNo, dsNo, head, *ic);
                continue;
            }
            // The model's display set has its buttons resolved against the
            // epoch's objects, which give their sizes.
            const CDisplaySet* set = epoch ? epoch->GetAt(d) : nullptr;
            const bool resolved = set && set->GetSize() == ic->GetSize();
            ordered_json j = CompositionJson(epochNo, dsNo, head,
                                             resolved ? static_cast<const CIcData&>(*set) : *ic);
            j["frame_number"] = set ? set->frameNumber : 0;
            if (epoch) {
                j["graphics"] = EpochGraphicsJson(*epoch);
                j["palettes"] = EpochPalettesJson(*epoch);
            }
            all.push_back(std::move(j));
        }
    }
    if (json) PrintJson(all);
    if (ok && !printed && !failed) {
        ShowMessage(StrFormat("%s: %s", path.c_str(),
                              data.epochs.empty() ? "no display set in the stream"
                                                  : "no interactive composition in the stream"));
        return kExitFailed;
    }
    if (!ok) {
        ShowMessage(StrFormat("%s: %s at byte offset %lld", path.c_str(), info.error.text.c_str(),
                              static_cast<long long>(info.error.offset)));
        return kExitFailed;
    }
    return failed ? kExitFailed : LeftOutStatus(input, leftOut);
}

const CommandRegistration kRegistration(
    "menu", "Print the menus (pages, groups, buttons, commands) of an IG stream",
    [](CLI::App& sub) -> std::function<int()> {
        auto path = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        auto bare = std::make_shared<bool>(false);
        sub.add_option("stream", *path,
                       "IG stream file, - for standard input, or a BDMV folder (its first IG "
                       "stream, or --clip/--pid)")
            ->required();
        auto clip = std::make_shared<int>(-1);
        auto pid = std::make_shared<std::string>();
        sub.add_option("--clip", *clip, "The clip of a BDMV folder");
        sub.add_option("--pid", *pid, "The IG PID of a BDMV folder's clip (decimal or 0x hex)");
        sub.add_flag("--json", *json, "Print JSON: one object per interactive composition");
        AddStreamForm(sub, *path, *bare, "The file holds segments without record heads");
        auto keepGoing = std::make_shared<bool>(false);
        AddKeepGoing(sub, *keepGoing);
        return [=] { return Run(*path, *json, *bare, *clip, *pid, *keepGoing); };
    });

}  // namespace
}  // namespace tessel::cli
