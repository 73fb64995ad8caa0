// `tessel subs <stream.sup|clip.m2ts> <out-folder> [--format bdn|json]
// [--pid P]`: every picture of a subtitle stream as PNG with its times, and
// the index subtitle tools read (BDN XML) or the same facts as JSON. A clip
// gives each of its PG PIDs (or the one asked for), named <clip>_<pid>.
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "cli/stream_targets.h"
#include "cli/terminal_progress.h"
#include "clip/m2ts_object.h"
#include "codec/display_set.h"
#include "codec/ics.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "subtitle/pg_events.h"
#include "ts/esi.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

struct SSubsOptions {
    std::string input;
    std::string output;
    std::string format = "bdn";
    std::string pid;
    bool bare = false;
};

ordered_json EventsJson(const SPgEvents& events, const std::vector<std::string>& names) {
    const int rate = events.video.frameRate;
    ordered_json list = ordered_json::array();
    for (size_t i = 0; i < events.events.size(); ++i) {
        const SPgEvent& e = events.events[i];
        list.push_back({{"index", i + 1},
                        {"start_90khz", e.startPts},
                        {"end_90khz", e.endPts},
                        {"start", TimeCode(e.startPts, rate)},
                        {"end", TimeCode(e.endPts, rate)},
                        {"end_given", e.endGiven},
                        {"forced", e.forced},
                        {"palette_update", e.paletteUpdate},
                        {"display_set", e.displaySet},
                        {"composition_number", e.compositionNumber},
                        {"x", e.x},
                        {"y", e.y},
                        {"width", e.picture.Width()},
                        {"height", e.picture.Height()},
                        {"file", names[i]}});
    }
    return {{"video",
             {{"width", events.video.width},
              {"height", events.video.height},
              {"frame_rate", {{"code", rate}, {"name", FrameRateName(rate)}}},
              {"format", BdnVideoFormat(events.video)}}},
            {"events", list},
            {"notes", events.notes}};
}

// Pictures and index of one PG stream as read; source names it in messages.
int WriteSubs(const CEpochList& epochs, const SStreamInfo& info, const std::string& source,
              const std::string& stem, const SSubsOptions& o) {
    if (info.interactive) {
        ShowMessage(
            StrFormat("%s: an Interactive Graphics stream, not subtitles (see tessel render)",
                      source.c_str()));
        return kExitFailed;
    }
    SPgEvents events;
    BuildPgEvents(epochs, events);
    for (const std::string& note : events.notes) ShowMessage(source + ": " + note);
    std::string folder = o.output;
    if (!MakeFolderTreeOrReport(folder)) return kExitFailed;
    NormalizeFolder(folder);
    std::vector<std::string> names;
    for (size_t i = 0; i < events.events.size(); ++i) {
        names.push_back(StrFormat("%s_%04zu.png", stem.c_str(), i + 1));
        std::string error;
        if (!SavePng(folder + names.back(), events.events[i].picture, error)) {
            ShowMessage(StrFormat("%s%s: %s", folder.c_str(), names.back().c_str(), error.c_str()));
            return kExitFailed;
        }
    }
    const std::string index = folder + stem + (o.format == "bdn" ? ".xml" : ".json");
    const std::string text =
        o.format == "bdn" ? BdnXml(events, stem, names) : EventsJson(events, names).dump(2) + "\n";
    std::string error;
    if (!WriteWholeFile(index, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error)) {
        ShowMessage(StrFormat("%s: %s", index.c_str(), error.c_str()));
        return kExitFailed;
    }
    Out(StrFormat("%zu event(s): %zu picture(s) and %s", events.events.size(), events.events.size(),
                  index.c_str()));
    return kExitOk;
}

// Every PG PID of a clip (or the one asked for), each its own stream.
int RunClip(const SSubsOptions& o) {
    int wanted = -1;
    if (!o.pid.empty() && !ParsePid(o.pid, wanted)) {
        ShowMessage(StrFormat("--pid %s: not a PID", o.pid.c_str()));
        return kExitFailed;
    }
    std::vector<SIgStream> streams;
    std::string fullPath;
    int result;
    {
        CTerminalProgress progress;
        result = DemuxGraphicsStreams(o.input, kStreamTypePg, &progress, streams, &fullPath);
    }
    if (result != 0) return result == 1 ? kExitCancelled : kExitFailed;
    const std::string clip = std::filesystem::path(o.input).stem().string();
    bool found = false;
    for (const SIgStream& s : streams) {
        if (wanted >= 0 && s.pid != wanted) continue;
        found = true;
        const std::string source = StrFormat("%s: PG stream 0x%04X", fullPath.c_str(), s.pid);
        CMemorySource bytes(s.marked);
        CEpochList epochs;
        SStreamInfo info;
        if (!ReadStream(epochs, bytes, false, &info)) {
            ShowMessage(StrFormat("%s: %s (at byte %lld)", source.c_str(), info.error.text.c_str(),
                                  static_cast<long long>(info.error.offset)));
            return kExitFailed;
        }
        const int written =
            WriteSubs(epochs, info, source, StrFormat("%s_%d", clip.c_str(), s.pid), o);
        if (written != kExitOk) return written;
    }
    if (!found) {
        ShowMessage(StrFormat("%s: no PG stream with PID 0x%04X", fullPath.c_str(), wanted));
        return kExitFailed;
    }
    return kExitOk;
}

int Run(const SSubsOptions& o) {
    if (o.format != "bdn" && o.format != "json") {
        ShowMessage(StrFormat("--format %s: not one of bdn, json", o.format.c_str()));
        return kExitFailed;
    }
    const std::string extension = ToLower(FileExtension(o.input));
    if (extension == "m2ts" || extension == "mts") return RunClip(o);
    if (!o.pid.empty()) {
        ShowMessage("--pid: only for a clip's transport stream (.m2ts)");
        return kExitFailed;
    }
    CEpochList epochs;
    SStreamInfo info;
    if (!ReadStreamFile(o.input, epochs, o.bare, &info)) {
        ShowMessage(StrFormat("%s: %s (at byte %lld)", o.input.c_str(), info.error.text.c_str(),
                              static_cast<long long>(info.error.offset)));
        return kExitFailed;
    }
    return WriteSubs(epochs, info, o.input, std::filesystem::path(o.input).stem().string(), o);
}

const CommandRegistration kRegistration(
    "subs", "Subtitle pictures of a PG stream as PNG with their times (BDN XML or JSON)",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SSubsOptions>();
        sub.add_option("input", o->input, "PG stream file (.sup) or clip (.m2ts)")->required();
        sub.add_option("out-folder", o->output, "Folder for the pictures and the index")
            ->required();
        sub.add_option("--format", o->format, "Index format: bdn (XML) or json");
        sub.add_flag("--bare", o->bare, "The stream has no record heads");
        sub.add_option("--pid", o->pid, "Only this PG PID of a clip (e.g. 0x1200)");
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
