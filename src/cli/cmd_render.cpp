// `tessel render <BDMV-folder|stream> <out.png>`: one menu page as a player
// shows it, drawn by the page composer the desktop view uses; with --all
// every page in every state below an output folder.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "cli/command.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "platform/frame_png.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "render/page_composer.h"

namespace tessel::cli {
namespace {

constexpr const char* kStateNames[3] = {"normal", "selected", "activated"};

struct SRenderOptions {
    std::string input;
    std::string output;
    int clip = -1;
    std::string pid;
    int page = -1;
    std::string state = "normal";
    bool last = false;
    bool outlines = false;
    bool safeAreas = false;
    double zoom = 1.0;
    std::string background = "008080";
    bool bare = false;
    bool all = false;
    bool yes = false;
    bool keepGoing = false;
    bool quick = false;
};

int StateOf(const std::string& name) {
    for (int i = 0; i < 3; ++i)
        if (EqualsNoCase(name, kStateNames[i])) return i;
    return -1;
}

Bitmap Draw(CPageComposer& composer, CPage& page, int state) {
    composer.SetPage(&page);
    composer.SetState(state);
    composer.Recompose();
    return composer.ViewPicture(false);
}

// Draws the safe areas into the picture when asked.
bool Save(Bitmap& out, const std::string& path, bool safeAreas, int zoomW, int zoomH) {
    if (safeAreas) DrawSafeAreas(out, 0, 0, zoomW, zoomH);
    if (out.IsEmpty()) {
        ShowFailure(path, "the picture is too large");
        return false;
    }
    std::vector<uint8_t> png;
    if (const CResult r = EncodeFramePng(out, png); !r) {
        ShowFailure(path, r.Text());
        return false;
    }
    return WriteOutput(path, png);
}

// The exit status of a render that was written: failed when the chosen
// clips lost PES packets (the pictures lack what they held).
int Lost(const SLoadedTargets& loaded, const std::string& input) {
    if (!TargetsLostPackets(loaded)) return kExitOk;
    ShowMessage(
        StrFormat("%s: drawn without the display sets and objects named above, which the "
                  "clip lost",
                  input.c_str()));
    return kExitFailed;
}

// The option values and the output's name; kExitOk to go on.
int CheckOptions(const SRenderOptions& o, int& state, uint32_t& background) {
    state = StateOf(o.state);
    if (state < 0) {
        return ShowUsageError(
            StrFormat("--state %s: not one of normal, selected, activated", o.state.c_str()));
    }
    if (!(o.zoom > 0 && o.zoom <= 4)) {
        return ShowUsageError(StrFormat("--zoom %g: outside (0, 4]", o.zoom));
    }
    if (!ParseColour(o.background, background)) {
        return ShowUsageError(StrFormat("--bg %s: not a colour RRGGBB", o.background.c_str()));
    }
    if (o.all) {
        if (o.output == "-") {
            return ShowUsageError(
                "-: --all writes a folder of pictures, not one to standard output");
        }
        return ConfirmFolder(o.output, o.yes, o.input == kStandardInput);
    }
    std::string format;
    if (!ChooseFormat(o.output, format, {{"png", {"png"}}}, "png", {"jpg", "jpeg", "webp"}) ||
        !ClaimStandardOutput(o.output))
        return kExitFailed;
    return kExitOk;
}

// The page asked for (or the first) of the first stream, in one state.
int RenderPage(const SRenderOptions& o, CPageComposer& composer, CIgObject& ig, int state) {
    CPage* page = o.page >= 0 ? FindPage(ig, o.page) : FirstPage(ig);
    if (!page) {
        ShowMessage(o.page >= 0 ? StrFormat("%s: no page with id %d", o.input.c_str(), o.page)
                                : StrFormat("%s: the stream has no page", o.input.c_str()));
        return kExitFailed;
    }
    Bitmap picture = Draw(composer, *page, state);
    if (!Save(picture, o.output, o.safeAreas, composer.ScaledWidth(), composer.ScaledHeight()))
        return kExitFailed;
    Note(StrFormat("%s: page %d, %s, %dx%d", o.output.c_str(), page->id, kStateNames[state],
                   picture.Width(), picture.Height()));
    return kExitOk;
}

// Every page of every selected stream in every state.
int RenderAll(const SRenderOptions& o, CPageComposer& composer,
              const std::vector<SStreamTarget>& targets) {
    struct SJob {
        std::string folder;
        CPage* page;
    };
    std::vector<SJob> jobs;
    for (const SStreamTarget& t : targets) {
        std::string folder = o.output;
        NormalizeFolder(folder);
        if (t.clip >= 0) folder += StrFormat("%05d/%d/", t.clip, t.ig->id);
        std::vector<CPage*> pages = PagesById(*t.ig);
        if (o.page >= 0) std::erase_if(pages, [&](const CPage* p) { return p->id != o.page; });
        for (CPage* p : pages) jobs.push_back({folder, p});
    }
    if (jobs.empty()) {
        ShowMessage(o.page >= 0 ? StrFormat("%s: no page with id %d", o.input.c_str(), o.page)
                                : StrFormat("%s: no page to render", o.input.c_str()));
        return kExitFailed;
    }
    int written = 0;
    for (const SJob& job : jobs) {
        if (const CResult made = MakeFolderTree(job.folder); !made) return ShowFailure(made);
        for (int s = 0; s < 3; ++s) {
            Bitmap picture = Draw(composer, *job.page, s);
            const std::string path =
                job.folder + StrFormat("page%d-%s.png", job.page->id, kStateNames[s]);
            if (!Save(picture, path, o.safeAreas, composer.ScaledWidth(), composer.ScaledHeight()))
                return kExitFailed;
            ++written;
        }
    }
    std::string folder = o.output;
    NormalizeFolder(folder);
    Note(StrFormat("%d picture(s) written below %s", written, folder.c_str()));
    return kExitOk;
}

int Run(const SRenderOptions& o) {
    int state;
    uint32_t background;
    if (const int checked = CheckOptions(o, state, background); checked != kExitOk) return checked;
    SLoadedTargets loaded;
    int exitCode;
    if (!LoadTargets({o.input, o.clip, o.pid, o.bare, o.all, o.keepGoing, o.quick}, loaded,
                     exitCode))
        return exitCode;
    CPageComposer composer;
    composer.SetZoom(o.zoom);
    composer.SetBackground(background);
    composer.SetFirstObject(!o.last);
    composer.SetOutlines(o.outlines);
    const int rendered = o.all ? RenderAll(o, composer, loaded.targets)
                               : RenderPage(o, composer, *loaded.targets.front().ig, state);
    if (rendered != kExitOk) return rendered;
    const int lost = Lost(loaded, o.input);
    return std::max(lost, LeftOutStatus(o.input, loaded.leftOut));
}

const CommandRegistration kRenderCommand(
    "render", "Draw a menu page as a player shows it, as PNG",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SRenderOptions>();
        sub.add_option("input", o->input, "BDMV folder or graphics stream file")->required();
        sub.add_option("output", o->output,
                       "PNG file (.png; - for standard output); with --all the output folder")
            ->required();
        sub.add_option("--clip", o->clip, "Clip number (default: the first IG clip)");
        sub.add_option("--pid", o->pid, "IG stream PID, decimal or 0x hex (default: the first)");
        AddQuickOption(sub, o->quick);
        sub.add_option("--page", o->page, "Page id of the stream (default: the first page)");
        sub.add_option("--state", o->state, "Button state: normal, selected or activated");
        sub.add_flag("--last", o->last, "Each state's last object instead of its first");
        sub.add_flag("--outlines", o->outlines, "Outline the buttons as the page view does");
        sub.add_flag("--safe-areas", o->safeAreas, "Draw the 90 % and 80 % safe-area frames");
        sub.add_option("--zoom", o->zoom, "Scale of the frame, in (0, 4]");
        sub.add_option("--bg", o->background, "Background colour RRGGBB behind the page");
        AddStreamForm(sub, o->input, o->bare, "The stream file has no record heads");
        sub.add_flag("--all", o->all,
                     "Every page in every state: <out>/<clip>/<pid>/page<ID>-<state>.png");
        AddYes(sub, o->yes);
        AddKeepGoing(sub, o->keepGoing);
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
