// Peak resident memory of a disc scan beyond the IG streams it gathers.
// A generated disc (two clips of 256 MiB filler video each, one clip with two
// IG PIDs) is written once and reused. One child process scans it; another
// child only loads the bytes of the same IG streams. The difference of their
// peak resident sizes is what the scan costs; the target is 64 MiB.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "disc/disc_scan.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tessel {
namespace {

constexpr uint64_t kFillerMiB = 256;
constexpr double kTargetMiB = 64;
constexpr const char* kDoneMarker = "complete";

std::string DiscRoot() {
    const char* env = std::getenv("TESSEL_BENCH_SCAN_DISC");
    return env ? env : "/tmp/tessel_bench_scan_v1";
}

std::string StreamFolder(const std::string& root) {
    return JoinPath(root, "streams");
}

// Runs work in a child process; returns the child's peak resident size in
// KiB, or -1 when the child failed.
long ChildPeakKiB(const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

// Writes the disc and, beside it, the marked-form stream of every authored
// menu (the bytes a scan gathers). Done in a child so that the authoring
// memory stays out of the measuring process.
bool EnsureDisc(const std::string& root) {
    if (PathExists(JoinPath(root, kDoneMarker))) return true;
    return ChildPeakKiB([&] {
               authoring::SDiscOptions options;
               authoring::SClipSpec first;
               first.number = 1;
               first.igPids = {0x1400};
               first.menu.pages = 3;
               authoring::SClipSpec second = first;
               second.number = 2;
               second.igPids = {0x1400, 0x1401};
               options.clips = {first, second};
               options.fillerMiB = kFillerMiB;
               // kept: the menus' image files are read again for their streams
               options.pictureFolder = JoinPath(root, "pictures");
               std::vector<authoring::SAuthoredClip> authored;
               CResult written;
               if (!CreateFolder(root) ||
                   !(written = authoring::WriteSampleDisc(root, options, &authored)) ||
                   !CreateFolder(StreamFolder(root))) {
                   std::fprintf(stderr, "%s\n", written.Message().c_str());
                   return false;
               }
               for (const auto& clip : authored) {
                   for (const auto& [pid, ig] : clip.menus) {
                       std::vector<uint8_t> marked;
                       const std::string path =
                           JoinPath(StreamFolder(root), StrFormat("%05d_%d.ig", clip.number, pid));
                       if (const CResult r = authoring::MenuStream(*ig, marked); !r) {
                           std::fprintf(stderr, "%s\n", r.Message().c_str());
                           return false;
                       }
                       if (const CResult r = WriteWholeFile(path, marked.data(), marked.size());
                           !r) {
                           std::fprintf(stderr, "%s\n", r.Text().c_str());
                           return false;
                       }
                   }
               }
               const uint8_t done = 1;
               return WriteWholeFile(JoinPath(root, kDoneMarker), &done, 1).Ok();
           }) >= 0;
}

bool ScanOnly(const std::string& root) {
    CTlDisc disc;
    return ScanDisc(disc, JoinPath(root, "BDMV"), nullptr) == 0 && disc.clips.size() == 2;
}

// Holds the bytes of every IG stream, touched, as the scan's result would.
bool LoadStreamsOnly(const std::string& root, double* megabytes = nullptr) {
    std::vector<std::vector<uint8_t>> streams;
    for (const SFolderEntry& entry : ListFolder(StreamFolder(root), "*.ig")) {
        streams.emplace_back();
        if (!ReadWholeFile(entry.path, streams.back())) return false;
    }
    size_t total = 0;
    for (const auto& s : streams) total += s.size();
    benchmark::DoNotOptimize(streams.data());
    if (megabytes) *megabytes = static_cast<double>(total) / (1024.0 * 1024.0);
    return !streams.empty();
}

void BM_ScanPeakMemory(benchmark::State& state) {
    const std::string root = DiscRoot();
    if (!EnsureDisc(root)) {
        state.SkipWithError(("cannot write the disc below " + root).c_str());
        return;
    }
    double streamMiB = 0;
    if (!LoadStreamsOnly(root, &streamMiB)) {
        state.SkipWithError("cannot load the IG streams");
        return;
    }
    long scanKiB = 0, baseKiB = 0, beyondKiB = 0;
    for (auto _ : state) {
        const long base = ChildPeakKiB([&] { return LoadStreamsOnly(root); });
        const long scan = ChildPeakKiB([&] { return ScanOnly(root); });
        if (base < 0 || scan < 0) {
            state.SkipWithError("the scan or the stream load failed");
            return;
        }
        scanKiB = std::max(scanKiB, scan);
        baseKiB = std::max(baseKiB, base);
        beyondKiB = std::max(beyondKiB, scan - base);
    }
    const double beyondMiB = static_cast<double>(beyondKiB) / 1024.0;
    state.counters["peak_MiB_beyond_IG_streams"] = beyondMiB;
    state.counters["target_MiB"] = kTargetMiB;
    state.counters["scan_peak_MiB"] = static_cast<double>(scanKiB) / 1024.0;
    state.counters["streams_only_peak_MiB"] = static_cast<double>(baseKiB) / 1024.0;
    state.counters["ig_streams_MiB"] = streamMiB;
    state.counters["m2ts_MiB"] = static_cast<double>(2 * kFillerMiB);
    state.SetLabel(beyondMiB <= kTargetMiB ? "within the 64 MiB target"
                                           : "ABOVE the 64 MiB target");
}
BENCHMARK(BM_ScanPeakMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessel
