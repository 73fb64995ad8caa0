// `tessel check <BDMV|stream|image> [--clip N] [--pid P] [--json] [--rules a,b]
// [--min-severity info|warning|error]`: what a player or an author would trip
// over in the menus, each finding with its rule, severity and place.
#include <sstream>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "player/menu_reach.h"

namespace tessel::cli {
namespace {

struct SCheckCliOptions {
    STargetRequest target;
    std::string rules;
    std::string minSeverity = "info";
    bool json = false;
};

bool ParseRules(const std::string& text, std::vector<std::string>& rules) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t a = item.find_first_not_of(" \t"), b = item.find_last_not_of(" \t");
        const std::string name = a == std::string::npos ? "" : item.substr(a, b - a + 1);
        if (!FindCheckRule(name)) {
            std::string all;
            for (const SCheckRule& r : CheckRules())
                all += StrFormat("%s%s", all.empty() ? "" : ", ", r.name);
            ShowUsageError(StrFormat("--rules: \"%s\" is no rule (%s)", name.c_str(), all.c_str()));
            return false;
        }
        rules.push_back(name);
    }
    return true;
}

Json OrNull(int value) {
    return value < 0 ? Json(nullptr) : Json(value);
}

Json FindingJson(const SCheckFinding& f) {
    return {{"rule", f.rule},
            {"severity", SeverityName(f.severity)},
            {"clip", OrNull(f.place.clip)},
            {"pid", OrNull(f.place.pid)},
            {"epoch", OrNull(f.place.epoch)},
            {"display_set", OrNull(f.place.displaySet)},
            {"page", OrNull(f.place.page)},
            {"button", OrNull(f.place.button)},
            {"message", f.message}};
}

std::string PlaceText(const SCheckPlace& p) {
    std::string text;
    if (p.clip >= 0) text += StrFormat("clip %05d ", p.clip);
    if (p.pid >= 0) text += StrFormat("PID 0x%04X ", p.pid);
    if (p.epoch >= 0) text += StrFormat("epoch %d ", p.epoch);
    if (p.displaySet >= 0) text += StrFormat("display set %d ", p.displaySet);
    if (p.page >= 0) text += StrFormat("page %d ", p.page);
    if (p.button >= 0) text += StrFormat("button %d ", p.button);
    if (!text.empty()) text.pop_back();
    return text;
}

int Run(const SCheckCliOptions& o) {
    SCheckOptions options;
    if (!o.rules.empty() && !ParseRules(o.rules, options.rules)) return kExitFailed;
    if (!ParseSeverity(o.minSeverity, options.minSeverity)) {
        return ShowUsageError(
            StrFormat("--min-severity %s: not info, warning or error", o.minSeverity.c_str()));
    }
    STargetRequest request = o.target;
    request.all = true;
    SLoadedTargets loaded;
    int exitCode;
    if (!LoadTargets(request, loaded, exitCode)) return exitCode;
    std::vector<SCheckFinding> findings;
    for (const SStreamTarget& t : loaded.targets)
        CheckIgStream(*t.ig, t.clip, t.clip < 0 ? -1 : t.ig->id, options, findings);
    int counts[3] = {};
    for (const SCheckFinding& f : findings) ++counts[static_cast<int>(f.severity)];
    if (o.json) {
        Json list = Json::array();
        for (const SCheckFinding& f : findings) list.push_back(FindingJson(f));
        PrintJson({{"input", o.target.input}, {"findings", list}});
    } else {
        for (const SCheckFinding& f : findings) {
            const std::string where = PlaceText(f.place);
            Out(StrFormat("%s %s%s%s: %s", SeverityName(f.severity), f.rule.c_str(),
                          where.empty() ? "" : " ", where.c_str(), f.message.c_str()));
        }
        Out(StrFormat("%d error(s), %d warning(s), %d info", counts[2], counts[1], counts[0]));
    }
    return counts[static_cast<int>(ECheckSeverity::Error)] > 0 ? kExitFailed : kExitOk;
}

const CommandRegistration kCheckCommand(
    "check", "Find what a player or an author would trip over in the menus",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SCheckCliOptions>();
        sub.add_option("input", o->target.input, "BDMV folder, disc image or graphics stream file")
            ->required();
        sub.add_option("--clip", o->target.clip, "Only this clip number");
        sub.add_option("--pid", o->target.pid, "Only the IG stream on this PID, decimal or 0x hex");
        AddQuickOption(sub, o->target.quick);
        sub.add_flag("--json", o->json, "The findings as JSON");
        sub.add_option("--rules", o->rules, "Only these rules, comma-separated");
        sub.add_option("--min-severity", o->minSeverity,
                       "Only findings at least this severe: info, warning or error");
        AddStreamForm(sub, o->target.input, o->target.bare, "The stream file has no record heads");
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
