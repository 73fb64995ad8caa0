// `tessel map <BDMV-folder|stream> [out-file] [--format json|dot|svg|png]`: every state
// a menu reaches by keys from its start, as a map of pages, buttons and the
// arrows between them.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "model/epoch.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "player/menu_map.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

struct SMapOptions {
    STargetRequest target;
    std::string format;  // empty: by the output's extension
    std::string output;
    std::string outFile;
    int bound = 100000;
};

ordered_json PlaceJson(const SMapPlace& p) {
    if (p.exit)
        return {{"exit", p.exit->command}, {"kind", p.exit->Kind()}, {"target", p.exit->target}};
    if (p.hidden) return {{"hidden", true}};
    return {{"page", p.page}, {"button", p.button}};
}

// The map with the stream it was made from: the input, and for a disc the
// clip and PID of the stream.
ordered_json MapJson(const SMenuMap& map, const std::string& input, const SStreamTarget& stream) {
    ordered_json pages = ordered_json::array();
    for (const SMapPage& p : map.pages) {
        ordered_json buttons = ordered_json::array();
        for (const SMapButton& b : p.buttons) buttons.push_back({{"id", b.id}, {"label", b.label}});
        pages.push_back({{"id", p.id}, {"label", p.label}, {"buttons", buttons}});
    }
    ordered_json edges = ordered_json::array();
    for (const SMapEdge& e : map.edges)
        edges.push_back({{"from", PlaceJson(e.from)}, {"key", e.key}, {"to", PlaceJson(e.to)}});
    ordered_json j = {{"input", input}};
    PutClipAndPid(j, stream.clip, stream.ig->id);
    ordered_json rest = {{"pages", pages},
                         {"edges", edges},
                         {"start", PlaceJson(map.start)},
                         {"states_explored", map.statesExplored},
                         {"state_bound", map.stateBound},
                         {"bound_reached", map.boundReached},
                         {"gprs_read_before_written", map.gprsReadFirst}};
    j.update(rest);
    return j;
}

bool Emit(const std::string& output, const std::string& text) {
    return WriteOutput(output.empty() ? "-" : output, text);
}

int Run(SMapOptions o) {
    if (!o.outFile.empty() && !o.output.empty() && o.outFile != o.output) {
        return ShowUsageError(StrFormat("%s: an output file and --output %s; name one",
                                        o.outFile.c_str(), o.output.c_str()));
    }
    if (o.output.empty()) o.output = o.outFile;
    const bool pictures = MapPicturesAvailable();
    std::vector<SOutputFormat> formats = {{"json", {"json"}}, {"dot", {"dot", "gv"}}};
    if (pictures) formats.insert(formats.end(), {{"svg", {"svg"}}, {"png", {"png"}}});
    if (!pictures && (o.format == "svg" || o.format == "png")) {
        return ShowUsageError(StrFormat("--format %s: this build has no Graphviz; use json or dot",
                                        o.format.c_str()));
    }
    if (!ChooseFormat(o.output, o.format, formats, "json", {"svg", "png"})) return kExitFailed;
    // A PNG is not shown on a terminal.
    if (o.format == "png" && !ClaimStandardOutput(o.output.empty() ? "-" : o.output))
        return kExitFailed;
    SLoadedTargets loaded;
    int exitCode;
    const CDisplaySet* ds = LoadMenu(o.target, loaded, exitCode);
    if (!ds) return exitCode;
    const SMenuMap map = ExploreMenu(*ds, o.bound);
    if (map.boundReached)
        ShowMessage(StrFormat("%s: the map stops at the bound of %d states", o.target.input.c_str(),
                              map.stateBound));
    const auto done = [&](bool written) {
        return written ? LeftOutStatus(o.target.input, loaded.leftOut) : kExitFailed;
    };
    if (o.format == "json") {
        ordered_json j = MapJson(map, o.target.input, loaded.targets.front());
        j["left_out"] = loaded.leftOutReasons;
        return done(Emit(o.output, JsonText(j)));
    }
    const std::string dot = MapToDot(map);
    if (o.format == "dot") return done(Emit(o.output, dot));
    std::vector<uint8_t> bytes;
    if (const CResult r = RenderDot(dot, o.format, bytes); !r)
        return ShowFailure(o.target.input, r.Text());
    return done(Emit(o.output, std::string(bytes.begin(), bytes.end())));
}

const CommandRegistration kMapCommand(
    "map", "The map of a menu: pages, buttons, moves and where each button leads",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SMapOptions>();
        sub.add_option("input", o->target.input, "BDMV folder or graphics stream file")->required();
        sub.add_option("--clip", o->target.clip, "Clip number (default: the first IG clip)");
        sub.add_option("--pid", o->target.pid, "IG stream PID, decimal or 0x hex");
        sub.add_option("out-file", o->outFile,
                       "File to write; its extension (.json, .dot, .svg, .png) chooses the "
                       "format; - or none: standard output");
        AddQuickOption(sub, o->target.quick);
        sub.add_option("--format", o->format,
                       MapPicturesAvailable() ? "json, dot, svg or png (default: by the "
                                                "output's extension, else json)"
                                              : "json or dot (default: by the output's "
                                                "extension, else json)");
        sub.add_option("-o,--output", o->output, "File to write, as out-file");
        sub.add_option("--bound", o->bound, "Most states to explore (1 or more)")
            ->check(CLI::Range(1, 100000000));
        AddStreamForm(sub, o->target.input, o->target.bare, "The stream file has no record heads");
        AddKeepGoing(sub, o->target.keepGoing);
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
