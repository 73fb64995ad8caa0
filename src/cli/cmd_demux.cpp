// `tessel demux <file.m2ts> <out-folder> [--pg | --all-graphics] [--keep-time]`:
// every IG PID of a clip's transport stream as a marked-form stream file
// `<pid>.ig` (PG PIDs as `<pid>.sup`).
#include <algorithm>
#include <vector>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "cli/terminal_progress.h"
#include "clip/m2ts_object.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

struct SDemuxOptions {
    std::string path;
    std::string folder;
    bool pg = false;
    bool all = false;
    bool keepTime = false;
    bool json = false;
    bool yes = false;
    std::string pid;
};

// The file's extension tells the stream kind; a PID without payload has neither.
Json TrackJson(const SIgStreamFile& f) {
    const bool pg = EqualsNoCase(FileExtension(f.path), "sup");
    Json t = {{"pid", f.pid}};
    t["kind"] = f.path.empty() ? Json(nullptr) : Json(pg ? "PG" : "IG");
    t["file"] = f.path.empty() ? Json(nullptr) : Json(f.path);
    t["bytes"] = f.bytes;
    t["packets"] = f.pesCount;
    t["cut_pes_bytes"] = f.cutBytes;
    t["cut_record_offset"] = f.cutBytes > 0 ? Json(f.cutRecordOffset) : Json(nullptr);
    return t;
}

// Names each PES packet a file of the clip at path lacks; true when there is one.
bool ReportDamage(const std::string& path, const SIgStreamFile& f) {
    bool cut = false;
    // The file keeps every whole record; each PES packet left out is named.
    for (const SPesDamage& d : f.damages) {
        ShowMessage(StrFormat("%s: %s", path.c_str(), DamageText(f.pid, d).c_str()));
        cut = true;
    }
    if (f.cutBytes > 0) {
        // The file keeps what the clip holds; its last record is short.
        ShowMessage(
            StrFormat("%s: PID 0x%04X: the last PES packet is cut off by the end of the "
                      "clip (%lld bytes missing); its record at byte %lld of %s is "
                      "incomplete",
                      path.c_str(), f.pid, static_cast<long long>(f.cutBytes),
                      static_cast<long long>(f.cutRecordOffset), f.path.c_str()));
        cut = true;
    }
    return cut;
}

Json DemuxJson(const SDemuxOptions& o, const std::string& folder, int wanted, Json tracks) {
    Json out = {{"file", o.path}, {"folder", folder}};
    if (wanted >= 0) out["pid"] = wanted;
    out["time_stamps"] = o.keepTime ? "kept" : "rebased";
    out["time_stamps_note"] =
        o.keepTime ? "the clip's own PTS and DTS"
                   : "counted from the clip's first time stamp and moved up to at least "
                     "131070 (1.456 s at 90 kHz)";
    out["min_first_time_90khz"] = o.keepTime ? Json(nullptr) : Json(131070);
    out["tracks"] = std::move(tracks);
    return out;
}

// Only the PID asked for is kept; false after saying the clip has none.
bool KeepWanted(const std::string& path, int wanted, std::vector<SIgStreamFile>& files) {
    if (wanted < 0) return true;
    std::erase_if(files, [&](const SIgStreamFile& f) {
        if (f.pid == wanted) return false;
        if (!f.path.empty()) DeleteFile(f.path);
        return true;
    });
    if (!files.empty()) return true;
    ShowMessage(StrFormat("%s: no graphics stream on PID 0x%04X", path.c_str(), wanted));
    return false;
}

int Run(const SDemuxOptions& o) {
    int wanted = -1;
    if (!o.pid.empty() && !ParsePid(o.pid, wanted)) return kExitFailed;  // checked by the parser
    if (const int asked = ConfirmFolder(o.folder, o.yes, o.path == kStandardInput);
        asked != kExitOk)
        return asked;
    std::string folder = o.folder;
    if (const CResult made = MakeFolder(folder); !made) return ShowFailure(made);
    NormalizeFolder(folder);
    SDemuxChoice choice;
    choice.ig = !o.pg || o.all;
    choice.pg = o.pg || o.all;
    choice.keepTime = o.keepTime;
    std::vector<SIgStreamFile> files;
    int result;
    {
        CTerminalProgress progress;
        result = DemuxGraphicsToFolder(o.path, folder, choice, &progress, files);
    }
    if (result != 0) return ExitStatus(result);
    if (!KeepWanted(o.path, wanted, files)) return kExitFailed;
    bool cut = false;
    Json tracks = Json::array();
    for (const SIgStreamFile& f : files) {
        if (o.json)
            tracks.push_back(TrackJson(f));
        else if (f.path.empty())
            Note(StrFormat("PID 0x%04X: no payload, no file written", f.pid));
        else
            Note(StrFormat("%s: PID 0x%04X, %u PES packets, %lld bytes", f.path.c_str(), f.pid,
                           f.pesCount, static_cast<long long>(f.bytes)));
        cut = ReportDamage(o.path, f) || cut;
    }
    // Nothing demuxed is no result.
    if (std::all_of(files.begin(), files.end(),
                    [](const SIgStreamFile& f) { return f.path.empty(); })) {
        ShowMessage(StrFormat("%s: no %s PID carries a payload; no file was written",
                              o.path.c_str(),
                              choice.ig && choice.pg ? "IG or PG"
                              : choice.pg            ? "PG"
                                                     : "IG"));
        cut = true;
    }
    if (o.json) PrintJson(DemuxJson(o, folder, wanted, std::move(tracks)));
    return cut ? kExitFailed : kExitOk;
}

const CommandRegistration kDemux(
    "demux", "Write each IG stream of a clip's transport stream as <pid>.ig (marked form)",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SDemuxOptions>();
        sub.add_option("file", o->path, "Clip transport stream (.m2ts)")->required();
        sub.add_option("out-folder", o->folder, "Folder for the <pid>.ig files")->required();
        auto* pg = sub.add_flag("--pg", o->pg, "PG (subtitle) PIDs instead, as <pid>.sup");
        auto* all = sub.add_flag("--all-graphics", o->all, "IG and PG PIDs");
        pg->excludes(all);
        sub.add_flag("--keep-time", o->keepTime,
                     "Keep the clip's own PTS and DTS (by default they are rebased)");
        sub.add_flag("--json", o->json, "Print JSON: the tracks written and the time stamps' form");
        sub.add_option("--pid", o->pid, "Only this PID (decimal or 0x hex)");
        AddYes(sub, o->yes);
        sub.footer(
            "Time stamps: by default each record's PTS and DTS are rebased, counted from the "
            "clip's first time stamp and moved up to at least 1.456 s (131070 at 90 kHz) "
            "when earlier; --keep-time writes the transport stream's own values.\n\n"
            "Example:\n  tessel demux BDMV/STREAM/00001.m2ts out --all-graphics\n\n"
            "Exit status: 0 done, 1 cancelled (Ctrl-C), 2 failed (a PES packet cut off by the "
            "end of the clip, lost or damaged counts as failed; the files keep what the clip "
            "holds).");
        return [o] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
