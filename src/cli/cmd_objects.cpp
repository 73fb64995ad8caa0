// `tessel objects <stream> <out-folder> [--json]`: every graphic object of a
// stream as PNG, one folder per epoch, files "%04d.png" of object id + 1.
#include <map>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "cli/terminal_progress.h"
#include "codec/display_set.h"
#include "codec/ods.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

// The object versions of each epoch as the stream carries them (the last ODS
// of an id wins); empty when the stream cannot be read again (standard input).
std::vector<std::map<int, int>> ObjectVersions(const std::string& stream, bool bare) {
    std::vector<std::map<int, int>> versions;
    CEpochList epochs;
    if (stream == "-" || IsDiscInput(stream) || !ReadStreamFile(stream, epochs, bare))
        return versions;
    for (const auto& epoch : epochs) {
        std::map<int, int>& ids = versions.emplace_back();
        for (const auto& ds : epoch->items)
            if (ds->odsList)
                for (const auto& ods : *ds->odsList) ids[ods->objectId] = ods->objectVersion;
    }
    return versions;
}

// A disc's clip (clip >= 0) is named with the PID of its stream.
Json ObjectsJson(CIgObject& ig, const std::string& stream, int clip, const std::string& folder,
                 bool bare, int written) {
    const std::vector<std::map<int, int>> versions = ObjectVersions(stream, bare);
    Json epochs = Json::array();
    int objects = 0;
    for (size_t e = 0; e < ig.items.size(); ++e) {
        const CEpoch& epoch = *ig.items[e];
        const std::string epochFolder = folder + epoch.name + kPathSeparator;
        Json files = Json::array();
        for (const auto& o : epoch.graphics.items) {
            ++objects;
            Json j = {{"id", o->id}};
            const auto* ids = e < versions.size() ? &versions[e] : nullptr;
            const auto v = ids ? ids->find(o->id) : std::map<int, int>::const_iterator();
            j["version"] = ids && v != ids->end() ? Json(v->second) : Json(nullptr);
            j["width"] = o->width;
            j["height"] = o->height;
            const bool saved = o->HasPicture() && o->saveStatus == 0;
            j["file"] = saved ? Json(epochFolder + o->PictureFileName()) : Json(nullptr);
            files.push_back(std::move(j));
        }
        epochs.push_back({{"epoch", epoch.name}, {"folder", epochFolder}, {"objects", files}});
    }
    Json j = {{"stream", stream}};
    PutClipAndPid(j, clip, ig.id);
    j.update({{"folder", folder},
              {"objects", objects},
              {"images_written", written},
              {"epochs", epochs}});
    return j;
}

int Run(const STargetRequest& request, std::string folder, bool json, bool yes) {
    const std::string& stream = request.input;
    const bool bare = request.bare;
    if (const int asked = ConfirmFolder(folder, yes, stream == kStandardInput); asked != kExitOk)
        return asked;
    SLoadedTargets loaded;
    int written = 0;
    {
        // Ctrl-C while the stream loads writes nothing; while the pictures
        // are written, the unfinished epoch's files go again.
        CTerminalProgress progress;
        int exitCode;
        if (!LoadTargets(request, loaded, exitCode)) return exitCode;
        if (progress.Cancelled()) {
            ShowMessage(StrFormat("%s: cancelled; nothing was written", folder.c_str()));
            return kExitCancelled;
        }
        CIgObject& ig = *loaded.targets.front().ig;
        int pictures = 0;
        for (const auto& epoch : ig.items)
            for (const auto& o : epoch->graphics.items) pictures += o->HasPicture();
        if (pictures == 0) {
            ShowMessage(
                StrFormat("%s: no graphic object decodes; nothing was written", stream.c_str()));
            return kExitFailed;
        }
        if (const CResult made = MakeFolder(folder); !made) return ShowFailure(made);
        std::vector<std::string> finished;
        const CResult saved = SaveIgImages(ig, folder, &written, &progress, &finished);
        if (saved.Failed()) ShowMessage(saved.Message());
        if (!saved && progress.Cancelled()) {
            std::string names;
            for (const std::string& n : finished) names += (names.empty() ? "" : " ") + n;
            ShowMessage(finished.empty()
                            ? StrFormat("%s: cancelled before an epoch was finished; its files "
                                        "were removed",
                                        folder.c_str())
                            : StrFormat("%s: cancelled; the finished epoch(s) %s are kept (%d "
                                        "image(s)), the unfinished epoch's files were removed",
                                        folder.c_str(), names.c_str(), written));
            return kExitCancelled;
        }
        if (!saved) return kExitFailed;
    }
    CIgObject& ig = *loaded.targets.front().ig;
    NormalizeFolder(folder);
    int objects = 0;
    for (const auto& epoch : ig.items) objects += static_cast<int>(epoch->graphics.items.size());
    if (json)
        PrintJson(ObjectsJson(ig, stream, loaded.targets.front().clip, folder, bare, written));
    else
        Note(StrFormat("%d image(s) written to %s", written, folder.c_str()));
    if (written < objects) {
        ShowMessage(StrFormat("%s: %d graphic object(s) could not be written", folder.c_str(),
                              objects - written));
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration kObjectsCommand(
    "objects", "Write every graphic object of a stream as PNG, one folder per epoch",
    [](CLI::App& sub) -> std::function<int()> {
        auto request = std::make_shared<STargetRequest>();
        auto folder = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        auto yes = std::make_shared<bool>(false);
        sub.add_option("stream", request->input,
                       "Graphics stream file (.sup, .ig, .pg; - for stdin), or a BDMV folder or "
                       "disc image")
            ->required();
        sub.add_option("out-folder", *folder, "Folder to write the epoch folders into")->required();
        sub.add_flag("--json", *json, "Print JSON: each epoch's objects and the files written");
        AddDiscTarget(sub, *request);
        AddStreamForm(sub, request->input, request->bare, "The stream has no record heads");
        AddYes(sub, *yes);
        return [=] { return Run(*request, *folder, *json, *yes); };
    });

}  // namespace
}  // namespace tessel::cli
