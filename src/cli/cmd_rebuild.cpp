// `tessel rebuild <in-stream> <out-stream> [--mui]`: loads a stream into the
// menu tree and saves it again through the checks and the segment writer.
#include "cli/command.h"
#include "cli/stream_targets.h"
#include "model/ig_object.h"
#include "platform/messages.h"

namespace tessel::cli {
namespace {

class CStdoutLog : public ILogSink {
public:
    void Log(const std::string& line) override { Out(line); }
};

int Run(const std::string& in, const std::string& out, bool mui, bool bare) {
    CIgObject ig;
    if (!ig.LoadStream(in, bare)) return kExitFailed;
    CStdoutLog log;
    if (!ig.SaveStream(out, mui, &log, bare)) return kExitFailed;
    Out("Saved " + out + (mui ? " and " + out + ".mui" : std::string()));
    return kExitOk;
}

const CommandRegistration kRegistration(
    "rebuild", "Load a stream into the menu tree and write it again (checks, time stamps)",
    [](CLI::App& sub) -> std::function<int()> {
        auto in = std::make_shared<std::string>();
        auto out = std::make_shared<std::string>();
        auto mui = std::make_shared<bool>(false);
        auto bare = std::make_shared<bool>(false);
        sub.add_option("in-stream", *in, "Graphics stream file")->required();
        sub.add_option("out-stream", *out, "Stream file to write")->required();
        sub.add_flag("--mui", *mui, "Also write the .mui index companion");
        AddStreamForm(sub, *in, *bare, "Read and write without record heads");
        return [=] { return Run(*in, *out, *mui, *bare); };
    });

}  // namespace
}  // namespace tessel::cli
