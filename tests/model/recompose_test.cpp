// Rebuilding a display set's ICS fragments from its own parsed composition.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "codec/display_set.h"
#include "codec/ics.h"
#include "model/ic_data.h"

namespace tessel {
namespace {

// A body of about 72 kB: two groups of 200 buttons with 12 commands each, so
// that it needs two ICS fragments.
std::vector<uint8_t> LargeBody() {
    CIcData ic;
    CPage* page = ic.AddNewPage();
    for (int g = 0; g < 2; ++g) {
        CBog* bog = page->AddNewBog();
        for (int b = 0; b < 200; ++b) {
            CBdButton* button = bog->AddNewButton();
            button->x = static_cast<uint16_t>(b);
            for (int c = 0; c < 12; ++c) {
                CNavCmd cmd;
                cmd.bytes[11] = static_cast<uint8_t>(c);
                button->commands.records.push_back(cmd);
            }
        }
    }
    std::vector<uint8_t> body(static_cast<size_t>(ic.Write(nullptr, 0)));
    ic.Write(body.data(), 0);
    return body;
}

// A display set whose body is cut into fragments at the given offsets, each
// fragment stamped (pts, dts) = (1000 * (i + 1), i + 1).
std::unique_ptr<CDsData> Cut(const std::vector<uint8_t>& body, const std::vector<size_t>& cuts) {
    auto owned = std::make_unique<CDsData>();
    CDsData& ds = *owned;
    ds.compositionState = 2;
    std::vector<size_t> at = {0};
    at.insert(at.end(), cuts.begin(), cuts.end());
    at.push_back(body.size());
    for (size_t i = 0; i + 1 < at.size(); ++i) {
        auto* ics = static_cast<CIcs*>(ds.CreateSegment(kSegmentIcs));
        ics->video = {1920, 1080, 4, 0};
        ics->compositionNumber = 7;
        ics->firstInSequence = i == 0;
        ics->lastInSequence = i + 2 == at.size();
        ics->fragment.assign(body.begin() + static_cast<std::ptrdiff_t>(at[i]),
                             body.begin() + static_cast<std::ptrdiff_t>(at[i + 1]));
        ics->pts = static_cast<uint32_t>(1000 * (i + 1));
        ics->dts = static_cast<uint32_t>(i + 1);
    }
    return owned;
}

std::vector<std::pair<uint32_t, uint32_t>> Stamps(const CDsData& ds) {
    std::vector<std::pair<uint32_t, uint32_t>> stamps;
    for (const auto& ics : *ds.icsList) stamps.emplace_back(ics->pts, ics->dts);
    return stamps;
}

TEST(Recompose, NewFragmentsKeepTheOldStampsInOrder) {
    const std::vector<uint8_t> body = LargeBody();
    ASSERT_GT(body.size(), 65510u);
    ASSERT_LT(body.size(), 2u * 65510u);
    struct {
        std::vector<size_t> cuts;
        std::vector<std::pair<uint32_t, uint32_t>> stamps;
    } rows[] = {
        // Three old fragments, two new: the third stamps are dropped.
        {{30000, 60000}, {{1000, 1}, {2000, 2}}},
        // One old fragment, two new: the second takes the last old stamps.
        {{}, {{1000, 1}, {1000, 1}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.cuts.size());
        const auto owned = Cut(body, row.cuts);
        CDsData& ds = *owned;
        ASSERT_TRUE(RecomposeIcs(ds));
        ASSERT_EQ(ds.icsList->GetSize(), 2);
        EXPECT_EQ(Stamps(ds), row.stamps);
        EXPECT_EQ(ds.icsList->GetAt(0)->FragmentSize(), 65510);
        for (const auto& ics : *ds.icsList) {
            EXPECT_EQ(ics->video, (SVideoDescriptor{1920, 1080, 4, 0}));
            EXPECT_EQ(ics->compositionNumber, 0);
            EXPECT_EQ(ics->compositionState, 2);
        }
        EXPECT_EQ(JoinComposition(ds.icsList.get()), body);
    }
}

TEST(Recompose, WithoutIcsNothingIsDoneAndABrokenBodyStaysAsItWas) {
    CDsData none;
    EXPECT_TRUE(RecomposeIcs(none));
    EXPECT_TRUE(!none.icsList || none.icsList->IsEmpty());

    std::vector<uint8_t> body = LargeBody();
    body.resize(body.size() / 2);  // the body's length field names bytes that are not there
    const auto owned = Cut(body, {100});
    CDsData& ds = *owned;
    EXPECT_FALSE(RecomposeIcs(ds));
    ASSERT_EQ(ds.icsList->GetSize(), 2);
    EXPECT_EQ(ds.icsList->GetAt(0)->compositionNumber, 7);
    EXPECT_EQ(Stamps(ds), (std::vector<std::pair<uint32_t, uint32_t>>{{1000, 1}, {2000, 2}}));
    EXPECT_EQ(JoinComposition(ds.icsList.get()), body);
}

}  // namespace
}  // namespace tessel
