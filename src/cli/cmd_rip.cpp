// `tessel rip <BDMV-folder> <out-folder> [--yes] [--keep-going]`: every graphic object of
// every IG clip as PNG below out-folder/<disc name>/.
#include <algorithm>
#include <filesystem>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "cli/terminal_progress.h"
#include "disc/disc_scan.h"
#include "disc/rip.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

// The overwrite question was asked before the scan (the disc folder is
// replaced then) and is answered Yes when the rip asks; a disc folder
// that could not be named before the scan takes --yes only.
class CAnsweredQuestions : public CStderrMessageSink {
public:
    explicit CAnsweredQuestions(bool yes) : yes_(yes) {}
    EAnswer Ask(const std::string& text) override {
        if (yes_) return EAnswer::Yes;
        ShowMessage(text + "(use --yes to overwrite)");
        return EAnswer::No;
    }

private:
    bool yes_;
};

// What a rip wrote: each clip's IG streams and epochs with their pictures.
Json RipJson(const CTlDisc& disc, const std::string& input, const std::string& discFolder) {
    Json clips = Json::array();
    for (const auto& clip : disc.clips) {
        const std::string clipFolder = discFolder + clip->name + kPathSeparator;
        Json igs = Json::array();
        int clipPictures = 0;
        for (const auto& ig : clip->igObjects) {
            const std::string igFolder = clipFolder + ig->name + kPathSeparator;
            Json epochs = Json::array();
            for (const auto& epoch : *ig) {
                const std::string epochFolder = igFolder + epoch->name + kPathSeparator;
                Json files = Json::array();
                for (const auto& o : epoch->graphics.items)
                    if (o->HasPicture() && o->saveStatus == 0)
                        files.push_back(epochFolder + o->PictureFileName());
                clipPictures += static_cast<int>(files.size());
                epochs.push_back({{"epoch", epoch->name},
                                  {"folder", epochFolder},
                                  {"pictures", files.size()},
                                  {"files", files}});
            }
            igs.push_back({{"pid", ig->id}, {"folder", igFolder}, {"epochs", epochs}});
        }
        clips.push_back({{"clip", clip->id},
                         {"name", clip->name},
                         {"folder", clipFolder},
                         {"pictures", clipPictures},
                         {"igs", igs},
                         {"coverage", CoverageJson(clip->coverage)}});
    }
    return {{"disc", disc.name},
            {"input", input},
            {"folder", discFolder},
            {"marker", discFolder + CTlDisc::kRipMarker},
            {"images", CountRippedImages(disc)},
            {"clips", clips}};
}

// What a cancelled rip kept.
void ReportCancel(const std::string& discFolder, const std::vector<std::string>& finished) {
    if (finished.empty()) {
        ShowMessage(StrFormat("%s: rip cancelled before a clip was finished; nothing is kept",
                              discFolder.c_str()));
        return;
    }
    std::string names;
    for (const std::string& n : finished) names += (names.empty() ? "" : " ") + n;
    ShowMessage(
        StrFormat("%s: rip cancelled; the finished clip(s) %s are kept, the "
                  "unfinished clip was removed",
                  discFolder.c_str(), names.c_str()));
}

struct SRipOptions {
    std::string folder;
    std::string out;
    bool yes = false;
    int clip = -1;
    std::string pid;
    bool json = false;
    bool keepGoing = false;
    bool quick = false;
};

// The disc folder of a rip as messages show it: without its separator.
std::string ShownDiscFolder(const CTlDisc& disc, const std::string& out) {
    std::string folder = RipDiscFolder(disc, out);
    if (!disc.name.empty()) folder.pop_back();
    return folder;
}

// What the scan and the rip did.
struct SRipRun {
    bool ok = false;
    bool cancelled = false;
    std::vector<std::string> finished;
    Json leftOut;
};

// Replaces the disc folder the question was asked about, once the clips have
// been read; false after saying why it could not.
bool ReplaceEarlierRip(const std::string& discFolder, const std::string& planned) {
    std::error_code ec;
    if (discFolder == planned && IsFolder(discFolder) &&
        !std::filesystem::remove_all(discFolder, ec) && ec) {
        ShowMessage(StrFormat("%s: the earlier rip could not be removed (%s)", discFolder.c_str(),
                              ec.message().c_str()));
        return false;
    }
    return true;
}

