// `tessel rip` of a generated disc of thousands of pictures as a whole
// process, against plain_rip_limit: reading the same clips and writing the
// same files (folders, names, sizes) with plain calls. Both run as a user
// runs them, alternately, into an emptied folder (on tmpfs when /dev/shm is
// there, as the file system's own cost would otherwise dominate); the best
// wall time of each counts. Prints pictures/s and the ratio limit / tessel.
//   bench_rip_process [runs] [disc-folder]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "process_run.h"

namespace fs = std::filesystem;

namespace {

constexpr int kClips = 4, kPages = 10, kBogs = 8, kButtons = 4;

bool EnsureDisc(const fs::path& root) {
    return tessel::bench::EnsureFolderInChild(root, [&] {
        tessel::authoring::SDiscOptions options;
        for (int c = 0; c < kClips; ++c) {
            tessel::authoring::SClipSpec clip;
            clip.number = c + 1;
            clip.igPids = {0x1400};
            clip.menu.pages = kPages;
            clip.menu.bogsPerPage = kBogs;
            clip.menu.buttonsPerBog = kButtons;
            clip.menu.buttonWidth = 160;
            clip.menu.buttonHeight = 64;
            options.clips.push_back(clip);
        }
        const tessel::CResult r = tessel::authoring::WriteSampleDisc(root.string(), options);
        if (r) return true;
        std::fprintf(stderr, "%s: %s\n", root.c_str(), r.Message().c_str());
        return false;
    });
}

void Empty(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path disc = argc > 2 ? fs::path(argv[2]) : fs::path("/tmp/tessel_bench_rip_v1");
    if (!EnsureDisc(disc)) return 1;
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path work = base / ("tessel-bench-rip-" + std::to_string(::getpid()));
    const fs::path out = work / "out", manifest = work / "manifest";
    std::vector<std::string> clips;
    for (const auto& e : fs::directory_iterator(disc / "BDMV/STREAM", ec))
        clips.push_back(e.path().string());
    std::sort(clips.begin(), clips.end());

    const std::vector<std::string> tessel = {TESSEL_CLI_PATH, "rip", (disc / "BDMV").string(),
                                             out.string(), "--yes"};
    std::vector<std::string> limit = {PLAIN_RIP_LIMIT_PATH, manifest.string(), out.string()};
    limit.insert(limit.end(), clips.begin(), clips.end());

    // The files a rip writes, for the limit to write again.
    Empty(out);
    if (!tessel::bench::RunProcess(tessel).ok) {
        std::fprintf(stderr, "tessel rip failed\n");
        return 1;
    }
    int pictures = 0;
    uint64_t bytes = 0;
    {
        std::ofstream list(manifest);
        for (const auto& e : fs::recursive_directory_iterator(out)) {
            if (!e.is_regular_file()) continue;
            list << e.file_size() << ' ' << fs::relative(e.path(), out).string() << '\n';
            bytes += e.file_size();
            pictures += e.path().extension() == ".png";
        }
    }
    double bestTessel = 1e9, bestLimit = 1e9, cpuTessel = 1e9, cpuLimit = 1e9;
    for (int i = 0; i < runs; ++i) {
        Empty(out);
        const tessel::bench::SRun t = tessel::bench::RunProcess(tessel);
        Empty(out);
        const tessel::bench::SRun l = tessel::bench::RunProcess(limit);
        if (!t.ok || !l.ok) {
            std::fprintf(stderr, "%s failed\n", !t.ok ? "tessel rip" : "plain_rip_limit");
            return 1;
        }
        bestTessel = std::min(bestTessel, t.seconds);
        cpuTessel = std::min(cpuTessel, t.cpu);
        bestLimit = std::min(bestLimit, l.seconds);
        cpuLimit = std::min(cpuLimit, l.cpu);
    }
    fs::remove_all(work, ec);
    std::printf("tessel rip of %d pictures (%d clips, %.1f MB written to %s), best of %d runs\n",
                pictures, kClips, static_cast<double>(bytes) / 1e6, base.c_str(), runs);
    std::printf("  tessel rip:       %6.3f s wall, %6.3f s CPU: %.0f pictures/s\n", bestTessel,
                cpuTessel, pictures / bestTessel);
    std::printf(
        "  plain_rip_limit:  %6.3f s wall, %6.3f s CPU (reads the clips, writes the files)\n",
        bestLimit, cpuLimit);
    std::printf("  limit / tessel: %.2f\n", bestLimit / bestTessel);
    return 0;
}
