// Writes a BDMV folder with generated Interactive Graphics menus.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "authoring/sample_disc.h"
#include "platform/files.h"

using namespace tessel::authoring;

int main(int argc, char** argv) {
    CLI::App app{"make_sample_disc: write a BDMV folder with generated IG menus"};
    std::string root;
    bool demo = false, background = false;
    int clips = 2, pids = 1, epochs = 1, pages = 2, bogs = 2, buttons = 2;
    int width = 240, height = 64;
    uint64_t filler = 0;
    int repeats = 1;
    bool acquisition = false, graphicsFirst = false;
    app.add_option("root", root, "Folder to write (BDMV is created inside it)")->required();
    app.add_flag("--demo", demo, "The bundled demo disc (other options are ignored)");
    app.add_option("--clips", clips, "Number of IG clips")->check(CLI::Range(1, 50));
    app.add_option("--pids", pids, "IG PIDs per clip")->check(CLI::Range(1, 32));
    app.add_option("--epochs", epochs, "Epochs per menu")->check(CLI::Range(1, 20));
    app.add_option("--pages", pages, "Pages per menu")->check(CLI::Range(1, 255));
    app.add_option("--bogs", bogs, "Button overlap groups per page")->check(CLI::Range(1, 64));
    app.add_option("--buttons", buttons, "Buttons per group")->check(CLI::Range(1, 32));
    app.add_option("--width", width, "Button picture width")->check(CLI::Range(8, 1920));
    app.add_option("--height", height, "Button picture height")->check(CLI::Range(8, 1080));
    app.add_flag("--background", background, "A full-frame picture behind every page");
    app.add_option("--filler-mib", filler, "Filler video PID of N MiB per clip");
    app.add_option("--repeat", repeats, "Send each menu N times, one second apart")
        ->check(CLI::Range(1, 100000));
    app.add_flag("--acquisition-points", acquisition,
                 "Repeated menus as Acquisition Points of one epoch (else each its own epoch)");
    app.add_flag("--graphics-first", graphicsFirst,
                 "Graphics at the start of each clip, the filler after them");
    std::string pg;
    app.add_option("--pg", pg,
                   "A PG stream file (.sup, marked form) muxed into the first clip as PID 0x1200");
    CLI11_PARSE(app, argc, argv);

    SDiscOptions options = DemoDiscOptions();
    if (!demo) {
        options.clips.clear();
        for (int c = 0; c < clips; ++c) {
            SClipSpec clip;
            clip.number = c + 1;
            clip.applicationType = c % 2 ? 5 : 1;
            clip.viaSubPath = c % 2 == 1;
            for (int p = 0; p < pids; ++p) clip.igPids.push_back(static_cast<uint16_t>(0x1400 + p));
            clip.menu.epochs = epochs;
            clip.menu.pages = pages;
            clip.menu.bogsPerPage = bogs;
            clip.menu.buttonsPerBog = buttons;
            clip.menu.buttonWidth = width;
            clip.menu.buttonHeight = height;
            clip.menu.background = background;
            clip.repeats = repeats;
            clip.repeatsAsAcquisitionPoints = acquisition;
            options.clips.push_back(clip);
        }
        options.fillerMiB = filler;
        options.graphicsFirst = graphicsFirst;
    }
    if (!pg.empty()) {
        std::vector<uint8_t> marked;
        if (const tessel::CResult r = tessel::ReadWholeFile(pg, marked); !r) {
            std::fprintf(stderr, "make_sample_disc: %s: %s\n", pg.c_str(), r.Text().c_str());
            return 2;
        }
        options.clips.front().pgStreams[0x1200] = std::move(marked);
    }
    if (const tessel::CResult r = WriteSampleDisc(root, options); !r) {
        std::fprintf(stderr, "make_sample_disc: %s\n", r.Message().c_str());
        return 2;
    }
    std::printf("Wrote %s/BDMV\n", root.c_str());
    return 0;
}
