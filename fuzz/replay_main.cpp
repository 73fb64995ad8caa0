// A driver for the harnesses without libFuzzer, for the smoke run of the
// test suite: every seed file once, then a fixed number of deterministic
// mutations of them (seeded PRNG: bit flips, byte sets, truncations,
// insertions, erasures and splices). The same arguments give the same inputs
// on every machine, so a failure is reproducible.
//
//   replay_<harness> [--runs N] [--seed S] [--max-len L] [--save FILE] PATH...
//
// PATH is a seed file or a folder read recursively; missing paths are
// skipped. --save writes each input before it runs (to keep a crasher).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void AddSeeds(const fs::path& path, std::vector<Bytes>& seeds, size_t maxLen) {
    std::error_code ec;
    std::vector<fs::path> files;
    if (fs::is_directory(path, ec)) {
        for (auto it = fs::recursive_directory_iterator(path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file(ec)) files.push_back(it->path());
    } else if (fs::is_regular_file(path, ec)) {
        files.push_back(path);
    }
    std::sort(files.begin(), files.end());  // the same order everywhere
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (b.size() > maxLen) b.resize(maxLen);
        seeds.push_back(std::move(b));
    }
}

// Values that tend to sit on limits: zero, one, all bits set, sign edges.
constexpr uint8_t kInteresting8[] = {0x00, 0x01, 0x02, 0x7F, 0x80, 0xFF, 0x10, 0x40, 0xC0};
constexpr uint16_t kInteresting16[] = {0x0000, 0x0001, 0x00FF, 0x0100, 0x7FFF,
                                       0x8000, 0xFFFF, 0x2000, 0x4000};

void Mutate(Bytes& b, const std::vector<Bytes>& seeds, std::mt19937_64& rng, size_t maxLen) {
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
    const int steps = 1 + static_cast<int>(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        switch (rng() % 8) {
            case 0:  // bit flip
                if (!b.empty()) b[pick(b.size())] ^= static_cast<uint8_t>(1u << (rng() % 8));
                break;
            case 1:  // byte set to an interesting value
                if (!b.empty()) b[pick(b.size())] = kInteresting8[pick(std::size(kInteresting8))];
                break;
            case 2:  // random byte
                if (!b.empty()) b[pick(b.size())] = static_cast<uint8_t>(rng());
                break;
            case 3:  // big-endian 16-bit field set to an interesting value
                if (b.size() >= 2) {
                    const size_t at = pick(b.size() - 1);
                    const uint16_t v = kInteresting16[pick(std::size(kInteresting16))];
                    b[at] = static_cast<uint8_t>(v >> 8);
                    b[at + 1] = static_cast<uint8_t>(v);
                }
                break;
            case 4:  // truncation
                if (!b.empty()) b.resize(pick(b.size()));
                break;
            case 5: {  // insertion of random bytes
                const size_t n = 1 + pick(16);
                const size_t at = pick(b.size() + 1);
                Bytes more(n);
                for (auto& c : more) c = static_cast<uint8_t>(rng());
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), more.begin(), more.end());
                break;
            }
            case 6:  // erasure
                if (!b.empty()) {
                    const size_t at = pick(b.size());
                    const size_t n = std::min(b.size() - at, 1 + pick(32));
                    b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                            b.begin() + static_cast<std::ptrdiff_t>(at + n));
                }
                break;
            default: {  // splice: the head of this input, the tail of another
                const Bytes& other = seeds[pick(seeds.size())];
                const size_t cut = pick(b.size() + 1);
                const size_t from = pick(other.size() + 1);
                b.resize(cut);
                b.insert(b.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
                break;
            }
        }
    }
    if (b.size() > maxLen) b.resize(maxLen);
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 1000;
    unsigned long long seed = 1;
    size_t maxLen = 1 << 20;
    std::string save;
    std::vector<Bytes> seeds;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::atol(argv[++i]);
        else if (a == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--max-len" && i + 1 < argc)
            maxLen = static_cast<size_t>(std::atol(argv[++i]));
        else if (a == "--save" && i + 1 < argc)
            save = argv[++i];
        else
            paths.push_back(a);
    }
    for (const auto& p : paths) AddSeeds(p, seeds, maxLen);
    if (seeds.empty()) seeds.push_back({});
    auto run = [&](const Bytes& input) {
        if (!save.empty()) {
            std::ofstream out(save, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(input.data()),
                      static_cast<std::streamsize>(input.size()));
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Bytes& s : seeds) run(s);
    std::mt19937_64 rng(seed);
    for (long i = 0; i < runs; ++i) {
        Bytes input = seeds[static_cast<size_t>(rng() % seeds.size())];
        Mutate(input, seeds, rng, maxLen);
        run(input);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu seeds, %ld mutations, %.1f s, %.0f exec/s\n", seeds.size(), runs, seconds,
                seconds > 0 ? (static_cast<double>(seeds.size()) + runs) / seconds : 0.0);
    return 0;
}
