// The disc scan's report of each clip it keeps, as soon as it is kept.
#include <gtest/gtest.h>

#include "disc/disc_scan.h"
#include "disc/scan_support.h"
#include "support/test_support.h"

namespace tessel {
namespace {

// IG clips 3, 1 (sub-path) and 5 (PID 0x1401 only), clip 2 without IG: each
// clip kept is reported once, in clip number order, already on the disc;
// clips left out (no IG, not on the PID asked for) are not.
TEST(ScanClipReport, EachKeptClipOnceInOrderOnceAdded) {
    test::CTempDir dir;
    authoring::SDiscOptions o;
    o.clips = {test::Clip(3, 1, {0x1400}), test::Clip(2, 1, {}), test::Clip(1, 5, {0x1400}, true),
               test::Clip(5, 1, {0x1401})};
    const std::string bdmv = test::Generate(dir.Path() / "Film", o);
    const struct {
        int pid;
        std::vector<int> reported;
    } rows[] = {{-1, {1, 3, 5}}, {0x1401, {5}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pid);
        CTlDisc disc;
        SScanOptions options;
        options.pid = row.pid;
        std::vector<int> reported;
        options.onClip = [&](CTlM2tsObject& clip) {
            reported.push_back(clip.id);
            ASSERT_FALSE(disc.clips.empty());
            EXPECT_EQ(&clip, disc.clips.back().get());
        };
        test::CMessageCapture messages;
        ASSERT_EQ(ScanDisc(disc, bdmv, nullptr, options), 0) << messages.Last();
        EXPECT_EQ(reported, row.reported);
    }
}

}  // namespace
}  // namespace tessel
