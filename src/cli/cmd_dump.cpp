// `tessel dump <stream> [--bare]`: the segments of a graphics stream as text,
// epoch by epoch and display set by display set.
#include <memory>

#include "cli/command.h"
#include "cli/stream_targets.h"
#include "codec/display_set.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

void PrintDisplaySet(const CDsData& ds, int number) {
    Out(StrFormat("DisplaySet#%d", number));
    for (const CSegmentBase* s : ds.StreamOrder()) {
        std::string text;
        s->Dump(text, " ");
        if (!text.empty() && text.back() == '\n') text.pop_back();
        Out(text);
    }
}

void PrintEpoch(const CEpochData& epoch, int number) {
    Out(StrFormat("Epoch#%d", number));
    for (int i = 0; i < epoch.GetSize(); ++i) PrintDisplaySet(*epoch.GetAt(i), i + 1);
}

int Run(const std::string& path, bool bare) {
    CEpochList epochs;
    SStreamInfo info;
    const bool ok = ReadStreamFile(path, epochs, bare, &info);
    int number = 0;
    for (const auto& e : epochs) PrintEpoch(*e, ++number);
    if (ok && epochs.empty()) {
        ShowMessage(StrFormat("%s: %s", path.c_str(), "no display set in the stream"));
        return kExitFailed;
    }
    if (ok) return kExitOk;
    if (info.error.offset < 0) {
        ShowMessage(info.error.text);
        return kExitFailed;
    }
    if (info.failedEpoch) {
        ++number;
        PrintEpoch(*info.failedEpoch, number);
        if (info.failedDisplaySet && info.failedDisplaySet->SegmentCount() > 0)
            PrintDisplaySet(*info.failedDisplaySet, info.failedEpoch->GetSize() + 1);
    }
    ShowMessage(StrFormat("%s: %s at byte offset %lld", path.c_str(), info.error.text.c_str(),
                          static_cast<long long>(info.error.offset)));
    return kExitFailed;
}

const CommandRegistration kRegistration(
    "dump", "Print the segments of an IG or PG stream file",
    [](CLI::App& sub) -> std::function<int()> {
        auto path = std::make_shared<std::string>();
        auto bare = std::make_shared<bool>(false);
        sub.add_option("stream", *path, "Stream file (.sup, .ig, .pg), or - for standard input")
            ->required();
        AddStreamForm(sub, *path, *bare, "The file holds segments without record heads");
        return [path, bare] { return Run(*path, *bare); };
    });

}  // namespace
}  // namespace tessel::cli
