// `tessel scan <BDMV-folder> [--json]`: every clip with an IG menu, decoded.
#include <algorithm>
#include <cmath>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/menu_json.h"
#include "cli/stream_targets.h"
#include "cli/terminal_progress.h"
#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "model/display_set_runs.h"
#include "model/epoch.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

void PrintPages(const CIcData& ic, const std::string& in) {
    for (const auto& page : ic) {
        Out(StrFormat("%s%s (id %d, %d group(s))", in.c_str(), page->name.c_str(), page->id,
                      page->GetSize()));
        for (const auto& bog : *page) {
            Out(StrFormat("%s  %s (%d button(s))", in.c_str(), bog->name.c_str(), bog->GetSize()));
            for (const auto& b : *bog) {
                int l, t, r, bottom;
                const bool sized = b->GetRect(l, t, r, bottom);
                if (!sized) l = b->x, t = b->y, r = b->x, bottom = b->y;
                Out(StrFormat("%s    %s (id %d): (%d, %d)-(%d, %d), %d command(s)", in.c_str(),
                              b->name.c_str(), b->id, l, t, r, bottom, b->commands.GetSize()));
            }
        }
    }
}

// "HH:MM:SS.mmm (90 kHz ticks)" of a display set's frame at the stream's rate.
std::string FrameTime(int frame, int frameRate) {
    const double fps = FrameRateValue(frameRate);
    const uint64_t ticks =
        fps > 0 ? static_cast<uint64_t>(std::floor(std::max(0, frame) * 90000.0 / fps + 0.5)) : 0;
    return StrFormat("%s (%llu)", ClockTime(ticks).c_str(), static_cast<unsigned long long>(ticks));
}

// An epoch's display sets; identical neighbours (a menu repeated at every
// entry point) print once with their count and time range.
void PrintEpoch(CEpoch& epoch, int frameRate, const std::string& label, const std::string& in) {
    for (const SDisplaySetRun& run : IdenticalDisplaySetRuns(epoch)) {
        CDisplaySet& first = *epoch.GetAt(run.first);
        if (run.count == 1) {
            Out(StrFormat("%s%s %s (frame %d, %s)", in.c_str(), label.c_str(), first.name.c_str(),
                          first.frameNumber, FrameTime(first.frameNumber, frameRate).c_str()));
        } else {
            const CDisplaySet& last = *epoch.GetAt(run.first + run.count - 1);
            Out(StrFormat("%s%s DisplaySet#%d-#%d: %d identical, %s-%s", in.c_str(), label.c_str(),
                          run.first + 1, run.first + run.count, run.count,
                          FrameTime(first.frameNumber, frameRate).c_str(),
                          FrameTime(last.frameNumber, frameRate).c_str()));
        }
        PrintPages(first, in + "  ");
    }
}

void PrintDisc(const CTlDisc& disc) {
    Out(disc.name);
    for (const auto& clip : disc.clips) {
        Out(StrFormat("  %05d.m2ts", clip->id));
        if (clip->coverage.quick) Out("    " + CoverageText(clip->coverage));
        const bool direct = clip->igObjects.size() == 1;
        for (const auto& ig : clip->igObjects) {
            std::string in = "    ";
            if (!direct) {
                Out(StrFormat("    PID 0x%04X (%s, %d epoch(s))", ig->id,
                              VideoDescriptorText(ig->video).c_str(), ig->GetSize()));
                in = "      ";
            }
            // One epoch with one display set shows its pages directly.
            if (ig->GetSize() == 1 && ig->GetAt(0)->GetSize() == 1) {
                PrintPages(*ig->GetAt(0)->GetAt(0), in);
                continue;
            }
            for (const SDisplaySetRun& run : IdenticalEpochRuns(*ig)) {
                CEpoch& epoch = *ig->GetAt(run.first);
                std::string label = epoch.name;
                if (run.count > 1) {
                    const CEpoch& last = *ig->GetAt(run.first + run.count - 1);
                    const int lastFrame =
                        last.IsEmpty() ? 0 : last.GetAt(last.GetSize() - 1)->frameNumber;
                    const int firstFrame = epoch.IsEmpty() ? 0 : epoch.GetAt(0)->frameNumber;
                    Out(StrFormat("%sEpoch#%d-#%d: %d identical, %s-%s", in.c_str(), run.first + 1,
                                  run.first + run.count, run.count,
                                  FrameTime(firstFrame, ig->video.frameRate).c_str(),
                                  FrameTime(lastFrame, ig->video.frameRate).c_str()));
                    label = StrFormat("Epoch#%d-#%d", run.first + 1, run.first + run.count);
                }
                PrintEpoch(epoch, ig->video.frameRate, label, in);
            }
        }
    }
}

