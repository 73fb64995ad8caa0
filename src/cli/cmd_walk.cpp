// `tessel walk <BDMV-folder|stream> --keys up,down,enter,...`: a menu walked
// as a player does, step by step, optionally with a picture of the page
// after each step.
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "model/epoch.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "player/menu_player.h"
#include "render/page_composer.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

struct SWalkOptions {
    STargetRequest target;
    std::string keys;
    std::vector<std::string> sets;
    bool json = false;
    std::string renderFolder;
};

// "GPR5=3" or "PSR10=0x2"; false for anything else.
bool ParseSet(const std::string& text, SRegisterWrite& write) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq < 4) return false;
    const std::string reg = text.substr(0, eq);
    if (EqualsNoCase(reg.substr(0, 3), "GPR"))
        write.psr = false;
    else if (EqualsNoCase(reg.substr(0, 3), "PSR"))
        write.psr = true;
    else
        return false;
    char* end = nullptr;
    const long n = std::strtol(reg.c_str() + 3, &end, 10);
    if (*end || n < 0 || n >= (write.psr ? kPsrCount : kGprCount)) return false;
    const std::string value = text.substr(eq + 1);
    const unsigned long long v = std::strtoull(value.c_str(), &end, 0);
    if (value.empty() || *end || v > 0xFFFFFFFFull) return false;
    write.number = static_cast<int>(n);
    write.value = static_cast<uint32_t>(v);
    return true;
}

bool ParseKeys(const std::string& text, std::vector<EMenuKey>& keys) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        EMenuKey key;
        const size_t a = item.find_first_not_of(" \t"), b = item.find_last_not_of(" \t");
        if (!ParseMenuKey(a == std::string::npos ? "" : item.substr(a, b - a + 1), key)) {
            ShowUsageError(
                StrFormat("--keys: \"%s\" is not one of up, down, left, right, enter, popup, 0-9",
                          item.c_str()));
            return false;
        }
        keys.push_back(key);
    }
    return true;
}

ordered_json StepJson(const SMenuStep& s) {
    ordered_json registers = ordered_json::array(), writes = ordered_json::array();
    for (const SRegisterWrite& w : s.registers) {
        registers.push_back(w.Text());
        writes.push_back({{"register", w.Name()}, {"value", w.value}});
    }
    ordered_json commands = ordered_json::array();
    for (size_t i = 0; i < s.commands.size(); ++i)
        commands.push_back(
            {{"hex", i < s.commandHex.size() ? s.commandHex[i] : ""}, {"text", s.commands[i]}});
    return {{"key", s.key},
            {"page", s.page},
            {"button", s.button},
            {"menu_visible", s.menuVisible},
            {"activated", s.activated},
            {"commands", s.commands},
            {"command_records", commands},
            {"exit", s.exit ? ordered_json(s.exit->command) : ordered_json(nullptr)},
            {"exit_target", s.exit ? ordered_json(s.exit->target) : ordered_json(nullptr)},
            {"exit_kind", s.exit ? ordered_json(s.exit->Kind()) : ordered_json(nullptr)},
            {"registers", registers},
            {"register_writes", writes},
            {"button_changes", s.buttonChanges},
            {"state_changes", s.stateChanges},
            {"note", s.note.empty() ? ordered_json(nullptr) : ordered_json(s.note)}};
}

void PrintStep(const SMenuStep& s, const CMenuPlayer& player) {
    const CBdButton* b = player.Selected();
    Out(StrFormat("%s: page %d, button %s%s%s", s.key.c_str(), s.page,
                  b ? StrFormat("%s (id %d)", b->name.c_str(), b->id).c_str() : "none",
                  s.activated ? ", activated" : "", s.menuVisible ? "" : ", menu hidden"));
    for (const std::string& c : s.commands) Out("  run " + c);
    for (const SRegisterWrite& w : s.registers) Out("  set " + w.Text());
    for (const std::string& c : s.buttonChanges) Out("  " + c);
    for (const std::string& c : s.stateChanges) Out("  " + c);
    if (!s.note.empty()) Out("  note: " + s.note);
    if (s.exit) Out(StrFormat("  exit: %s (%s)", s.exit->command.c_str(), s.exit->target.c_str()));
}

