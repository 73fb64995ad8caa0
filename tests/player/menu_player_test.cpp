// The menu player and the map over menus built in the model with known
// neighbours and commands.
#include <gtest/gtest.h>

#include <algorithm>

#include "player/map_decoration.h"
#include "player/menu_map.h"
#include "player/menu_player.h"
#include "support/menu_model.h"

namespace tessel {
namespace {

using test::SMenuModel;

using test::Cmd;

using test::JumpTitle;
using test::SetButtonPage;
CNavCmd PlayMark(uint32_t playlist, uint32_t mark) {
    return Cmd(0x42, 0xC2, 0, 0, playlist, mark);
}
CNavCmd GoTo(uint32_t n) {
    return Cmd(0x20, 0x81, 0, 0, n, 0);
}
CNavCmd Nop() {
    return Cmd(0x00, 0x00, 0, 0, 0, 0);
}
CNavCmd AddGpr(int reg, uint32_t value) {
    return Cmd(0x50, 0x40, 0, 3, static_cast<uint32_t>(reg), value);
}
CNavCmd IfGprEquals(int reg, uint32_t value) {
    return Cmd(0x48, 0x40, 2, 0, static_cast<uint32_t>(reg), value);
}
CNavCmd EnableButton(int id) {
    return Cmd(0x31, 0x80, 0, 4, static_cast<uint32_t>(id), 0);
}
CNavCmd DisableButton(int id) {
    return Cmd(0x31, 0x80, 0, 5, static_cast<uint32_t>(id), 0);
}

void Link(CBdButton* b, CBdButton* up, CBdButton* down, CBdButton* left, CBdButton* right) {
    CBdButton* n[4] = {up, down, left, right};
    std::array<CRef<CBdButton>*, 4> refs = b->neighbors.refs();
    for (int i = 0; i < 4; ++i) {
        refs[static_cast<size_t>(i)]->ptr = n[i] ? n[i] : b;
        refs[static_cast<size_t>(i)]->id = n[i] ? n[i]->id : b->id;
    }
}

// Two pages. Page 0: a column of three buttons (ids 0, 1, 2) in one group
// each; 0 jumps to title 2, 1 goes to page 1 button 11, 2 enables the
// hidden alternative of group 3 and disables itself. Group 3 holds 3 (the
// default valid one) and 4 (an alternative). Page 1: buttons 10, 11 side by
// side; 10 counts GPR7 up and plays a mark once it reaches 2, 11 goes back
// to page 0 button 1 and is reached from 10 by right.
struct SWalkFixture : ::testing::Test {
    SWalkFixture() {
        CPage* p0 = m.page;
        p0->id = 0;
        b0 = Button(*p0, 0);
        b1 = Button(*p0, 1);
        b2 = Button(*p0, 2);
        CBog* g3 = p0->AddNewBog();
        b3 = Button(*g3, 3);
        b4 = Button(*g3, 4);
        Link(b0, nullptr, b1, nullptr, nullptr);
        Link(b1, b0, b2, nullptr, nullptr);
        Link(b2, b1, b3, nullptr, nullptr);
        Link(b3, b2, nullptr, nullptr, nullptr);
        Link(b4, b2, nullptr, nullptr, nullptr);
        b0->commands.records = {JumpTitle(2)};
        b1->commands.records = {SetButtonPage(11, 1)};
        b2->commands.records = {EnableButton(4), DisableButton(2)};
        b4->commands.records = {Nop()};
        p0->defaultSelected = {b0, b0->id};

        p1 = m.ds->AddNewPage();
        p1->id = 1;
        b10 = Button(*p1, 10);
        b11 = Button(*p1, 11);
        Link(b10, nullptr, nullptr, nullptr, b11);
        Link(b11, nullptr, nullptr, b10, nullptr);
        b10->commands.records = {AddGpr(7, 1), IfGprEquals(7, 2), PlayMark(5, 3)};
        b11->commands.records = {SetButtonPage(1, 0)};
    }

    CBdButton* Button(CPage& page, int id) {
        CBog* bog = page.AddNewBog();
        return Button(*bog, id);
    }
    CBdButton* Button(CBog& bog, int id) {
        CBdButton* b = m.Button(bog, 10 * id, 0, m.Object(8, 8, 1));
        b->id = id;
        b->name = "Button#" + std::to_string(id + 1);
        if (bog.GetSize() == 1) bog.defaultValid = {b, id};
        return b;
    }