// The epochs of a stream; collapsed, each run of identical epochs (and of
// identical display sets within an epoch) is its first with a repeat count.
// seen: a quick scan's sightings of each display set, in tree order.
ordered_json EpochsJson(CIgObject& ig, bool collapse, const std::vector<int>& seen) {
    ordered_json epochs = ordered_json::array();
    std::vector<SDisplaySetRun> epochRuns;
    if (collapse)
        epochRuns = IdenticalEpochRuns(ig);
    else
        for (int i = 0; i < ig.GetSize(); ++i) epochRuns.push_back({i, 1});
    for (const SDisplaySetRun& er : epochRuns) {
        CEpoch& epoch = *ig.GetAt(er.first);
        const int e = er.first + 1;
        size_t ordinal = 0;
        for (int k = 0; k < er.first; ++k) ordinal += static_cast<size_t>(ig.GetAt(k)->GetSize());
        std::vector<SDisplaySetRun> runs;
        if (collapse)
            runs = IdenticalDisplaySetRuns(epoch);
        else
            for (int i = 0; i < epoch.GetSize(); ++i) runs.push_back({i, 1});
        ordered_json sets = ordered_json::array();
        for (const SDisplaySetRun& run : runs) {
            const CDisplaySet& ds = *epoch.GetAt(run.first);
            if (ds.IsEmpty()) continue;
            const SCompositionHead head{ig.video, 0, ds.compositionState, ds.streamPts,
                                        ds.streamDts};
            ordered_json j = CompositionJson(e, run.first + 1, head, ds);
            j["frame_number"] = ds.frameNumber;
            if (!seen.empty()) {
                int count = 0;
                for (int k = 0; k < run.count; ++k)
                    if (ordinal + run.first + k < seen.size())
                        count += seen[ordinal + run.first + k];
                j["sampled_count"] = count;
            }
            if (collapse) {
                j["repeat_count"] = run.count;
                j["last_frame_number"] = epoch.GetAt(run.first + run.count - 1)->frameNumber;
            }
            sets.push_back(std::move(j));
        }
        ordered_json j = {{"name", epoch.name},
                          {"graphics", EpochGraphicsJson(epoch)},
                          {"palettes", EpochPalettesJson(epoch)},
                          {"display_sets", sets}};
        if (collapse) {
            j["repeat_count"] = er.count;
            j["last_epoch"] = ig.GetAt(er.first + er.count - 1)->name;
        }
        epochs.push_back(std::move(j));
    }
    return epochs;
}

