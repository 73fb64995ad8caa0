// `tessel play <BDMV-folder|stream> [--keys KEY@SECONDS,...]`: a menu played
// in time as a player shows it, frame by frame at its video frame rate: page
// effects, button animations, activations, the pop-up and the time-outs; as
// text, JSON, numbered PNG frames or one animated picture (WebP, APNG).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include <unistd.h>

#include "cli/command.h"
#include "cli/json_out.h"
#include "cli/output_rules.h"
#include "cli/stream_targets.h"
#include "model/epoch.h"
#include "model/page.h"
#include "platform/animated_picture.h"
#include "platform/files.h"
#include "platform/frame_png.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "player/menu_clock.h"
#include "render/play_frames.h"

namespace tessel::cli {
namespace {

// The longest play, and the length of one without --seconds at most.
constexpr double kMaxSeconds = 600;
constexpr double kDefaultMaxSeconds = 10;

struct SPlayOptions {
    STargetRequest target;
    int page = -1;
    std::string keys;
    double seconds = 0;  // 0: until everything has run once
    bool secondsGiven = false;
    std::string out;
    bool json = false;
    bool yes = false;
    std::string background = "008080";
    double zoom = 1.0;
};

struct STimedKey {
    uint64_t pts = 0;
    EMenuKey key = EMenuKey::Enter;
};

// Where --out names neither a folder nor an animated picture: a name with
// an extension that is not .webp or .apng (and no folder of that name).
bool IsBadOutPath(const std::string& out) {
    EAnimationFormat format;
    if (out.empty() || AnimationFormatOfPath(out, format) || IsFolder(out)) return false;
    return !std::filesystem::path(out).extension().empty();
}

// "enter@1.5,down@2"; false after the reason has been shown.
bool ParseTimedKeys(const std::string& text, std::vector<STimedKey>& keys) {
    std::stringstream in(text);
    std::string item;
    double last = 0;
    while (std::getline(in, item, ',')) {
        const size_t at = item.find('@');
        EMenuKey key;
        char* end = nullptr;
        const std::string time = at == std::string::npos ? "" : item.substr(at + 1);
        const double seconds = std::strtod(time.c_str(), &end);
        if (at == std::string::npos || !ParseMenuKey(item.substr(0, at), key)) {
            ShowMessage(
                StrFormat("--keys: \"%s\" is not KEY@SECONDS with a key of up, down, left, "
                          "right, enter, popup, 0-9",
                          item.c_str()));
            return false;
        }
        if (time.empty() || *end || !(seconds >= 0) || seconds > kMaxSeconds) {
            ShowMessage(
                StrFormat("--keys: \"%s\": the time is not a number of seconds from 0 to %g",
                          item.c_str(), kMaxSeconds));
            return false;
        }
        if (seconds < last) {
            ShowMessage(StrFormat("--keys: \"%s\" comes before the key ahead of it", item.c_str()));
            return false;
        }
        last = seconds;
        keys.push_back({static_cast<uint64_t>(std::llround(seconds * 90000)), key});
    }
    return true;
}

const char* StateName(int state) {
    static const char* const kNames[3] = {"normal", "selected", "activated"};
    return state >= 0 && state < 3 ? kNames[state] : "normal";
}

Json EffectJson(const SShownEffect& e) {
    Json objects = Json::array();
    for (const auto& co : *e.effect) {
        Json crop = nullptr;
        if (co->cropped)
            crop = {co->cropLeft, co->cropTop, co->cropRight - co->cropLeft,
                    co->cropBottom - co->cropTop};
        objects.push_back({{"object", co->object.id},
                           {"window", co->window.id},
                           {"x", co->x},
                           {"y", co->y},
                           {"crop", crop}});
    }
    return {{"sequence", e.out ? "out" : "in"}, {"index", e.index}, {"objects", objects}};
}

Json FrameJson(const SMenuFrame& f) {
    Json buttons = Json::array();
    for (const SShownButton& b : f.buttons)
        buttons.push_back({{"id", b.button->id},
                           {"state", StateName(b.state)},
                           {"object", b.objectId >= 0 ? Json(b.objectId) : Json(nullptr)}});
    return {{"frame", f.frame},
            {"pts_90khz", f.pts},
            {"visible", f.visible},
            {"page", f.page ? Json(f.page->id) : Json(nullptr)},
            {"effect", f.effect ? EffectJson(*f.effect) : Json(nullptr)},
            {"buttons", buttons},
            {"commands", f.commands},
            {"exit", f.exit ? Json(f.exit->command) : Json(nullptr)},
            {"keys", f.keys},
            {"notes", f.notes}};
}

// One line for a frame where something happened.
void PrintFrame(const SMenuFrame& f, bool changed) {
    if (!changed && f.keys.empty() && f.commands.empty() && f.notes.empty() && f.frame != 0) return;
    std::string what = !f.visible
                           ? "menu hidden"
                           : StrFormat("page %d", f.page ? static_cast<int>(f.page->id) : -1);
    if (f.effect)
        what += StrFormat(", %s-effect %d", f.effect->out ? "out" : "in", f.effect->index);
    for (const SShownButton& b : f.buttons)
        what += StrFormat(", %d:%s:%d", b.button->id, StateName(b.state), b.objectId);
    Out(StrFormat("frame %lld (%.3f s): %s", static_cast<long long>(f.frame), f.pts / 90000.0,
                  what.c_str()));
    for (const std::string& k : f.keys) Out("  key " + k);
    for (const std::string& c : f.commands) Out("  run " + c);
    for (const std::string& n : f.notes) Out("  " + n);
    if (f.exit) Out(StrFormat("  exit: %s (%s)", f.exit->command.c_str(), f.exit->target.c_str()));
}

// Writes what the play composes: numbered PNG frames, or an animated picture.
class CPlayOutput {
public:
    bool Open(const std::string& out, int width, int height) {
        if (out.empty()) return true;
        EAnimationFormat format;
        if (out == "-") {
            // Standard output gets a WebP, put together in a file of its own.
            if (!ClaimStandardOutput(out)) return false;
            format = EAnimationFormat::WebP;
            staged_ = (std::filesystem::temp_directory_path() /
                       StrFormat("tessel-play-%d.webp", static_cast<int>(::getpid())))
                          .string();
            animation_ = std::make_unique<CAnimationWriter>(format, staged_, width, height);
            return true;
        }
        if (AnimationFormatOfPath(out, format)) {
            animation_ = std::make_unique<CAnimationWriter>(format, out, width, height);
            return true;
        }
        folder_ = out;
        created_ = !PathExists(folder_);
        if (const CResult made = MakeFolderTree(folder_); !made) {
            ShowFailure(made);
            return false;
        }
        NormalizeFolder(folder_);
        return true;
    }
    bool Add(const SMenuFrame& f, const Bitmap& picture, bool changed) {
        if (animation_) {
            // A frame is held until the next change.
            if (changed && holding_) {
                if (const CResult r = Flush(f.pts); !r) return Fail(r.Text());
            }
            if (changed || !holding_) held_ = picture, heldPts_ = f.pts, holding_ = true;
            return true;
        }
        if (folder_.empty()) return true;
        // An unchanged frame is the same file again.
        if (changed || png_.empty()) {
            if (const CResult r = EncodeFramePng(picture, png_); !r) return Fail(r.Text());
        }
        const std::string path =
            folder_ + StrFormat("frame%05lld.png", static_cast<long long>(f.frame));
        if (const CResult r = WriteWholeFile(path, png_.data(), png_.size()); !r)
            return Fail(r.Text());
        written_.push_back(path);
        return true;
    }
    bool Finish(uint64_t endPts) {
        if (!animation_) return true;
        if (holding_) {
            if (const CResult r = Flush(endPts); !r) return Fail(r.Text());
        }
        if (const CResult r = animation_->Finish(); !r) return Fail(r.Text());
        if (staged_.empty()) return true;
        std::vector<uint8_t> bytes;
        const CResult read = ReadWholeFile(staged_, bytes);
        DeleteFile(staged_);
        if (!read) return Fail(read.Text());
        return WriteOutput("-", bytes);
    }
    size_t Written() const { return written_.size(); }
    // Frames stored in the animated picture.
    int Stored() const { return animation_ ? animation_->Frames() : 0; }

private:
    CResult Flush(uint64_t untilPts) {
        // Durations to the millisecond, rounded on the frames' times so
        // that they add up to the play's length.
        const auto ms = static_cast<int>((untilPts + 45) / 90 - (heldPts_ + 45) / 90);
        CResult added = animation_->AddFrame(held_, std::max(ms, 1));
        holding_ = false;
        return added;
    }
    bool Fail(const std::string& error) {
        ShowMessage(error);
        for (const std::string& p : written_) DeleteFile(p);
        written_.clear();
        std::error_code ignored;
        if (created_) std::filesystem::remove(folder_, ignored);  // only when empty
        return false;
    }

