// Whole-process timing of `tessel demux` and `tessel scan` on generated
// clips of about 1.1 GB, each against a limit measured outside the code
// under test in the same run: plain_read (a page-aligned read of the same
// file, plus writing as many bytes as the demux writes). Page cache warm;
// the processes alternate and the best wall time of each counts (the CPU
// time is printed too). Ratios are limit / tessel: 1.0 means at the limit.
// A clip carrying one small menu 743 times checks the repeated-menu bounds:
// its scan within 1.5 times its demux, and its peak memory under twice that
// of a scan of one copy plus the demuxed stream.
//
// Usage: bench_clip_process [runs] [folder]
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "process_run.h"

namespace {

namespace fs = std::filesystem;
using tessel::bench::RunProcess;
using tessel::bench::SRun;

struct SBest {
    double wall = 1e9, cpu = 1e9;
    long peakKiB = 0;
    bool ok = true;
    void Add(const SRun& r) {
        ok = ok && r.ok;
        wall = std::min(wall, r.seconds);
        cpu = std::min(cpu, r.cpu);
        peakKiB = std::max(peakKiB, r.peakKiB);
    }
};

tessel::authoring::SClipSpec Clip(int pages, int bogs, int buttons, int w, int h, int repeats) {
    tessel::authoring::SClipSpec c;
    c.igPids = {0x1400};
    c.menu.pages = pages;
    c.menu.bogsPerPage = bogs;
    c.menu.buttonsPerBog = buttons;
    c.menu.buttonWidth = w;
    c.menu.buttonHeight = h;
    c.repeats = repeats;
    return c;
}

// Writes the disc once, in a child process (see EnsureFolderInChild).
bool EnsureDisc(const fs::path& root, const tessel::authoring::SClipSpec& clip, uint64_t fillerMiB,
                bool graphicsFirst) {
    return tessel::bench::EnsureFolderInChild(root, [&] {
        tessel::authoring::SDiscOptions options;
        options.clips = {clip};
        options.fillerMiB = fillerMiB;
        options.graphicsFirst = graphicsFirst;
        const tessel::CResult r = tessel::authoring::WriteSampleDisc(root.string(), options);
        if (r) return true;
        std::fprintf(stderr, "%s: %s\n", root.c_str(), r.Message().c_str());
        return false;
    });
}

std::string ClipFile(const fs::path& root) {
    return (root / "BDMV/STREAM/00001.m2ts").string();
}

int64_t Size(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? -1 : static_cast<int64_t>(n);
}

void Row(const char* job, const SBest& tessel, const SBest& limit, double goal) {
    const double ratio = limit.wall / tessel.wall;
    std::printf("%-34s %8.3f %8.3f %8.3f %8.3f %7.2f %7.2f  %s\n", job, tessel.wall, limit.wall,
                tessel.cpu, limit.cpu, ratio, limit.cpu / tessel.cpu,
                !tessel.ok || !limit.ok ? "FAILED"
                : ratio >= goal         ? "ok"
                                        : "below goal");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const char* env = std::getenv("TESSEL_BENCH_CLIPS");
    const fs::path folder = argc > 2 ? argv[2] : env ? env : "/tmp/tessel_bench_clips_v1";
    const std::string tessel = TESSEL_CLI_PATH, plain = PLAIN_READ_PATH;
    fs::create_directories(folder);
    const fs::path first = folder / "first", through = folder / "through",
                   repeat = folder / "repeat", once = folder / "once";
    if (!EnsureDisc(first, Clip(3, 3, 1, 240, 64, 1), 1040, true) ||
        !EnsureDisc(through, Clip(4, 4, 4, 400, 120, 11), 1000, false) ||
        !EnsureDisc(repeat, Clip(11, 1, 1, 120, 40, 743), 1040, false) ||
        !EnsureDisc(once, Clip(11, 1, 1, 120, 40, 1), 0, false))
        return 1;
    const fs::path out = folder / "out";
    auto demux = [&](const fs::path& root) {
        fs::remove_all(out);
        return RunProcess({tessel, "demux", ClipFile(root), out.string()});
    };
    auto plainRead = [&](const fs::path& root, int64_t write) {
        fs::remove_all(out);
        fs::create_directories(out);
        if (write <= 0) return RunProcess({plain, ClipFile(root)});
        return RunProcess({plain, ClipFile(root), (out / "plain").string(), std::to_string(write)});
    };
    auto scan = [&](const fs::path& root) {
        return RunProcess({tessel, "scan", (root / "BDMV").string()});
    };
    // warm the page cache and learn the demuxed sizes
    int64_t throughBytes = 0, repeatBytes = 0;
    for (const fs::path& root : {first, through, repeat}) {
        plainRead(root, 0);
        if (!demux(root).ok) {
            std::fprintf(stderr, "tessel demux failed on %s\n", ClipFile(root).c_str());
            return 1;
        }
        (root == through ? throughBytes : repeatBytes) = root == first ? 0 : Size(out / "5120.ig");
    }
    SBest demuxFirst, plainFirst, demuxThrough, plainThrough, scanFirst, scanRepeat, demuxRepeat,
        scanOnce;
    for (int i = 0; i < runs; ++i) {
        demuxFirst.Add(demux(first));
        plainFirst.Add(plainRead(first, 0));
        demuxThrough.Add(demux(through));
        plainThrough.Add(plainRead(through, throughBytes));
        scanFirst.Add(scan(first));
        scanRepeat.Add(scan(repeat));
        demuxRepeat.Add(demux(repeat));
        scanOnce.Add(scan(once));
    }
    fs::remove_all(out);
    std::printf("%d runs each, best wall time; seconds\n", runs);
    std::printf("%-34s %8s %8s %8s %8s %7s %7s\n", "job", "tessel", "limit", "cpu", "lim cpu",
                "ratio", "cpu");
    Row("demux, IG in the first 1.5 MB", demuxFirst, plainFirst, 0.9);
    Row("demux, IG all through (written)", demuxThrough, plainThrough, 0.9);
    Row("scan, one clip", scanFirst, plainFirst, 0.85);
    Row("scan of 743 repeats / their demux", scanRepeat, demuxRepeat, 1 / 1.5);
    const double bound = 2.0 * static_cast<double>(scanOnce.peakKiB) + repeatBytes / 1024.0;
    std::printf("clip sizes: %.2f GB, %.2f GB (%.1f MB of IG written), %.2f GB\n",
                Size(ClipFile(first)) / 1e9, Size(ClipFile(through)) / 1e9, throughBytes / 1e6,
                Size(ClipFile(repeat)) / 1e9);
    std::printf(
        "repeated menu: scan peak %.1f MiB, one copy %.1f MiB, IG stream %.1f MiB, "
        "bound %.1f MiB: %s\n",
        scanRepeat.peakKiB / 1024.0, scanOnce.peakKiB / 1024.0, repeatBytes / 1048576.0,
        bound / 1024.0, scanRepeat.peakKiB < bound ? "ok" : "above bound");
    return 0;
}
