// Whole-process timing of `tessel quantize` on a 1920x1080 photo (24-bit PNG
// in, 8-bit palette PNG out) against plain_quantize, the same method in plain
// C with raw files (PPM in, palette and indices out). Both run as a user runs
// them, one process each, alternately; the best wall time of each counts.
// The two results must agree palette entry for palette entry and index for
// index. Prints both times and the ratio plain / tessel (1.0 or more: tessel
// is as fast as the plain program).
//
// Usage: bench_quantize_process [runs] [folder] [tessel program]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/synthetic_photo.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "process_run.h"

namespace {

namespace fs = std::filesystem;
using tessel::Bitmap;

// Wall time of one run of a program in seconds, its output to /dev/null;
// negative when it fails.
double RunSeconds(const std::vector<std::string>& args) {
    const tessel::bench::SRun run = tessel::bench::RunProcess(args);
    return run.ok ? run.seconds : -1;
}

bool WritePpm(const std::string& path, const Bitmap& rgb) {
    std::vector<uint8_t> file;
    const std::string head =
        "P6\n" + std::to_string(rgb.Width()) + " " + std::to_string(rgb.Height()) + "\n255\n";
    file.assign(head.begin(), head.end());
    for (int y = 0; y < rgb.Height(); ++y) {
        const uint8_t* p = rgb.Row(y);
        for (int x = 0; x < rgb.Width(); ++x, p += 3) file.insert(file.end(), {p[2], p[1], p[0]});
    }
    return tessel::WriteWholeFile(path, file.data(), file.size()).Ok();
}

// Whether the palette PNG holds the raw result: the same colours in order
// (alpha aside) and the same index at every pixel.
bool SameResult(const std::string& png, const std::string& raw, std::string& why) {
    Bitmap image;
    std::vector<uint8_t> bytes;
    if (const tessel::CResult loaded = tessel::LoadImage(png, image); !loaded) {
        why = loaded.Message();
        return false;
    }
    if (const tessel::CResult read = tessel::ReadWholeFile(raw, bytes); !read) {
        why = read.Text();
        return false;
    }
    int w = 0, h = 0, n = 0, used = 0;
    if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "%d %d %d\n%n", &w, &h, &n,
                    &used) != 3 ||
        image.Format() != tessel::EPixelFormat::Indexed8 || w != image.Width() ||
        h != image.Height() ||
        bytes.size() != static_cast<size_t>(used) + 3 * static_cast<size_t>(n) +
                            static_cast<size_t>(w) * static_cast<size_t>(h)) {
        why = "the two results differ in size or form";
        return false;
    }
    const uint8_t* p = bytes.data() + used;
    const auto& entries = image.Palette().entries;
    if (entries.size() < static_cast<size_t>(n)) {
        why = "the palette PNG has fewer colours";
        return false;
    }
    for (int i = 0; i < n; ++i, p += 3)
        if ((entries[static_cast<size_t>(i)] & 0xFFFFFF) != tessel::MakeArgb(0, p[0], p[1], p[2])) {
            why = "palette entry " + std::to_string(i) + " differs";
            return false;
        }
    for (int y = 0; y < h; ++y, p += w)
        if (!std::equal(p, p + w, image.Row(y))) {
            why = "the indices of row " + std::to_string(y) + " differ";
            return false;
        }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const fs::path folder = argc > 2 ? fs::path(argv[2])
                                     : fs::temp_directory_path() /
                                           ("tessel-bench-process-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string png = (folder / "photo.png").string(), ppm = (folder / "photo.ppm").string();
    const std::string outPng = (folder / "out.png").string(),
                      outRaw = (folder / "out.raw").string();

    // The input as a photo editor would save it: zlib level 6, every filter.
    const Bitmap photo = tessel::authoring::SyntheticPhoto(1920, 1080);
    tessel::SPngOptions input;
    input.level = 6;
    input.filter = tessel::SPngOptions::EFilter::Adaptive;
    std::vector<uint8_t> file;
    tessel::CResult written = tessel::EncodePng(photo, file, input);
    if (written) written = tessel::WriteWholeFile(png, file.data(), file.size());
    if (!written || !WritePpm(ppm, photo)) {
        std::fprintf(stderr, "cannot write the photo: %s\n", written.Text().c_str());
        return 1;
    }

    const std::vector<std::string> tessel = {argc > 3 ? argv[3] : TESSEL_CLI_PATH, "quantize", png,
                                             outPng};
    const std::vector<std::string> plain = {PLAIN_QUANTIZE_PATH, ppm, outRaw};
    double bestTessel = 1e9, bestPlain = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double t = RunSeconds(tessel), p = RunSeconds(plain);
        if (t < 0 || p < 0) {
            std::fprintf(stderr, "%s failed\n", t < 0 ? "tessel quantize" : "plain_quantize");
            return 1;
        }
        bestTessel = std::min(bestTessel, t);
        bestPlain = std::min(bestPlain, p);
    }
    std::string error;
    if (!SameResult(outPng, outRaw, error)) {
        std::fprintf(stderr, "tessel quantize and plain_quantize disagree: %s\n", error.c_str());
        return 1;
    }
    std::printf("1920x1080 photo, best of %d runs (wall time per process)\n", runs);
    std::printf("  tessel quantize (PNG in, palette PNG out): %7.1f ms\n", bestTessel * 1e3);
    std::printf("  plain_quantize  (PPM in, raw out):         %7.1f ms\n", bestPlain * 1e3);
    std::printf("  plain / tessel: %.2f\n", bestPlain / bestTessel);
    std::printf("  results identical: palette and all %d indices\n", 1920 * 1080);
    if (argc <= 2) fs::remove_all(folder, ec);
    return 0;
}
