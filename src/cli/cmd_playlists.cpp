// `tessel playlists <BDMV-folder> [--json]`: playlists and the clips they name.
#include <algorithm>
#include <cerrno>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "database/bdmv_layout.h"
#include "platform/disc_image.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

std::string ClipList(const std::vector<int>& clips) {
    std::string s;
    for (int c : clips) s += StrFormat(" %05d", c);
    return s;
}

int Run(const std::string& folderArg, bool json) {
    std::string folder, error;
    if (!ResolveDiscFolder(folderArg, folder, error)) {
        ShowMessage(error);
        return kExitFailed;
    }
    NormalizeFolder(folder);
    if (!IsFolder(folder)) {
        ShowMessage(StrFormat("%s: %s", folderArg.c_str(),
                              SystemErrorText(PathExists(folder) ? ENOTDIR : ENOENT).c_str()));
        return kExitFailed;
    }
    CBDDisc disc;
    if (!disc.ReadPlaylists(folder)) return kExitFailed;

    std::vector<int> all;
    nlohmann::json playlists = nlohmann::json::array();
    std::vector<std::string> lines;
    for (const auto& mpls : *disc.playlists) {
        std::vector<int> clips;
        mpls->ClipReferences(clips);
        all.insert(all.end(), clips.begin(), clips.end());
        playlists.push_back({{"name", mpls->name}, {"clips", clips}});
        lines.push_back(mpls->name + ":" + ClipList(clips));
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());

    const std::string discName = DiscNameOfFolder(folder);
    if (json) {
        nlohmann::json out = {{"disc", discName}, {"playlists", playlists}, {"clips", all}};
        Out(out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
        return kExitOk;
    }
    Out("Disc: " + discName);
    Out(StrFormat("Playlists: %d", disc.playlists->GetSize()));
    for (const auto& l : lines) Out("  " + l);
    Out("Clips:" + ClipList(all));
    return kExitOk;
}

const CommandRegistration kRegistration(
    "playlists", "List the playlists of a BDMV folder and the clips they name",
    [](CLI::App& sub) -> std::function<int()> {
        auto folder = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        sub.add_option("folder", *folder, "BDMV folder")->required();
        sub.add_flag("--json", *json, "Print JSON");
        return [folder, json] { return Run(*folder, *json); };
    });

}  // namespace
}  // namespace tessel::cli
