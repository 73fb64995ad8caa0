// A scan that goes on past playlists it cannot read: each is told in order,
// before the failure that stops the scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "disc/disc_scan.h"
#include "support/test_support.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

TEST(ScanSkippedPlaylists, EachIsToldInOrderThenWhyTheScanStops) {
    test::CTempDir dir;
    authoring::SDiscOptions o;
    o.clips = {test::Clip(1, 1, {0x1400}), test::Clip(2, 1, {0x1400})};
    const std::string bdmv = test::Generate(dir.Path() / "Film", o);
    std::vector<std::string> playlists;
    for (const auto& e : fs::directory_iterator(fs::path(bdmv) / "PLAYLIST"))
        playlists.push_back(e.path().string());
    std::sort(playlists.begin(), playlists.end());
    ASSERT_FALSE(playlists.empty());
    for (const std::string& p : playlists)
        std::ofstream(p, std::ios::binary) << std::string(300, 'Z');
    CTlDisc disc;
    test::CMessageCapture messages;
    SScanOptions options;
    options.keepGoing = true;
    EXPECT_EQ(ScanDisc(disc, bdmv, nullptr, options), 2);
    ASSERT_EQ(messages.messages.size(), playlists.size() + 1);
    ASSERT_EQ(disc.faults.size(), playlists.size());
    for (size_t i = 0; i < playlists.size(); ++i) {
        EXPECT_EQ(messages.messages[i].rfind(playlists[i] + ": invalid playlist", 0), 0u)
            << messages.messages[i];
        EXPECT_EQ(disc.faults[i].reason, messages.messages[i]);
    }
    EXPECT_TRUE(messages.Last().ends_with(": no playlist could be read")) << messages.Last();
}

}  // namespace
}  // namespace tessel
