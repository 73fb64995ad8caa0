// `tessel rip <BDMV-folder> <out-folder> [--yes]`: every graphic object of
// every IG clip as PNG below out-folder/<disc name>/.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/stream_targets.h"
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

// What a rip wrote: each clip's IG streams and epochs with their pictures.
Json RipJson(const CTlDisc& disc, const std::string& discFolder) {
    Json clips = Json::array();
    for (const auto& clip : disc.clips) {
        const std::string clipFolder = discFolder + clip->name + kPathSeparator;
        Json igs = Json::array();
        int clipPictures = 0;
        for (const auto& ig : clip->igObjects) {
            const std::string igFolder = clipFolder + ig->name + kPathSeparator;
            Json epochs = Json::array();
            for (const auto& epoch : *ig) {
                int pictures = 0;
                for (const auto& o : epoch->graphics.items)
                    pictures += o->HasPicture() && o->saveStatus == 0;
                clipPictures += pictures;
                epochs.push_back({{"epoch", epoch->name},
                                  {"folder", igFolder + epoch->name + kPathSeparator},
                                  {"pictures", pictures}});
            }
            igs.push_back({{"pid", ig->id}, {"folder", igFolder}, {"epochs", epochs}});
        }
        clips.push_back({{"clip", clip->id},
                         {"name", clip->name},
                         {"folder", clipFolder},
                         {"pictures", clipPictures},
                         {"igs", igs}});
    }
    return {{"disc", disc.name},
            {"folder", discFolder},
            {"images", CountRippedImages(disc)},
            {"clips", clips}};
}

struct SRipFlags {
    bool quick = false;
    bool quiet = false;
};

int Run(const std::string& folder, const std::string& out, bool yes, int clip,
        const std::string& pidText, bool json, const SRipFlags& flags) {
    SScanOptions options;
    if (!NarrowScan(clip, pidText, options)) return kExitFailed;
    options.quick = flags.quick;
    CTlDisc disc;
    bool ok, cancelled;
    std::vector<std::string> finished;
    {
        // One progress for the scan and the pictures: Ctrl-C between the two
        // cancels too.
        CTerminalProgress progress(flags.quiet);
        const int result = ScanDisc(disc, folder, &progress, options);
        if (result != 0) return result == 1 ? kExitCancelled : kExitFailed;
        TellCoverage(disc);
        if (progress.Cancelled()) {
            ShowMessage(StrFormat("%s: rip cancelled before a clip was finished; nothing is kept",
                                  out.c_str()));
            return kExitCancelled;
        }
        // The output folder stands for the one a user picks in a folder
        // dialog: it is made when missing; the disc folder below it follows
        // the rip rules.
        if (!MakeFolderOrReport(out)) return kExitFailed;
        CRipQuestions questions(yes);
        IMessageSink* previous = SetMessageSink(&questions);
        ok = RipToFolder(disc, out, &progress, &finished);
        cancelled = progress.Cancelled();
        SetMessageSink(previous);
    }
    const std::string discPath = RipDiscFolder(disc, out);
    std::string discFolder = discPath;
    if (!disc.name.empty()) discFolder.pop_back();  // shown without its separator
    if (!ok && cancelled && !finished.empty()) {
        std::string names;
        for (const std::string& n : finished) names += (names.empty() ? "" : " ") + n;
        ShowMessage(
            StrFormat("%s: rip cancelled; the finished clip(s) %s are kept, the "
                      "unfinished clip was removed",
                      discFolder.c_str(), names.c_str()));
    } else if (!ok && cancelled) {
        ShowMessage(StrFormat("%s: rip cancelled before a clip was finished; nothing is kept",
                              discFolder.c_str()));
    }
    if (!ok) return cancelled ? kExitCancelled : kExitFailed;
    if (CountRippedImages(disc) == 0) {
        // A menu without pictures is nothing to rip: said, not called a success.
        ShowMessage(StrFormat("%s: the menus of this disc hold no picture; no image was written",
                              folder.c_str()));
        return kExitFailed;
    }
    if (json) {
        PrintJson(RipJson(disc, discPath));
        return kExitOk;
    }
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
        auto json = std::make_shared<bool>(false);
        sub.add_flag("--json", *json, "Print JSON: the clips, streams and pictures written");
        auto clip = std::make_shared<int>(-1);
        auto pid = std::make_shared<std::string>();
        sub.add_option("--clip", *clip, "Only this clip number");
        sub.add_option("--pid", *pid, "Only IG streams on this PID (decimal or 0x hex)");
        auto flags = std::make_shared<SRipFlags>();
        AddQuickOption(sub, flags->quick);
        sub.add_flag("--quiet", flags->quiet, "No progress on stderr");
        return [=] { return Run(*folder, *out, *yes, *clip, *pid, *json, *flags); };
    });

}  // namespace
}  // namespace tessel::cli
