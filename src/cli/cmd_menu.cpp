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
               std::string& path, std::vector<uint8_t>& bytes, std::vector<int>& leftOut,
               SRecordOrigins& origins) {
    SScanOptions options;
    if (!NarrowScan(clip, pidText, options)) return kExitFailed;
    options.keepGoing = keepGoing;
    CTlDisc disc;
    CTerminalProgress progress;
    Json reasons;
    if (const int scanned = ScanForCommand(disc, folder, options, &progress, leftOut, reasons);
        scanned != kExitOk)
        return scanned;
    const CTlM2tsObject& target = *disc.clips.front();
    const int pid = target.igObjects.front()->id;
    const std::string m2ts = target.clipInfo ? target.clipInfo->streamPath : std::string();
    std::vector<SIgStream> streams;
    const int demuxed = DemuxIgStreams(m2ts, &progress, streams, disc.source);
    if (demuxed != 0) return ExitStatus(demuxed);
    for (SIgStream& s : streams)
        if (s.pid == pid) {
            bytes.assign(s.marked.data(), s.marked.data() + s.marked.size());
            origins = std::move(s.origins);
        }
    path = StrFormat("%s:0x%04X", m2ts.c_str(), pid);
    return kExitOk;
}

// A stream as read: its name in messages, what was read, and the clips
// --keep-going left out of a disc.
struct SMenuStream {
    std::string name;
    CGsData data;
    SStreamInfo info;
    bool ok = false;
    std::vector<int> leftOut;
    bool fromDisc = false;
    SRecordOrigins origins;  // fromDisc: where each record starts in the m2ts file
};

// The stream of a disc's clip or a stream file; kExitOk, or the exit status
// after the reason was shown.
int ReadMenuStream(const std::string& input, bool bare, int clip, const std::string& pid,
                   bool keepGoing, SMenuStream& s) {
    s.name = input;
    if (IsFolder(input) || IsDiscImageName(input)) {
        std::vector<uint8_t> bytes;
        if (const int rc =
                DiscStream(input, clip, pid, keepGoing, s.name, bytes, s.leftOut, s.origins);
            rc != kExitOk)
            return rc;
        s.fromDisc = true;
        CMemorySource source(bytes);
        s.ok = ReadStream(s.data.epochs, source, false, &s.info);
    } else {
        if (clip >= 0 || !pid.empty()) {
            return ShowUsageError(
                StrFormat("%s: --clip and --pid need a BDMV folder", input.c_str()));
        }
        s.ok = ReadStreamFile(input, s.data.epochs, bare, &s.info);
    }
    if (!s.ok && s.info.error.Offset() < 0) {
        ShowMessage(s.info.error.Text());
        return kExitFailed;
    }
    if (s.info.hasVideo) s.data.video = s.info.video;
    return kExitOk;
}

// One display set's composition in JSON. The model's display set has its
// buttons resolved against the epoch's objects, which give their sizes.
ordered_json CompositionOf(const CEpoch* epoch, int e, int d, const SCompositionHead& head,
                           const CIcData& ic) {
    const CDisplaySet* set = epoch ? epoch->GetAt(d) : nullptr;
    const bool resolved = set && set->GetSize() == ic.GetSize();
    ordered_json j =
        CompositionJson(e + 1, d + 1, head, resolved ? static_cast<const CIcData&>(*set) : ic);
    j["frame_number"] = set ? set->frameNumber : 0;
    if (epoch) {
        j["graphics"] = EpochGraphicsJson(*epoch);
        j["palettes"] = EpochPalettesJson(*epoch);
    }
    return j;
}

// Every interactive composition, printed or gathered into all; failed when
// one is incomplete.
void ShowCompositions(const SMenuStream& s, const CIgObject& ig, bool json, bool bare,
                      ordered_json& all, bool& printed, bool& failed) {
    const CEpochList& epochs = s.data.epochs;
    for (size_t e = 0; e < epochs.size(); ++e) {
        const CEpoch* epoch = ig.GetAt(static_cast<int>(e));
        for (int d = 0; d < epochs[e]->GetSize(); ++d) {
            const CDsData& ds = *epochs[e]->GetAt(d);
            if (!ds.icsList || ds.icsList->items.empty()) continue;
            const CIcs& first = *ds.icsList->items.front();
            if (JoinComposition(ds.icsList.get()).empty()) continue;
            std::unique_ptr<CIcData> ic = ReadComposition(ds);
            const int epochNo = static_cast<int>(e) + 1, dsNo = d + 1;
            if (!ic) {
                ShowMessage(StrFormat(
                    "%s: epoch %d, display set %d: the interactive composition is incomplete",
                    s.name.c_str(), epochNo, dsNo));
                failed = true;
                continue;
            }
            // A bare stream carries no time stamps.
            const SCompositionHead head{first.video, first.compositionNumber,
                                        first.compositionState, bare ? -1 : first.pts,
                                        bare ? -1 : first.dts};
            printed = true;
            if (json)
                all.push_back(CompositionOf(epoch, static_cast<int>(e), d, head, *ic));
            else
                PrintComposition(epochNo, dsNo, head, *ic);
        }
    }
}

int Run(const std::string& input, bool json, bool bare, int clip, const std::string& pid,
        bool keepGoing) {
    SMenuStream s;
    if (const int rc = ReadMenuStream(input, bare, clip, pid, keepGoing, s); rc != kExitOk)
        return rc;
    // The model of what was read: frame numbers, graphic objects, palettes.
    CIgObject ig;
    ig.BuildFromStream(s.data);
    bool failed = false, printed = false;
    ordered_json all = ordered_json::array();
    ShowCompositions(s, ig, json, bare, all, printed, failed);
    if (json) PrintJson(all);
    if (s.ok && !printed && !failed)
        return ShowFailure(s.name, s.data.epochs.empty()
                                       ? "no display set in the stream"
                                       : "no interactive composition in the stream");
    if (!s.ok) return ShowStreamError(s.name, s.info.error, s.fromDisc ? &s.origins : nullptr);
    return failed ? kExitFailed : LeftOutStatus(input, s.leftOut);
}

const CommandRegistration kMenuCommand(
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
