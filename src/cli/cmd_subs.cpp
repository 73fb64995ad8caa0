// `tessel subs <stream.sup|clip.m2ts|BDMV> <out-folder> [--format bdn|json]
// [--pid P]`: every picture of a subtitle stream as PNG with its times, and
// the index subtitle tools read (BDN XML) or the same facts as JSON. A clip
// gives each of its PG PIDs (or the one asked for), named <clip>_<pid>; a
// disc (BDMV folder, disc root or image) every clip with PG streams.
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "cli/terminal_progress.h"
#include "clip/m2ts_object.h"
#include "disc/disc_subs.h"
#include "platform/disc_image.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "subtitle/pg_stream.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

struct SSubsOptions {
    std::string input;
    std::string output;
    std::string format = "bdn";
    std::string pid;
    bool bare = false;
    bool yes = false;
    bool keepGoing = false;
    std::string name;  // the files' stem for a stream on standard input
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
    ordered_json video = VideoJson(events.video);
    video["format"] = BdnVideoFormat(events.video);
    return {{"video", video}, {"events", list}, {"notes", events.notes}};
}

// Pictures and index of one PG stream's events.
int WriteSubs(const SPgEvents& events, const std::string& source, const std::string& stem,
              const SSubsOptions& o) {
    for (const std::string& note : events.notes) ShowMessage(source + ": " + note);
    if (events.events.empty()) {
        // Nothing to index: no pictures and no index are written.
        ShowMessage(StrFormat("%s: no subtitle picture in the stream; nothing is written for it",
                              source.c_str()));
        return kExitFailed;
    }
    std::string folder = o.output;
    if (const CResult made = MakeFolderTree(folder); !made) return ShowFailure(made);
    NormalizeFolder(folder);
    std::vector<std::string> names;
    for (size_t i = 0; i < events.events.size(); ++i) {
        names.push_back(StrFormat("%s_%04zu.png", stem.c_str(), i + 1));
        if (const CResult r = SavePng(folder + names.back(), events.events[i].picture); !r)
            return ShowFailure(folder + names.back(), r.Text());
    }
    const std::string index = folder + stem + (o.format == "bdn" ? ".xml" : ".json");
    const std::string text =
        o.format == "bdn" ? BdnXml(events, stem, names) : JsonText(EventsJson(events, names));
    if (!WriteOutput(index, text)) return kExitFailed;
    Note(StrFormat("%zu event(s): %zu picture(s) and %s", events.events.size(),
                   events.events.size(), index.c_str()));
    return kExitOk;
}

// Every PG PID of a clip (or the one asked for), each its own stream named
// <clip>_<pid>. found tells whether the clip had the PID asked for; empty
// is set when a PID had no picture (it is said, nothing is written for it,
// and the others are written).
int WriteClip(const std::string& path, const std::string& clip, int wanted, const SSubsOptions& o,
              bool& found, bool& empty, const CDiscSource& disc) {
    std::vector<std::unique_ptr<CPgStreamObject>> streams;
    int result;
    {
        CTerminalProgress progress;
        result = ReadClipSubtitles(path, -1, &progress, streams, disc);
    }
    if (result != 0) return ExitStatus(result);
    for (const auto& s : streams) {
        if (wanted >= 0 && s->pid != wanted) continue;
        found = true;
        const std::string source = StrFormat("%s: PG stream 0x%04X", path.c_str(), s->pid);
        if (s->events.events.empty()) {
            WriteSubs(s->events, source, {}, o);
            empty = true;
            continue;
        }
        const int written =
            WriteSubs(s->events, source, StrFormat("%s_%d", clip.c_str(), s->pid), o);
        if (written != kExitOk) return written;
    }
    return kExitOk;
}

