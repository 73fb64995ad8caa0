// Runs of identical display sets: same composition body and the same graphic
// objects, whatever their time stamps and composition states.
#include <gtest/gtest.h>

#include "authoring/sample_disc.h"
#include "model/display_set_runs.h"
#include "support/test_support.h"

namespace tessel {
namespace {

class DisplaySetRuns : public ::testing::Test {
protected:
    void SetUp() override {
        const authoring::SMenuOptions o{
            .pages = 1, .bogsPerPage = 1, .buttonsPerBog = 2, .buttonWidth = 16, .buttonHeight = 8};
        ASSERT_EQ(authoring::AuthorMenu(o, dir_.Str(), ig_).Message(), "");
        epoch_ = ig_.GetAt(0);
    }
    CDisplaySet* Repeat(const CDisplaySet& from) {
        CDisplaySet* ds = AddDisplaySet(*epoch_);
        const std::string name = ds->name;
        ds->CopyFrom(from);
        ds->name = name;
        ds->parent = epoch_;
        ds->compositionState = kStateAcquisitionPoint;
        ds->frameNumber = from.frameNumber + 24;
        return ds;
    }
    std::vector<std::pair<int, int>> Runs() {
        std::vector<std::pair<int, int>> out;
        for (const auto& r : IdenticalDisplaySetRuns(*epoch_)) out.emplace_back(r.first, r.count);
        return out;
    }

    test::CTempDir dir_;
    CIgObject ig_;
    CEpoch* epoch_ = nullptr;
};

TEST_F(DisplaySetRuns, RepeatsJoinChangesSplit) {
    CDisplaySet& first = *epoch_->GetAt(0);
    EXPECT_EQ(Runs(), (std::vector<std::pair<int, int>>{{0, 1}}));
    Repeat(first);
    Repeat(first);
    ASSERT_TRUE(epoch_->ResolveRefs());
    EXPECT_TRUE(SameDisplaySet(first, *epoch_->GetAt(2)));
    EXPECT_EQ(Runs(), (std::vector<std::pair<int, int>>{{0, 3}}));

    // A moved button writes other bytes.
    CDisplaySet* moved = Repeat(first);
    ASSERT_TRUE(epoch_->ResolveRefs());
    moved->GetAt(0)->AllButtons().back()->y += 1;
    EXPECT_FALSE(SameDisplaySet(first, *moved));
    // A menu timing of its own, too.
    CDisplaySet* timed = Repeat(first);
    ASSERT_TRUE(epoch_->ResolveRefs());
    timed->userTimeOutDuration = 90;
    EXPECT_EQ(Runs(), (std::vector<std::pair<int, int>>{{0, 3}, {3, 1}, {4, 1}}));
}

TEST_F(DisplaySetRuns, SameIdsOfOtherObjectsDiffer) {
    CDisplaySet& first = *epoch_->GetAt(0);
    CDisplaySet* other = Repeat(first);
    ASSERT_TRUE(epoch_->ResolveRefs());
    ASSERT_TRUE(SameDisplaySet(first, *other));
    // The same ids pointing at another object of the epoch.
    CGraphicObject* copy = epoch_->graphics.AddNewObject();
    CBdButton* button = other->GetAt(0)->AllButtons().front();
    copy->id = button->states[0].start.ptr->id;
    button->states[0].start.ptr = copy;
    EXPECT_FALSE(SameDisplaySet(first, *other));
    EXPECT_TRUE(SameDisplaySet(*other, *other));
}

TEST_F(DisplaySetRuns, EmptyEpochHasNoRuns) {
    CEpoch empty;
    EXPECT_TRUE(IdenticalDisplaySetRuns(empty).empty());
}

}  // namespace
}  // namespace tessel
