// `tessel subs <stream.sup> <out-folder> [--format bdn|json]`: every picture
// of a subtitle stream as PNG with its times, and the index subtitle tools
// read (BDN XML) or the same facts as JSON.
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "codec/display_set.h"
#include "codec/ics.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "subtitle/pg_events.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

struct SSubsOptions {
    std::string input;
    std::string output;
    std::string format = "bdn";
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

int Run(const SSubsOptions& o) {
    if (o.format != "bdn" && o.format != "json") {
        ShowMessage(StrFormat("--format %s: not one of bdn, json", o.format.c_str()));
        return kExitFailed;
    }
    CEpochList epochs;
    SStreamInfo info;
    if (!ReadStreamFile(o.input, epochs, o.bare, &info)) {
        ShowMessage(StrFormat("%s: %s (at byte %lld)", o.input.c_str(), info.error.text.c_str(),
                              static_cast<long long>(info.error.offset)));
        return kExitFailed;
    }
    if (info.interactive) {
        ShowMessage(
            StrFormat("%s: an Interactive Graphics stream, not subtitles (see tessel render)",
                      o.input.c_str()));
        return kExitFailed;
    }
    SPgEvents events;
    BuildPgEvents(epochs, events);
    for (const std::string& note : events.notes) ShowMessage(o.input + ": " + note);
    std::string folder = o.output;
    if (!MakeFolderTreeOrReport(folder)) return kExitFailed;
    NormalizeFolder(folder);
    const std::string stem = std::filesystem::path(o.input).stem().string();
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

const CommandRegistration kRegistration(
    "subs", "Subtitle pictures of a PG stream as PNG with their times (BDN XML or JSON)",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SSubsOptions>();
        sub.add_option("input", o->input, "PG stream file (.sup)")->required();
        sub.add_option("out-folder", o->output, "Folder for the pictures and the index")
            ->required();
        sub.add_option("--format", o->format, "Index format: bdn (XML) or json");
        sub.add_flag("--bare", o->bare, "The stream has no record heads");
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