// The page after a step as the player shows it.
bool RenderStep(const CMenuPlayer& player, const std::string& folder, int index,
                std::string& path) {
    if (!player.Page()) return true;
    CPageComposer composer;
    composer.SetOutlines(false);
    composer.SetButtonView({[&](const CBog& bog) { return player.EnabledButton(bog); },
                            [&](const CBdButton& b) { return player.ButtonState(b); }});
    composer.SetPage(const_cast<CPage*>(player.Page()));
    composer.Recompose();
    path = folder + StrFormat("step%03d.png", index);
    const CResult saved = SavePng(path, composer.ViewPicture(false));
    if (saved) return true;
    ShowFailure(path, saved.Text());
    return false;
}

int Run(const SWalkOptions& o) {
    std::vector<EMenuKey> keys;
    if (!ParseKeys(o.keys, keys)) return kExitFailed;
    std::vector<SRegisterWrite> presets;
    for (const std::string& s : o.sets) {
        SRegisterWrite w;
        if (!ParseSet(s, w)) {
            return ShowUsageError(StrFormat(
                "--set %s: not GPRn=value (n < 4096) or PSRn=value (n < 128)", s.c_str()));
        }
        presets.push_back(w);
    }
    SLoadedTargets loaded;
    int exitCode;
    const CDisplaySet* ds = LoadMenu(o.target, loaded, exitCode);
    if (!ds) return exitCode;
    std::string folder = o.renderFolder;
    if (!folder.empty()) {
        if (const CResult made = MakeFolderTree(folder); !made) return ShowFailure(made);
        NormalizeFolder(folder);
    }
    CMenuPlayer player(*ds);
    for (const SRegisterWrite& w : presets) player.SetRegister(w.psr, w.number, w.value);
    std::vector<SMenuStep> steps;
    steps.push_back(player.Start());
    std::vector<std::string> pictures;
    auto afterStep = [&]() {
        if (folder.empty()) return true;
        std::string path;
        if (!RenderStep(player, folder, static_cast<int>(steps.size()) - 1, path)) return false;
        pictures.push_back(path);
        return true;
    };
    if (!o.json) PrintStep(steps.back(), player);
    if (!afterStep()) return kExitFailed;
    for (EMenuKey key : keys) {
        steps.push_back(player.Press(key));
        if (!o.json) PrintStep(steps.back(), player);
        if (!afterStep()) return kExitFailed;
    }
    std::vector<int> readFirst = player.GprsReadBeforeWritten();
    if (o.json) {
        ordered_json out;
        out["input"] = o.target.input;
        PutClipAndPid(out, loaded.targets.front().clip, loaded.targets.front().ig->id);
        out["start"] = {{"page", steps[0].page}, {"button", steps[0].button}};
        ordered_json list = ordered_json::array();
        for (size_t i = 1; i < steps.size(); ++i) list.push_back(StepJson(steps[i]));
        out["steps"] = list;
        out["start_step"] = StepJson(steps[0]);
        out["gprs_read_before_written"] = readFirst;
        if (!pictures.empty()) out["pictures"] = pictures;
        out["left_out"] = loaded.leftOutReasons;
        PrintJson(out);
    } else if (!readFirst.empty()) {
        std::string names;
        for (int n : readFirst) names += StrFormat("%sGPR%d", names.empty() ? "" : ", ", n);
        Out("read before written (give them with --set): " + names);
    }
    return LeftOutStatus(o.target.input, loaded.leftOut);
}

const CommandRegistration kWalkCommand(
    "walk",
    "Walk a menu as a player does: keys, commands, pages and exits (the walk has no clock: "
    "time-outs are left out)",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SWalkOptions>();
        sub.add_option("input", o->target.input, "BDMV folder or graphics stream file")->required();
        sub.add_option("--clip", o->target.clip, "Clip number (default: the first IG clip)");
        sub.add_option("--pid", o->target.pid, "IG stream PID, decimal or 0x hex");
        AddQuickOption(sub, o->target.quick);
        sub.add_option("--keys", o->keys, "Keys in order: up,down,left,right,enter,popup,0-9");
        sub.add_option("--set", o->sets, "A register before the start: GPR5=3, PSR10=0x2")
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        sub.add_flag("--json", o->json, "The steps as JSON");
        sub.add_option("--render-steps", o->renderFolder,
                       "Folder for a picture of the page after each step");
        AddStreamForm(sub, o->target.input, o->target.bare, "The stream file has no record heads");
        AddKeepGoing(sub, o->target.keepGoing);
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
