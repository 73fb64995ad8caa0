// `tessel scan <BDMV-folder> [--json]`: every clip with an IG menu, decoded.
#include "cli/command.h"
#include "cli/menu_json.h"
#include "cli/terminal_progress.h"
#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "platform/text.h"

namespace tessel::cli {
namespace {

using nlohmann::ordered_json;

void PrintPages(const CIcData& ic, const std::string& in) {
    for (const auto& page : ic) {
        Out(StrFormat("%s%s (id %d, %d group(s))", in.c_str(), page->name.c_str(), page->id,
                      page->GetSize()));
        for (const auto& bog : *page) {
            Out(StrFormat("%s  %s (%d button(s))", in.c_str(), bog->name.c_str(), bog->GetSize()));
            for (const auto& b : *bog) {
                int l, t, r, bottom;
                const bool sized = b->GetRect(l, t, r, bottom);
                if (!sized) l = b->x, t = b->y, r = b->x, bottom = b->y;
                Out(StrFormat("%s    %s: (%d, %d)-(%d, %d), %d command(s)", in.c_str(),
                              b->name.c_str(), l, t, r, bottom, b->commands.GetSize()));
            }
        }
    }
}

void PrintDisc(const CTlDisc& disc) {
    Out(disc.name);
    for (const auto& clip : disc.clips) {
        Out(StrFormat("  %05d.m2ts", clip->id));
        const bool direct = clip->igObjects.size() == 1;
        for (const auto& ig : clip->igObjects) {
            std::string in = "    ";
            if (!direct) {
                Out(StrFormat("    %s (%s, %d epoch(s))", ig->name.c_str(),
                              VideoDescriptorText(ig->video).c_str(), ig->GetSize()));
                in = "      ";
            }
            // One epoch with one display set shows its pages directly.
            if (ig->GetSize() == 1 && ig->GetAt(0)->GetSize() == 1) {
                PrintPages(*ig->GetAt(0)->GetAt(0), in);
                continue;
            }
            for (const auto& epoch : *ig)
                for (const auto& ds : *epoch) {
                    Out(StrFormat("%s%s %s (frame %d)", in.c_str(), epoch->name.c_str(),
                                  ds->name.c_str(), ds->frameNumber));
                    PrintPages(*ds, in + "  ");
                }
        }
    }
}

ordered_json DiscJson(const CTlDisc& disc) {
    ordered_json clips = ordered_json::array();
    for (const auto& clip : disc.clips) {
        ordered_json igs = ordered_json::array();
        for (const auto& ig : clip->igObjects) {
            ordered_json epochs = ordered_json::array();
            int e = 0;
            for (const auto& epoch : *ig) {
                ++e;
                ordered_json sets = ordered_json::array();
                int d = 0;
                for (const auto& ds : *epoch) {
                    ++d;
                    if (ds->IsEmpty()) continue;
                    const SCompositionHead head{ig->video, 0, ds->compositionState};
                    ordered_json j = CompositionJson(e, d, head, *ds);
                    j["frame_number"] = ds->frameNumber;
                    sets.push_back(std::move(j));
                }
                epochs.push_back({{"name", epoch->name},
                                  {"graphics", EpochGraphicsJson(*epoch)},
                                  {"palettes", EpochPalettesJson(*epoch)},
                                  {"display_sets", sets}});
            }
            igs.push_back({{"pid", ig->id},
                           {"name", ig->name},
                           {"video",
                            {{"width", ig->video.width},
                             {"height", ig->video.height},
                             {"frame_rate", ig->video.frameRate}}},
                           {"epochs", epochs}});
        }
        const int type = clip->clipInfo ? clip->clipInfo->clipInfo.applicationType : 0;
        clips.push_back({{"clip", clip->id}, {"application_type", type}, {"igs", igs}});
    }
    return {{"disc", disc.name}, {"clips", clips}};
}

int Run(const std::string& folder, bool json) {
    CTlDisc disc;
    int result;
    {
        CTerminalProgress progress;
        result = ScanDisc(disc, folder, &progress);
    }
    if (result != 0) return result == 1 ? kExitCancelled : kExitFailed;
    if (json)
        Out(DiscJson(disc).dump(1));
    else
        PrintDisc(disc);
    return kExitOk;
}

const CommandRegistration kRegistration(
    "scan", "Find every clip with an IG menu in a BDMV folder and show its menu tree",
    [](CLI::App& sub) -> std::function<int()> {
        auto folder = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        sub.add_option("folder", *folder, "BDMV folder")->required();
        sub.add_flag("--json", *json, "Print JSON");
        return [=] { return Run(*folder, *json); };
    });

}  // namespace
}  // namespace tessel::cli
