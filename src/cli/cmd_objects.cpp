// `tessel objects <stream> <out-folder>`: every graphic object of a stream as
// PNG, one folder per epoch, files "%04d.png" of object id + 1.
#include "cli/command.h"
#include "cli/stream_targets.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

int Run(const std::string& stream, std::string folder, bool bare) {
    CIgObject ig;
    if (!ig.LoadStream(stream, bare)) return kExitFailed;
    int written = 0;
    if (!MakeFolderOrReport(folder) || !SaveIgImages(ig, folder, &written)) return kExitFailed;
    NormalizeFolder(folder);
    int objects = 0;
    for (const auto& epoch : ig.items) objects += static_cast<int>(epoch->graphics.items.size());
    Out(StrFormat("%d image(s) written to %s", written, folder.c_str()));
    if (written < objects) {
        ShowMessage(StrFormat("%d graphic object(s) could not be written", objects - written));
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration kRegistration(
    "objects", "Write every graphic object of a stream as PNG, one folder per epoch",
    [](CLI::App& sub) -> std::function<int()> {
        auto stream = std::make_shared<std::string>();
        auto folder = std::make_shared<std::string>();
        auto bare = std::make_shared<bool>(false);
        sub.add_option("stream", *stream, "Graphics stream file (.sup, .ig, .pg)")->required();
        sub.add_option("out-folder", *folder, "Folder to write the epoch folders into")->required();
        AddStreamForm(sub, *stream, *bare, "The stream has no record heads");
        return [=] { return Run(*stream, *folder, *bare); };
    });

}  // namespace
}  // namespace tessel::cli
