// `tessel playlists <BDMV-folder> [--json]`: playlists and the clips they name.
#include <algorithm>
#include <cerrno>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "database/bdmv_layout.h"
#include "database/mpls.h"
#include "platform/disc_source.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

const char* PlaybackTypeName(int type) {
    switch (type) {
        case 1:
            return "Sequential";
        case 2:
            return "Random";
        case 3:
            return "Shuffle";
        default:
            return "Reserved";
    }
}

const char* SubPathTypeName(int type) {
    static const char* const kNames[] = {"Primary audio of a browsable slideshow",
                                         "Interactive graphics menu",
                                         "Text subtitle",
                                         "Out-of-mux synchronous elementary streams",
                                         "Out-of-mux asynchronous picture-in-picture",
                                         "In-mux synchronous picture-in-picture",
                                         "Stereoscopic video",
                                         "Stereoscopic interactive graphics menu"};
    return type >= 2 && type <= 9 ? kNames[type - 2] : "Reserved";
}

const char* ConnectionName(int condition) {
    switch (condition) {
        case 1:
            return "Not seamless";
        case 5:
            return "Seamless with a clean break";
        case 6:
            return "Seamless";
        default:
            return "Reserved";
    }
}

Json PlayItemJson(const SPlayItem& item) {
    Json angles = Json::array();
    for (const SAngleClipEntry& a : item.angles) angles.push_back(a.clipInformationFileName);
    return {{"clip", item.clipInformationFileName},
            {"codec", item.clipCodecIdentifier},
            {"in_time_45khz", item.inTime},
            {"out_time_45khz", item.outTime},
            {"duration_45khz", item.outTime >= item.inTime ? item.outTime - item.inTime : 0},
            {"connection_condition", item.connectionCondition},
            {"connection_condition_name", ConnectionName(item.connectionCondition)},
            {"ref_to_stc_id", item.refToStcId},
            {"angles", angles}};
}

Json SubPathsJson(const std::vector<SSubPath>& paths) {
    Json out = Json::array();
    for (const SSubPath& p : paths) {
        Json items = Json::array();
        for (const SSubPlayItem& i : p.subPlayItems)
            items.push_back({{"clip", i.clipInformationFileName},
                             {"codec", i.clipCodecIdentifier},
                             {"in_time_45khz", i.inTime},
                             {"out_time_45khz", i.outTime},
                             {"sync_play_item_id", i.syncPlayItemId},
                             {"sync_start_pts_45khz", i.syncStartPtsOfPlayItem}});
        out.push_back({{"sub_path_type", p.subPathType},
                       {"sub_path_type_name", SubPathTypeName(p.subPathType)},
                       {"repeat", p.isRepeatSubPath},
                       {"sub_play_items", items}});
    }
    return out;
}

Json MarksJson(const std::vector<SPlayListMark>& marks) {
    Json out = Json::array();
    for (const SPlayListMark& m : marks) {
        Json j;
        PutNamed(j, "mark_type", m.markType,
                 m.markType == 1   ? "Entry mark"
                 : m.markType == 2 ? "Link point"
                                   : "Reserved");
        j["play_item"] = m.refToPlayItemId;
        j["time_stamp_45khz"] = m.markTimeStamp;
        j["entry_es_pid"] = m.entryEsPid;
        j["duration_45khz"] = m.duration;
        out.push_back(std::move(j));
    }
    return out;
}

std::string ClipList(const std::vector<int>& clips) {
    std::string s;
    for (int c : clips) s += StrFormat(" %05d", c);
    return s;
}

int RunPlaylists(const std::string& folderArg, bool json) {
    const CResultOf<CDiscSource> source = CDiscSource::OpenDisc(folderArg);
    if (!source) {
        ShowMessage(source.Result().Message());
        return kExitFailed;
    }
    std::string folder = source->BdmvFolder();
    NormalizeFolder(folder);
    if (!source->IsFolder(folder))
        return ShowFailure(folderArg, SystemErrorText(source->Exists(folder) ? ENOTDIR : ENOENT));
    CBDDisc disc;
    if (const CResult read = disc.ReadPlaylists(folder, nullptr, *source); !read)
        return ShowFailure(read);

    std::vector<int> all;
    Json playlists = Json::array();
    std::vector<std::string> lines;
    for (const auto& mpls : *disc.playlists) {
        std::vector<int> clips;
        mpls->ClipReferences(clips);
        all.insert(all.end(), clips.begin(), clips.end());
        Json items = Json::array();
        uint64_t duration = 0;
        for (const SPlayItem& item : mpls->playItems) {
            items.push_back(PlayItemJson(item));
            if (item.outTime >= item.inTime) duration += item.outTime - item.inTime;
        }
        Json j = {{"name", mpls->name}, {"clips", clips}};
        PutNamed(j, "playback_type", mpls->appInfo.playlistPlaybackType,
                 PlaybackTypeName(mpls->appInfo.playlistPlaybackType));
        j["duration_45khz"] = duration;
        j["play_items"] = std::move(items);
        j["sub_paths"] = SubPathsJson(mpls->subPaths);
        j["ext_sub_paths"] = SubPathsJson(mpls->extSubPaths);
        j["marks"] = MarksJson(mpls->marks);
        playlists.push_back(std::move(j));
        lines.push_back(mpls->name + ":" + ClipList(clips));
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());

    const std::string discName = DiscNameOfFolder(folder, *source);
    if (json) {
        PrintJson(
            {{"disc", discName}, {"input", folderArg}, {"playlists", playlists}, {"clips", all}});
        return kExitOk;
    }
    Out("Disc: " + discName);
    Out(StrFormat("Playlists: %d", disc.playlists->GetSize()));
    for (const auto& l : lines) Out("  " + l);
    Out("Clips:" + ClipList(all));
    return kExitOk;
}

const CommandRegistration kPlaylistsCommand(
    "playlists", "List the playlists of a BDMV folder and the clips they name",
    [](CLI::App& sub) -> std::function<int()> {
        auto folder = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        sub.add_option("folder", *folder, "BDMV folder")->required();
        sub.add_flag("--json", *json, "Print JSON");
        return [folder, json] { return RunPlaylists(*folder, *json); };
    });

}  // namespace
}  // namespace tessel::cli