ordered_json DiscJson(const CTlDisc& disc, bool collapse) {
    ordered_json clips = ordered_json::array();
    for (const auto& clip : disc.clips) {
        ordered_json igs = ordered_json::array();
        for (const auto& ig : clip->igObjects) {
            std::vector<int> seen;
            for (const auto& s : clip->coverage.seen)
                if (s.pid == ig->id) seen.push_back(s.count);
            igs.push_back({{"pid", ig->id},
                           {"name", ig->name},
                           {"video", VideoJson(ig->video)},
                           {"epochs", EpochsJson(*ig, collapse, seen)}});
        }
        const int type = clip->clipInfo ? clip->clipInfo->clipInfo.applicationType : 0;
        ordered_json j = {{"clip", clip->id}};
        PutNamed(j, "application_type", type, ApplicationTypeText(type));
        // The streams are demultiplexed as tessel demux does by default.
        j["time_stamps"] = "rebased";
        ordered_json streams = ordered_json::array();
        if (clip->clipInfo)
            for (const auto& s : clip->clipInfo->programInfo.streams)
                streams.push_back(ClipStreamJson(s));
        j["streams"] = std::move(streams);
        j["igs"] = std::move(igs);
        j["coverage"] = CoverageJson(clip->coverage);
        clips.push_back(std::move(j));
    }
    return {{"disc", disc.name}, {"clips", clips}};
}

struct SScanCommand {
    std::string folder;
    bool json = false;
    int clip = -1;
    std::string pid;
    bool keepGoing = false;
    bool collapse = false;
    bool quick = false;
};

int Run(const SScanCommand& o) {
    SScanOptions options;
    if (!NarrowScan(o.clip, o.pid, options)) return kExitFailed;
    options.keepGoing = o.keepGoing;
    options.quick = o.quick;
    CTlDisc disc;
    std::vector<int> failed;
    Json leftOut;
    {
        CTerminalProgress progress;
        if (const int scanned = ScanForCommand(disc, o.folder, options, &progress, failed, leftOut);
            scanned != kExitOk)
            return scanned;
    }
    if (o.json) {
        Json j = DiscJson(disc, o.collapse);
        j["input"] = o.folder;
        j["left_out"] = std::move(leftOut);
        PrintJson(j);
    } else
        PrintDisc(disc);
    if (disc.faults.empty()) return EndWithoutTeardown(kExitOk);
    std::string playlists, clips, damaged;
    size_t playlistCount = 0, damagedCount = 0;
    for (const SScanFault& f : disc.faults) {
        const bool left = std::find(failed.begin(), failed.end(), f.clip) != failed.end();
        const std::string clip = StrFormat("%05d", f.clip);
        if (f.clip < 0) {
            playlists += (playlists.empty() ? "" : " ") + FileName(f.path);
            ++playlistCount;
        } else if (!left && damaged.find(clip) == std::string::npos) {
            damaged += (damaged.empty() ? "" : " ") + clip;
            ++damagedCount;
        }
    }
    for (int n : failed) clips += StrFormat("%s%05d", clips.empty() ? "" : " ", n);
    if (playlistCount)
        ShowMessage(StrFormat("%s: %zu playlist(s) could not be read and are left out: %s",
                              o.folder.c_str(), playlistCount, playlists.c_str()));
    if (!failed.empty())
        ShowMessage(StrFormat("%s: %zu clip(s) could not be read and are left out: %s",
                              o.folder.c_str(), failed.size(), clips.c_str()));
    if (damagedCount)
        ShowMessage(
            StrFormat("%s: %zu clip(s) lost PES packets and are shown without what they "
                      "held: %s",
                      o.folder.c_str(), damagedCount, damaged.c_str()));
    return kExitFailed;
}

const CommandRegistration kScanCommand(
    "scan", "Find every clip with an IG menu in a BDMV folder and show its menu tree",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SScanCommand>();
        sub.add_option("folder", o->folder, "BDMV folder, the disc's root, or a disc image")
            ->required();
        sub.add_flag("--json", o->json, "Print JSON");
        sub.add_flag("--collapse", o->collapse,
                     "JSON: each run of identical epochs or display sets once, with "
                     "repeat_count (text output always shows them once)");
        sub.add_option("--clip", o->clip, "Only this clip number (e.g. 1 for 00001.m2ts)");
        sub.add_option("--pid", o->pid, "Only IG streams on this PID (decimal or 0x hex)");
        AddQuickOption(sub, o->quick);
        sub.add_flag("--keep-going", o->keepGoing,
                     "Go on past a missing or unreadable playlist or clip (each is reported; "
                     "exit status 2)");
        return [o] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