// The scan and the pictures under one progress: Ctrl-C between the two
// cancels too. kExitOk once the rip ran (run tells how it ended), else the
// exit status.
int ScanAndRip(const SRipOptions& o, const SScanOptions& options, std::vector<int>& failed,
               const std::string& planned, CTlDisc& disc, SRipRun& run) {
    CTerminalProgress progress;
    if (const int scanned = ScanForCommand(disc, o.folder, options, &progress, failed, run.leftOut);
        scanned != kExitOk)
        return scanned;
    TellCoverage(disc);
    if (progress.Cancelled()) {
        ShowMessage(StrFormat("%s: rip cancelled before a clip was finished; nothing is kept",
                              o.out.c_str()));
        return kExitCancelled;
    }
    // The output folder stands for the one a user picks in a folder dialog:
    // it is made when missing; the disc folder below it follows the rip rules.
    if (const CResult made = MakeFolder(o.out); !made) return ShowFailure(made);
    if (!ReplaceEarlierRip(RipDiscFolder(disc, o.out), planned)) return kExitFailed;
    CAnsweredQuestions questions(o.yes || !planned.empty());
    IMessageSink* previous = SetMessageSink(&questions);
    run.ok = RipToFolder(disc, o.out, &progress, &run.finished).Ok();
    run.cancelled = progress.Cancelled();
    SetMessageSink(previous);
    return kExitOk;
}

// What a finished rip wrote, and its exit status.
int ReportRip(const SRipOptions& o, const CTlDisc& disc, Json leftOut, size_t failed) {
    const std::string discFolder = ShownDiscFolder(disc, o.out);
    if (CountRippedImages(disc) == 0) {
        // A menu without pictures is nothing to rip: said, not called a success.
        ShowMessage(StrFormat("%s: the menus of this disc hold no picture; no image was written",
                              o.folder.c_str()));
        return kExitFailed;
    }
    const bool lost = std::any_of(disc.clips.begin(), disc.clips.end(),
                                  [](const auto& clip) { return !clip->losses.empty(); });
    if (o.json) {
        Json j = RipJson(disc, o.folder, RipDiscFolder(disc, o.out));
        j["left_out"] = std::move(leftOut);
        PrintJson(j);
    } else if (!lost) {
        Note("The images have been successfully extracted! ");
        Note(StrFormat("%d image(s) in %s", CountRippedImages(disc), discFolder.c_str()));
    }
    if (lost) {
        // Pictures the clips lost are not written: said, not called a success.
        ShowMessage(
            StrFormat("%s: %d image(s) written to %s; the pictures of the PES packets "
                      "named above are missing",
                      o.folder.c_str(), CountRippedImages(disc), discFolder.c_str()));
        return kExitFailed;
    }
    if (failed == 0) return kExitOk;
    ShowMessage(
        StrFormat("%s: %zu clip(s) could not be read and are left out", o.folder.c_str(), failed));
    return kExitFailed;
}

int Run(const SRipOptions& o) {
    SScanOptions options;
    if (!NarrowScan(o.clip, o.pid, options)) return kExitFailed;
    std::vector<int> failed;
    options.keepGoing = o.keepGoing;
    options.quick = o.quick;
    // Asked before the clips are read; Yes replaces the disc folder once
    // they have been.
    const std::string planned = PlannedRipDiscFolder(o.folder, o.out);
    if (!planned.empty()) {
        const int asked = ConfirmFolder(planned, o.yes, false, true);
        if (asked != kExitOk) return asked;
    }
    CTlDisc disc;
    SRipRun run;
    if (const int ran = ScanAndRip(o, options, failed, planned, disc, run); ran != kExitOk)
        return ran;
    if (!run.ok) {
        if (run.cancelled) ReportCancel(ShownDiscFolder(disc, o.out), run.finished);
        return run.cancelled ? kExitCancelled : kExitFailed;
    }
    return ReportRip(o, disc, std::move(run.leftOut), failed.size());
}

const CommandRegistration kRipCommand(
    "rip", "Write the graphic objects of every IG clip as PNG files",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SRipOptions>();
        sub.add_option("folder", o->folder, "BDMV folder, disc root or disc image")->required();
        sub.add_option("out-folder", o->out, "Output folder (the disc folder is made inside)")
            ->required();
        AddYes(sub, o->yes);
        sub.add_flag("--json", o->json, "Print JSON: the clips, streams and files written");
        sub.add_option("--clip", o->clip, "Only this clip number");
        sub.add_option("--pid", o->pid, "Only IG streams on this PID (decimal or 0x hex)");
        sub.add_flag("--keep-going", o->keepGoing,
                     "Leave out a clip that cannot be read and rip the others (exit 2)");
        AddQuickOption(sub, o->quick);
        sub.footer(
            "An existing disc folder is asked about first (\"y\" or --yes replaces it, so "
            "nothing of an earlier rip stays; \"n\" fails; anything else cancels).\n\n"
            "Example:\n  tessel rip BDMV out --yes\n\n"
            "Exit status: 0 done, 1 cancelled (Ctrl-C, or the question answered Cancel), 2 "
            "failed (bad input or options, the question answered No; the reason is on "
            "stderr).");
        return [o] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
