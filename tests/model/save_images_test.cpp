// Writing a stream's pictures, one folder per epoch, and cancelling it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "model/ig_object.h"
#include "support/authored_menu.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

size_t Pngs(const fs::path& folder) {
    size_t n = 0;
    if (fs::exists(folder))
        for (const auto& e : fs::directory_iterator(folder)) n += e.path().extension() == ".png";
    return n;
}

// Cancels once the bar reaches a percentage, as Ctrl-C would.
class CCancelAt : public CProgressWnd {
public:
    explicit CCancelAt(int percent) : percent_(percent) {}

protected:
    void Pump() override {
        if (Position() >= percent_) Cancel();
    }
    void SleepMs(int) override {}

private:
    int percent_;
};

TEST(SaveIgImages, CancelKeepsTheWholeEpochsAndRemovesOnlyTheUnfinishedOnesFiles) {
    test::SAuthored menu;
    CIgObject ig;
    ASSERT_TRUE(ig.BuildFromBytes(menu.bytes, false, nullptr));
    ASSERT_EQ(ig.GetSize(), 2);
    const size_t perEpoch = ig.GetAt(0)->graphics.items.size();
    ASSERT_EQ(ig.GetAt(1)->graphics.items.size(), perEpoch);
    const fs::path out = menu.dir.Path() / "out";

    // A whole run, then the same folder again with a file of the user's in
    // the second epoch's folder: a cancel in that epoch leaves it there.
    fs::create_directories(out);
    int written = 0;
    std::vector<std::string> finished;
    ASSERT_TRUE(SaveIgImages(ig, out.string(), &written, nullptr, &finished));
    EXPECT_EQ(written, static_cast<int>(2 * perEpoch));
    EXPECT_EQ(finished, (std::vector<std::string>{"Epoch#1", "Epoch#2"}));
    fs::remove_all(out / "Epoch#2");
    fs::create_directories(out / "Epoch#2");
    { std::ofstream(out / "Epoch#2" / "notes.txt") << "mine"; }

    CCancelAt progress(75);
    finished.clear();
    EXPECT_TRUE(SaveIgImages(ig, out.string(), &written, &progress, &finished).Cancelled());
    EXPECT_TRUE(progress.Cancelled());
    EXPECT_EQ(written, static_cast<int>(perEpoch));
    EXPECT_EQ(finished, std::vector<std::string>{"Epoch#1"});
    EXPECT_EQ(Pngs(out / "Epoch#1"), perEpoch);
    EXPECT_EQ(Pngs(out / "Epoch#2"), 0u);
    EXPECT_TRUE(fs::exists(out / "Epoch#2" / "notes.txt"));

    // Cancelled in the first epoch, with nothing else in the folders: they go.
    fs::remove_all(out);
    fs::create_directories(out);
    CCancelAt early(10);
    finished.clear();
    EXPECT_TRUE(SaveIgImages(ig, out.string(), &written, &early, &finished).Cancelled());
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(finished.empty());
    EXPECT_FALSE(fs::exists(out / "Epoch#1"));
}

}  // namespace
}  // namespace tessel