    std::unique_ptr<CAnimationWriter> animation_;
    std::string staged_;  // the WebP for standard output, until it is copied there
    Bitmap held_;
    bool holding_ = false;
    uint64_t heldPts_ = 0;
    std::string folder_;
    bool created_ = false;
    std::vector<uint8_t> png_;
    std::vector<std::string> written_;
};

bool CheckOptions(const SPlayOptions& o, std::vector<STimedKey>& keys, uint32_t& background) {
    if (!ParseTimedKeys(o.keys, keys)) return false;
    if (o.secondsGiven && !(o.seconds > 0 && o.seconds <= kMaxSeconds)) {
        ShowMessage(StrFormat("--seconds %g: outside (0, %g]", o.seconds, kMaxSeconds));
        return false;
    }
    if (!(o.zoom > 0 && o.zoom <= 4)) {
        ShowMessage(StrFormat("--zoom %g: outside (0, 4]", o.zoom));
        return false;
    }
    if (o.json && o.out == "-") {
        ShowUsageError("--json with --out -: standard output takes one of them");
        return false;
    }
    if (IsBadOutPath(o.out)) {
        ShowMessage(StrFormat("--out %s: not a folder for PNG frames nor FILE.webp / FILE.apng",
                              o.out.c_str()));
        return false;
    }
    if (!ParseColour(o.background, background)) {
        ShowMessage(StrFormat("--bg %s: not a colour RRGGBB", o.background.c_str()));
        return false;
    }
    return true;
}

// Advances the clock frame by frame up to --seconds (without it, until
// everything has run once, at most kDefaultMaxSeconds), showing or writing
// each frame; false after the output failed.
bool Play(const SPlayOptions& o, CMenuClock& clock, CPlayOutput& output, CPlayFrames* composer,
          Json& frames, int64_t& count) {
    const uint64_t limit = static_cast<uint64_t>(
        std::llround((o.secondsGiven ? o.seconds : kDefaultMaxSeconds) * 90000));
    SMenuFrame previous;
    while (true) {
        const SMenuFrame& f = clock.Advance();
        ++count;
        const bool changed = f.frame == 0 || f.buttons != previous.buttons ||
                             f.effect != previous.effect || f.visible != previous.visible ||
                             f.page != previous.page;
        if (composer) {
            const bool drawn = composer->Compose(f);
            if (!output.Add(f, composer->Picture(), drawn)) return false;
        }
        if (o.json)
            frames.push_back(FrameJson(f));
        else if (o.out.empty())
            PrintFrame(f, changed);
        previous = f;
        if (clock.PtsOf(f.frame + 1) >= limit) return true;
        if (!o.secondsGiven && clock.Settled()) return true;
    }
}

int Run(const SPlayOptions& o) {
    std::vector<STimedKey> keys;
    uint32_t background = 0;
    if (!CheckOptions(o, keys, background)) return kExitFailed;
    EAnimationFormat format;
    if (!o.out.empty() && o.out != "-" && !AnimationFormatOfPath(o.out, format))
        if (const int asked = ConfirmFolder(o.out, o.yes, o.target.input == kStandardInput);
            asked != kExitOk)
            return asked;
    SLoadedTargets loaded;
    int exitCode;
    const CDisplaySet* ds = LoadMenu(o.target, loaded, exitCode);
    if (!ds) return exitCode;
    const CIgObject& ig = *loaded.targets.front().ig;
    SFrameRate rate;
    if (!FrameRateOf(ig.video.frameRate, rate)) {
        ShowMessage(StrFormat("%s: the video descriptor names no frame rate (code %d)",
                              o.target.input.c_str(), ig.video.frameRate));
        return kExitFailed;
    }
    if (o.page >= 0 && std::none_of(ds->items.begin(), ds->items.end(),
                                    [&](const auto& p) { return p->id == o.page; })) {
        ShowMessage(StrFormat("%s: no page with id %d", o.target.input.c_str(), o.page));
        return kExitFailed;
    }
    CMenuClock clock(*ds, rate);
    clock.StartAt(o.page);
    for (const STimedKey& k : keys) clock.AddKey(k.pts, k.key);
    CPlayOutput output;
    if (!output.Open(o.out, static_cast<int>(std::lround(ig.video.width * o.zoom)),
                     static_cast<int>(std::lround(ig.video.height * o.zoom))))
        return kExitFailed;
    std::unique_ptr<CPlayFrames> composer;
    if (!o.out.empty())
        composer =
            std::make_unique<CPlayFrames>(ig.video.width, ig.video.height, o.zoom, background);
    Json frames = Json::array();
    int64_t count = 0;
    if (!Play(o, clock, output, composer.get(), frames, count)) return kExitFailed;
    if (!output.Finish(clock.PtsOf(count))) return kExitFailed;
    if (o.json) {
        Json out;
        out["input"] = o.target.input;
        out["frame_rate"] = {{"code", rate.code}, {"name", rate.name}};
        out["pop_up"] = ds->uiModel == 1;
        out["frames"] = frames;
        PrintJson(out);
    } else {
        Note(StrFormat(
            "%lld frame(s), %.3f s at %s frames per second%s", static_cast<long long>(count),
            clock.PtsOf(count) / 90000.0, rate.name,
            output.Written()
                ? StrFormat(", %zu PNG file(s) in %s", output.Written(), o.out.c_str()).c_str()
            : output.Stored()
                ? StrFormat(", %d picture(s) in %s", output.Stored(), o.out.c_str()).c_str()
                : ""));
    }
    return kExitOk;
}

const CommandRegistration kPlayCommand(
    "play", "Play a menu in time as a player shows it: effects, animations, keys, time-outs",
    [](CLI::App& sub) -> std::function<int()> {
        auto o = std::make_shared<SPlayOptions>();
        sub.add_option("input", o->target.input, "BDMV folder or graphics stream file")->required();
        sub.add_option("--clip", o->target.clip, "Clip number (default: the first IG clip)");
        sub.add_option("--pid", o->target.pid, "IG stream PID, decimal or 0x hex");
        sub.add_option("--page", o->page, "Page id to start at (default: the first page)");
        sub.add_option("--keys", o->keys,
                       "Keys with their times: KEY@SECONDS,... (up, down, left, right, enter, "
                       "popup, 0-9)");
        sub.add_option("--seconds", o->seconds,
                       "Length in seconds, up to 600 (default: until every animation and effect "
                       "has run once, at most 10)")
            ->each([o](const std::string&) { o->secondsGiven = true; });
        sub.add_option(
            "--out", o->out,
            "Folder for frame00000.png, ..., or an animated FILE.webp / FILE.apng (- for a WebP "
            "on standard output)");
        AddYes(sub, o->yes);
        AddQuickOption(sub, o->target.quick);
        sub.add_flag("--json", o->json, "The frames as JSON");
        sub.add_option("--bg", o->background, "Background colour RRGGBB behind the menu");
        sub.add_option("--zoom", o->zoom, "Scale of the frames, in (0, 4]");
        AddStreamForm(sub, o->target.input, o->target.bare, "The stream file has no record heads");
        return [=] { return Run(*o); };
    });

}  // namespace
}  // namespace tessel::cli
