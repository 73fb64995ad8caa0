// `tessel demux <file.m2ts> <out-folder>`: every IG PID of a clip's transport
// stream as a marked-form stream file `<pid>.ig`.
#include <vector>

#include "cli/command.h"
#include "cli/terminal_progress.h"
#include "clip/m2ts_object.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

int Run(const std::string& path, std::string folder) {
    if (!MakeFolderOrReport(folder)) return kExitFailed;
    NormalizeFolder(folder);
    std::vector<SIgStreamFile> files;
    int result;
    {
        CTerminalProgress progress;
        result = DemuxIgStreamsToFolder(path, folder, &progress, files);
    }
    if (result != 0) return result == 1 ? kExitCancelled : kExitFailed;
    for (const SIgStreamFile& f : files)
        if (f.path.empty())
            Out(StrFormat("PID 0x%04X: no payload, no file written", f.pid));
        else
            Out(StrFormat("%s: PID 0x%04X, %u PES packets, %lld bytes", f.path.c_str(), f.pid,
                          f.pesCount, static_cast<long long>(f.bytes)));
    return kExitOk;
}

const CommandRegistration kDemux(
    "demux", "Write each IG stream of a clip's transport stream as <pid>.ig (marked form)",
    [](CLI::App& sub) -> std::function<int()> {
        auto path = std::make_shared<std::string>();
        auto folder = std::make_shared<std::string>();
        sub.add_option("file", *path, "Clip transport stream (.m2ts)")->required();
        sub.add_option("out-folder", *folder, "Folder for the <pid>.ig files")->required();
        return [path, folder] { return Run(*path, *folder); };
    });

}  // namespace
}  // namespace tessel::cli
