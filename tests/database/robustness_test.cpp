// Truncated and corrupted corpus files parse to invalid or to a usable object.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <random>

#include "database/clpi.h"
#include "database/mpls.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

struct SCorpusFile {
    fs::path path;
    bool isClpi = false;
    std::vector<uint8_t> data;
};

std::vector<SCorpusFile> LoadCorpusFiles() {
    std::vector<SCorpusFile> files;
    for (const auto& e : fs::recursive_directory_iterator(test::CorpusDir() / "discs")) {
        const auto ext = e.path().extension();
        if (ext != ".clpi" && ext != ".mpls") continue;
        files.push_back({e.path(), ext == ".clpi", test::ReadBytes(e.path())});
    }
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    return files;
}

// Parses and, when valid, uses everything a caller would use.
void ParseAndUse(const SCorpusFile& f, std::span<const uint8_t> data) {
    if (f.isClpi) {
        CClpiObject clpi;
        const int r = clpi.ParseClpi(data);
        if (r < 1) return;
        ASSERT_LE(static_cast<size_t>(r), data.size());
        clpi.clipNumber = 7;
        clpi.BuildTrackList();
        clpi.DeriveTiming();
        nlohmann::json lines = nlohmann::json::array();
        for (const auto& t : clpi.tracks.tracks) lines.push_back(t->Describe());
        for (const auto& s : clpi.programInfo.streams) lines.push_back(AttributeText(s.codingInfo));
        EXPECT_NO_THROW((void)lines.dump());
    } else {
        CMplsObject mpls;
        const int r = mpls.ParseMpls(data);
        if (r < 1) return;
        ASSERT_LE(static_cast<size_t>(r), data.size());
        std::vector<int> clips;
        mpls.ClipReferences(clips);
    }
}

// Header addresses of the file, where truncations are most telling.
std::vector<size_t> Boundaries(const SCorpusFile& f) {
    std::vector<size_t> out;
    const auto& d = f.data;
    const size_t first = 8, count = f.isClpi ? 5 : 3;
    for (size_t i = 0; i < count && first + 4 * i + 4 <= d.size(); ++i) {
        const size_t p = first + 4 * i;
        const size_t a =
            (size_t{d[p]} << 24) | (size_t{d[p + 1]} << 16) | (d[p + 2] << 8) | d[p + 3];
        for (size_t x : {a, a + 1, a + 4, a + 5, a + 6, a + 12})
            if (x < d.size()) out.push_back(x);
    }
    return out;
}

TEST(DiscRobustness, EveryTruncationOfEveryCorpusFileIsInvalidOrUsable) {
    TESSEL_REQUIRE_CORPUS();
    const auto files = LoadCorpusFiles();
    ASSERT_EQ(files.size(), 94u + 272u);
    std::mt19937 rng(20240601);
    constexpr size_t kWholeBelow = 4096;
    constexpr int kSamples = 160;
    for (const auto& f : files) {
        SCOPED_TRACE(f.path.string());
        const size_t n = f.data.size();
        std::vector<size_t> lengths;
        if (n <= kWholeBelow) {
            for (size_t len = 0; len < n; ++len) lengths.push_back(len);
        } else {
            for (size_t len = 0; len < 256; ++len) lengths.push_back(len);
            for (size_t len = n - 64; len < n; ++len) lengths.push_back(len);
            for (size_t b : Boundaries(f)) lengths.push_back(b);
            std::uniform_int_distribution<size_t> pick(0, n - 1);
            for (int i = 0; i < kSamples; ++i) lengths.push_back(pick(rng));
        }
        for (size_t len : lengths) {
            // A copy of exactly len bytes, so the sanitizer sees any overrun.
            std::vector<uint8_t> cut(f.data.begin(), f.data.begin() + static_cast<long>(len));
            ParseAndUse(f, cut);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(DiscRobustness, SeededRandomCorruptionsAreInvalidOrUsable) {
    TESSEL_REQUIRE_CORPUS();
    const auto files = LoadCorpusFiles();
    ASSERT_FALSE(files.empty());
    std::mt19937 rng(777);
    constexpr int kRounds = 600;
    for (int round = 0; round < kRounds; ++round) {
        const auto& f = files[rng() % files.size()];
        std::vector<uint8_t> bad = f.data;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i) {
            // Half the corruptions hit the headers and counts near the start.
            const size_t limit = (rng() & 1) ? std::min<size_t>(bad.size(), 320) : bad.size();
            const size_t pos = rng() % limit;
            bad[pos] = (rng() & 3) == 0 ? 0xFF : static_cast<uint8_t>(rng());
        }
        SCOPED_TRACE(f.path.string() + " round " + std::to_string(round));
        ParseAndUse(f, bad);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace tessel
