// `tessel rip <BDMV-folder> <out-folder> [--yes]`: every graphic object of
// every IG clip as PNG below out-folder/<disc name>/.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "cli/terminal_progress.h"
#include "disc/disc_scan.h"
#include "disc/rip.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

// Answers the overwrite question: --yes, a prompt on a terminal, else No.
class CRipQuestions : public CStderrMessageSink {
public:
    explicit CRipQuestions(bool yes) : yes_(yes) {}
    EAnswer Ask(const std::string& text) override {
        if (yes_) return EAnswer::Yes;
        if (!::isatty(STDIN_FILENO)) {
            ShowMessage(text + "(use --yes to reuse the folder)");
            return EAnswer::No;
        }
        std::fprintf(stderr, "tessel: %s[y]es/[n]o/[c]ancel: ", text.c_str());
        std::string answer;
        if (!std::getline(std::cin, answer) || answer.empty()) return EAnswer::Cancel;
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(answer[0])));
        return c == 'y' ? EAnswer::Yes : c == 'n' ? EAnswer::No : EAnswer::Cancel;
    }

private:
    bool yes_;
};

int Run(const std::string& folder, const std::string& out, bool yes) {
    CTlDisc disc;
    int result;
    {
        CTerminalProgress progress;
        result = ScanDisc(disc, folder, &progress);
    }
    if (result != 0) return result == 1 ? kExitCancelled : kExitFailed;
    // The output folder stands for the one a user picks in a folder dialog:
    // it is made when missing; the disc folder below it follows the rip rules.
    if (!MakeFolderOrReport(out)) return kExitFailed;
    CRipQuestions questions(yes);
    IMessageSink* previous = SetMessageSink(&questions);
    bool ok, cancelled;
    {
        CTerminalProgress progress;
        ok = RipToFolder(disc, out, &progress);
        cancelled = progress.Cancelled();
    }
    SetMessageSink(previous);
    if (!ok) return cancelled ? kExitCancelled : kExitFailed;
    std::string discFolder = RipDiscFolder(disc, out);
    if (!disc.name.empty()) discFolder.pop_back();  // shown without its separator
    Out("The images have been successfully extracted! ");
    Out(StrFormat("%d image(s) in %s", CountRippedImages(disc), discFolder.c_str()));
    return kExitOk;
}

const CommandRegistration kRegistration(
    "rip", "Write the graphic objects of every IG clip as PNG files",
    [](CLI::App& sub) -> std::function<int()> {
        auto folder = std::make_shared<std::string>();
        auto out = std::make_shared<std::string>();
        auto yes = std::make_shared<bool>(false);
        sub.add_option("folder", *folder, "BDMV folder")->required();
        sub.add_option("out-folder", *out, "Output folder (the disc folder is made inside)")
            ->required();
        sub.add_flag("--yes", *yes, "Reuse an existing disc folder without asking");
        return [=] { return Run(*folder, *out, *yes); };
    });

}  // namespace
}  // namespace tessel::cli
