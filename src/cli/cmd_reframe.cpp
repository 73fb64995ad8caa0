// `tessel reframe <in> <out> [--recompose] [--bare]`: reads a graphics stream
// and writes it back display set by display set through the segment writers.
#include "cli/command.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "codec/display_set.h"
#include "model/ic_data.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

// A disc clip's stream is read in the marked form and written in the form
// that --bare asks for.
int Run(const STargetRequest& request, const std::string& out, bool recompose) {
    STargetStream stream;
    int exitCode;
    if (!ReadTargetStream(request, stream, exitCode)) return exitCode;
    const char* in = stream.name.c_str();
    const bool bare = request.bare;
    if (!stream.complete) return ShowStreamError(in, stream.info.error, stream.Origins());
    const CEpochList& epochs = stream.epochs;
    size_t displaySets = 0;
    for (const auto& epoch : epochs) displaySets += static_cast<size_t>(epoch->GetSize());
    if (displaySets == 0) {
        ShowMessage(StrFormat("%s: no display set in the stream; nothing is written", in));
        return kExitFailed;
    }
    CMemorySink sink;
    int epochNumber = 0;
    for (const auto& epoch : epochs) {
        ++epochNumber;
        for (int i = 0; i < epoch->GetSize(); ++i) {
            CDsData& ds = *epoch->GetAt(i);
            if (recompose && !RecomposeIcs(ds)) {
                ShowMessage(
                    StrFormat("%s: Epoch#%d DisplaySet#%d: the interactive "
                              "composition does not parse",
                              in, epochNumber, i + 1));
                return kExitFailed;
            }
            if (!WriteDsData(ds, sink, nullptr, bare, true)) {
                ShowMessage(StrFormat("%s: Epoch#%d DisplaySet#%d: a segment cannot be written", in,
                                      epochNumber, i + 1));
                return kExitFailed;
            }
        }
    }
    if (const CResult written = WriteWholeFile(out, sink.data.data(), sink.data.size()); !written)
        return ShowFailure(out, written.Text());
    return LostPesStatus(stream, "written");
}

const CommandRegistration kReframeCommand(
    "reframe", "Read a graphics stream and write it back through the segment writers",
    [](CLI::App& sub) -> std::function<int()> {
        auto request = std::make_shared<STargetRequest>();
        auto out = std::make_shared<std::string>();
        auto recompose = std::make_shared<bool>(false);
        sub.add_option("in-stream", request->input,
                       "Stream file to read, or a BDMV folder or disc image")
            ->required();
        sub.add_option("out-stream", *out, "Stream file to write")->required();
        sub.add_flag("--recompose", *recompose,
                     "Rebuild each display set's ICS from its parsed composition");
        AddDiscTarget(sub, *request);
        AddStreamForm(sub, request->input, request->bare,
                      "Both files hold segments without record heads (a disc's clip: the "
                      "written one)");
        return [request, out, recompose] { return Run(*request, *out, *recompose); };
    });

}  // namespace
}  // namespace tessel::cli
