// The menu check: one authored menu broken one way per rule, the unbroken
// menu clean, number keys reaching what arrows do not, and the sample disc
// without errors, its background tiles decoration.
#include <gtest/gtest.h>

#include <functional>

#include "authoring/sample_disc.h"
#include "authoring/synthetic_photo.h"
#include "codec/colour.h"
#include "disc/disc_scan.h"
#include "platform/image_io.h"
#include "player/menu_reach.h"
#include "support/menu_model.h"
#include "support/test_support.h"

namespace tessel {
namespace {

using FMutate = std::function<void(CIgObject&)>;

CPage& Page(CIgObject& ig, int p = 0) {
    return *ig.GetAt(0)->GetAt(0)->GetAt(p);
}

CBdButton& Button(CIgObject& ig, int id, int p = 0) {
    for (CBdButton* b : Page(ig, p).AllButtons())
        if (b->id == id) return *b;
    throw std::runtime_error("no button");
}

CNavCmd Command(std::initializer_list<uint8_t> bytes) {
    CNavCmd c{};
    std::copy(bytes.begin(), bytes.end(), c.bytes);
    return c;
}

using test::SetButtonPage;

// Nothing on the page leads to the button any more: the others' neighbours
// that named it name themselves.
void Isolate(CIgObject& ig, int id) {
    for (CBdButton* b : Page(ig).AllButtons())
        for (auto* n : b->neighbors.refs())
            if (b->id != id && n->id == id) *n = {b, b->id};
    Button(ig, id).numericSelectValue = 0xFFFF;
}

class MenuCheck : public ::testing::Test {
protected:
    // Menus of one and two pages of four groups of one button, as streams.
    static void SetUpTestSuite() {
        for (int pages : {1, 2}) {
            test::CTempDir dir;
            const authoring::SMenuOptions o{.pages = pages,
                                            .bogsPerPage = 4,
                                            .buttonsPerBog = 1,
                                            .buttonWidth = 96,
                                            .buttonHeight = 32};
            CIgObject ig;
            ASSERT_EQ(authoring::AuthorMenu(o, dir.Path().string(), ig).Message(), "");
            ASSERT_EQ(authoring::MenuStream(ig, streams_[pages - 1]).Message(), "");
        }
    }

    static std::vector<SCheckFinding> Check(int pages, const FMutate& mutate) {
        CIgObject ig;
        const CResult error = ig.BuildFromBytes(streams_[pages - 1], false);
        EXPECT_TRUE(error) << error.Text();
        if (mutate) mutate(ig);
        std::vector<SCheckFinding> out;
        CheckIgStream(ig, 1, 0x1400, {}, out);
        return out;
    }

