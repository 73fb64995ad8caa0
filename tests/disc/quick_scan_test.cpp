// The quick scan on generated clips: what the sampled places find and miss,
// entry points, a late IG PID, a damaged place and a clip read whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "database/clpi.h"
#include "disc/disc_scan.h"
#include "disc/quick_scan.h"
#include "disc/scan_support.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;
using test::CMessageCapture;
using test::CTempDir;

constexpr uint32_t kSecond = 90000;

// The marked records of stream with every time moved by shift.
std::vector<uint8_t> Shifted(std::vector<uint8_t> marked, uint32_t shift) {
    for (size_t p = 0; p + 13 <= marked.size();) {
        for (size_t field : {p + 2, p + 6}) {
            uint32_t v = 0;
            for (size_t i = 0; i < 4; ++i) v = v << 8 | marked[field + i];
            if (field == p + 6 && v == 0) continue;
            v += shift;
            for (size_t i = 0; i < 4; ++i)
                marked[field + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
        }
        p += 13 + (static_cast<size_t>(marked[p + 11]) << 8 | marked[p + 12]);
    }
    return marked;
}

// Menu A (one page) and menu B (two pages), as marked streams.
class QuickScan : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new CTempDir;
        for (int pages : {1, 2}) {
            CIgObject ig;
            auto menu = test::SmallMenu(pages);
            menu.seed = pages;
            ASSERT_EQ(authoring::AuthorMenu(
                          menu, (dir_->Path() / ("art" + std::to_string(pages))).string(), ig)
                          .Message(),
                      "");
            menus_.emplace_back();
            ASSERT_EQ(authoring::MenuStream(ig, menus_.back()).Message(), "");
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        menus_.clear();
    }

    // Copies of menu m, one a second from second first on.
    static std::vector<uint8_t> Run(int m, int first, int count) {
        std::vector<uint8_t> out;
        EXPECT_TRUE(authoring::RepeatStream(menus_[m], count, kSecond, false, out));
        return Shifted(out, static_cast<uint32_t>(first) * kSecond);
    }

    // A disc of one clip with these streams by PID, 4 MiB of filler spread
    // by time; returns its BDMV folder.
    std::string Disc(const std::string& name,
                     const std::map<uint16_t, std::vector<uint8_t>>& streams,
                     int64_t entryPointsFor = -1) {
        authoring::SDiscOptions o;
        auto clip = test::Clip(1, 1, {});
        for (const auto& [pid, marked] : streams) clip.igPids.push_back(pid);
        clip.presentationGraphicsOnly = false;
        clip.streams = streams;
        clip.entryPointsFor = entryPointsFor;
        o.clips = {clip};
        o.fillerMiB = 4;
        o.fillerByTime = true;
        o.pictureFolder = (dir_->Path() / (name + "-pictures")).string();
        return test::Generate(dir_->Path() / name, o);
    }

    static SScanOptions Quick(int places = 4) {
        SScanOptions o;
        o.quick = true;
        o.quickLimits.maxPlaces = places;
        o.quickLimits.minSpacing = 64 << 10;
        o.quickLimits.placeLimit = 512 << 10;
        return o;
    }

    static std::vector<int> PagesPerDisplaySet(const CIgObject& ig) {
        std::vector<int> pages;
        for (const auto& epoch : ig)
            for (const auto& ds : *epoch) pages.push_back(ds->GetSize());
        return pages;
    }

    static inline CTempDir* dir_ = nullptr;
    static inline std::vector<std::vector<uint8_t>> menus_;
};

// Each row: the menus of one IG stream as (menu, first second, copies), what
// the quick scan keeps (pages of each display set kept) and how often it saw
// each.
struct SFindCase {
    const char* name;
    std::vector<std::tuple<int, int, int>> runs;
    std::vector<int> keptPages;
};

TEST_F(QuickScan, FindsWhatThePlacesLandBeforeAndMissesTheRest) {
    const SFindCase cases[] = {
        // A change at half the clip: the places after it see menu B.
        {"change", {{0, 0, 20}, {1, 20, 20}}, {1, 2}},
        // Menu B once, between the places at 40 % and 60 %: missed.
        {"between", {{0, 0, 20}, {1, 20, 1}, {0, 21, 19}}, {1}},
    };
    for (const SFindCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> stream;
        for (const auto& [m, first, count] : c.runs) {
            const auto run = Run(m, first, count);
            stream.insert(stream.end(), run.begin(), run.end());
        }
        const std::string bdmv = Disc(c.name, {{0x1400, stream}});
        CTlDisc disc;
        ASSERT_EQ(ScanDisc(disc, bdmv, nullptr, Quick()), 0);
        ASSERT_EQ(disc.clips.size(), 1u);
        const CTlM2tsObject& clip = *disc.clips[0];
        EXPECT_EQ(PagesPerDisplaySet(*clip.igObjects.at(0)), c.keptPages);
        const SScanCoverage& cov = clip.coverage;
        EXPECT_TRUE(cov.quick);
        EXPECT_EQ(cov.samples, 4);
        EXPECT_LT(cov.bytesRead, cov.bytesTotal / 2);
        // Every place and the start saw a composition, counted on what it matched.
        int seen = 0;
        for (const auto& s : cov.seen) seen += s.count;
        EXPECT_EQ(seen, 5);
        EXPECT_NE(CoverageText(cov).find("at 4 places; menus between them may be missed; tessel "
                                         "scan reads all"),
                  std::string::npos);
    }
}

