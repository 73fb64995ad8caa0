// `tessel menu <stream> [--json] [--bare]`: the interactive compositions of an
// IG stream as a tree of pages, groups, buttons and commands.
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "cli/menu_json.h"
#include "codec/display_set.h"
#include "model/ic_data.h"
#include "model/ig_object.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

int Run(const std::string& path, bool json, bool bare) {
    CGsData data;
    SStreamInfo info;
    const bool ok = ReadStreamFile(path, data.epochs, bare, &info);
    if (!ok && info.error.offset < 0) {
        ShowMessage(info.error.text);
        return kExitFailed;
    }
    if (info.hasVideo) data.video = info.video;
    // The model of what was read: frame numbers, graphic objects, palettes.
    CIgObject ig;
    ig.BuildFromStream(data);
    bool failed = false;
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
            const SCompositionHead head{first.video, first.compositionNumber,
                                        first.compositionState};
            if (!json) {
                PrintComposition(epochNo, dsNo, head, *ic);
                continue;
            }
            ordered_json j = CompositionJson(epochNo, dsNo, head, *ic);
            const CDisplaySet* set = epoch ? epoch->GetAt(d) : nullptr;
            j["frame_number"] = set ? set->frameNumber : 0;
            if (epoch) {
                j["graphics"] = EpochGraphicsJson(*epoch);
                j["palettes"] = EpochPalettesJson(*epoch);
            }
            all.push_back(std::move(j));
        }
    }
    if (json) Out(all.dump(1));
    if (!ok) {
        ShowMessage(StrFormat("%s: %s at byte offset %lld", path.c_str(), info.error.text.c_str(),
                              static_cast<long long>(info.error.offset)));
        return kExitFailed;
    }
    return failed ? kExitFailed : kExitOk;
}

const CommandRegistration kRegistration(
    "menu", "Print the menus (pages, groups, buttons, commands) of an IG stream",
    [](CLI::App& sub) -> std::function<int()> {
        auto path = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        auto bare = std::make_shared<bool>(false);
        sub.add_option("stream", *path, "IG stream file (marked form unless --bare)")->required();
        sub.add_flag("--json", *json, "Print JSON: one object per interactive composition");
        sub.add_flag("--bare", *bare, "The file holds segments without record heads");
        return [path, json, bare] { return Run(*path, *json, *bare); };
    });

}  // namespace
}  // namespace tessel::cli
