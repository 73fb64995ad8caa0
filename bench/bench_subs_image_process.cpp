// Whole-process timing of (a) `tessel subs` on a PG stream (events per
// second of wall time, pictures and BDN index written to tmpfs or /tmp) and
// (b) `tessel demux` of a clip read from inside a UDF disc image made by
// genisoimage against the same clip read from its folder, in the same run
// (page cache warm, runs alternating, best wall time each). The ratio is
// folder / image: 1.0 means the image costs nothing, the goal is 0.9.
//
// Usage: bench_subs_image_process [runs] [stream.sup] [folder]
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "authoring/sample_disc.h"
#include "authoring/udf_image.h"
#include "process_run.h"

namespace {

namespace fs = std::filesystem;
using tessel::bench::RunProcess;
using tessel::bench::SRun;

struct SBest {
    double wall = 1e9, cpu = 1e9;
    bool ok = true;
    void Add(const SRun& r) {
        ok = ok && r.ok;
        wall = std::min(wall, r.seconds);
        cpu = std::min(cpu, r.cpu);
    }
};

// The disc and its image, written once in a child process (see
// EnsureFolderInChild).
bool EnsureDiscAndImage(const fs::path& folder) {
    return tessel::bench::EnsureFolderInChild(folder, [&] {
        tessel::authoring::SDiscOptions options;
        tessel::authoring::SClipSpec clip;
        clip.igPids = {0x1400};
        clip.menu.pages = 3;
        clip.menu.bogsPerPage = 3;
        clip.menu.buttonsPerBog = 1;
        options.clips = {clip};
        options.fillerMiB = 1040;
        options.graphicsFirst = true;
        tessel::CResult r = tessel::authoring::WriteSampleDisc((folder / "disc").string(), options);
        if (r)
            r = tessel::authoring::MakeUdfImage((folder / "disc").string(),
                                                (folder / "disc.iso").string());
        if (r) return true;
        std::fprintf(stderr, "%s: %s\n", folder.c_str(), r.Message().c_str());
        return false;
    });
}

size_t CountEvents(const fs::path& json) {
    std::ifstream in(json);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    size_t n = 0;
    for (size_t at = s.find("\"index\""); at != std::string::npos; at = s.find("\"index\"", at + 1))
        ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string sup =
        argc > 2 ? argv[2] : std::string(TESSEL_SOURCE_DIR) + "/../shared/corpus/pg/sintel.sup";
    const fs::path folder = argc > 3 ? argv[3] : "/tmp/tessel_bench_image_v1";
    const std::string tessel = TESSEL_CLI_PATH;
    if (!tessel::authoring::HaveGenisoimage()) {
        std::fprintf(stderr, "genisoimage is not installed\n");
        return 1;
    }
    if (!fs::exists(sup)) {
        std::fprintf(stderr, "%s: not found\n", sup.c_str());
        return 1;
    }
    if (!EnsureDiscAndImage(folder)) return 1;
    const fs::path out = folder / "out";
    auto subs = [&](const char* format) {
        fs::remove_all(out);
        return RunProcess({tessel, "subs", sup, out.string(), "--format", format});
    };
    const std::string fromFolder = (folder / "disc/BDMV/STREAM/00001.m2ts").string();
    const std::string fromImage = (folder / "disc.iso/BDMV/STREAM/00001.m2ts").string();
    auto demux = [&](const std::string& clip) {
        fs::remove_all(out);
        return RunProcess({tessel, "demux", clip, out.string()});
    };
    if (!subs("json").ok) {
        std::fprintf(stderr, "tessel subs failed on %s\n", sup.c_str());
        return 1;
    }
    const size_t events = CountEvents(out / (fs::path(sup).stem().string() + ".json"));
    // Warms the page cache with both copies of the clip.
    if (!demux(fromFolder).ok || !demux(fromImage).ok) {
        std::fprintf(stderr, "tessel demux failed\n");
        return 1;
    }
    SBest subsRun, folderRun, imageRun;
    for (int i = 0; i < runs; ++i) {
        subsRun.Add(subs("bdn"));
        folderRun.Add(demux(fromFolder));
        imageRun.Add(demux(fromImage));
    }
    fs::remove_all(out);
    std::printf("%d runs each, best wall time\n", runs);
    std::printf("tessel subs %s: %zu events in %.3f s (cpu %.3f s): %.0f events/s%s\n",
                fs::path(sup).filename().c_str(), events, subsRun.wall, subsRun.cpu,
                events / subsRun.wall, subsRun.ok ? "" : " FAILED");
    const double ratio = folderRun.wall / imageRun.wall;
    std::printf(
        "tessel demux of a %.2f GB clip: folder %.3f s (cpu %.3f), image %.3f s (cpu %.3f); "
        "ratio folder/image %.2f (goal 0.90): %s\n",
        static_cast<double>(fs::file_size(fromFolder)) / 1e9, folderRun.wall, folderRun.cpu,
        imageRun.wall, imageRun.cpu, ratio,
        !folderRun.ok || !imageRun.ok ? "FAILED"
        : ratio >= 0.9                ? "ok"
                                      : "below goal");
    return 0;
}