// A clip's transport stream, or every clip of a disc with PG streams.
int RunClips(const SSubsOptions& o, bool disc) {
    int wanted = -1;
    if (!o.pid.empty() && !ParsePid(o.pid, wanted)) {
        return ShowUsageError(StrFormat("--pid %s: not a PID", o.pid.c_str()));
    }
    std::vector<SSubtitleClip> clips;
    CDiscSource source;
    if (!disc) {
        clips.push_back({0, o.input});
    } else {
        if (const CResult found = FindSubtitleClips(o.input, clips, &source); !found) {
            ShowMessage(found.Message());
            return kExitFailed;
        }
        if (clips.empty()) {
            ShowMessage(StrFormat("%s: no clip has a PG stream (subtitles)", o.input.c_str()));
            return kExitFailed;
        }
    }
    bool found = false, empty = false;
    std::string leftOut;
    for (const SSubtitleClip& clip : clips) {
        const std::string stem = disc ? StrFormat("%05d", clip.number)
                                      : std::filesystem::path(clip.m2tsPath).stem().string();
        const int written = WriteClip(clip.m2tsPath, stem, wanted, o, found, empty, source);
        if (written == kExitFailed && disc && o.keepGoing) {
            leftOut += (leftOut.empty() ? "" : " ") + stem;
            continue;
        }
        if (written != kExitOk) return written;
    }
    if (!leftOut.empty()) {
        ShowMessage(StrFormat("%s: clip(s) left out after a failure: %s", o.input.c_str(),
                              leftOut.c_str()));
        return kExitFailed;
    }
    if (wanted >= 0 && !found) {
        ShowMessage(StrFormat("%s: no PG stream with PID 0x%04X", o.input.c_str(), wanted));
        return kExitFailed;
    }
    return empty ? kExitFailed : kExitOk;
}

int Run(const SSubsOptions& o) {
    if (o.format != "bdn" && o.format != "json") {
        return ShowUsageError(StrFormat("--format %s: not one of bdn, json", o.format.c_str()));
    }
    const bool standardInput = o.input == kStandardInput;
    if (!o.name.empty() && !standardInput) {
        return ShowUsageError("--name: only for a stream on standard input (-)");
    }
    if (const int asked = ConfirmFolder(o.output, o.yes, standardInput); asked != kExitOk)
        return asked;
    const std::string extension = ToLower(FileExtension(o.input));
    if (extension == "m2ts" || extension == "mts") return RunClips(o, false);
    if (IsFolder(o.input) || IsDiscImageName(o.input)) return RunClips(o, true);
    if (!o.pid.empty()) {
        return ShowUsageError("--pid: only for a clip's transport stream (.m2ts) or a disc");
    }
    std::vector<uint8_t> bytes;
    if (const CResult read = ReadWholeFile(o.input, bytes); !read)
        return ShowFailure(o.input, read.Text());
    CPgStreamObject stream;
    if (const CResult built = stream.Build(bytes, o.bare, o.input); !built) {
        ShowMessage(built.Message());
        return kExitFailed;
    }
    const std::string stem = standardInput ? (o.name.empty() ? "stdin" : o.name)
                                           : std::filesystem::path(o.input).stem().string();
    return WriteSubs(stream.events, o.input, stem, o);
}

const CommandRegistration kSubsCommand(
    "subs", "Subtitle pictures of a PG stream as PNG with their times (BDN XML or JSON)",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SSubsOptions>();
        sub.add_option("input", o->input,
                       "PG stream file (.sup; - for stdin), clip (.m2ts) or disc (BDMV folder, "
                       "root or image)")
            ->required();
        sub.add_option("out-folder", o->output, "Folder for the pictures and the index")
            ->required();
        sub.add_option("--format", o->format, "Index format: bdn (XML) or json");
        AddStreamForm(sub, o->input, o->bare, "The stream has no record heads");
        sub.add_option("--pid", o->pid, "Only this PG PID of a clip or disc (e.g. 0x1200)");
        sub.add_option("--name", o->name,
                       "Stem of the files for a stream on standard input (default: stdin)")
            ->check([](const std::string& v) {
                return v.empty() || v.find('/') != std::string::npos ? "a file name, no folder"
                                                                     : "";
            });
        AddYes(sub, o->yes);
        AddKeepGoing(sub, o->keepGoing);
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
