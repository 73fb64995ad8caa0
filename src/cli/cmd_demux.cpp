// `tessel demux <file.m2ts> <out-folder>`: every IG PID of a clip's transport
// stream as a marked-form stream file `<pid>.ig`.
#include <memory>
#include <vector>

#include "cli/command.h"
#include "cli/terminal_progress.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/read_file.h"
#include "platform/text.h"
#include "ts/demux.h"
#include "ts/esi.h"
#include "ts/track_file.h"

namespace tessel::cli {
namespace {

int Run(const std::string& path, std::string folder) {
    CReadFile file;
    std::string error;
    if (!file.Open(path, error)) {
        ShowMessage(StrFormat("%s: %s", path.c_str(), error.c_str()));
        return kExitFailed;
    }
    const std::string name = file.Path();
    auto pmt = ReadProgramMap(file);
    if (!pmt) {
        ShowMessage(StrFormat("%s:\n\r%s", name.c_str(), "Wrong M2ts format ! "));
        return kExitFailed;
    }
    CTrackInfoMap map;
    std::vector<CMemoryFile*> outputs;
    AddIgTracks(*pmt, map, outputs);
    pmt.reset();
    if (map.Empty()) {
        ShowMessage(StrFormat("%s:\n\r%s", name.c_str(), "has no IG(menu) ! "));
        return kExitFailed;
    }
    if (!IsFolder(folder) && !CreateFolder(folder)) {
        ShowMessage(StrFormat("Failed to create the folder:\r\n%s", folder.c_str()));
        return kExitFailed;
    }
    NormalizeFolder(folder);

    file.Seek(0);
    int result;
    {
        CTerminalProgress progress;
        result = Demux(file, map, &progress);
    }
    if (result != 0) return result == 1 ? kExitCancelled : kExitFailed;

    for (size_t i = 0; i < map.Count(); ++i) {
        const std::string out = StrFormat("%s%d.ig", folder.c_str(), map.pids[i]);
        const auto data = outputs[i]->Data();
        if (!WriteWholeFile(out, data.data(), data.size(), error)) {
            ShowMessage(StrFormat("%s: %s", out.c_str(), error.c_str()));
            return kExitFailed;
        }
        Out(StrFormat("%s: PID 0x%04X, %u PES packets, %zu bytes", out.c_str(), map.pids[i],
                      map.tracks[i]->main->pesCount, data.size()));
    }
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