    static std::vector<uint8_t> streams_[2];
};

std::vector<uint8_t> MenuCheck::streams_[2];

TEST_F(MenuCheck, EachBrokenMenuBreaksItsRule) {
    struct SCase {
        const char* rule;
        ECheckSeverity severity;
        int pages;
        int button;  // where the finding lies (-1: no button)
        FMutate mutate;
    };
    const SCase cases[] = {
        {"unreachable-button", ECheckSeverity::Warning, 1, 3,
         [](CIgObject& ig) { Isolate(ig, 3); }},
        {"unreachable-page", ECheckSeverity::Warning, 2, -1, nullptr},
        {"decoration", ECheckSeverity::Info, 1, 3,
         [](CIgObject& ig) {
             Isolate(ig, 3);
             CBdButton& b = Button(ig, 3);
             b.commands.Clear();
             for (auto* n : b.neighbors.refs()) *n = {&b, b.id};
         }},
        {"missing-neighbour", ECheckSeverity::Error, 1, 0,
         [](CIgObject& ig) {
             Button(ig, 0).neighbors.right = {nullptr, 77};
         }},
        {"bad-default-button", ECheckSeverity::Error, 1, -1,
         [](CIgObject& ig) {
             Page(ig).defaultSelected = {nullptr, 55};
         }},
        {"playlist-from-button", ECheckSeverity::Warning, 1, 1,
         [](CIgObject& ig) {
             Button(ig, 1).commands.records = {Command({0x22, 0x80, 0, 0, 0, 0, 0, 5})};
         }},
        {"outside-frame", ECheckSeverity::Error, 1, 3,
         [](CIgObject& ig) { Button(ig, 3).x = 1900; }},
        {"missing-object", ECheckSeverity::Error, 1, 0,
         [](CIgObject& ig) { Button(ig, 0).states[1].start.id = 999; }},
        {"group-overlap", ECheckSeverity::Warning, 1, 0,
         [](CIgObject& ig) {
             Button(ig, 2).x = Button(ig, 0).x + 10;
             Button(ig, 2).y = Button(ig, 0).y;
         }},
        {"palette-gap", ECheckSeverity::Warning, 1, 0,
         [](CIgObject& ig) {
             auto& entries = ig.GetAt(0)->palettes.GetAt(0)->records;
             std::erase_if(entries, [](const ERGBQUAD& e) { return e.index > 2 && e.index < 255; });
         }},
        {"auto-action-loop", ECheckSeverity::Warning, 2, 0,
         [](CIgObject& ig) {
             for (int p = 0; p < 2; ++p) {
                 Button(ig, 0, p).autoAction = true;
                 Button(ig, 0, p).commands.records = {SetButtonPage(0, 1 - p)};
             }
         }},
        {"empty-commands", ECheckSeverity::Info, 1, 0,
         [](CIgObject& ig) { Button(ig, 0).commands.Clear(); }},
        // A command the player does not run: the unreachable button is undecided.
        {"unreachable-button", ECheckSeverity::Info, 1, 3,
         [](CIgObject& ig) {
             Isolate(ig, 3);
             Button(ig, 0).commands.records = {Command({0x18, 0, 0, 0})};
         }},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.rule);
        const std::vector<SCheckFinding> found = Check(c.pages, c.mutate);
        auto it = std::find_if(found.begin(), found.end(), [&](const SCheckFinding& f) {
            return f.rule == c.rule && f.severity == c.severity;
        });
        ASSERT_NE(it, found.end());
        EXPECT_EQ(it->place.button, c.button) << it->message;
        EXPECT_EQ(it->place.clip, 1);
        EXPECT_EQ(it->place.pid, 0x1400);
        EXPECT_EQ(it->place.epoch, 0);
        EXPECT_EQ(it->place.displaySet, 0);
        EXPECT_FALSE(it->message.empty());
    }
}

TEST_F(MenuCheck, ObjectsBeyondTheDecoderBuffers) {
    // One group of three buttons whose nine states show a full-frame photo:
    // 18.7 M decoded pixels, and a photo's run-length code takes about a
    // byte a pixel.
    test::CTempDir dir;
    const authoring::SMenuOptions o{
        .pages = 1, .bogsPerPage = 1, .buttonsPerBog = 3, .buttonWidth = 96, .buttonHeight = 32};
    CIgObject authored;
    ASSERT_EQ(authoring::AuthorMenu(o, dir.Path().string(), authored).Message(), "");
    const std::string photo = (dir.Path() / "photo.png").string();
    ASSERT_EQ(SavePng(photo, ToIndexed(authoring::SyntheticPhoto(1920, 1080))).Message(), "");
    const CGraphicObjectList objects = authored.GetAt(0)->graphics.List();
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(objects[static_cast<size_t>(i)]->SetImageFile(photo));
    for (CBdButton* b : authored.GetAt(0)->GetAt(0)->GetAt(0)->AllButtons()) b->x = b->y = 0;
    std::vector<uint8_t> stream;
    ASSERT_EQ(authoring::MenuStream(authored, stream).Message(), "");
    CIgObject ig;
    ASSERT_TRUE(ig.BuildFromBytes(stream, false, nullptr));
    std::vector<SCheckFinding> out;
    CheckIgStream(ig, -1, -1, {{"object-buffer"}, ECheckSeverity::Info}, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NE(out[0].message.find("18662400 bytes"), std::string::npos) << out[0].message;
    EXPECT_NE(out[0].message.find("16 MiB object buffer"), std::string::npos) << out[0].message;
    EXPECT_NE(out[1].message.find("1 MiB coded data buffer"), std::string::npos) << out[1].message;
    for (const SCheckFinding& f : out) {
        EXPECT_EQ(f.severity, ECheckSeverity::Error);
        EXPECT_EQ(f.place.epoch, 0);
        EXPECT_EQ(f.place.page, -1);
    }
}

TEST_F(MenuCheck, UnbrokenMenuAndNumberKeys) {
    EXPECT_TRUE(Check(1, nullptr).empty());
    // Arrows no longer reach button 3, its number key 4 still does.
    const auto found = Check(1, [](CIgObject& ig) {
        Isolate(ig, 3);
        Button(ig, 3).numericSelectValue = 4;
    });
    EXPECT_TRUE(found.empty()) << found.front().rule << ": " << found.front().message;
}

TEST_F(MenuCheck, RulesAndSeverityNarrowTheFindings) {
    CIgObject ig;
    ASSERT_TRUE(ig.BuildFromBytes(streams_[1], false, nullptr));
    Button(ig, 0).neighbors.left = {nullptr, 77};
    Button(ig, 1).commands.Clear();
    auto run = [&](SCheckOptions o) {
        std::vector<SCheckFinding> out;
        CheckIgStream(ig, -1, -1, o, out);
        std::set<std::string> rules;
        for (const auto& f : out) rules.insert(f.rule);
        return rules;
    };
    using Set = std::set<std::string>;
    EXPECT_EQ(run({}), (Set{"missing-neighbour", "empty-commands", "unreachable-page"}));
    EXPECT_EQ(run({{}, ECheckSeverity::Warning}), (Set{"missing-neighbour", "unreachable-page"}));
    EXPECT_EQ(run({{"empty-commands"}, ECheckSeverity::Info}), (Set{"empty-commands"}));
}

TEST_F(MenuCheck, SampleDiscHasNoErrorsAndItsTilesAreDecoration) {
    CTlDisc disc;
    ASSERT_EQ(ScanDisc(disc, std::string(TESSEL_SOURCE_DIR) + "/samples/demo/BDMV", nullptr), 0);
    int tiles = 0, decoration = 0;
    for (const auto& clip : disc.clips)
        for (const auto& ig : clip->igObjects) {
            std::vector<SCheckFinding> out;
            CheckIgStream(*ig, clip->id, ig->id, {}, out);
            for (const SCheckFinding& f : out) {
                EXPECT_NE(f.severity, ECheckSeverity::Error) << f.rule << ": " << f.message;
                decoration += f.rule == "decoration";
                EXPECT_NE(f.rule, "empty-commands") << f.message;
            }
            for (const auto& epoch : *ig)
                for (const auto& page : *epoch->GetAt(0))
                    for (CBdButton* b : page->AllButtons()) tiles += b->commands.GetSize() == 0;
        }
    EXPECT_GT(tiles, 0);
    EXPECT_EQ(decoration, tiles);
}

}  // namespace
}  // namespace tessel
