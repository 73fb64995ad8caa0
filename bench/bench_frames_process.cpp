// Frames of a menu in time as whole processes: a 10 s play of a full-HD page
// with 32 buttons that all animate (every button's Normal state runs its
// three objects, a new one every video frame, over and over), composed
// incrementally and written frame by frame (`tessel play --out DIR`), the
// same play as one animated WebP, and `tessel render` of the same page. Each is measured against
// plain_rip_limit reading the same stream and writing the same files with plain calls, in the same
// run, alternately, into an emptied folder (tmpfs when there is one); the best wall time of each
// counts.
//   bench_frames_process [runs]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "model/ig_object.h"
#include "platform/files.h"
#include "process_run.h"

namespace fs = std::filesystem;
using tessel::bench::RunProcess;
using tessel::bench::SRun;

namespace {

// The page: 8 groups of 4 buttons of 180 x 100 over a full-frame picture.
bool WriteStream(const fs::path& path, const fs::path& pictures) {
    tessel::authoring::SMenuOptions o;
    o.pages = 1;
    o.bogsPerPage = 8;
    o.buttonsPerBog = 4;
    o.buttonWidth = 180;
    o.buttonHeight = 100;
    o.background = true;
    tessel::CIgObject ig;
    std::vector<uint8_t> bytes;
    if (!tessel::authoring::AuthorMenu(o, pictures.string(), ig)) return false;
    tessel::CPage* page = tessel::FirstPage(ig);
    page->frameRateCode = 1;
    // Every menu button in a group of its own, so that all 32 are shown, its
    // Normal state running from its Normal to its Activated object.
    std::vector<std::unique_ptr<tessel::CBdButton>> moved;
    for (int g = 0; g < o.bogsPerPage; ++g)
        for (auto& items = page->items[static_cast<size_t>(g)]->items; items.size() > 1;) {
            moved.push_back(std::move(items.back()));
            items.pop_back();
        }
    for (auto& b : moved) {
        tessel::CBog* bog = page->AddNewBog();
        b->parent = bog;
        bog->defaultValid.Set(b.get());
        bog->items.push_back(std::move(b));
    }
    for (tessel::CBdButton* b : page->AllButtons()) {
        if (b->id >= o.bogsPerPage * o.buttonsPerBog) continue;
        b->states[0].end = b->states[2].start;
        b->states[0].repeat = true;
    }
    if (const tessel::CResult r = tessel::authoring::MenuStream(ig, bytes); !r) {
        std::fprintf(stderr, "%s\n", r.Message().c_str());
        return false;
    }
    return tessel::WriteWholeFile(path.string(), bytes.data(), bytes.size()).Ok();
}

void Empty(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
}

// The files below folder as plain_rip_limit's manifest; their count and bytes.
void Manifest(const fs::path& folder, const fs::path& manifest, int& files, uint64_t& bytes) {
    std::ofstream list(manifest);
    files = 0;
    bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        list << e.file_size() << ' ' << fs::relative(e.path(), folder).string() << '\n';
        bytes += e.file_size();
        ++files;
    }
}

struct SBest {
    double wall = 1e9, cpu = 1e9;
    void Take(const SRun& r) {
        wall = std::min(wall, r.seconds);
        cpu = std::min(cpu, r.cpu);
    }
};

// Runs job and limit alternately; false when one fails.
bool Measure(const std::vector<std::string>& job, const std::vector<std::string>& limit,
             const fs::path& out, int runs, SBest& jobBest, SBest& limitBest) {
    for (int i = 0; i < runs; ++i) {
        Empty(out);
        const SRun j = RunProcess(job);
        Empty(out);
        const SRun l = RunProcess(limit);
        if (!j.ok || !l.ok) {
            std::fprintf(stderr, "%s failed\n", (!j.ok ? job : limit).front().c_str());
            return false;
        }
        jobBest.Take(j);
        limitBest.Take(l);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path work = base / ("tessel-bench-frames-" + std::to_string(::getpid()));
    const fs::path stream = work / "menu.ig", out = work / "out", manifest = work / "manifest";
    fs::create_directories(work, ec);
    if (!WriteStream(stream, work / "pictures")) return 1;

    const std::vector<std::string> play = {
        TESSEL_CLI_PATH, "play", stream.string(), "--seconds", "10", "--out", out.string()};
    const std::vector<std::string> webp = {TESSEL_CLI_PATH,
                                           "play",
                                           stream.string(),
                                           "--seconds",
                                           "10",
                                           "--out",
                                           (out / "menu.webp").string()};
    const std::vector<std::string> render = {TESSEL_CLI_PATH, "render", stream.string(),
                                             (out / "page.png").string()};
    const std::vector<std::string> limit = {PLAIN_RIP_LIMIT_PATH, manifest.string(), out.string(),
                                            stream.string()};
    struct SJob {
        const char* name;
        std::vector<std::string> args;
        SBest best, limit;
        int files = 0;
        uint64_t bytes = 0;
    } jobs[] = {{"tessel play (10 s)", play, {}, {}},
                {"play to WebP", webp, {}, {}},
                {"tessel render", render, {}, {}}};
    for (SJob& j : jobs) {
        Empty(out);
        if (!RunProcess(j.args).ok) {
            std::fprintf(stderr, "%s failed\n", j.name);
            return 1;
        }
        Manifest(out, manifest, j.files, j.bytes);
        if (!Measure(j.args, limit, out, runs, j.best, j.limit)) return 1;
    }
    fs::remove_all(work, ec);
    std::printf("full-HD page, 32 animated buttons, written to %s, best of %d runs\n", base.c_str(),
                runs);
    for (const SJob& j : jobs) {
        std::printf(
            "  %-20s %7.3f s wall, %7.3f s CPU, %d file(s), %.2f MB: %.2f ms wall, %.2f ms CPU a "
            "file\n",
            j.name, j.best.wall, j.best.cpu, j.files, static_cast<double>(j.bytes) / 1e6,
            j.best.wall * 1e3 / j.files, j.best.cpu * 1e3 / j.files);
        std::printf("  %-20s %7.3f s wall, %7.3f s CPU; limit / job: %.2f\n", "  plain_rip_limit",
                    j.limit.wall, j.limit.cpu, j.limit.wall / j.best.wall);
    }
    std::printf("  the play against real time (10 s): %.2f wall, %.2f CPU\n",
                jobs[0].best.wall / 10, jobs[0].best.cpu / 10);
    return 0;
}