TEST_F(QuickScan, FindsAnIgStreamThatStartsLate) {
    const std::string bdmv = Disc("late", {{0x1400, Run(0, 0, 40)}, {0x1401, Run(1, 25, 15)}});
    CTlDisc disc;
    ASSERT_EQ(ScanDisc(disc, bdmv, nullptr, Quick()), 0);
    const auto& igs = disc.clips.at(0)->igObjects;
    ASSERT_EQ(igs.size(), 2u);
    EXPECT_EQ(PagesPerDisplaySet(*igs[0]), std::vector<int>{1});
    EXPECT_EQ(PagesPerDisplaySet(*igs[1]), std::vector<int>{2});
}

TEST_F(QuickScan, SamplesAtEntryPointsWhereTheEpMapHasThem) {
    struct SRow {
        const char* name;
        int64_t entryPointsFor;
        bool allAtEntryPoints;
    } rows[] = {{"covering", INT64_MAX, true}, {"first-seconds", 5 * kSecond, false}};
    for (const SRow& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string bdmv = Disc(r.name, {{0x1400, Run(0, 0, 40)}}, r.entryPointsFor);
        auto loaded = LoadClipInfo(bdmv + "/CLIPINF/00001.clpi");
        ASSERT_TRUE(loaded) << loaded.Result().Message();
        const auto& clpi = *loaded;
        std::set<int64_t> entries;
        for (const auto& kpi : clpi->epMap)
            for (const auto& k : kpi->keyPoints) entries.insert(int64_t{k.spnStart} * 192);
        ASSERT_FALSE(entries.empty());
        const auto length = static_cast<int64_t>(fs::file_size(bdmv + "/STREAM/00001.m2ts"));
        const auto places = QuickScanPlaces(length, clpi.get(), Quick(8).quickLimits);
        ASSERT_EQ(places.size(), 8u);
        int atEntries = 0;
        for (int64_t p : places) atEntries += entries.count(p) ? 1 : 0;
        EXPECT_EQ(atEntries == 8, r.allAtEntryPoints) << atEntries;
        EXPECT_GE(atEntries, r.allAtEntryPoints ? 8 : 0);
        CTlDisc disc;
        ASSERT_EQ(ScanDisc(disc, bdmv, nullptr, Quick(8)), 0);
        EXPECT_EQ(disc.clips.at(0)->coverage.samples, 8);
    }
}

TEST_F(QuickScan, ReportsAndSkipsADamagedPlace) {
    const std::string bdmv = Disc("damaged", {{0x1400, Run(0, 0, 20)}, {0x1401, Run(1, 0, 20)}});
    const std::string m2ts = bdmv + "/STREAM/00001.m2ts";
    const auto length = static_cast<int64_t>(fs::file_size(m2ts));
    const SScanOptions options = Quick();
    const int64_t place = QuickScanPlaces(length, nullptr, options.quickLimits).at(1);
    {
        // Zeros from the place to beyond its read limit: no packet there.
        std::FILE* f = std::fopen(m2ts.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fseek(f, static_cast<long>(place), SEEK_SET);
        const std::vector<uint8_t> zeros(
            static_cast<size_t>(options.quickLimits.placeLimit + 4096));
        std::fwrite(zeros.data(), 1, zeros.size(), f);
        std::fclose(f);
    }
    CTlDisc disc;
    CMessageCapture messages;
    ASSERT_EQ(ScanDisc(disc, bdmv, nullptr, options), 0);
    const SScanCoverage& cov = disc.clips.at(0)->coverage;
    EXPECT_EQ(cov.skipped, std::vector<int64_t>{place});
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].find("quick scan: no transport packets at byte " +
                                        std::to_string(place) + "; the place is skipped"),
              std::string::npos);
    EXPECT_NE(CoverageText(cov).find("(1 skipped: unreadable)"), std::string::npos);
    // The other places still see both menus.
    EXPECT_EQ(PagesPerDisplaySet(*disc.clips[0]->igObjects.at(1)), std::vector<int>{2});
}

TEST_F(QuickScan, ReadsAClipShorterThanTheSpacingWhole) {
    const std::string bdmv = Disc("short", {{0x1400, Run(0, 0, 4)}, {0x1401, Run(1, 2, 1)}});
    SScanOptions options = Quick();
    options.quickLimits.minSpacing = 8 << 20;
    CTlDisc disc;
    ASSERT_EQ(ScanDisc(disc, bdmv, nullptr, options), 0);
    const CTlM2tsObject& clip = *disc.clips.at(0);
    EXPECT_FALSE(clip.coverage.quick);
    EXPECT_EQ(clip.coverage.samples, 0);
    EXPECT_GE(clip.coverage.bytesRead, clip.coverage.bytesTotal);
    EXPECT_EQ(CoverageText(clip.coverage), "");
    EXPECT_EQ(clip.igObjects.at(0)->GetSize(), 4);  // every copy, as a full scan has them
}

}  // namespace
}  // namespace tessel
