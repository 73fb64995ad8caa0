// `tessel reframe <in> <out> [--recompose] [--bare]`: reads a graphics stream
// and writes it back display set by display set through the segment writers.
#include "cli/command.h"
#include "cli/stream_targets.h"
#include "codec/display_set.h"
#include "model/ic_data.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

int Run(const std::string& in, const std::string& out, bool recompose, bool bare) {
    CEpochList epochs;
    SStreamInfo info;
    if (!ReadStreamFile(in, epochs, bare, &info)) {
        if (info.error.offset < 0)
            ShowMessage(info.error.text);
        else
            ShowMessage(StrFormat("%s: %s at byte offset %lld", in.c_str(), info.error.text.c_str(),
                                  static_cast<long long>(info.error.offset)));
        return kExitFailed;
    }
    size_t displaySets = 0;
    for (const auto& epoch : epochs) displaySets += static_cast<size_t>(epoch->GetSize());
    if (displaySets == 0) {
        ShowMessage(StrFormat("%s: no display set in the stream; nothing is written", in.c_str()));
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
                              in.c_str(), epochNumber, i + 1));
                return kExitFailed;
            }
            if (!WriteDsData(ds, sink, nullptr, bare, true)) {
                ShowMessage(StrFormat("%s: Epoch#%d DisplaySet#%d: a segment cannot be written",
                                      in.c_str(), epochNumber, i + 1));
                return kExitFailed;
            }
        }
    }
    std::string error;
    if (!WriteWholeFile(out, sink.data.data(), sink.data.size(), error)) {
        ShowMessage(StrFormat("%s: %s", out.c_str(), error.c_str()));
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration kRegistration(
    "reframe", "Read a graphics stream and write it back through the segment writers",
    [](CLI::App& sub) -> std::function<int()> {
        auto in = std::make_shared<std::string>();
        auto out = std::make_shared<std::string>();
        auto recompose = std::make_shared<bool>(false);
        auto bare = std::make_shared<bool>(false);
        sub.add_option("in-stream", *in, "Stream file to read")->required();
        sub.add_option("out-stream", *out, "Stream file to write")->required();
        sub.add_flag("--recompose", *recompose,
                     "Rebuild each display set's ICS from its parsed composition");
        AddStreamForm(sub, *in, *bare, "Both files hold segments without record heads");
        return [in, out, recompose, bare] { return Run(*in, *out, *recompose, *bare); };
    });

}  // namespace
}  // namespace tessel::cli
