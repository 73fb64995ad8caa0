// `tessel rebuild <in-stream> <out-stream> [--mui] [--json]`: loads a stream
// into the menu tree and saves it again through the checks and the segment
// writer.
#include <vector>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/stream_targets.h"
#include "model/ig_object.h"
#include "platform/messages.h"

namespace tessel::cli {
namespace {

// The check log on stdout, or kept for the JSON.
class CCheckLog : public ILogSink {
public:
    explicit CCheckLog(bool keep) : keep_(keep) {}
    void Log(const std::string& line) override {
        if (keep_)
            lines.push_back(line);
        else
            Out(line);
    }
    std::vector<std::string> lines;

private:
    bool keep_;
};

// A disc clip's stream is written in the form that --bare asks for.
int RunRebuild(const STargetRequest& request, const std::string& out, bool mui, bool json) {
    const std::string& in = request.input;
    const bool bare = request.bare;
    SLoadedTargets loaded;
    int exitCode;
    if (!LoadTargets(request, loaded, exitCode)) return exitCode;
    CIgObject& ig = *loaded.targets.front().ig;
    CCheckLog log(json);
    const CResultOf<bool> written = ig.SaveStream(out, mui, &log, bare);
    if (!written) ShowMessage(written.Result().Message());
    const bool saved = written && *written;
    if (json) {
        int displaySets = 0, objects = 0;
        for (const auto& epoch : ig.items) {
            displaySets += epoch->GetSize();
            objects += static_cast<int>(epoch->graphics.items.size());
        }
        Json j = {{"input", in}, {"output", out}};
        PutClipAndPid(j, loaded.targets.front().clip, ig.id);
        j["mui"] = mui ? Json(out + ".mui") : Json(nullptr);
        j["form"] = bare ? "bare" : "marked";
        j["saved"] = saved;
        j["epochs"] = ig.GetSize();
        j["display_sets"] = displaySets;
        j["graphic_objects"] = objects;
        j["checks"] = log.lines;
        PrintJson(j);
    }
    if (!saved) return kExitFailed;
    if (!json) Out("Saved " + out + (mui ? " and " + out + ".mui" : std::string()));
    return kExitOk;
}

const CommandRegistration kRebuildCommand(
    "rebuild", "Load a stream into the menu tree and write it again (checks, time stamps)",
    [](CLI::App& sub) -> std::function<int()> {
        auto request = std::make_shared<STargetRequest>();
        auto out = std::make_shared<std::string>();
        auto mui = std::make_shared<bool>(false);
        auto json = std::make_shared<bool>(false);
        sub.add_flag("--json", *json, "Print JSON: what was read, checked and written");
        sub.add_option("in-stream", request->input,
                       "Graphics stream file, or a BDMV folder or disc image")
            ->required();
        sub.add_option("out-stream", *out, "Stream file to write")->required();
        sub.add_flag("--mui", *mui, "Also write the .mui index companion");
        AddDiscTarget(sub, *request);
        AddStreamForm(sub, request->input, request->bare,
                      "Read and write without record heads (a disc's clip: write)");
        return [=] { return RunRebuild(*request, *out, *mui, *json); };
    });

}  // namespace
}  // namespace tessel::cli
