// Loading an archive whose counts are damaged: every count is checked
// against the bytes left before anything is allocated for its items.
#include <gtest/gtest.h>

#include "model/bog.h"
#include "model/ig_object.h"
#include "platform/archive.h"
#include "support/menu_model.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using Bytes = std::vector<uint8_t>;

// The stored form of a set of one menu: two pages, groups of buttons with
// commands, objects and a palette.
Bytes StoredMenuSet() {
    test::SMenuModel m;
    for (int g = 0; g < 2; ++g) {
        CBog* bog = m.page->AddNewBog();
        for (int b = 0; b < 2; ++b) {
            CBdButton* button =
                m.Button(*bog, 10 + 40 * b, 10 + 40 * g, m.Object(8, 8, 1), m.Object(8, 8, 2));
            button->commands.records.push_back(CNavCmd{{0x21, 0x81, 0, 0, 0, 0, 0, 2}});
        }
    }
    m.ds->AddNewPage()->AddNewBog();
    CIgSet set;
    auto story = std::make_unique<CStoryIgObject>();
    story->TakeEpochs(m.ig);
    story->name = "menu";
    set.Append(std::move(story));
    CArchive ar;
    set.Serialize(ar);
    return ar.Buffer();
}

TEST(ArchiveBounds, ADamagedCountAnywhereFailsCleanlyWithoutAllocatingForIt) {
    const Bytes stored = StoredMenuSet();
    ASSERT_GT(stored.size(), 100u);
    {
        CIgSet back;
        CArchive in(stored);
        back.Serialize(in);
        EXPECT_TRUE(in.Result().Ok()) << in.Result().Message();
        EXPECT_TRUE(in.AtEnd());
    }
    // At every offset a huge 32-bit value: a count there is refused, other
    // fields give a clean failure or a loaded set. No exception, and the peak
    // memory of all loads stays small.
    int countsRefused = 0;
    const int64_t growth = test::PeakMemoryGrowth([&] {
        for (size_t at = 0; at + 4 <= stored.size(); ++at) {
            Bytes damaged = stored;
            damaged[at] = damaged[at + 1] = damaged[at + 2] = 0xFF;
            damaged[at + 3] = 0x7F;
            CIgSet back;
            CArchive in(damaged);
            try {
                back.Serialize(in);
            } catch (...) {
                std::_Exit(2);
            }
            if (in.Result().Text().find("count exceeds the bytes left") != std::string::npos)
                ++countsRefused;
        }
        if (countsRefused == 0) std::_Exit(3);
    });
    EXPECT_GE(growth, 0) << "a load threw, or no count was refused";
    EXPECT_LT(growth, int64_t{32} << 20);
}

}  // namespace
}  // namespace tessel