    SMenuModel m;
    CPage* p1;
    CBdButton *b0, *b1, *b2, *b3, *b4, *b10, *b11;
};

TEST_F(SWalkFixture, StartAndNeighbourMoves) {
    CMenuPlayer player(*m.ds);
    const SMenuStep start = player.Start();
    EXPECT_EQ(start.page, 0);
    EXPECT_EQ(start.button, 0);
    EXPECT_EQ(player.Register(true, kPsrSelectedButton), 0u);
    EXPECT_EQ(player.ButtonState(*b0), CMenuPlayer::kSelected);
    EXPECT_TRUE(player.IsEnabled(*b3));
    EXPECT_FALSE(player.IsEnabled(*b4)) << "only the default valid button of a group";

    EXPECT_FALSE(player.Press(EMenuKey::Up).selectionChanged) << "a neighbour that is itself";
    SMenuStep s = player.Press(EMenuKey::Down);
    EXPECT_TRUE(s.selectionChanged);
    EXPECT_EQ(s.button, 1);
    EXPECT_EQ(player.ButtonState(*b0), CMenuPlayer::kNormal);
    EXPECT_EQ(player.Press(EMenuKey::Down).button, 2);
    EXPECT_EQ(player.Press(EMenuKey::Down).button, 3);
    EXPECT_EQ(player.Press(EMenuKey::Left).button, 3);
}

TEST_F(SWalkFixture, ShownAsASetButtonPageWouldShow) {
    CMenuPlayer player(*m.ds);
    player.Start();
    // On the current page: selected without its auto action, which the
    // model keeps.
    b3->autoAction = true;
    SMenuStep s = player.Show(0, 3);
    EXPECT_EQ(s.key, "show");
    EXPECT_EQ(s.button, 3);
    EXPECT_FALSE(s.activated);
    EXPECT_TRUE(b3->autoAction);
    EXPECT_EQ(player.Show(0, 4).button, 3) << "a disabled button is not selected";
    s = player.Show(1, 11);
    EXPECT_TRUE(s.pageChanged);
    EXPECT_EQ(s.page, 1);
    EXPECT_EQ(s.button, 11);
    EXPECT_EQ(player.Register(true, kPsrPage), 1u);
    EXPECT_EQ(player.Show(7, 0).note, "no page 7");
    EXPECT_EQ(player.PageId(), 1);
    player.Show(0, -1);
    EXPECT_EQ(player.SelectedId(), 0) << "the page's default selection";
    player.Press(EMenuKey::Enter);
    ASSERT_TRUE(player.Ended());
    EXPECT_EQ(player.Show(1, 10).note, "the walk has left the menu");
}

TEST_F(SWalkFixture, ActivationsPagesButtonsAndExits) {
    CMenuPlayer player(*m.ds);
    player.Start();
    player.Press(EMenuKey::Down);
    player.Press(EMenuKey::Down);
    // Button 2 swaps group 3 to button 4 and disables itself.
    SMenuStep s = player.Press(EMenuKey::Enter);
    EXPECT_TRUE(s.activated);
    EXPECT_TRUE(player.IsEnabled(*b4));
    EXPECT_FALSE(player.IsEnabled(*b3));
    EXPECT_FALSE(player.IsEnabled(*b2));
    EXPECT_EQ(s.button, 0) << "the selection falls to the first enabled button";
    EXPECT_EQ(s.commands.size(), 2u);
    ASSERT_FALSE(s.buttonChanges.empty());
    // A disabled neighbour leaves the selection.
    EXPECT_EQ(player.Press(EMenuKey::Down).button, 1);
    EXPECT_EQ(player.Press(EMenuKey::Down).button, 1);

    // Button 1 leads to page 1 button 11.
    s = player.Press(EMenuKey::Enter);
    EXPECT_TRUE(s.pageChanged);
    EXPECT_EQ(s.page, 1);
    EXPECT_EQ(s.button, 11);
    EXPECT_EQ(player.Register(true, kPsrPage), 1u);
    // Back on page 0 the groups start from their defaults again.
    s = player.Press(EMenuKey::Enter);
    EXPECT_EQ(s.page, 0);
    EXPECT_EQ(s.button, 1);
    EXPECT_TRUE(player.IsEnabled(*b3));

    player.Press(EMenuKey::Up);
    s = player.Press(EMenuKey::Enter);
    ASSERT_TRUE(s.exit.has_value());
    EXPECT_EQ(s.exit->command, "JumpTitle 2");
    EXPECT_EQ(s.exit->target, "Title 2");
    EXPECT_TRUE(player.Ended());
    EXPECT_FALSE(player.Press(EMenuKey::Down).selectionChanged);
}

TEST_F(SWalkFixture, ConditionsOverRegistersAndPresets) {
    CMenuPlayer player(*m.ds);
    player.Start();
    player.Press(EMenuKey::Down);
    player.Press(EMenuKey::Enter);  // page 1, button 11
    player.Press(EMenuKey::Left);   // button 10
    SMenuStep s = player.Press(EMenuKey::Enter);
    EXPECT_FALSE(s.exit.has_value()) << "GPR7 is 1: the play command is skipped";
    ASSERT_EQ(s.registers.size(), 1u);
    EXPECT_EQ(s.registers[0].Text(), "GPR7=1");
    EXPECT_EQ(s.commands.size(), 2u);
    EXPECT_EQ(player.ButtonState(*b10), CMenuPlayer::kSelected);
    s = player.Press(EMenuKey::Enter);
    ASSERT_TRUE(s.exit.has_value());
    EXPECT_EQ(s.exit->command, "PlayPlaylistAtMark 5 3");
    EXPECT_EQ(s.exit->target, "Playlist 00005 mark 3");

    // A preset register, and the register the menu reads before writing.
    CMenuPlayer preset(*m.ds);
    preset.SetRegister(false, 7, 1);
    preset.Start();
    preset.Press(EMenuKey::Down);
    preset.Press(EMenuKey::Enter);
    preset.Press(EMenuKey::Left);
    EXPECT_TRUE(preset.Press(EMenuKey::Enter).exit.has_value());
    EXPECT_TRUE(preset.GprsReadBeforeWritten().empty());
    EXPECT_EQ(player.GprsReadBeforeWritten(), std::vector<int>{7});
}

TEST(MenuPlayer, AutoActionLoopsAndNoDefaultSelection) {
    SMenuModel m;
    CBog* g = m.page->AddNewBog();
    CBdButton* a = m.Button(*g, 0, 0, m.Object(4, 4, 1));
    CBog* h = m.page->AddNewBog();
    CBdButton* looping = m.Button(*h, 0, 10, m.Object(4, 4, 1));
    CBog* k = m.page->AddNewBog();
    CBdButton* automatic = m.Button(*k, 0, 20, m.Object(4, 4, 1));
    Link(a, nullptr, looping, nullptr, automatic);
    Link(looping, a, nullptr, nullptr, nullptr);
    Link(automatic, nullptr, nullptr, a, nullptr);
    looping->commands.records = {AddGpr(1, 1), GoTo(0)};
    automatic->autoAction = true;
    automatic->commands.records = {JumpTitle(4)};
    m.page->defaultSelected = {nullptr, 0xFFFF};

    CMenuPlayer player(*m.ds);
    EXPECT_EQ(player.Start().button, a->id) << "no default: the first enabled button";
    player.Press(EMenuKey::Down);
    SMenuStep s = player.Press(EMenuKey::Enter);
    EXPECT_NE(s.note.find("loop"), std::string::npos) << s.note;
    EXPECT_EQ(s.commands.size(), static_cast<size_t>(CMenuPlayer::kCommandBound));
    EXPECT_FALSE(player.Ended());
    player.Press(EMenuKey::Up);
    s = player.Press(EMenuKey::Right);
    EXPECT_EQ(s.autoActivated, automatic->id);
    ASSERT_TRUE(s.exit.has_value()) << "selecting an auto-action button activates it";
    EXPECT_EQ(s.exit->target, "Title 4");
}

TEST(MenuPlayer, PagesShowingEachOthersAutoActionButtonsAreCutNotRecursedForever) {
    // Each page's only button activates as it is selected and shows the
    // other page twice: every show recurses (and doubles the work) until
    // the chain of activations or the step's commands are cut.
    SMenuModel m;
    CPage* pages[2] = {m.page, m.ds->AddNewPage()};
    for (int p = 0; p < 2; ++p) {
        pages[p]->id = static_cast<uint16_t>(p);
        CBog* g = pages[p]->AddNewBog();
        CBdButton* b = m.Button(*g, 0, 0, m.Object(4, 4, 1));
        b->id = p;
        g->defaultValid = {b, p};
        Link(b, nullptr, nullptr, nullptr, nullptr);
        b->autoAction = true;
        b->commands.records = {SetButtonPage(1 - p, 1 - p), SetButtonPage(1 - p, 1 - p)};
        pages[p]->defaultSelected = {b, p};
    }
    CMenuPlayer player(*m.ds);
    const SMenuStep s = player.Start();
    EXPECT_NE(s.note.find("cut after"), std::string::npos) << s.note;
    EXPECT_LE(s.commands.size(), static_cast<size_t>(CMenuPlayer::kCommandBound));
    EXPECT_FALSE(player.Ended());
    // The next key is walked afresh, within the same bounds.
    const SMenuStep next = player.Press(EMenuKey::Enter);
    EXPECT_LE(next.commands.size(), static_cast<size_t>(CMenuPlayer::kCommandBound));
    const SMenuMap map = ExploreMenu(*m.ds, 16);
    EXPECT_EQ(map.pages.size(), 2u);
}

TEST_F(SWalkFixture, MapHasEveryButtonAndTheReachableArrows) {
    const SMenuMap map = ExploreMenu(*m.ds);
    EXPECT_FALSE(map.boundReached);
    ASSERT_EQ(map.pages.size(), 2u);
    EXPECT_EQ(map.pages[0].buttons.size(), 5u);
    EXPECT_EQ(map.pages[1].buttons.size(), 2u);
    EXPECT_EQ(map.start, (SMapPlace{0, 0, std::nullopt}));
    auto has = [&](SMapPlace from, const char* key, SMapPlace to) {
        return std::find(map.edges.begin(), map.edges.end(), SMapEdge{from, key, to}) !=
               map.edges.end();
    };
    auto at = [](int page, int button) { return SMapPlace{page, button, std::nullopt}; };
    EXPECT_TRUE(has(at(0, 0), "down", at(0, 1)));
    EXPECT_TRUE(has(at(0, 1), "up", at(0, 0)));
    EXPECT_TRUE(has(at(0, 2), "down", at(0, 3)));
    EXPECT_TRUE(has(at(0, 1), "enter", at(1, 11)));
    EXPECT_TRUE(has(at(1, 11), "enter", at(0, 1)));
    EXPECT_TRUE(has(at(1, 10), "right", at(1, 11)));
    EXPECT_TRUE(has(at(0, 0), "enter", SMapPlace{-1, -1, SMenuExit{"JumpTitle 2", "Title 2"}}));
    EXPECT_TRUE(
        has(at(1, 10), "enter",
            SMapPlace{-1, -1, SMenuExit{"PlayPlaylistAtMark 5 3", "Playlist 00005 mark 3"}}));
    EXPECT_FALSE(has(at(0, 0), "up", at(0, 0))) << "a move to itself is no arrow";
    // Button 4 is swapped in by button 2, which then drops the selection
    // away from it: no key ever selects it.
    EXPECT_TRUE(std::none_of(map.edges.begin(), map.edges.end(),
                             [&](const SMapEdge& e) { return e.from == at(0, 4); }));
    EXPECT_EQ(map.gprsReadFirst, std::vector<int>{7}) << "button 10 adds to GPR7 before setting it";
    const std::string dot = MapToDot(map);
    EXPECT_NE(dot.find("cluster_page1"), std::string::npos);
    EXPECT_NE(dot.find("\"exit: Title 2\""), std::string::npos);

    const SMenuMap bounded = ExploreMenu(*m.ds, 3);
    EXPECT_TRUE(bounded.boundReached);
    EXPECT_EQ(bounded.statesExplored, 3);
}

TEST(MenuMap, PicturesThroughGraphviz) {
    if (!MapPicturesAvailable()) GTEST_SKIP() << "built without Graphviz";
    std::vector<uint8_t> svg, png;
    const std::string dot = "digraph { a -> b [label=\"down\"]; }";
    ASSERT_EQ(RenderDot(dot, "svg", svg).Message(), "");
    EXPECT_NE(std::string(svg.begin(), svg.end()).find("<svg"), std::string::npos);
    ASSERT_EQ(RenderDot(dot, "png", png).Message(), "");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
    EXPECT_FALSE(RenderDot("digraph { a -> ", "svg", svg));
    EXPECT_FALSE(RenderDot(dot, "nonsense-format", svg));
}

// A picture button of its own group (no commands, its own neighbour) is
// left out of the map; a button without commands that a key reaches stays.
TEST_F(SWalkFixture, DecorationButtonsLeftOutOfTheMap) {
    CBdButton* logo = Button(*m.page, 5);
    Link(logo, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(IsDecorationButton(*logo));
    EXPECT_FALSE(IsDecorationButton(*b3)) << "reached from button 2";
    EXPECT_FALSE(IsDecorationButton(*b0)) << "it has commands";
    SMenuMap map = ExploreMenu(*m.ds);
    auto has = [&](int id) {
        for (const SMapButton& b : map.pages[0].buttons)
            if (b.id == id) return true;
        return false;
    };
    ASSERT_TRUE(has(5));
    EXPECT_EQ(DropDecorationButtons(map, *m.ds), 1);
    EXPECT_FALSE(has(5));
    EXPECT_TRUE(has(3));
    EXPECT_EQ(DropDecorationButtons(map, *m.ds), 0);
}

}  // namespace
}  // namespace tessel
