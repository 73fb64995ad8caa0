// tessel scan and tessel scan --quick of a 4 GiB feature clip from a cold
// page cache, against a plain read of the file. The clip (generated once, and
// removed afterwards unless TESSEL_BENCH_QUICK_KEEP is set) carries a
// three-page pop-up menu at every entry point (one a second, about 1 MiB
// apart) and a different one from 60 % on; its clip information's EP map
// covers only the first 10 seconds. Before each run the clip's pages are
// written back and dropped (fsync, posix_fadvise DONTNEED); after it the
// clip's resident pages (mincore) are what the kernel read for it, read-ahead
// included. Goals: the quick scan reads at most 2 % and finds both menus, is
// at least 10 times faster than the full scan; the full scan is at least 0.85
// of the plain read.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "process_run.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel;

constexpr int kSeconds = 4096;  // menus, one a second
constexpr uint64_t kClipMiB = 4096;
constexpr int kRuns = 3;

fs::path Root() {
    const char* env = std::getenv("TESSEL_BENCH_QUICK_DISC");
    return env ? env : "/tmp/tessel_bench_quick_v2";
}

// Moves every record of a marked stream by shift ticks (a DTS of 0 stays).
void Shift(std::vector<uint8_t>& m, uint32_t shift) {
    for (size_t p = 0; p + 13 <= m.size(); p += 13 + (size_t{m[p + 11]} << 8 | m[p + 12]))
        for (size_t f : {p + 2, p + 6}) {
            uint32_t v = uint32_t{m[f]} << 24 | m[f + 1] << 16 | m[f + 2] << 8 | m[f + 3];
            if (f == p + 6 && v == 0) continue;
            v += shift;
            for (size_t i = 0; i < 4; ++i) m[f + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
        }
}

bool WriteDisc(const fs::path& root) {
    fs::create_directories(root);
    std::vector<uint8_t> stream;
    const int change = kSeconds * 6 / 10;
    for (int k = 0; k < 2; ++k) {
        CIgObject ig;
        authoring::SMenuOptions menu;
        menu.pages = 3;
        menu.buttonWidth = 160;
        menu.buttonHeight = 40;
        menu.buttonsPerBog = 2 + k;  // the second menu's composition differs
        menu.seed = 11 + k;
        std::vector<uint8_t> one, repeated;
        CResult made =
            authoring::AuthorMenu(menu, (root / ("art" + std::to_string(k))).string(), ig);
        if (made) made = authoring::MenuStream(ig, one);
        if (!made) {
            std::fprintf(stderr, "%s\n", made.Message().c_str());
            return false;
        }
        const int count = k == 0 ? change : kSeconds - change;
        if (!authoring::RepeatStream(one, count, 90000, false, repeated)) return false;
        if (k == 1) Shift(repeated, static_cast<uint32_t>(change) * 90000);
        stream.insert(stream.end(), repeated.begin(), repeated.end());
    }
    authoring::SDiscOptions o;
    authoring::SClipSpec clip;
    clip.number = 1;
    clip.igPids = {0x1400};
    const uint64_t igMiB = stream.size() * 105 / 100 >> 20;
    std::fprintf(stderr, "IG stream: %.1f MB\n", static_cast<double>(stream.size()) / 1e6);
    clip.streams[0x1400] = std::move(stream);
    clip.entryPointsFor = 10 * 90000;
    o.clips = {std::move(clip)};
    // The filler makes up the rest of the 4 GiB (source packets carry 184
    // payload bytes in 192; the IG PES packets need about 5 % more than
    // their segments).
    o.fillerMiB = kClipMiB * 184 / 192 - igMiB;
    o.fillerByTime = true;
    o.pictureFolder = (root / "pictures").string();
    if (const CResult r = authoring::WriteSampleDisc((root / "disc").string(), o); !r) {
        std::fprintf(stderr, "%s\n", r.Message().c_str());
        return false;
    }
    return true;
}

// Writes the file's pages back and drops them from the page cache.
bool DropCache(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return ok;
}

// Bytes of the file in the page cache.
int64_t ResidentBytes(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    const auto size = static_cast<size_t>(fs::file_size(file));
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return -1;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> pages((size + page - 1) / page);
    int64_t resident = -1;
    if (::mincore(map, size, pages.data()) == 0) {
        resident = 0;
        for (unsigned char p : pages) resident += p & 1;
        resident *= page;
    }
    ::munmap(map, size);
    return resident;
}

struct SMeasure {
    double seconds = 1e30;
    int64_t bytes = 0;
};

// One cold run of the program over the clip.
bool Cold(const std::vector<std::string>& args, const std::vector<fs::path>& files, const char* out,
          SMeasure& best) {
    for (const fs::path& f : files)
        if (!DropCache(f)) return false;
    const bench::SRun run = bench::RunProcess(args, out);
    if (!run.ok) return false;
    best.seconds = std::min(best.seconds, run.seconds);
    best.bytes = ResidentBytes(files.front());
    return true;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

int main() {
    const fs::path root = Root();
    if (!bench::EnsureFolderInChild(root, [&] { return WriteDisc(root); })) return 1;
    const fs::path bdmv = root / "disc" / "BDMV";
    const fs::path m2ts = bdmv / "STREAM" / "00001.m2ts";
    std::vector<fs::path> files = {m2ts};
    for (const auto& e : fs::recursive_directory_iterator(bdmv))
        if (e.is_regular_file() && e.path() != m2ts) files.push_back(e.path());
    const auto length = static_cast<int64_t>(fs::file_size(m2ts));
    const std::string quickOut = (root / "quick.json").string();
    SMeasure plain, full, quick;
    bool ok = true;
    for (int r = 0; ok && r < kRuns; ++r) {
        ok = Cold({PLAIN_READ_PATH, m2ts.string()}, files, "/dev/null", plain) &&
             Cold({TESSEL_CLI_PATH, "scan", "--quiet", bdmv.string()}, files, "/dev/null", full) &&
             Cold({TESSEL_CLI_PATH, "scan", "--quick", "--quiet", "--json", bdmv.string()}, files,
                  quickOut.c_str(), quick);
    }
    std::ifstream in(quickOut);
    std::stringstream json;
    json << in.rdbuf();
    const int menus = Count(json.str(), "\"sampled_count\"");
    if (!std::getenv("TESSEL_BENCH_QUICK_KEEP")) fs::remove_all(root);
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    auto mb = [](int64_t b) { return static_cast<double>(b) / 1e6; };
    std::printf("clip: %.1f MB, %d menus a second apart, the second from 60 %%\n", mb(length),
                kSeconds);
    std::printf("%-22s %10s %14s %10s\n", "cold", "wall s", "kernel read MB", "of clip");
    for (const auto& [name, m] : {std::pair{"plain read", plain}, std::pair{"tessel scan", full},
                                  std::pair{"tessel scan --quick", quick}})
        std::printf("%-22s %10.2f %14.1f %9.2f%%\n", name, m.seconds, mb(m.bytes),
                    100.0 * static_cast<double>(m.bytes) / static_cast<double>(length));
    const double readShare = static_cast<double>(quick.bytes) / static_cast<double>(length);
    std::printf(
        "quick reads %.2f %% (goal <= 2 %%), finds %d menus (goal 2), is %.1fx faster "
        "(goal >= 10); full scan / plain read speed %.2f (goal >= 0.85)\n",
        100 * readShare, menus, full.seconds / quick.seconds, plain.seconds / full.seconds);
    return readShare <= 0.02 && menus == 2 && full.seconds >= 10 * quick.seconds &&
                   plain.seconds / full.seconds >= 0.85
               ? 0
               : 3;
}
